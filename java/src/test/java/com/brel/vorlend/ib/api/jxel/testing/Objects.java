package com.brel.vorlend.ib.api.jxel.testing;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;

import com.brel.vorlend.ib.api.jxel.JXelObject;

/** Small helpers for tests that need a live data object. */
public final class Objects {
    /** A type the stand-in accepts. */
    public static final int TYPE = 7;

    private Objects() {}

    /** A Java object holding a freshly created data object. */
    public static JXelObject created() {
        JXelObject object = new JXelObject();
        assertEquals(0, object.XelDataCreate(TYPE), "create");
        assertNotEquals(0L, object.myXelReference, "handle of a created object");
        return object;
    }

    /** Frees the object's data object and checks that the bridge cleared the handle. */
    public static void free(JXelObject object) {
        assertEquals(0, object.XelDataFree(object.myXelReference), "free");
        assertEquals(0L, object.myXelReference, "handle after free");
    }

    /** A handle that named a data object which is gone now. */
    public static long staleHandle() {
        JXelObject object = created();
        long handle = object.myXelReference;
        free(object);
        return handle;
    }
}
