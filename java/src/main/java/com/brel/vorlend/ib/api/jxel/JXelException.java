package com.brel.vorlend.ib.api.jxel;

/** An agent failure, with the agent's text for its status code. */
public class JXelException extends Exception {
    private static final long serialVersionUID = 1L;

    static {
        NativeLibrary.load();
    }

    /** The agent's text, fetched by {@link #XelGetErrorMessage(int)}. */
    public String myXelDataString;

    /** The status code this exception reports. */
    private final int status;

    public JXelException(int status) {
        super("agent status " + status);
        this.status = status;
    }

    /** The status code this exception reports. */
    public int getStatus() {
        return status;
    }

    /**
     * Fetches the agent's text for {@code code} into {@link #myXelDataString}.
     * Returns 0, or -20 when the agent has no text for the code (the field
     * then keeps its value).
     */
    public native int XelGetErrorMessage(int code);

    @Override
    public String getMessage() {
        if (myXelDataString == null && XelGetErrorMessage(status) != 0) {
            return super.getMessage();
        }
        return myXelDataString;
    }
}
