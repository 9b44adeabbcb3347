package com.brel.vorlend.ib.api.jxel.standin;

/**
 * Test control of the stand-in agent: injected failures, the local code set,
 * and counts of what the application left behind.
 *
 * <p>The stand-in is one agent per process, shared by every thread, so what is
 * set here is what the bridge's next agent call meets, whichever thread makes
 * it. The methods reach it through the native library {@code jxelstandin},
 * which is found beside the bridge on the same {@code java.library.path}; the
 * first use loads the bridge (through {@code jxel.jar}) if nothing has yet.
 *
 * <p>When the loaded agent is not the stand-in, for example where the real
 * agent is deployed, every method throws an {@link IllegalStateException}
 * saying so. Nothing here changes how the bridge itself behaves.
 *
 * @see StandInAgentExtension
 */
public final class StandInAgent {
    /** Code set UTF-8, in the agent's numbering. */
    public static final int UTF_8 = 69;
    /** Code set ISO-8859-1, in the agent's numbering. */
    public static final int ISO_8859_1 = 819;
    /** Code set Windows-1252, in the agent's numbering. */
    public static final int WINDOWS_1252 = 1252;
    /** Code set Shift_JIS, in the agent's numbering. */
    public static final int SHIFT_JIS = 932;

    private static final String CONTROL_LIBRARY = "jxelstandin";
    private static final String BRIDGE_CLASS = "com.brel.vorlend.ib.api.jxel.JXelObject";

    // Answers of agentState(), as the native library gives them.
    private static final int STAND_IN = 0;
    private static final int NO_AGENT_LOADED = 1;

    /** Why the stand-in cannot be used, or null when it can. */
    private static final IllegalStateException UNAVAILABLE = attach();

    private StandInAgent() {}

    private static IllegalStateException attach() {
        try {
            // The bridge loads the agent; the control library then finds it in the process.
            Class.forName(BRIDGE_CLASS, true, StandInAgent.class.getClassLoader());
            System.loadLibrary(CONTROL_LIBRARY);
        } catch (ClassNotFoundException e) {
            return new IllegalStateException(
                    "the stand-in agent cannot be reached: jxel.jar is not on the class path", e);
        } catch (LinkageError e) {
            return new IllegalStateException(
                    "the stand-in agent cannot be reached: " + e.getMessage(), e);
        }
        int state = agentState();
        if (state == STAND_IN) {
            return null;
        }
        return new IllegalStateException(state == NO_AGENT_LOADED
                ? "the stand-in agent cannot be reached: the bridge has loaded no agent library"
                        + " named libxelagtapi"
                : "the loaded agent is not the stand-in: its libxelagtapi has no test control"
                        + " (xelagt_test_reset); use the stand-in from the lib/xelagtapi-standin"
                        + " folder for tests");
    }

    private static void requireStandIn() {
        if (UNAVAILABLE != null) {
            // A fresh exception each time, so the stack trace is the caller's.
            throw new IllegalStateException(UNAVAILABLE.getMessage(), UNAVAILABLE.getCause());
        }
    }

    /**
     * Brings the agent back to its state at start-up: frees every live data
     * object, cancels every injected failure, and restores the start-up code
     * set. Texts the agent handed out stay valid until released and are still
     * counted by {@link #unreleasedTexts()}.
     */
    public static void reset() {
        requireStandIn();
        resetAgent();
    }

    /**
     * Makes the next {@code count} calls of an operation fail, whichever thread
     * makes them. An operation that returns a status then returns
     * {@code status}; one that returns a text gives no text, and
     * {@code status} is not used. Each constant of {@link Operation} says what
     * the Java caller sees. A later call for the same operation replaces the
     * earlier one; a count of 0 cancels it. An operation that returns a status
     * is not made to fail with 0: a call that returned it would look like one
     * that worked.
     *
     * @param operation the operation, one that {@link Operation#canFail() can fail}
     * @param count how many of its next calls fail, 0 or more
     * @param status what they return; not 0 for an operation that returns a status
     * @throws IllegalArgumentException if the operation cannot fail, the count is negative,
     *     or the status is 0 for an operation that returns it
     * @throws NullPointerException if {@code operation} is null
     */
    public static void failNext(Operation operation, int count, int status) {
        requireStandIn();
        if (!operation.canFail()) {
            throw new IllegalArgumentException(
                    operation + " returns nothing and cannot be made to fail");
        }
        if (count < 0) {
            throw new IllegalArgumentException("count " + count + " is negative");
        }
        if (status == 0 && count > 0 && !operation.returnsText()) {
            throw new IllegalArgumentException("status 0 is success: a call made to fail with it"
                    + " would look like one that worked; give a failure status, such as -9");
        }
        agentFailNext(operation.agentOrdinal(), count, status);
    }

    /**
     * Makes the next {@code count} successful {@link Operation#CONVERT_TEXT}
     * calls give no converted text, as the agent may do when there is nothing
     * to convert; the caller then uses the text it had. 0 cancels.
     *
     * @param count how many conversions give no text, 0 or more
     * @throws IllegalArgumentException if the count is negative
     */
    public static void noOutputNext(int count) {
        requireStandIn();
        if (count < 0) {
            throw new IllegalArgumentException("count " + count + " is negative");
        }
        agentNoOutputNext(count);
    }

    /** Cancels every injected failure, and leaves data objects and the code set as they are. */
    public static void cancelFailures() {
        requireStandIn();
        cancelAgentFailures();
    }

    /**
     * Changes the agent's local code set, the one texts cross the bridge in.
     * Texts the agent holds are stored as bytes and not converted: text stored
     * before the change is read back as if it were in the new code set, so a
     * test that switches sets the texts it reads afterwards.
     *
     * @param codeSet {@link #UTF_8}, {@link #ISO_8859_1}, {@link #WINDOWS_1252} or {@link #SHIFT_JIS}
     * @throws IllegalArgumentException for any other number
     */
    public static void setCodeSet(int codeSet) {
        requireStandIn();
        if (codeSet != UTF_8 && codeSet != ISO_8859_1 && codeSet != WINDOWS_1252
                && codeSet != SHIFT_JIS) {
            throw new IllegalArgumentException("code set " + codeSet + " is not one of "
                    + UTF_8 + ", " + ISO_8859_1 + ", " + WINDOWS_1252 + " and " + SHIFT_JIS);
        }
        agentSetCodeSet(codeSet);
    }

    /**
     * The agent's current local code set.
     *
     * @return the code set, in the agent's numbering
     */
    public static int codeSet() {
        requireStandIn();
        return agentCodeSet();
    }

    /**
     * How many data objects are alive: created or copied and not yet freed.
     *
     * @return the number of live data objects
     */
    public static long liveObjects() {
        requireStandIn();
        return agentLiveObjects();
    }

    /**
     * How many converted texts the agent handed out that were not released.
     * The bridge releases every one it receives, so a count that grows points
     * at native code of the application.
     *
     * @return the number of unreleased texts
     */
    public static long unreleasedTexts() {
        requireStandIn();
        return agentUnreleasedTexts();
    }

    private static native int agentState();

    private static native void resetAgent();

    private static native void cancelAgentFailures();

    private static native int agentFailNext(int ordinal, int count, int status);

    private static native int agentNoOutputNext(int count);

    private static native int agentSetCodeSet(int codeSet);

    private static native int agentCodeSet();

    private static native long agentLiveObjects();

    private static native long agentUnreleasedTexts();
}
