package com.brel.vorlend.ib.api.jxel.bench;

/**
 * The agent and JNI calls of each bridge native and nothing else, against the trivial
 * agent (bench/native/baselines.cpp). Carries fields named as JXelObject's, so the
 * lookups cost the same.
 */
final class Baselines {
    static {
        System.loadLibrary("jxelbenchbaselines");
    }

    public long myXelReference;
    public String myXelDataString;

    /** The text the trivial agent's getters return from now on. */
    static native void setAgentText(String text);

    native int dataType(long handle);

    native int getLong(long handle, int attribute);

    native int setLong(long handle, int attribute, int value);

    native int setDouble(long handle, int attribute, double value);

    native long getListLength(long handle, int attribute);

    native long addListElement(long handle, int attribute);

    native long deleteListElement(long handle, int attribute, int selector);

    native int dataCreate(int type);

    native int getString(long handle, int attribute);

    native int setString(long handle, int attribute, String value);
}
