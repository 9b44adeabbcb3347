package com.brel.vorlend.ib.api.jxel;

import static com.brel.vorlend.ib.api.jxel.testing.StandIn.INJECTED;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.INVALID_HANDLE;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.NOT_A_LIST;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.NO_ELEMENT;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.NULL_TEXT;
import static org.junit.jupiter.api.Assertions.assertEquals;

import com.brel.vorlend.ib.api.jxel.standin.Operation;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgent;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgentExtension;
import com.brel.vorlend.ib.api.jxel.testing.Objects;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** List attributes: length, add, delete, and the texts of element fields. */
@ExtendWith(StandInAgentExtension.class)
class ListsTest {
    private static final int LIST = 10;
    private static final int NO_LIST = 11;
    private static final int STRING = 12;

    private JXelObject object;
    private long handle;

    @BeforeEach
    void createObject() {
        object = Objects.created();
        handle = object.myXelReference;
        assertEquals(0, object.XelSetString(handle, STRING, "a string, not a list"));
    }

    @AfterEach
    void freeObject() {
        Objects.free(object);
    }

    /** A list of the given texts, each in field 0 of its element. */
    private void fill(String... texts) {
        for (int i = 0; i < texts.length; i++) {
            assertEquals(i, object.XelAddListElement(handle, LIST));
            assertEquals(0, object.XelSetListString(handle, LIST, texts[i], i, 0));
        }
    }

    private String text(int element, int field) {
        object.myXelDataString = "stale";
        assertEquals(0, object.XelGetListString(handle, LIST, element, field));
        return object.myXelDataString;
    }

    /** -1 must stay -1 as a long, not turn into 4294967295. */
    @Test
    void lengthOfNoListIsMinusOne() {
        assertEquals(-1L, object.XelGetListLength(handle, NO_LIST));
        assertEquals(-1L, object.XelGetListLength(handle, STRING));
        assertEquals(-1L, object.XelGetListLength(0L, LIST));
        assertEquals(-1L, object.XelGetListLength(Objects.staleHandle(), LIST));
    }

    @Test
    void addGivesConsecutiveIndicesAndGrowsLength() {
        for (long i = 0; i < 5; i++) {
            assertEquals(i, object.XelAddListElement(handle, LIST));
            assertEquals(i + 1, object.XelGetListLength(handle, LIST));
        }
        assertEquals(-1L, object.XelGetListLength(handle, NO_LIST));
        assertEquals((long) INVALID_HANDLE, object.XelAddListElement(0L, LIST));
    }

    @Test
    void elementFieldsHoldTheirOwnTexts() {
        fill("zero", "one", "two");
        assertEquals(0, object.XelSetListString(handle, LIST, "Grüße 日本 😀", 1, 7));
        assertEquals(0, object.XelSetListString(handle, LIST, "", 2, 0));
        assertEquals("zero", text(0, 0));
        assertEquals("one", text(1, 0));
        assertEquals("Grüße 日本 😀", text(1, 7));
        assertEquals("", text(2, 0));
        assertEquals("", text(0, 7));
    }

    /** The element selector comes first, the field second. */
    @Test
    void selectorsKeepTheirOrder() {
        fill("a", "b");
        assertEquals(0, object.XelSetListString(handle, LIST, "element 1, field 0", 1, 0));
        assertEquals(0, object.XelSetListString(handle, LIST, "element 0, field 1", 0, 1));
        assertEquals(0, object.XelSetListString(handle, LIST, "element 0, field 5", 0, 5));
        assertEquals(NO_ELEMENT, object.XelSetListString(handle, LIST, "x", 5, 0));
        assertEquals("element 1, field 0", text(1, 0));
        assertEquals("element 0, field 1", text(0, 1));
        assertEquals("element 0, field 5", text(0, 5));
        assertEquals("", text(1, 1));
    }

    static Stream<Arguments> refusedSets() {
        return Stream.of(
                Arguments.of("not a list", NO_LIST, "x", 0, NOT_A_LIST),
                Arguments.of("string attribute", STRING, "x", 0, NOT_A_LIST),
                Arguments.of("element past the end", LIST, "x", 2, NO_ELEMENT),
                Arguments.of("negative element", LIST, "x", -1, NO_ELEMENT),
                Arguments.of("null text", LIST, null, 0, NULL_TEXT));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("refusedSets")
    void refusedSetReturnsAgentStatusAndChangesNothing(
            String label, int attribute, String value, int element, int status) {
        fill("kept", "kept too");
        assertEquals(status, object.XelSetListString(handle, attribute, value, element, 0));
        assertEquals("kept", text(0, 0));
        assertEquals("kept too", text(1, 0));
        assertEquals(2L, object.XelGetListLength(handle, LIST));
    }

    @Test
    void setOnNoObjectReturnsAgentStatus() {
        assertEquals(INVALID_HANDLE, object.XelSetListString(0L, LIST, "x", 0, 0));
    }

    @Test
    void getWithoutAgentTextStoresEmptyString() {
        fill("only");
        long[][] cases = {
            {handle, LIST, 0, 3}, // field never set
            {handle, LIST, 1, 0}, // no such element
            {handle, NO_LIST, 0, 0},
            {0L, LIST, 0, 0},
        };
        for (long[] c : cases) {
            object.myXelDataString = "stale";
            assertEquals(0, object.XelGetListString(c[0], (int) c[1], (int) c[2], (int) c[3]));
            assertEquals("", object.myXelDataString, java.util.Arrays.toString(c));
        }
        object.myXelDataString = "stale";
        StandInAgent.failNext(Operation.GET_LIST_STRING, 1, 0);
        assertEquals(0, object.XelGetListString(handle, LIST, 0, 0));
        assertEquals("", object.myXelDataString);
    }

    @Test
    void deleteReturnsRemainingCountAndClosesTheGap() {
        fill("a", "b", "c");
        assertEquals(2L, object.XelDeleteListElement(handle, LIST, 1));
        assertEquals("a", text(0, 0));
        assertEquals("c", text(1, 0));
        assertEquals(1L, object.XelDeleteListElement(handle, LIST, 0));
        assertEquals("c", text(0, 0));
        assertEquals(0L, object.XelDeleteListElement(handle, LIST, 0));
        // An emptied list is still a list.
        assertEquals(0L, object.XelGetListLength(handle, LIST));
        assertEquals(0L, object.XelAddListElement(handle, LIST));
    }

    @Test
    void refusedDeleteReturnsAgentStatus() {
        fill("a");
        assertEquals((long) NO_ELEMENT, object.XelDeleteListElement(handle, LIST, 1));
        assertEquals((long) NO_ELEMENT, object.XelDeleteListElement(handle, LIST, -1));
        assertEquals((long) NOT_A_LIST, object.XelDeleteListElement(handle, NO_LIST, 0));
        assertEquals((long) INVALID_HANDLE, object.XelDeleteListElement(0L, LIST, 0));
        assertEquals(1L, object.XelGetListLength(handle, LIST));
    }

    /** The agent's 32-bit result is widened with its sign. */
    @Test
    void injectedResultsAreWidenedWithTheirSign() {
        fill("a");
        for (int status : new int[] {INJECTED, Integer.MIN_VALUE, Integer.MAX_VALUE}) {
            StandInAgent.failNext(Operation.LIST_LENGTH, 1, status);
            assertEquals((long) status, object.XelGetListLength(handle, LIST), "length");
            StandInAgent.failNext(Operation.ADD_LIST_ELEMENT, 1, status);
            assertEquals((long) status, object.XelAddListElement(handle, LIST), "add");
            StandInAgent.failNext(Operation.DELETE_LIST_ELEMENT, 1, status);
            assertEquals((long) status, object.XelDeleteListElement(handle, LIST, 0), "delete");
            StandInAgent.failNext(Operation.SET_LIST_STRING, 1, status);
            assertEquals(status, object.XelSetListString(handle, LIST, "x", 0, 0), "set");
        }
        assertEquals(1L, object.XelGetListLength(handle, LIST));
        assertEquals("a", text(0, 0));
    }
}
