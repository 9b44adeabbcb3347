package com.brel.vorlend.ib.api.jxel.testing;

/**
 * Test control of the stand-in agent, reached through the test-only library
 * {@code jxelagentcontrol}. That library links the very libxelagtapi the bridge
 * uses, so whatever is set here is what the bridge's next agent call meets.
 */
public final class AgentControl {
    static {
        System.loadLibrary("jxelagentcontrol");
    }

    // Agent operations, by ordinal, for failNext.
    public static final int OP_CREATE = 20;
    public static final int OP_FREE = 21;
    public static final int OP_GET_INTEGER = 22;
    public static final int OP_GET_STRING = 23;
    public static final int OP_SET_INTEGER = 24;
    public static final int OP_SET_STRING = 25;
    public static final int OP_SET_DOUBLE = 28;
    public static final int OP_ERROR_TEXT = 35;
    public static final int OP_COPY = 36;
    public static final int OP_TYPE = 41;
    public static final int OP_DELETE_LIST = 42;
    public static final int OP_ADD_LIST = 43;
    public static final int OP_LIST_LENGTH = 44;
    public static final int OP_GET_LIST_STRING = 45;
    public static final int OP_SET_LIST_STRING = 46;
    public static final int OP_VERSION_TEXT = 90;
    public static final int OP_CONVERT = 365;

    // The stand-in's status codes.
    public static final int OK = 0;
    public static final int INVALID_HANDLE = -1;
    public static final int INVALID_TYPE = -2;
    public static final int NULL_TEXT = -3;
    public static final int NOT_A_LIST = -4;
    public static final int NO_ELEMENT = -5;
    public static final int CONVERSION = -6;
    public static final int UNKNOWN_CODESET = -7;
    public static final int BAD_ARGUMENT = -8;
    public static final int OUT_OF_MEMORY = -9;
    public static final int INJECTED = -10;
    /** The bridge's own status: the agent has no text for the code. */
    public static final int NO_MESSAGE = -20;

    // Code sets, in the agent's numbering.
    public static final int UTF_8 = 69;
    public static final int ISO_8859_1 = 819;
    public static final int WINDOWS_1252 = 1252;
    public static final int SHIFT_JIS = 932;

    public static final String VERSION_TEXT = "xelagtapi stand-in 1.0";

    private AgentControl() {}

    /** Changes the agent's local code set; 0 or UNKNOWN_CODESET. */
    public static native int setCodeset(int codeset);

    /** The agent's current local code set. */
    public static native int codeset();

    /** The next {@code count} calls of operation {@code op} fail with {@code status} (or NULL text). */
    public static native int failNext(int op, int count, int status);

    /** The next {@code count} successful conversions give no output ("nothing to convert"). */
    public static native int noOutputNext(int count);

    /** Cancels every injected failure. */
    public static native void resetFailures();

    /** Live data objects in the agent. */
    public static native long liveObjects();

    /** Converted texts handed out by the agent and not yet released. */
    public static native long liveBuffers();

    /** Frees every live data object. */
    public static native void freeAll();
}
