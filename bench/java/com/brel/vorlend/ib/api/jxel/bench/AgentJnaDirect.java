package com.brel.vorlend.ib.api.jxel.bench;

import com.sun.jna.Native;
import com.sun.jna.NativeLibrary;

/** The same operations through JNA's direct mapping, its fastest way to call. */
final class AgentJnaDirect {
    private AgentJnaDirect() {}

    static void register(String path) {
        Native.register(AgentJnaDirect.class, NativeLibrary.getInstance(path));
    }

    static native int xelagt_data_object_type(long handle);

    static native String xelagt_get_string_attribute(long handle, int attribute);

    static native int xelagt_set_string_attribute(long handle, int attribute, String text);

    static native int xelagt_get_integer_attribute(long handle, int attribute);

    static native int xelagt_set_integer_attribute(long handle, int attribute, int value);
}
