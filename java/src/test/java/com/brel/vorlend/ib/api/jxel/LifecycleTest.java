package com.brel.vorlend.ib.api.jxel;

import static com.brel.vorlend.ib.api.jxel.testing.StandIn.INJECTED;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.INVALID_HANDLE;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.INVALID_TYPE;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.OUT_OF_MEMORY;
import static org.junit.jupiter.api.Assertions.assertAll;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;

import com.brel.vorlend.ib.api.jxel.standin.Operation;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgent;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgentExtension;
import com.brel.vorlend.ib.api.jxel.testing.Objects;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/** Create, copy, free and type: the handle in myXelReference and the agent's statuses. */
@ExtendWith(StandInAgentExtension.class)
class LifecycleTest {
    /** A value no handle has; shows whether the bridge wrote the field. */
    private static final long SENTINEL = 0x5EED_5EED_5EEDL;

    static class Derived extends JXelObject {}

    /** Declares its own field of the same name, which hides JXelObject's. */
    static class Shadowing extends JXelObject {
        public long myXelReference;
    }

    @ParameterizedTest(name = "type {0}")
    @ValueSource(ints = {1, 42, 99})
    void createStoresHandleOfObjectOfThatType(int type) {
        JXelObject object = new JXelObject();
        assertEquals(0, object.XelDataCreate(type));
        long handle = object.myXelReference;
        assertNotEquals(0L, handle);
        assertEquals(type, object.XelDataType(handle));
        assertEquals(1, StandInAgent.liveObjects());
        Objects.free(object);
        assertEquals(0, StandInAgent.liveObjects());
    }

    @Test
    void everyCreateGivesANewHandle() {
        JXelObject first = Objects.created();
        JXelObject second = Objects.created();
        assertNotEquals(first.myXelReference, second.myXelReference);
        Objects.free(first);
        Objects.free(second);
    }

    @ParameterizedTest(name = "type {0}")
    @ValueSource(ints = {0, -1, 100, 1000, Integer.MIN_VALUE, Integer.MAX_VALUE})
    void refusedTypeReturnsAgentStatusAndLeavesField(int type) {
        JXelObject object = new JXelObject();
        object.myXelReference = SENTINEL;
        assertEquals(INVALID_TYPE, object.XelDataCreate(type));
        assertEquals(SENTINEL, object.myXelReference);
        assertEquals(0, StandInAgent.liveObjects());
    }

    /** Any nonzero status is a failure, positive ones included. */
    @ParameterizedTest(name = "status {0}")
    @ValueSource(ints = {OUT_OF_MEMORY, INJECTED, 7})
    void failedCreateReturnsStatusUnchangedAndLeavesField(int status) {
        JXelObject object = new JXelObject();
        object.myXelReference = SENTINEL;
        StandInAgent.failNext(Operation.CREATE_DATA_OBJECT, 1, status);
        assertEquals(status, object.XelDataCreate(Objects.TYPE));
        assertEquals(SENTINEL, object.myXelReference);
    }

    @Test
    void copyGoesIntoReceiverAndLeavesSourceAlone() {
        JXelObject source = Objects.created();
        long sourceHandle = source.myXelReference;
        assertEquals(0, source.XelSetString(sourceHandle, 1, "original"));

        JXelObject copy = new JXelObject();
        copy.myXelReference = SENTINEL;
        assertEquals(0, copy.XelDataCopy(sourceHandle));
        long copyHandle = copy.myXelReference;

        assertAll(
                () -> assertNotEquals(SENTINEL, copyHandle),
                () -> assertNotEquals(0L, copyHandle),
                () -> assertNotEquals(sourceHandle, copyHandle),
                () -> assertEquals(sourceHandle, source.myXelReference),
                () -> assertEquals(Objects.TYPE, copy.XelDataType(copyHandle)),
                () -> assertEquals(2, StandInAgent.liveObjects()));

        // The copy is a data object of its own.
        assertEquals(0, copy.XelSetString(copyHandle, 1, "changed"));
        source.XelGetString(sourceHandle, 1);
        assertEquals("original", source.myXelDataString);
        copy.XelGetString(copyHandle, 1);
        assertEquals("changed", copy.myXelDataString);

        Objects.free(source);
        Objects.free(copy);
    }

    @Test
    void copyOntoItselfReplacesHandleWithoutFreeingTheOld() {
        JXelObject object = Objects.created();
        long original = object.myXelReference;
        assertEquals(0, object.XelDataCopy(original));
        assertNotEquals(original, object.myXelReference);
        assertEquals(Objects.TYPE, object.XelDataType(original));
        assertEquals(2, StandInAgent.liveObjects());
        Objects.free(object);
        assertEquals(0, object.XelDataFree(original));
    }

    @Test
    void failedCopyReturnsStatusAndLeavesField() {
        long stale = Objects.staleHandle();
        JXelObject source = Objects.created();
        JXelObject copy = new JXelObject();
        copy.myXelReference = SENTINEL;

        assertEquals(INVALID_HANDLE, copy.XelDataCopy(0L));
        assertEquals(INVALID_HANDLE, copy.XelDataCopy(stale));
        StandInAgent.failNext(Operation.COPY_DATA_OBJECT, 1, OUT_OF_MEMORY);
        assertEquals(OUT_OF_MEMORY, copy.XelDataCopy(source.myXelReference));

        assertEquals(SENTINEL, copy.myXelReference);
        assertEquals(1, StandInAgent.liveObjects());
        Objects.free(source);
    }

    /** Success clears the field even when it named another object, or held garbage. */
    @ParameterizedTest(name = "field held {0}")
    @ValueSource(longs = {0L, SENTINEL, -1L})
    void freeClearsFieldWhateverItHeld(long fieldValue) {
        JXelObject object = Objects.created();
        long handle = object.myXelReference;
        object.myXelReference = fieldValue;
        assertEquals(0, object.XelDataFree(handle));
        assertEquals(0L, object.myXelReference);
        assertEquals(0, StandInAgent.liveObjects());
    }

    @Test
    void freeByAnotherReceiverClearsThatReceiver() {
        JXelObject owner = Objects.created();
        JXelObject other = Objects.created();
        long otherHandle = other.myXelReference;
        assertEquals(0, other.XelDataFree(owner.myXelReference));
        assertEquals(0L, other.myXelReference);
        assertEquals(INVALID_HANDLE, owner.XelDataType(owner.myXelReference));
        assertEquals(Objects.TYPE, other.XelDataType(otherHandle));
        assertEquals(0, other.XelDataFree(otherHandle));
    }

    @Test
    void doubleFreeReturnsAgentStatusAndKeepsField() {
        JXelObject object = Objects.created();
        long handle = object.myXelReference;
        Objects.free(object);
        object.myXelReference = handle;
        assertEquals(INVALID_HANDLE, object.XelDataFree(handle));
        assertEquals(handle, object.myXelReference);
    }

    @Test
    void freeOfHandleZeroReturnsAgentStatusAndKeepsField() {
        JXelObject object = new JXelObject();
        object.myXelReference = SENTINEL;
        assertEquals(INVALID_HANDLE, object.XelDataFree(0L));
        assertEquals(SENTINEL, object.myXelReference);
    }

    @Test
    void failedFreeLeavesObjectAliveAndField() {
        JXelObject object = Objects.created();
        long handle = object.myXelReference;
        StandInAgent.failNext(Operation.FREE_DATA_OBJECT, 1, INJECTED);
        assertEquals(INJECTED, object.XelDataFree(handle));
        assertEquals(handle, object.myXelReference);
        assertEquals(1, StandInAgent.liveObjects());
        Objects.free(object);
    }

    @Test
    void typeOfNoObjectIsAgentAnswer() {
        JXelObject object = new JXelObject();
        assertEquals(INVALID_HANDLE, object.XelDataType(0L));
        assertEquals(INVALID_HANDLE, object.XelDataType(Objects.staleHandle()));
        assertEquals(INVALID_HANDLE, object.XelDataType(SENTINEL));
        JXelObject live = Objects.created();
        StandInAgent.failNext(Operation.DATA_OBJECT_TYPE, 1, INJECTED);
        assertEquals(INJECTED, live.XelDataType(live.myXelReference));
        Objects.free(live);
    }

    @Test
    void subclassReceiverGetsInheritedField() {
        Derived object = new Derived();
        assertEquals(0, object.XelDataCreate(3));
        long handle = object.myXelReference;
        assertNotEquals(0L, handle);
        assertEquals(3, object.XelDataType(handle));

        Derived copy = new Derived();
        assertEquals(0, copy.XelDataCopy(handle));
        assertNotEquals(0L, copy.myXelReference);

        assertEquals(0, copy.XelDataFree(copy.myXelReference));
        assertEquals(0L, copy.myXelReference);
        assertEquals(0, object.XelDataFree(handle));
        assertEquals(0L, object.myXelReference);
    }

    /** The field is looked up on the run-time class, so the subclass's own field is written. */
    @Test
    void subclassWithOwnFieldGetsThatFieldWritten() {
        Shadowing object = new Shadowing();
        JXelObject asBase = object;
        asBase.myXelReference = SENTINEL;

        assertEquals(0, object.XelDataCreate(5));
        long handle = object.myXelReference;
        assertNotEquals(0L, handle);
        assertEquals(SENTINEL, asBase.myXelReference);
        assertEquals(5, object.XelDataType(handle));

        Shadowing copy = new Shadowing();
        assertEquals(0, copy.XelDataCopy(handle));
        long copyHandle = copy.myXelReference;
        assertNotEquals(0L, copyHandle);
        assertEquals(0L, ((JXelObject) copy).myXelReference);

        assertEquals(0, object.XelDataFree(handle));
        assertEquals(0L, object.myXelReference);
        assertEquals(SENTINEL, asBase.myXelReference);
        assertEquals(0, copy.XelDataFree(copyHandle));
        assertEquals(0L, copy.myXelReference);
    }
}
