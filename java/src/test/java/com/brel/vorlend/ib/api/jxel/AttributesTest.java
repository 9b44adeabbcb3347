package com.brel.vorlend.ib.api.jxel;

import static com.brel.vorlend.ib.api.jxel.testing.StandIn.INJECTED;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.INVALID_HANDLE;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.NULL_TEXT;
import static org.junit.jupiter.api.Assertions.assertAll;
import static org.junit.jupiter.api.Assertions.assertEquals;

import com.brel.vorlend.ib.api.jxel.standin.Operation;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgent;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgentExtension;
import com.brel.vorlend.ib.api.jxel.testing.Objects;
import java.util.function.ToIntBiFunction;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

/** String, integer and floating-point attributes, with a UTF-8 agent. */
@ExtendWith(StandInAgentExtension.class)
class AttributesTest {
    private JXelObject object;
    private long handle;

    @BeforeEach
    void createObject() {
        object = Objects.created();
        handle = object.myXelReference;
    }

    @AfterEach
    void freeObject() {
        Objects.free(object);
    }

    static Stream<Arguments> texts() {
        return Stream.of(
                Arguments.of("empty", ""),
                Arguments.of("ASCII", "plain text 123 !\"#$%&'()*+,-./"),
                Arguments.of("Latin-1", "Grüße aus Zürich"),
                Arguments.of("Japanese", "日本語のテキスト"),
                Arguments.of("supplementary", "😀"),
                Arguments.of("mixed", "a😀b日本cß\uDBFF\uDFFF"),
                // Last code point of each UTF-8 length, and the first of the next.
                Arguments.of("length boundaries", "\u007F\u0080\u07FF\u0800\uFFFD\uD800\uDC00"),
                Arguments.of("long", "Zürich-".repeat(5000)));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("texts")
    void stringRoundTrips(String label, String text) {
        assertEquals(0, object.XelSetString(handle, 1, "previous value"));
        assertEquals(0, object.XelSetString(handle, 1, text));
        object.myXelDataString = null;
        assertEquals(0, object.XelGetString(handle, 1));
        assertEquals(text, object.myXelDataString);
    }

    /** "" and not null, whatever the field held before. */
    @Test
    void getWithoutAgentTextStoresEmptyString() {
        long stale = Objects.staleHandle();
        assertEquals(0, object.XelSetString(handle, 2, "set"));
        for (long h : new long[] {handle, 0L, stale}) {
            object.myXelDataString = "stale";
            assertEquals(0, object.XelGetString(h, 1), "handle " + h);
            assertEquals("", object.myXelDataString, "handle " + h);
        }
        object.myXelDataString = "stale";
        StandInAgent.failNext(Operation.GET_STRING_ATTRIBUTE, 1, 0);
        assertEquals(0, object.XelGetString(handle, 2));
        assertEquals("", object.myXelDataString);
    }

    @Test
    void getWritesTheReceiversField() {
        JXelObject reader = new JXelObject();
        assertEquals(0, object.XelSetString(handle, 1, "text"));
        object.myXelDataString = "untouched";
        assertEquals(0, reader.XelGetString(handle, 1));
        assertEquals("text", reader.myXelDataString);
        assertEquals("untouched", object.myXelDataString);
    }

    @Test
    void nullTextIsRefusedByAgentAndKeepsOldValue() {
        assertEquals(0, object.XelSetString(handle, 1, "kept"));
        assertEquals(NULL_TEXT, object.XelSetString(handle, 1, null));
        object.XelGetString(handle, 1);
        assertEquals("kept", object.myXelDataString);
    }

    @Test
    void setOnNoObjectReturnsAgentStatus() {
        assertEquals(INVALID_HANDLE, object.XelSetString(0L, 1, "x"));
        assertEquals(INVALID_HANDLE, object.XelSetString(Objects.staleHandle(), 1, "x"));
    }

    /** Attribute numbers reach the agent unchanged, and each kind has its own attributes. */
    @Test
    void attributesAreKeptApart() {
        int[] attributes = {1, 2, 0, -5, Integer.MAX_VALUE, Integer.MIN_VALUE};
        for (int a : attributes) {
            assertEquals(0, object.XelSetString(handle, a, "s" + a));
            assertEquals(0, object.XelSetLong(handle, a, a ^ 0x5A5A));
        }
        for (int a : attributes) {
            object.XelGetString(handle, a);
            assertEquals("s" + a, object.myXelDataString);
            assertEquals(a ^ 0x5A5A, object.XelGetLong(handle, a));
        }
    }

    @ParameterizedTest(name = "{0}")
    @ValueSource(ints = {0, 1, -1, 0x12345678, Integer.MAX_VALUE, Integer.MIN_VALUE})
    void integerRoundTrips(int value) {
        assertEquals(0, object.XelSetLong(handle, 3, 99));
        assertEquals(0, object.XelSetLong(handle, 3, value));
        assertEquals(value, object.XelGetLong(handle, 3));
    }

    @Test
    void integerNeverSetIsZero() {
        assertEquals(0, object.XelGetLong(handle, 4));
    }

    @ParameterizedTest(name = "{0}")
    @ValueSource(doubles = {0.0, -0.0, 1.5, -1e300, Double.MIN_VALUE, Double.NaN,
            Double.POSITIVE_INFINITY})
    void doubleIsAccepted(double value) {
        assertEquals(0, object.XelSetDouble(handle, 5, value));
    }

    /** Natives that return the agent's result, called on handle 0, a stale handle, and with an injected failure. */
    static Stream<Arguments> resultsOfAgent() {
        return Stream.of(
                Arguments.of("set string", Operation.SET_STRING_ATTRIBUTE,
                        (ToIntBiFunction<JXelObject, Long>) (o, h) -> o.XelSetString(h, 1, "x")),
                Arguments.of("get integer", Operation.GET_INTEGER_ATTRIBUTE,
                        (ToIntBiFunction<JXelObject, Long>) (o, h) -> o.XelGetLong(h, 1)),
                Arguments.of("set integer", Operation.SET_INTEGER_ATTRIBUTE,
                        (ToIntBiFunction<JXelObject, Long>) (o, h) -> o.XelSetLong(h, 1, 5)),
                Arguments.of("set double", Operation.SET_DOUBLE_ATTRIBUTE,
                        (ToIntBiFunction<JXelObject, Long>) (o, h) -> o.XelSetDouble(h, 1, 2.5)));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("resultsOfAgent")
    void agentResultReachesJavaUnchanged(String label, Operation op, ToIntBiFunction<JXelObject, Long> call) {
        long stale = Objects.staleHandle();
        assertAll(
                () -> assertEquals(INVALID_HANDLE, call.applyAsInt(object, 0L)),
                () -> assertEquals(INVALID_HANDLE, call.applyAsInt(object, stale)));
        for (int status : new int[] {INJECTED, 12345, Integer.MIN_VALUE}) {
            StandInAgent.failNext(op, 1, status);
            assertEquals(status, call.applyAsInt(object, handle), "injected " + status);
        }
    }

    @Test
    void failedSetStringKeepsOldValue() {
        assertEquals(0, object.XelSetString(handle, 1, "kept"));
        StandInAgent.failNext(Operation.SET_STRING_ATTRIBUTE, 1, INJECTED);
        assertEquals(INJECTED, object.XelSetString(handle, 1, "lost"));
        object.XelGetString(handle, 1);
        assertEquals("kept", object.myXelDataString);
    }
}
