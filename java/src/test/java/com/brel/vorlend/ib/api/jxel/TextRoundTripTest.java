package com.brel.vorlend.ib.api.jxel;

import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.ISO_8859_1;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.SHIFT_JIS;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.UTF_8;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.WINDOWS_1252;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.NULL_TEXT;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.brel.vorlend.ib.api.jxel.standin.StandInAgent;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgentExtension;
import com.brel.vorlend.ib.api.jxel.testing.Objects;
import java.nio.charset.Charset;
import java.nio.charset.CharsetEncoder;
import java.util.ArrayList;
import java.util.List;
import java.util.function.IntPredicate;
import java.util.stream.IntStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Every BMP character and a spread of supplementary ones through XelSetString
 * and XelGetString (and the list variants), alone and in texts whose lengths
 * straddle the bridge's buffer sizes, under UTF-8, ISO-8859-1, Windows-1252 and
 * Shift_JIS. A character the local code set cannot hold must fail the set with
 * the agent's NULL_TEXT and leave the old value; nothing may come back changed.
 */
@ExtendWith(StandInAgentExtension.class)
class TextRoundTripTest {
    private static final int ATTRIBUTE = 1;
    private static final int LIST = 2;
    private static final String OLD = "old value";
    private static long charactersChecked;

    private JXelObject object;
    private long handle;
    /** What the attribute holds: the last text set successfully. */
    private String lastStored = OLD;

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

    @AfterAll
    static void report() {
        System.out.println("round trips: " + charactersChecked + " characters checked");
    }

    // ---- helpers ----

    private String read() {
        object.myXelDataString = null;
        assertEquals(0, object.XelGetString(handle, ATTRIBUTE));
        return wellFormed(object.myXelDataString);
    }

    private String readListField() {
        object.myXelDataString = null;
        assertEquals(0, object.XelGetListString(handle, LIST, 0, 0));
        return wellFormed(object.myXelDataString);
    }

    /** A string made by the library must be an ordinary Java string in every respect. */
    private static String wellFormed(String s) {
        assertTrue(s != null, "the library stored null");
        String copy = new String(s.toCharArray());
        assertEquals(copy, s, "not equal to its own copy");
        assertEquals(copy.hashCode(), s.hashCode());
        assertEquals(s, copy);
        return s;
    }

    private static void useCodeset(int codeset) {
        StandInAgent.setCodeSet(codeset);
    }

    private static String describe(String text) {
        StringBuilder b = new StringBuilder();
        text.codePoints().limit(4).forEach(c -> b.append(String.format("U+%04X ", c)));
        return b.append("(").append(text.length()).append(" chars)").toString();
    }

    /**
     * Sets and reads back each text; a text `holds` says is representable must
     * come back equal, any other must be refused with NULL_TEXT, the old value kept.
     */
    private List<String> check(List<String> texts, IntPredicate holds) {
        List<String> wrong = new ArrayList<>();
        for (String text : texts) {
            boolean representable = text.codePoints().allMatch(holds);
            int status = object.XelSetString(handle, ATTRIBUTE, text);
            String back = read();
            if (representable) {
                if (status != 0 || !text.equals(back)) {
                    wrong.add(describe(text) + ": status " + status + ", read back " + describe(back));
                }
            } else {
                if (status != NULL_TEXT || !back.equals(lastStored)) {
                    wrong.add(describe(text) + ": refused with " + status + ", read back " + describe(back));
                }
            }
            if (status == 0) {
                lastStored = text;
            }
            charactersChecked += text.codePointCount(0, text.length());
        }
        return wrong;
    }

    private void startWithOldValue() {
        assertEquals(0, object.XelSetString(handle, ATTRIBUTE, OLD));
        lastStored = OLD;
    }

    private static void assertNone(List<String> wrong) {
        assertTrue(wrong.isEmpty(), wrong.size() + " wrong, first: "
                + wrong.subList(0, Math.min(5, wrong.size())));
    }

    /** Every BMP character except the surrogates and U+0000, one text each. */
    private static List<String> everyBmpCharacter() {
        List<String> texts = new ArrayList<>();
        for (char c = 1; c != 0; c++) {
            if (!Character.isSurrogate(c)) {
                texts.add(String.valueOf(c));
            }
        }
        return texts;
    }

    /** First and last of each plane, and every 0x400th code point between. */
    private static List<String> supplementaryCharacters() {
        List<String> texts = new ArrayList<>();
        for (int c = 0x10000; c <= 0x10FFFF; c += 0x400) {
            texts.add(Character.toString(c));
            texts.add(Character.toString(c + 0x3FF));
        }
        texts.add(Character.toString(0x1F600));
        // Tag characters, which iconv used to drop without a word.
        for (int c : new int[] {0xE0001, 0xE0020, 0xE0041, 0xE007F}) {
            texts.add(Character.toString(c));
        }
        return texts;
    }

    /** Whether Java's own charset takes the code point there and back unchanged. */
    private static IntPredicate javaRoundTrips(String charset) {
        Charset cs = Charset.forName(charset);
        CharsetEncoder encoder = cs.newEncoder();
        return c -> {
            String s = Character.toString(c);
            return encoder.canEncode(s) && new String(s.getBytes(cs), cs).equals(s);
        };
    }

    // ---- every character alone ----

    @Test
    void utf8HoldsEveryCharacter() {
        useCodeset(UTF_8);
        startWithOldValue();
        assertNone(check(everyBmpCharacter(), c -> true));
        assertNone(check(supplementaryCharacters(), c -> true));
    }

    @Test
    void latin1HoldsExactlyTheFirst256() {
        useCodeset(ISO_8859_1);
        startWithOldValue();
        assertNone(check(everyBmpCharacter(), c -> c <= 0xFF));
        assertNone(check(supplementaryCharacters(), c -> false));
    }

    @Test
    void windows1252HoldsWhatItMaps() {
        useCodeset(WINDOWS_1252);
        startWithOldValue();
        assertNone(check(everyBmpCharacter(), javaRoundTrips("windows-1252")));
        assertNone(check(supplementaryCharacters(), c -> false));
    }

    /**
     * Shift_JIS (the agent's CP932): a character either comes back as it went
     * or is refused; none may come back as another. The expectation is not
     * taken from Java's charset, whose CP932 table differs in a few places.
     */
    @Test
    void shiftJisRoundTripsWhatItHoldsAndRefusesTheRest() {
        useCodeset(SHIFT_JIS);
        startWithOldValue();
        List<String> wrong = new ArrayList<>();
        int held = 0;
        List<String> all = everyBmpCharacter();
        all.addAll(supplementaryCharacters());
        for (String text : all) {
            int status = object.XelSetString(handle, ATTRIBUTE, text);
            String back = read();
            if (status == 0) {
                held++;
                lastStored = text;
                if (!back.equals(text)) {
                    wrong.add(describe(text) + " came back as " + describe(back));
                }
            } else if (status != NULL_TEXT || !back.equals(lastStored)) {
                wrong.add(describe(text) + ": refused with " + status + ", read back " + describe(back));
            }
            charactersChecked++;
        }
        assertNone(wrong);
        // ASCII, half-width katakana, JIS X 0208 and the vendor rows: several thousand.
        assertTrue(held > 7000, "only " + held + " characters held");
        IntPredicate ms932 = javaRoundTrips("windows-31j");
        for (String sample : new String[] {"A", "ｱ", "日", "本", "語", "表", "ソ", "①", "∑"}) {
            assertTrue(ms932.test(sample.codePointAt(0)));
            assertEquals(0, object.XelSetString(handle, ATTRIBUTE, sample), sample);
            assertEquals(sample, read());
        }
    }

    // ---- texts around the buffer sizes ----

    /** Bytes of the modified UTF-8 form Java hands over and takes back. */
    private static int modifiedLength(String s) {
        int n = 0;
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            n += c >= 1 && c <= 0x7F ? 1 : c <= 0x7FF ? 2 : 3;
        }
        return n;
    }

    /** `unit` repeated, topped up with ASCII to exactly `bytes` bytes of modified UTF-8. */
    private static String ofModifiedLength(String unit, int bytes) {
        StringBuilder b = new StringBuilder();
        int unitBytes = modifiedLength(unit);
        while (modifiedLength(b.toString()) + unitBytes <= bytes) {
            b.append(unit);
        }
        while (modifiedLength(b.toString()) < bytes) {
            b.append('a');
        }
        return b.toString();
    }

    static Stream<Arguments> lengths() {
        int[] sizes = {1, 2, 3, 5, 6, 7, 169 * 3, 170 * 3, 171 * 3, 172 * 3, 509, 510, 511, 512, 513,
            514, 515, 1023, 1024, 1025, 4095, 4096, 4097, 65535, 65536, 65537};
        Object[][] units = {
            {"UTF-8", UTF_8, "日"}, {"UTF-8", UTF_8, "é"}, {"UTF-8", UTF_8, "😀"},
            {"UTF-8", UTF_8, "a😀日é"}, {"ISO-8859-1", ISO_8859_1, "ÿ"},
            {"ISO-8859-1", ISO_8859_1, "aé"}, {"SHIFT_JIS", SHIFT_JIS, "日"},
            {"SHIFT_JIS", SHIFT_JIS, "ｱ"}, {"WINDOWS-1252", WINDOWS_1252, "€"}};
        return Stream.of(units).flatMap(u -> IntStream.of(sizes)
                .mapToObj(n -> Arguments.of(u[0], u[1], u[2], n)));
    }

    @ParameterizedTest(name = "{0}: \"{2}\" to {3} bytes")
    @MethodSource("lengths")
    void textsAroundBufferSizesRoundTrip(String name, int codeset, String unit, int bytes) {
        useCodeset(codeset);
        String text = ofModifiedLength(unit, bytes);
        assertEquals(0, object.XelSetString(handle, ATTRIBUTE, text));
        assertEquals(text, read());
        assertEquals(0, object.XelSetListString(handle, LIST, text, 0, 0));
        assertEquals(text, readListField());
        charactersChecked += 2L * text.codePointCount(0, text.length());
    }

    /** Every BMP character and supplementary ones, concatenated into long texts. */
    @Test
    void allCharactersInLongTextsUnderUtf8() {
        useCodeset(UTF_8);
        StringBuilder all = new StringBuilder();
        everyBmpCharacter().forEach(all::append);
        supplementaryCharacters().forEach(all::append);
        String text = all.toString();
        for (int chunk : new int[] {171, 512, 4096, 65536, text.length()}) {
            int from = 0;
            while (from < text.length()) {
                int to = Math.min(text.length(), from + chunk);
                if (to < text.length() && Character.isHighSurrogate(text.charAt(to - 1))) {
                    to++; // keep pairs whole
                }
                String piece = text.substring(from, to);
                assertEquals(0, object.XelSetString(handle, ATTRIBUTE, piece));
                assertEquals(piece, read(), "chunk " + chunk + " from " + from);
                charactersChecked += piece.codePointCount(0, piece.length());
                from = to;
            }
        }
    }

    // ---- what no NUL-terminated text can carry ----

    static Stream<Arguments> uncarriable() {
        List<Arguments> cases = new ArrayList<>();
        for (int codeset : new int[] {UTF_8, ISO_8859_1, SHIFT_JIS}) {
            cases.add(Arguments.of(codeset, "every lone surrogate", IntStream.rangeClosed(0xD800, 0xDFFF)
                    .mapToObj(c -> String.valueOf((char) c)).toArray(String[]::new)));
            cases.add(Arguments.of(codeset, "lone surrogates inside text", new String[] {
                "a\uD800b", "a\uDBFFb", "a\uDC00b", "abc\uD83D", "\uDE00abc", "\uDE00\uD83D",
                "😀\uD83D", "\uDE00😀", "x".repeat(600) + "\uD800", "\uDFFF" + "é".repeat(300)}));
            cases.add(Arguments.of(codeset, "U+0000", new String[] {
                "\u0000", "a\u0000", "\u0000a", "a\u0000b", "x".repeat(600) + "\u0000"}));
        }
        return cases.stream();
    }

    @ParameterizedTest(name = "code set {0}: {1}")
    @MethodSource("uncarriable")
    void nulAndUnpairedSurrogatesAreRefused(int codeset, String label, String[] texts) {
        useCodeset(codeset);
        assertEquals(0, object.XelSetString(handle, ATTRIBUTE, OLD));
        assertEquals(0, object.XelSetListString(handle, LIST, OLD, 0, 0));
        List<String> wrong = new ArrayList<>();
        for (String text : texts) {
            int status = object.XelSetString(handle, ATTRIBUTE, text);
            int listStatus = object.XelSetListString(handle, LIST, text, 0, 0);
            if (status != NULL_TEXT || listStatus != NULL_TEXT || !read().equals(OLD)
                    || !readListField().equals(OLD)) {
                wrong.add(describe(text) + ": " + status + "/" + listStatus);
            }
            charactersChecked += text.length();
        }
        assertNone(wrong);
    }
}
