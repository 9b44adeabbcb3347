package com.brel.vorlend.ib.api.jxel;

/**
 * An agent data object, seen from Java.
 *
 * <p>The object's handle lives in {@link #myXelReference}; 0 means that the
 * Java object holds no agent data object. Every method is a native of the
 * library {@code JXelAgtbase} and calls exactly one agent operation. Methods
 * that return a status return 0 on success and the agent's status code
 * otherwise; texts arrive in {@link #myXelDataString} (or, for the version,
 * in {@link #ourVersion}).
 */
public class JXelObject {
    static {
        NativeLibrary.load();
    }

    /** Handle of the agent data object, written by create, copy and free. */
    public long myXelReference;

    /** The text fetched by the last {@code XelGetString} or {@code XelGetListString}. */
    public String myXelDataString;

    /** The agent's version text, fetched by {@link #XelVersion()}. */
    public static String ourVersion;

    /** Creates a data object of the given type and stores its handle; status. */
    public native int XelDataCreate(int type);

    /** Copies the data object {@code source} and stores the copy's handle; status. */
    public native int XelDataCopy(long source);

    /** Frees the data object {@code handle}; on success stores 0; status. */
    public native int XelDataFree(long handle);

    /** The agent's type of the data object {@code handle}. */
    public native int XelDataType(long handle);

    /** Fetches a string attribute into {@link #myXelDataString} ("" when it has none); 0. */
    public native int XelGetString(long handle, int attribute);

    /** Sets a string attribute; the agent's status. */
    public native int XelSetString(long handle, int attribute, String value);

    /** The value of an integer attribute, as the agent returns it. */
    public native int XelGetLong(long handle, int attribute);

    /** Sets an integer attribute; the agent's result. */
    public native int XelSetLong(long handle, int attribute, int value);

    /** Sets a floating-point attribute; the agent's result. */
    public native int XelSetDouble(long handle, int attribute, double value);

    /** The number of elements of a list attribute, as the agent returns it. */
    public native long XelGetListLength(long handle, int attribute);

    /** Appends an element to a list attribute; the agent's result. */
    public native long XelAddListElement(long handle, int attribute);

    /** Deletes the element {@code selector} of a list attribute; the agent's result. */
    public native long XelDeleteListElement(long handle, int attribute, int selector);

    /** Fetches the text of a list element into {@link #myXelDataString}; 0. */
    public native int XelGetListString(long handle, int attribute, int first, int second);

    /** Sets the text of a list element; the agent's status. */
    public native int XelSetListString(long handle, int attribute, String value, int first,
            int second);

    /** Fetches the agent's version text into {@link #ourVersion}; 0. */
    public static native int XelVersion();
}
