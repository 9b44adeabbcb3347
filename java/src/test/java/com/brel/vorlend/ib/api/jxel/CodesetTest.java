package com.brel.vorlend.ib.api.jxel;

import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.ISO_8859_1;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.SHIFT_JIS;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.UTF_8;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.WINDOWS_1252;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.CONVERSION;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.NULL_TEXT;
import static org.junit.jupiter.api.Assertions.assertEquals;

import com.brel.vorlend.ib.api.jxel.standin.Operation;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgent;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgentExtension;
import com.brel.vorlend.ib.api.jxel.testing.Objects;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Text on its way between Java and the agent's local code set, switched per
 * test through the agent's test control; the bridge asks for the code set on
 * every call.
 */
@ExtendWith(StandInAgentExtension.class)
class CodesetTest {
    private static final int ATTRIBUTE = 1;
    private static final int LIST = 2;

    private JXelObject object;
    private long handle;

    @BeforeEach
    void createObject() {
        object = Objects.created();
        handle = object.myXelReference;
        assertEquals(0L, object.XelAddListElement(handle, LIST));
    }

    @AfterEach
    void freeObject() {
        Objects.free(object);
    }

    private static void useCodeset(int codeset) {
        StandInAgent.setCodeSet(codeset);
    }

    private String attribute() {
        object.myXelDataString = "stale";
        assertEquals(0, object.XelGetString(handle, ATTRIBUTE));
        return object.myXelDataString;
    }

    private String listField() {
        object.myXelDataString = "stale";
        assertEquals(0, object.XelGetListString(handle, LIST, 0, 0));
        return object.myXelDataString;
    }

    static Stream<Arguments> representable() {
        return Stream.of(
                Arguments.of("ISO-8859-1", ISO_8859_1, "Grüße aus Zürich"),
                Arguments.of("ISO-8859-1", ISO_8859_1, "\u00A0¡¿ÀÿAz"),
                Arguments.of("WINDOWS-1252", WINDOWS_1252, "Grüße € „Œ“ ™"),
                Arguments.of("SHIFT_JIS", SHIFT_JIS, "日本語"),
                // 表 and ソ end in byte 5C, a backslash when read as ASCII.
                Arguments.of("SHIFT_JIS", SHIFT_JIS, "表示ソフト ABC"),
                Arguments.of("UTF-8", UTF_8, "😀"),
                Arguments.of("UTF-8", UTF_8, "Grüße 日本 😀 \uDBFF\uDFFF"));
    }

    @ParameterizedTest(name = "{0}: {2}")
    @MethodSource("representable")
    void textRoundTrips(String name, int codeset, String text) {
        useCodeset(codeset);
        assertEquals(0, object.XelSetString(handle, ATTRIBUTE, text));
        assertEquals(text, attribute());
        assertEquals(0, object.XelSetListString(handle, LIST, text, 0, 0));
        assertEquals(text, listField());
    }

    /**
     * What the local code set cannot hold: the agent's conversion fails, so the
     * bridge hands the agent no text and the agent refuses it.
     */
    static Stream<Arguments> unrepresentable() {
        return Stream.of(
                Arguments.of("ISO-8859-1", ISO_8859_1, "日本"),
                Arguments.of("ISO-8859-1", ISO_8859_1, "Preis: 5 €"),
                Arguments.of("WINDOWS-1252", WINDOWS_1252, "日本"),
                Arguments.of("SHIFT_JIS", SHIFT_JIS, "😀"));
    }

    @ParameterizedTest(name = "{0}: {2}")
    @MethodSource("unrepresentable")
    void unrepresentableTextIsRefusedAndOldValueKept(String name, int codeset, String text) {
        useCodeset(codeset);
        assertEquals(0, object.XelSetString(handle, ATTRIBUTE, "old"));
        assertEquals(0, object.XelSetListString(handle, LIST, "old", 0, 0));
        assertEquals(NULL_TEXT, object.XelSetString(handle, ATTRIBUTE, text));
        assertEquals(NULL_TEXT, object.XelSetListString(handle, LIST, text, 0, 0));
        assertEquals("old", attribute());
        assertEquals("old", listField());
    }

    /** Java text that no NUL-terminated UTF-8 text can carry, under every code set. */
    static Stream<Arguments> invalidJavaText() {
        String[] texts = {"a\u0000b", "\u0000", "\uD800", "x\uDC00y", "ab\uD83D", "\uDE00\uD83D"};
        int[] codesets = {UTF_8, ISO_8859_1, SHIFT_JIS};
        return IntStream.of(codesets).boxed()
                .flatMap(c -> Stream.of(texts).map(t -> Arguments.of(c, t)));
    }

    @ParameterizedTest(name = "code set {0}: {1}")
    @MethodSource("invalidJavaText")
    void nulAndUnpairedSurrogatesGiveAgentNoText(int codeset, String text) {
        useCodeset(codeset);
        assertEquals(0, object.XelSetString(handle, ATTRIBUTE, "old"));
        assertEquals(0, object.XelSetListString(handle, LIST, "old", 0, 0));
        assertEquals(NULL_TEXT, object.XelSetString(handle, ATTRIBUTE, text));
        assertEquals(NULL_TEXT, object.XelSetListString(handle, LIST, text, 0, 0));
        assertEquals("old", attribute());
        assertEquals("old", listField());
    }

    /** The agent keeps bytes; which characters they are depends on the code set of the moment. */
    @Test
    void changeOfCodesetTakesEffectOnTheNextCall() {
        assertEquals(0, object.XelSetString(handle, ATTRIBUTE, "é")); // C3 A9
        assertEquals("é", attribute());
        useCodeset(ISO_8859_1);
        assertEquals("Ã©", attribute());
        useCodeset(UTF_8);
        assertEquals("é", attribute());

        useCodeset(ISO_8859_1);
        assertEquals(0, object.XelSetString(handle, ATTRIBUTE, "Grüße")); // FC DF
        useCodeset(WINDOWS_1252);
        assertEquals("Grüße", attribute());
        useCodeset(ISO_8859_1);
        assertEquals("Grüße", attribute());
    }

    /** Latin-1 bytes read as UTF-8 are invalid; each invalid piece becomes U+FFFD. */
    @Test
    void invalidBytesFromTheAgentBecomeReplacementCharacters() {
        useCodeset(ISO_8859_1);
        assertEquals(0, object.XelSetString(handle, ATTRIBUTE, "é"));
        assertEquals(0, object.XelSetListString(handle, LIST, "Grüße", 0, 0));
        useCodeset(UTF_8);
        assertEquals("\uFFFD", attribute());
        assertEquals("Gr\uFFFD\uFFFDe", listField());
    }

    /** A failed conversion toward Java falls back to the unconverted text. */
    @Test
    void failedConversionFromAgentDeliversUnconvertedText() {
        useCodeset(ISO_8859_1);
        assertEquals(0, object.XelSetString(handle, ATTRIBUTE, "plain"));
        assertEquals(0, object.XelSetListString(handle, LIST, "Grüße", 0, 0));
        StandInAgent.failNext(Operation.CONVERT_TEXT, 1, CONVERSION);
        assertEquals("plain", attribute());
        StandInAgent.failNext(Operation.CONVERT_TEXT, 1, CONVERSION);
        assertEquals("Gr\uFFFD\uFFFDe", listField());
        assertEquals("Grüße", listField());
    }

    @Test
    void failedConversionToAgentGivesAgentNoText() {
        useCodeset(ISO_8859_1);
        assertEquals(0, object.XelSetString(handle, ATTRIBUTE, "old"));
        StandInAgent.failNext(Operation.CONVERT_TEXT, 1, CONVERSION);
        assertEquals(NULL_TEXT, object.XelSetString(handle, ATTRIBUTE, "Grüße"));
        assertEquals("old", attribute());
    }

    /** When the agent says there is nothing to convert, the text goes on as it is. */
    @Test
    void conversionWithoutOutputPassesTextUnchanged() {
        useCodeset(ISO_8859_1);
        StandInAgent.noOutputNext(1);
        assertEquals(0, object.XelSetString(handle, ATTRIBUTE, "Grüße"));
        assertEquals(0, object.XelSetListString(handle, LIST, "Grüße", 0, 0)); // FC DF
        StandInAgent.noOutputNext(1);
        assertEquals("Gr\uFFFD\uFFFDe", listField());
        useCodeset(UTF_8);
        assertEquals("Grüße", attribute());
    }
}
