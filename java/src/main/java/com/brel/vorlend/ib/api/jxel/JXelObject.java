package com.brel.vorlend.ib.api.jxel;

/**
 * An agent data object, seen from Java.
 *
 * <p>The object's handle lives in {@link #myXelReference}; 0 means that the
 * Java object holds no agent data object. Every method is a native of the
 * library {@code JXelAgtbase} and calls exactly one operation of the agent.
 * Handles always arrive as arguments: no method reads {@code myXelReference}.
 *
 * <p>Statuses: 0 is success; every other value is the agent's own status
 * code, returned unchanged ({@link JXelException} fetches its text). No
 * method throws for an agent failure; only the JVM's own errors, such as
 * {@code OutOfMemoryError}, reach the caller.
 *
 * <p>Texts cross between Java and the agent's local code set. Text the local
 * code set cannot hold, U+0000 and unpaired surrogates reach the agent as no
 * text at all, and the setter returns the agent's status for that. Agent
 * bytes that are not valid text arrive in Java as U+FFFD.
 *
 * <p>Threads: calls on different objects may run on any number of threads at
 * once. A method leaves its result in a field of the object it was called on
 * ({@link #myXelReference}, {@link #myXelDataString}), and {@link #XelVersion()}
 * in the static {@link #ourVersion}. Two threads that call getters on the same
 * object race on its field, and one may read the other's result: give each
 * thread its own objects, or hold the object's lock across the call and the
 * read of the field.
 */
public class JXelObject {
    static {
        NativeLibrary.load();
    }

    /** Handle of the agent data object, written by create, copy and free. */
    public long myXelReference;

    /** The text fetched by the last {@code XelGetString} or {@code XelGetListString}. */
    public String myXelDataString;

    /** The agent's version text, written by {@link #XelVersion()}. */
    public static String ourVersion;

    /**
     * Creates a data object and stores its handle into {@link #myXelReference}.
     *
     * @param type the kind of data object, passed to the agent unchanged
     * @return 0, or the agent's status (the field then keeps its value)
     */
    public native int XelDataCreate(int type);

    /**
     * Copies a data object and stores the copy's handle into this object's
     * {@link #myXelReference}. The handle the field held before is not freed.
     *
     * @param source the handle of the data object to copy; it stays valid
     * @return 0, or the agent's status (the field then keeps its value)
     */
    public native int XelDataCopy(long source);

    /**
     * Frees a data object; on success stores 0 into {@link #myXelReference},
     * whatever it held.
     *
     * @param handle the handle of the data object to free
     * @return 0, or the agent's status (the field then keeps its value)
     */
    public native int XelDataFree(long handle);

    /**
     * The type of a data object.
     *
     * @param handle a data object's handle
     * @return the agent's answer, unchanged
     */
    public native int XelDataType(long handle);

    /**
     * Fetches the text of a string attribute into {@link #myXelDataString};
     * an attribute without text gives "".
     *
     * @param handle a data object's handle
     * @param attribute the attribute's number
     * @return 0
     */
    public native int XelGetString(long handle, int attribute);

    /**
     * Sets the text of a string attribute.
     *
     * @param handle a data object's handle
     * @param attribute the attribute's number
     * @param value the text; null reaches the agent as no text
     * @return 0, or the agent's status
     */
    public native int XelSetString(long handle, int attribute, String value);

    /**
     * The value of an integer attribute.
     *
     * @param handle a data object's handle
     * @param attribute the attribute's number
     * @return the agent's answer, unchanged
     */
    public native int XelGetLong(long handle, int attribute);

    /**
     * Sets an integer attribute.
     *
     * @param handle a data object's handle
     * @param attribute the attribute's number
     * @param value the 32-bit value
     * @return the agent's answer, unchanged
     */
    public native int XelSetLong(long handle, int attribute, int value);

    /**
     * Sets a floating-point attribute.
     *
     * @param handle a data object's handle
     * @param attribute the attribute's number
     * @param value the value
     * @return the agent's answer, unchanged
     */
    public native int XelSetDouble(long handle, int attribute, double value);

    /**
     * The number of elements of a list attribute.
     *
     * @param handle a data object's handle
     * @param attribute the list attribute's number
     * @return the agent's answer, sign-extended (-1 stays -1)
     */
    public native long XelGetListLength(long handle, int attribute);

    /**
     * Appends an element to a list attribute.
     *
     * @param handle a data object's handle
     * @param attribute the list attribute's number
     * @return the agent's answer, sign-extended
     */
    public native long XelAddListElement(long handle, int attribute);

    /**
     * Deletes an element of a list attribute.
     *
     * @param handle a data object's handle
     * @param attribute the list attribute's number
     * @param selector the element, passed to the agent unchanged
     * @return the agent's answer, sign-extended
     */
    public native long XelDeleteListElement(long handle, int attribute, int selector);

    /**
     * Fetches the text of a list element into {@link #myXelDataString}; an
     * element without text gives "".
     *
     * @param handle a data object's handle
     * @param attribute the list attribute's number
     * @param first the first selector, passed to the agent unchanged
     * @param second the second selector, passed to the agent unchanged
     * @return 0
     */
    public native int XelGetListString(long handle, int attribute, int first, int second);

    /**
     * Sets the text of a list element.
     *
     * @param handle a data object's handle
     * @param attribute the list attribute's number
     * @param value the text; null reaches the agent as no text
     * @param first the first selector, passed to the agent unchanged
     * @param second the second selector, passed to the agent unchanged
     * @return 0, or the agent's status
     */
    public native int XelSetListString(long handle, int attribute, String value, int first,
            int second);

    /**
     * Fetches the agent's version text into the static {@link #ourVersion},
     * which every object of the class then sees; "" when the agent has none.
     * Two threads that call it at once race on that one field.
     *
     * @return 0
     */
    public static native int XelVersion();
}
