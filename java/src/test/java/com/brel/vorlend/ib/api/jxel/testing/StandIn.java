package com.brel.vorlend.ib.api.jxel.testing;

/** What the stand-in agent answers (agent/standin.h): its status codes and version text. */
public final class StandIn {
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

    public static final String VERSION_TEXT = "xelagtapi stand-in 1.0";

    private StandIn() {}
}
