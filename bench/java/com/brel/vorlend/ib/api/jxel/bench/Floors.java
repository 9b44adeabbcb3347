package com.brel.vorlend.ib.api.jxel.bench;

/**
 * The least JNI work a bridge native of each kind must do (bench/native/floors.cpp).
 * Carries fields named as JXelObject's, so the lookups cost the same.
 */
final class Floors {
    static {
        System.loadLibrary("jxelbenchfloors");
    }

    public long myXelReference;
    public String myXelDataString;

    /** A native copy of text, to give {@link #storeString} as its handle. */
    static native long prime(String text);

    /** Returns at once: the price of calling native code at all. */
    native int empty(long handle, int attribute);

    /** GetObjectClass + GetFieldID + SetLongField. */
    native int storeLong(long value);

    /** GetObjectClass + GetFieldID + NewStringUTF(the primed text) + SetObjectField. */
    native int storeString(long primed, int attribute);

    /** GetStringUTFChars + ReleaseStringUTFChars. */
    native int readString(long handle, int attribute, String value);
}
