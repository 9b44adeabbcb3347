package com.brel.vorlend.ib.api.jxel.demo;

import com.brel.vorlend.ib.api.jxel.JXelException;
import com.brel.vorlend.ib.api.jxel.JXelObject;
import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;

/**
 * Walks through the Java API once: version, a data object with text, integer,
 * floating-point and list attributes, a copy, the type, an error text and the
 * free, printing each step's status. Meant to run with a local code set that
 * is not UTF-8 (the build's {@code demo} target uses WINDOWS-1252), so that
 * one text crosses into that code set and one cannot.
 *
 * <p>Exits with 1 when a step that must work under any code set fails.
 */
public final class Demo {
    private static final int TYPE = 7;
    private static final int GREETING = 1;
    private static final int JAPANESE = 2;
    private static final int COUNT = 3;
    private static final int RATE = 4;
    private static final int ITEMS = 5;

    // Our own UTF-8 stream: the platform encoding may not have these characters.
    private static final PrintStream out =
            new PrintStream(new FileOutputStream(FileDescriptor.out), true, StandardCharsets.UTF_8);
    private static int failures;

    private Demo() {}

    public static void main(String[] args) {
        String codeset = System.getenv("XELAGT_CODESET");
        out.println("Local code set of the agent: "
                + (codeset == null ? "taken from the process locale" : codeset));
        out.println();

        must("Fetch the agent's version", JXelObject.XelVersion());
        out.println("    version: " + JXelObject.ourVersion);

        JXelObject object = new JXelObject();
        must("Create a data object of type " + TYPE, object.XelDataCreate(TYPE));
        long handle = object.myXelReference;
        out.println("    handle: " + handle);

        setText(object, handle, GREETING, "Grüße aus Zürich");
        setText(object, handle, JAPANESE, "日本語のテキスト");

        must("Set integer attribute " + COUNT + " to 42", object.XelSetLong(handle, COUNT, 42));
        int count = object.XelGetLong(handle, COUNT);
        out.println("    read back: " + count);
        expect(count == 42, "integer read back");
        must("Set floating-point attribute " + RATE + " to 2.5",
                object.XelSetDouble(handle, RATE, 2.5));

        out.println("Build list attribute " + ITEMS + ":");
        String[] items = {"apples", "pears", "plums"};
        for (String item : items) {
            long index = object.XelAddListElement(handle, ITEMS);
            out.println("    added element " + index);
            expect(index >= 0, "add list element");
            must("    set its text to \"" + item + "\"",
                    object.XelSetListString(handle, ITEMS, item, (int) index, 0));
        }
        printList(object, handle);
        long remaining = object.XelDeleteListElement(handle, ITEMS, 1);
        out.println("Delete element 1: " + remaining + " elements remain");
        expect(remaining == 2, "delete list element");
        printList(object, handle);

        JXelObject copy = new JXelObject();
        must("Copy the data object", copy.XelDataCopy(handle));
        out.println("    copy's handle: " + copy.myXelReference + " (original: " + handle + ")");
        copy.XelGetString(copy.myXelReference, GREETING);
        out.println("    copy's attribute " + GREETING + ": \"" + copy.myXelDataString + "\"");
        out.println("Type of the original: " + object.XelDataType(handle)
                + ", of the copy: " + copy.XelDataType(copy.myXelReference));

        JXelObject refused = new JXelObject();
        int status = refused.XelDataCreate(1000);
        out.println("Create a data object of type 1000: " + describe(status));
        expect(status != 0, "type 1000 refused");

        must("Free the copy", copy.XelDataFree(copy.myXelReference));
        out.println("    copy's handle now: " + copy.myXelReference);
        must("Free the original", object.XelDataFree(handle));
        out.println("    original's handle now: " + object.myXelReference);
        status = object.XelDataFree(handle);
        out.println("Free the original a second time: " + describe(status));
        expect(status != 0, "second free refused");

        out.println();
        out.println(failures == 0 ? "Every step went as expected." : failures + " step(s) failed.");
        out.flush();
        System.exit(failures == 0 ? 0 : 1);
    }

    /** Sets a text and reads it back; a text the local code set cannot hold is refused. */
    private static void setText(JXelObject object, long handle, int attribute, String text) {
        int status = object.XelSetString(handle, attribute, text);
        out.println("Set string attribute " + attribute + " to \"" + text + "\": " + describe(status));
        object.XelGetString(handle, attribute);
        String back = object.myXelDataString;
        if (status == 0) {
            out.println("    read back: \"" + back + "\""
                    + (back.equals(text) ? " (the same text)" : " (NOT the same text)"));
            expect(back.equals(text), "text read back");
        } else {
            out.println("    the local code set cannot hold this text, so the agent got none;"
                    + " the attribute holds \"" + back + "\"");
        }
    }

    private static void printList(JXelObject object, long handle) {
        long length = object.XelGetListLength(handle, ITEMS);
        out.println("    the list has " + length + " elements:");
        for (int i = 0; i < length; i++) {
            object.XelGetListString(handle, ITEMS, i, 0);
            out.println("      " + i + ": " + object.myXelDataString);
        }
    }

    /** The status in words, with the agent's text for a failing one. */
    private static String describe(int status) {
        if (status == 0) {
            return "status 0 (success)";
        }
        return "status " + status + " (" + new JXelException(status).getMessage() + ")";
    }

    private static void must(String step, int status) {
        out.println(step + ": " + describe(status));
        expect(status == 0, step);
    }

    private static void expect(boolean condition, String what) {
        if (!condition) {
            failures++;
            out.println("    UNEXPECTED: " + what);
        }
    }
}
