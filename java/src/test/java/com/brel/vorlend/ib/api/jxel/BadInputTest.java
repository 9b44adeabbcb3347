package com.brel.vorlend.ib.api.jxel;

import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.ISO_8859_1;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.SHIFT_JIS;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.UTF_8;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.INJECTED;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.INVALID_HANDLE;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.NOT_A_LIST;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.NO_ELEMENT;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.NO_MESSAGE;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.NULL_TEXT;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import com.brel.vorlend.ib.api.jxel.standin.Operation;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgent;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgentExtension;
import com.brel.vorlend.ib.api.jxel.testing.Objects;
import com.brel.vorlend.ib.api.jxel.testing.StandIn;
import java.util.ArrayList;
import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Bad input walked through every native: handles that name nothing, null and
 * huge texts, extreme attributes, selectors and codes, subclass receivers, and
 * every agent operation made to fail. Each gives the agent's documented status
 * (or the bridge's), changes nothing it should not, and leaves no data object
 * or converted text behind.
 */
@ExtendWith(StandInAgentExtension.class)
class BadInputTest {
    private static final int TEXT = 1;
    private static final int LIST = 2;
    private static final int NUMBER = 3;
    private static final long SENTINEL = 0x5EED_5EED_5EEDL;

    /** A live data object holding known values; every case checks it is untouched. */
    private JXelObject witness;
    private long live;

    @BeforeEach
    void createWitness() {
        witness = Objects.created();
        live = witness.myXelReference;
        assertEquals(0, witness.XelSetString(live, TEXT, "kept"));
        assertEquals(0L, witness.XelAddListElement(live, LIST));
        assertEquals(0, witness.XelSetListString(live, LIST, "kept", 0, 0));
        assertEquals(0, witness.XelSetLong(live, NUMBER, 42));
    }

    @AfterEach
    void witnessUntouchedAndNothingLeft() {
        StandInAgent.cancelFailures();
        StandInAgent.setCodeSet(UTF_8);
        assertEquals(Objects.TYPE, witness.XelDataType(live));
        assertEquals("kept", text(live));
        assertEquals("kept", listText(live, 0, 0));
        assertEquals(1L, witness.XelGetListLength(live, LIST));
        assertEquals(42, witness.XelGetLong(live, NUMBER));
        Objects.free(witness);
        assertEquals(0, StandInAgent.liveObjects(), "data objects left alive");
        assertEquals(0, StandInAgent.unreleasedTexts(), "converted texts not released");
    }

    private static String text(long handle) {
        JXelObject o = new JXelObject();
        o.myXelDataString = "stale";
        assertEquals(0, o.XelGetString(handle, TEXT));
        return o.myXelDataString;
    }

    private static String listText(long handle, int first, int second) {
        JXelObject o = new JXelObject();
        o.myXelDataString = "stale";
        assertEquals(0, o.XelGetListString(handle, LIST, first, second));
        return o.myXelDataString;
    }

    @FunctionalInterface
    interface Case {
        void run(BadInputTest t);
    }

    private static Arguments row(String name, Case body) {
        return Arguments.of(name, body);
    }

    // ---- handles that name no data object, through every native that takes one ----

    private static final long MADE_UP_1 = 0x7FFF_FFFF_0000_0001L; // a generation no slot reaches
    private static final long MADE_UP_2 = 0x0000_0001_FFFF_FFFFL; // a slot beyond the table
    private static final long MADE_UP_3 = 0x0000_1234_5678_9ABCL;

    static Stream<Arguments> badHandles() {
        long[] handles = {0L, -1L, Long.MIN_VALUE, Long.MAX_VALUE, MADE_UP_1, MADE_UP_2, MADE_UP_3};
        String[] names = {"0", "-1", "Long.MIN_VALUE", "Long.MAX_VALUE", "made up 1", "made up 2",
            "made up 3"};
        List<Arguments> rows = new ArrayList<>();
        for (int i = 0; i < handles.length; i++) {
            rows.add(Arguments.of(names[i], false, handles[i]));
        }
        rows.add(Arguments.of("freed", true, 0L));
        return rows.stream();
    }

    interface HandleCase {
        void run(JXelObject receiver, long bad);
    }

    static Stream<Arguments> handleOps() {
        List<Arguments> ops = List.of(
                Arguments.of("copy", (HandleCase) (r, h) -> {
                    assertEquals(INVALID_HANDLE, r.XelDataCopy(h));
                    assertEquals(SENTINEL, r.myXelReference);
                }),
                Arguments.of("free", (HandleCase) (r, h) -> {
                    assertEquals(INVALID_HANDLE, r.XelDataFree(h));
                    assertEquals(SENTINEL, r.myXelReference);
                }),
                Arguments.of("type", (HandleCase) (r, h) -> assertEquals(INVALID_HANDLE, r.XelDataType(h))),
                Arguments.of("get string", (HandleCase) (r, h) -> {
                    assertEquals(0, r.XelGetString(h, TEXT));
                    assertEquals("", r.myXelDataString);
                }),
                Arguments.of("set string", (HandleCase) (r, h) ->
                        assertEquals(INVALID_HANDLE, r.XelSetString(h, TEXT, "x"))),
                Arguments.of("set string null", (HandleCase) (r, h) ->
                        assertEquals(INVALID_HANDLE, r.XelSetString(h, TEXT, null))),
                Arguments.of("get integer", (HandleCase) (r, h) ->
                        assertEquals(INVALID_HANDLE, r.XelGetLong(h, NUMBER))),
                Arguments.of("set integer", (HandleCase) (r, h) ->
                        assertEquals(INVALID_HANDLE, r.XelSetLong(h, NUMBER, 1))),
                Arguments.of("set double", (HandleCase) (r, h) ->
                        assertEquals(INVALID_HANDLE, r.XelSetDouble(h, NUMBER, 1.0))),
                Arguments.of("list length", (HandleCase) (r, h) ->
                        assertEquals(INVALID_HANDLE, r.XelGetListLength(h, LIST))),
                Arguments.of("add element", (HandleCase) (r, h) ->
                        assertEquals(INVALID_HANDLE, r.XelAddListElement(h, LIST))),
                Arguments.of("delete element", (HandleCase) (r, h) ->
                        assertEquals(INVALID_HANDLE, r.XelDeleteListElement(h, LIST, 0))),
                Arguments.of("get list string", (HandleCase) (r, h) -> {
                    assertEquals(0, r.XelGetListString(h, LIST, 0, 0));
                    assertEquals("", r.myXelDataString);
                }),
                Arguments.of("set list string", (HandleCase) (r, h) ->
                        assertEquals(INVALID_HANDLE, r.XelSetListString(h, LIST, "x", 0, 0))),
                Arguments.of("set list string null", (HandleCase) (r, h) ->
                        assertEquals(INVALID_HANDLE, r.XelSetListString(h, LIST, null, 0, 0))));
        return badHandles().flatMap(handle -> ops.stream().map(op -> Arguments.of(
                handle.get()[0], handle.get()[1], handle.get()[2], op.get()[0], op.get()[1])));
    }

    @ParameterizedTest(name = "handle {0}: {3}")
    @MethodSource("handleOps")
    void handleThatNamesNothing(String handleName, boolean freed, long handle, String op,
            HandleCase body) {
        long bad = freed ? Objects.staleHandle() : handle;
        JXelObject receiver = new JXelObject();
        receiver.myXelReference = SENTINEL;
        receiver.myXelDataString = "stale";
        body.run(receiver, bad);
        assertEquals(1, StandInAgent.liveObjects());
    }

    // ---- texts, attributes, selectors, codes, receivers ----

    static final class Derived extends JXelObject {}

    static final class DerivedException extends JXelException {
        private static final long serialVersionUID = 1L;

        DerivedException() {
            super(0);
        }
    }

    private static String huge(String unit) {
        int bytes = 16 << 20;
        int unitBytes = unit.codePoints().map(c -> c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4)
                .sum();
        return unit.repeat(bytes / unitBytes);
    }

    private void roundTrip(String label, int codeset, String text) {
        StandInAgent.setCodeSet(codeset);
        JXelObject o = Objects.created();
        long h = o.myXelReference;
        assertEquals(0, o.XelSetString(h, TEXT, text), label);
        o.myXelDataString = null;
        assertEquals(0, o.XelGetString(h, TEXT));
        assertEquals(text, o.myXelDataString, label);
        assertEquals(0L, o.XelAddListElement(h, LIST));
        assertEquals(0, o.XelSetListString(h, LIST, text, 0, 7), label);
        o.myXelDataString = null;
        assertEquals(0, o.XelGetListString(h, LIST, 0, 7));
        assertEquals(text, o.myXelDataString, label);
        Objects.free(o);
    }

    private void refused(int codeset, String text) {
        StandInAgent.setCodeSet(codeset);
        assertEquals(NULL_TEXT, witness.XelSetString(live, TEXT, text));
        assertEquals(NULL_TEXT, witness.XelSetListString(live, LIST, text, 0, 0));
    }

    static Stream<Arguments> inputs() {
        int[] extremes = {Integer.MIN_VALUE, -1, 0, Integer.MAX_VALUE};
        List<Arguments> rows = new ArrayList<>(List.of(
                row("null text", t -> {
                    assertEquals(NULL_TEXT, t.witness.XelSetString(t.live, TEXT, null));
                    assertEquals(NULL_TEXT, t.witness.XelSetListString(t.live, LIST, null, 0, 0));
                }),
                row("null text, attribute not a list", t ->
                        assertEquals(NOT_A_LIST, t.witness.XelSetListString(t.live, TEXT, null, 0, 0))),
                row("null text, no such element", t ->
                        assertEquals(NO_ELEMENT, t.witness.XelSetListString(t.live, LIST, null, 1, 0))),
                row("double free", t -> {
                    JXelObject o = Objects.created();
                    long h = o.myXelReference;
                    Objects.free(o);
                    assertEquals(INVALID_HANDLE, o.XelDataFree(h));
                    assertEquals(0L, o.myXelReference);
                    o.myXelReference = h;
                    assertEquals(INVALID_HANDLE, o.XelDataFree(h));
                    assertEquals(h, o.myXelReference);
                }),
                row("free through a second receiver, then the first", t -> {
                    JXelObject first = Objects.created();
                    JXelObject second = new JXelObject();
                    assertEquals(0, second.XelDataFree(first.myXelReference));
                    assertEquals(INVALID_HANDLE, first.XelDataFree(first.myXelReference));
                    assertEquals(1, StandInAgent.liveObjects());
                }),
                row("16 MiB ASCII", t -> t.roundTrip("ASCII", UTF_8, huge("a"))),
                row("16 MiB two-byte", t -> t.roundTrip("é", UTF_8, huge("é"))),
                row("16 MiB three-byte", t -> t.roundTrip("日", UTF_8, huge("日"))),
                row("16 MiB supplementary", t -> t.roundTrip("😀", UTF_8, huge("😀"))),
                row("16 MiB mixed", t -> t.roundTrip("mixed", UTF_8, huge("aé日😀"))),
                row("16 MiB ISO-8859-1", t -> t.roundTrip("ÿ", ISO_8859_1, huge("aÿ"))),
                row("16 MiB Shift_JIS", t -> t.roundTrip("日本", SHIFT_JIS, huge("日本ｱa"))),
                row("16 MiB ending in a character ISO-8859-1 lacks", t ->
                        t.refused(ISO_8859_1, huge("a") + "€")),
                row("16 MiB ending in a lone surrogate", t -> t.refused(UTF_8, huge("é") + "\uD800")),
                row("16 MiB with U+0000 in the middle", t -> {
                    String half = huge("a").substring(0, 8 << 20);
                    t.refused(UTF_8, half + "\u0000" + half);
                }),
                row("subclass receiver of the text getters", t -> {
                    Derived d = new Derived();
                    assertEquals(0, d.XelGetString(t.live, TEXT));
                    assertEquals("kept", d.myXelDataString);
                    assertEquals(0, d.XelGetListString(t.live, LIST, 0, 0));
                    assertEquals("kept", d.myXelDataString);
                }),
                row("subclass receiver of the error text", t -> {
                    DerivedException e = new DerivedException();
                    assertEquals(0, e.XelGetErrorMessage(INVALID_HANDLE));
                    assertEquals("invalid data object handle", e.myXelDataString);
                })));
        for (int attribute : extremes) {
            rows.add(row("attribute " + attribute, t -> {
                JXelObject o = Objects.created();
                long h = o.myXelReference;
                assertEquals(0, o.XelSetString(h, attribute, "at " + attribute));
                assertEquals(0, o.XelGetString(h, attribute));
                assertEquals("at " + attribute, o.myXelDataString);
                assertEquals(0, o.XelSetLong(h, attribute, attribute));
                assertEquals(attribute, o.XelGetLong(h, attribute));
                assertEquals(0, o.XelSetDouble(h, attribute, Double.NaN));
                assertEquals(INVALID_HANDLE, o.XelGetListLength(h, attribute));
                assertEquals(0L, o.XelAddListElement(h, attribute));
                assertEquals(0, o.XelSetListString(h, attribute, "field", 0, attribute));
                assertEquals(0, o.XelGetListString(h, attribute, 0, attribute));
                assertEquals("field", o.myXelDataString);
                assertEquals(0L, o.XelDeleteListElement(h, attribute, 0));
                assertEquals(0L, o.XelGetListLength(h, attribute));
                Objects.free(o);
            }));
        }
        for (int selector : new int[] {Integer.MIN_VALUE, -1, 1, Integer.MAX_VALUE}) {
            rows.add(row("element selector " + selector, t -> {
                assertEquals(NO_ELEMENT, t.witness.XelSetListString(t.live, LIST, "x", selector, 0));
                assertEquals("", listText(t.live, selector, 0));
                assertEquals((long) NO_ELEMENT, t.witness.XelDeleteListElement(t.live, LIST, selector));
                assertEquals((long) NOT_A_LIST, t.witness.XelDeleteListElement(t.live, TEXT, selector));
            }));
        }
        for (int code : new int[] {Integer.MIN_VALUE, Integer.MAX_VALUE, 1, -11, NO_MESSAGE}) {
            rows.add(row("error code " + code, t -> {
                JXelException e = new JXelException(code);
                e.myXelDataString = "previous";
                assertEquals(NO_MESSAGE, e.XelGetErrorMessage(code));
                assertEquals("previous", e.myXelDataString);
                assertEquals("agent status " + code, new JXelException(code).getMessage());
            }));
        }
        return rows.stream();
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("inputs")
    void badInput(String name, Case body) {
        body.run(this);
    }

    // ---- every agent operation made to fail (or to give no text) ----

    static Stream<Arguments> faults() {
        int[] statuses = {INJECTED, Integer.MIN_VALUE, 7};
        List<Arguments> rows = new ArrayList<>();
        for (int status : statuses) {
            rows.addAll(List.of(
                    fault("create", Operation.CREATE_DATA_OBJECT, status, t -> {
                        JXelObject o = new JXelObject();
                        o.myXelReference = SENTINEL;
                        assertEquals(status, o.XelDataCreate(Objects.TYPE));
                        assertEquals(SENTINEL, o.myXelReference);
                    }),
                    fault("free", Operation.FREE_DATA_OBJECT, status, t -> {
                        assertEquals(status, t.witness.XelDataFree(t.live));
                        assertEquals(t.live, t.witness.myXelReference);
                    }),
                    fault("get integer", Operation.GET_INTEGER_ATTRIBUTE, status, t ->
                            assertEquals(status, t.witness.XelGetLong(t.live, NUMBER))),
                    fault("get string", Operation.GET_STRING_ATTRIBUTE, status, t -> {
                        t.witness.myXelDataString = "stale";
                        assertEquals(0, t.witness.XelGetString(t.live, TEXT));
                        assertEquals("", t.witness.myXelDataString);
                    }),
                    fault("set integer", Operation.SET_INTEGER_ATTRIBUTE, status, t ->
                            assertEquals(status, t.witness.XelSetLong(t.live, NUMBER, 5))),
                    fault("set string", Operation.SET_STRING_ATTRIBUTE, status, t ->
                            assertEquals(status, t.witness.XelSetString(t.live, TEXT, "lost"))),
                    fault("set double", Operation.SET_DOUBLE_ATTRIBUTE, status, t ->
                            assertEquals(status, t.witness.XelSetDouble(t.live, NUMBER, 2.5))),
                    fault("error text", Operation.ERROR_TEXT, status, t -> {
                        JXelException e = new JXelException(INVALID_HANDLE);
                        e.myXelDataString = "previous";
                        assertEquals(NO_MESSAGE, e.XelGetErrorMessage(INVALID_HANDLE));
                        assertEquals("previous", e.myXelDataString);
                        StandInAgent.failNext(Operation.ERROR_TEXT, 1, status);
                        assertEquals("agent status -1", new JXelException(INVALID_HANDLE).getMessage());
                    }),
                    fault("copy", Operation.COPY_DATA_OBJECT, status, t -> {
                        JXelObject o = new JXelObject();
                        o.myXelReference = SENTINEL;
                        assertEquals(status, o.XelDataCopy(t.live));
                        assertEquals(SENTINEL, o.myXelReference);
                    }),
                    fault("type", Operation.DATA_OBJECT_TYPE, status, t ->
                            assertEquals(status, t.witness.XelDataType(t.live))),
                    fault("delete element", Operation.DELETE_LIST_ELEMENT, status, t ->
                            assertEquals((long) status, t.witness.XelDeleteListElement(t.live, LIST, 0))),
                    fault("add element", Operation.ADD_LIST_ELEMENT, status, t ->
                            assertEquals((long) status, t.witness.XelAddListElement(t.live, LIST))),
                    fault("list length", Operation.LIST_LENGTH, status, t ->
                            assertEquals((long) status, t.witness.XelGetListLength(t.live, LIST))),
                    fault("get list string", Operation.GET_LIST_STRING, status, t -> {
                        t.witness.myXelDataString = "stale";
                        assertEquals(0, t.witness.XelGetListString(t.live, LIST, 0, 0));
                        assertEquals("", t.witness.myXelDataString);
                    }),
                    fault("set list string", Operation.SET_LIST_STRING, status, t ->
                            assertEquals(status, t.witness.XelSetListString(t.live, LIST, "lost", 0, 0))),
                    fault("version text", Operation.VERSION_TEXT, status, t -> {
                        JXelObject.ourVersion = "stale";
                        assertEquals(0, JXelObject.XelVersion());
                        assertEquals("", JXelObject.ourVersion);
                        assertEquals(0, JXelObject.XelVersion());
                        assertEquals(StandIn.VERSION_TEXT, JXelObject.ourVersion);
                    }),
                    // Without a locale record no conversion happens: the agent gets no
                    // text to set, and Java gets the agent's text unconverted.
                    fault("get locale, setting", Operation.GET_LOCALE, status, t ->
                            assertEquals(NULL_TEXT, t.witness.XelSetString(t.live, TEXT, "lost"))),
                    fault("get locale, getting", Operation.GET_LOCALE, status, t -> {
                        StandInAgent.failNext(Operation.GET_LOCALE, 0, 0);
                        StandInAgent.setCodeSet(ISO_8859_1);
                        assertEquals(0, t.witness.XelSetString(t.live, 9, "Grüße")); // FC DF
                        StandInAgent.failNext(Operation.GET_LOCALE, 1, status);
                        t.witness.myXelDataString = null;
                        assertEquals(0, t.witness.XelGetString(t.live, 9));
                        assertEquals("Gr\uFFFD\uFFFDe", t.witness.myXelDataString);
                    }),
                    // The bridge announces itself before converting; the answer changes nothing.
                    fault("component setup", Operation.COMPONENT_SETUP, status, t -> {
                        assertEquals(0, t.witness.XelSetString(t.live, 9, "set anyway"));
                        assertEquals("set anyway", textOf(t.live, 9));
                    }),
                    fault("convert, setting", Operation.CONVERT_TEXT, status, t ->
                            assertEquals(NULL_TEXT, t.witness.XelSetString(t.live, TEXT, "lost"))),
                    fault("convert, getting", Operation.CONVERT_TEXT, status, t -> {
                        StandInAgent.setCodeSet(ISO_8859_1);
                        StandInAgent.failNext(Operation.CONVERT_TEXT, 0, 0);
                        assertEquals(0, t.witness.XelSetString(t.live, 9, "é"));
                        StandInAgent.failNext(Operation.CONVERT_TEXT, 1, status);
                        assertEquals("\uFFFD", textOf(t.live, 9));
                        assertEquals("é", textOf(t.live, 9));
                    })));
        }
        // The two operations without a result cannot be made to fail.
        rows.add(fault("prepare status", Operation.PREPARE_STATUS, INJECTED, t -> {
            StandInAgent.setCodeSet(ISO_8859_1);
            assertEquals(0, t.witness.XelSetString(t.live, 9, "Grüße"));
            assertEquals("Grüße", textOf(t.live, 9));
        }));
        rows.add(fault("release buffer", Operation.RELEASE_BUFFER, INJECTED, t -> {
            StandInAgent.setCodeSet(SHIFT_JIS);
            assertEquals(0, t.witness.XelSetString(t.live, 9, "日本"));
            assertEquals("日本", textOf(t.live, 9));
            assertEquals(0, StandInAgent.unreleasedTexts());
        }));
        return rows.stream();
    }

    private static Arguments fault(String name, Operation op, int status, Case body) {
        return Arguments.of(name, op, status, body);
    }

    private static String textOf(long handle, int attribute) {
        JXelObject o = new JXelObject();
        assertEquals(0, o.XelGetString(handle, attribute));
        return o.myXelDataString;
    }

    @ParameterizedTest(name = "{0} ({1}) fails with {2}")
    @MethodSource("faults")
    void agentOperationFails(String name, Operation op, int status, Case body) {
        if (op == Operation.PREPARE_STATUS || op == Operation.RELEASE_BUFFER) {
            assertThrows(IllegalArgumentException.class, () -> StandInAgent.failNext(op, 1, status));
        } else {
            StandInAgent.failNext(op, 1, status);
        }
        body.run(this);
        StandInAgent.cancelFailures();
        assertEquals(1, StandInAgent.liveObjects());
        assertEquals(0, StandInAgent.unreleasedTexts());
    }
}
