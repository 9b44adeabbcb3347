package com.brel.vorlend.ib.api.jxel.bench;

import com.sun.jna.Library;
import com.sun.jna.Native;

/**
 * The agent operations called through JNA with no bridge in between: the usual
 * interface mapping, where JNA converts the strings itself (jna.encoding).
 */
interface AgentJna extends Library {
    static AgentJna load(String path) {
        return Native.load(path, AgentJna.class);
    }

    int xelagt_create_data_object(int type, long[] handle);

    int xelagt_free_data_object(long[] handle);

    int xelagt_data_object_type(long handle);

    String xelagt_get_string_attribute(long handle, int attribute);

    int xelagt_set_string_attribute(long handle, int attribute, String text);

    int xelagt_get_integer_attribute(long handle, int attribute);

    int xelagt_set_integer_attribute(long handle, int attribute, int value);
}
