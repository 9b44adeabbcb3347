package com.brel.vorlend.ib.api.jxel;

/**
 * An agent failure, with the agent's text for its status code.
 *
 * <p>The text is fetched by the native {@link #XelGetErrorMessage(int)} of the
 * library {@code JXelAgtbase}, which converts it from the agent's local code
 * set and stores it into {@link #myXelDataString}. Exceptions may fetch their
 * texts on any number of threads at once, each into its own field; two threads
 * fetching through the same exception race on that field.
 */
public class JXelException extends Exception {
    private static final long serialVersionUID = 1L;

    /** What {@link #XelGetErrorMessage(int)} returns when the agent has no text for a code. */
    public static final int NO_ERROR_TEXT = -20;

    static {
        NativeLibrary.load();
    }

    /** The agent's text, written by {@link #XelGetErrorMessage(int)}; null until then. */
    public String myXelDataString;

    /** The status code this exception reports. */
    private final int status;

    /**
     * An exception for an agent status code.
     *
     * @param status the agent's status code, as a native returned it
     */
    public JXelException(int status) {
        super("agent status " + status);
        this.status = status;
    }

    /**
     * The status code this exception reports.
     *
     * @return the agent's status code
     */
    public int getStatus() {
        return status;
    }

    /**
     * Fetches the agent's text for a status code into {@link #myXelDataString}.
     * Any code may be asked, 0 included.
     *
     * @param code an agent status code
     * @return 0 when the text was stored; {@link #NO_ERROR_TEXT} (-20) when
     *     the agent has no text for the code, and the field keeps its value
     */
    public native int XelGetErrorMessage(int code);

    /**
     * The agent's text for this exception's status, fetched on first use, or
     * "agent status N" when the agent has none.
     *
     * @return the message
     */
    @Override
    public String getMessage() {
        if (myXelDataString == null && XelGetErrorMessage(status) != 0) {
            return super.getMessage();
        }
        return myXelDataString;
    }
}
