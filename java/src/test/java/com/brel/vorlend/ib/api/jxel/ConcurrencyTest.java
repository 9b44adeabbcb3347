package com.brel.vorlend.ib.api.jxel;

import static com.brel.vorlend.ib.api.jxel.testing.AgentControl.NO_ELEMENT;
import static com.brel.vorlend.ib.api.jxel.testing.AgentControl.SHIFT_JIS;
import static com.brel.vorlend.ib.api.jxel.testing.AgentControl.UTF_8;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.brel.vorlend.ib.api.jxel.testing.AgentControl;
import com.brel.vorlend.ib.api.jxel.testing.CleanAgent;
import com.brel.vorlend.ib.api.jxel.testing.Objects;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Deque;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Eight threads, each making 10,000 native calls of every kind on data objects
 * of its own and on one shared data object. Every result is checked; at the end
 * the shared list must hold exactly what the threads added, and no object may
 * be left alive.
 */
@ExtendWith(CleanAgent.class)
class ConcurrencyTest {
    private static final int THREADS = 8;
    private static final int CALLS = 10_000;
    private static final int SHARED_LIST = 1;
    private static final int OWN_LIST = 2;

    static Stream<Arguments> codesets() {
        return Stream.of(
                Arguments.of("UTF-8", UTF_8, "Grüße 日本 😀"),
                Arguments.of("SHIFT_JIS", SHIFT_JIS, "日本語のテキスト"));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("codesets")
    void mixedCallsFromEightThreads(String name, int codeset, String text) throws Exception {
        assertEquals(0, AgentControl.setCodeset(codeset));
        JXelObject shared = Objects.created();
        long sharedHandle = shared.myXelReference;

        ExecutorService pool = Executors.newFixedThreadPool(THREADS);
        CyclicBarrier start = new CyclicBarrier(THREADS);
        List<Future<Map<Long, String>>> results = new ArrayList<>();
        try {
            for (int t = 0; t < THREADS; t++) {
                Worker worker = new Worker(t, sharedHandle, text, start);
                results.add(pool.submit(worker::run));
            }
            // Shared list index -> the text its adder wrote into field 0.
            Map<Long, String> added = new HashMap<>();
            for (Future<Map<Long, String>> result : results) {
                try {
                    for (Map.Entry<Long, String> e : result.get(5, TimeUnit.MINUTES).entrySet()) {
                        assertNull(added.put(e.getKey(), e.getValue()),
                                "index " + e.getKey() + " handed out twice");
                    }
                } catch (ExecutionException e) {
                    if (e.getCause() instanceof AssertionError) {
                        throw (AssertionError) e.getCause();
                    }
                    throw e;
                }
            }

            assertEquals((long) added.size(), shared.XelGetListLength(sharedHandle, SHARED_LIST));
            for (long i = 0; i < added.size(); i++) {
                assertTrue(added.containsKey(i), "index " + i + " never handed out");
                assertEquals(0, shared.XelGetListString(sharedHandle, SHARED_LIST, (int) i, 0));
                assertEquals(added.get(i), shared.myXelDataString, "element " + i);
            }
        } finally {
            pool.shutdownNow();
            assertTrue(pool.awaitTermination(1, TimeUnit.MINUTES));
        }
        Objects.free(shared);
        assertEquals(0, AgentControl.liveObjects());
    }

    private static final class Worker {
        private final int id;
        private final long shared;
        private final String text;
        private final CyclicBarrier start;
        /** Receiver of the calls on the shared object: myXelDataString is per Java object. */
        private final JXelObject me = new JXelObject();
        private final JXelException messages = new JXelException(0);
        private final Deque<Long> own = new ArrayDeque<>();
        private final Map<Long, String> sharedAdds = new HashMap<>();
        private final Random random;
        private int calls;

        Worker(int id, long shared, String text, CyclicBarrier start) {
            this.id = id;
            this.shared = shared;
            this.text = text;
            this.start = start;
            this.random = new Random(0x5EED + id);
        }

        Map<Long, String> run() throws Exception {
            start.await(1, TimeUnit.MINUTES);
            while (calls < CALLS) {
                step(random.nextInt(10));
            }
            while (!own.isEmpty()) {
                free(own.pop());
            }
            return sharedAdds;
        }

        private String label(String what) {
            return "thread " + id + ", call " + calls + ": " + what;
        }

        private String textNo(int n) {
            return id + ":" + n + " " + text;
        }

        private void step(int kind) {
            int n = calls;
            switch (kind) {
                case 0 -> { // create, check type
                    int type = 1 + random.nextInt(99);
                    JXelObject o = new JXelObject();
                    calls++;
                    assertEquals(0, o.XelDataCreate(type), label("create"));
                    assertNotEquals(0L, o.myXelReference, label("create handle"));
                    calls++;
                    assertEquals(type, o.XelDataType(o.myXelReference), label("type"));
                    own.push(o.myXelReference);
                }
                case 1 -> { // free one of ours, or fail to free a handle already freed
                    if (own.isEmpty()) {
                        return;
                    }
                    long h = own.removeLast();
                    free(h);
                    JXelObject o = new JXelObject();
                    o.myXelReference = h;
                    calls++;
                    assertEquals(AgentControl.INVALID_HANDLE, o.XelDataFree(h), label("double free"));
                    assertEquals(h, o.myXelReference, label("field after double free"));
                }
                case 2 -> { // string on an object of ours
                    long h = ownObject();
                    String value = textNo(n);
                    calls++;
                    assertEquals(0, me.XelSetString(h, 1, value), label("set string"));
                    calls++;
                    assertEquals(0, me.XelGetString(h, 1), label("get string"));
                    assertEquals(value, me.myXelDataString, label("string"));
                }
                case 3 -> { // integers on ours and on the shared object, own attribute
                    long h = random.nextBoolean() ? ownObject() : shared;
                    int value = random.nextInt();
                    calls++;
                    assertEquals(0, me.XelSetLong(h, 100 + id, value), label("set integer"));
                    calls++;
                    assertEquals(value, me.XelGetLong(h, 100 + id), label("get integer"));
                    calls++;
                    assertEquals(0, me.XelSetDouble(h, 100 + id, value / 3.0), label("set double"));
                }
                case 4 -> { // string on the shared object, own attribute
                    String value = textNo(n);
                    calls++;
                    assertEquals(0, me.XelSetString(shared, 100 + id, value), label("set shared string"));
                    calls++;
                    assertEquals(0, me.XelGetString(shared, 100 + id), label("get shared string"));
                    assertEquals(value, me.myXelDataString, label("shared string"));
                }
                case 5 -> { // grow the shared list; the index is ours alone
                    calls++;
                    long index = me.XelAddListElement(shared, SHARED_LIST);
                    assertTrue(index >= 0, label("shared add gave " + index));
                    String value = textNo(n);
                    calls++;
                    assertEquals(0, me.XelSetListString(shared, SHARED_LIST, value, (int) index, 0),
                            label("set shared element"));
                    calls++;
                    assertEquals(0, me.XelGetListString(shared, SHARED_LIST, (int) index, 0),
                            label("get shared element"));
                    assertEquals(value, me.myXelDataString, label("shared element"));
                    sharedAdds.put(index, value);
                }
                case 6 -> { // a list of ours: add, write, delete
                    long h = ownObject();
                    calls++;
                    long length = me.XelGetListLength(h, OWN_LIST);
                    calls++;
                    long index = me.XelAddListElement(h, OWN_LIST);
                    assertEquals(Math.max(length, 0L), index, label("own add"));
                    calls++;
                    assertEquals(0, me.XelSetListString(h, OWN_LIST, textNo(n), (int) index, 3),
                            label("set own element"));
                    calls++;
                    assertEquals(index, me.XelDeleteListElement(h, OWN_LIST, 0), label("own delete"));
                    calls++;
                    assertEquals((long) NO_ELEMENT, me.XelDeleteListElement(h, OWN_LIST, (int) index + 1),
                            label("delete past the end"));
                }
                case 7 -> { // error texts
                    int code = -random.nextInt(11);
                    messages.myXelDataString = null;
                    calls++;
                    assertEquals(0, messages.XelGetErrorMessage(code), label("error text " + code));
                    assertTrue(messages.myXelDataString != null && !messages.myXelDataString.isEmpty(),
                            label("error text " + code));
                    calls++;
                    assertEquals(AgentControl.NO_MESSAGE, messages.XelGetErrorMessage(code - 20),
                            label("no error text"));
                }
                case 8 -> { // copy one of ours into a new receiver, then free the copy
                    long h = ownObject();
                    JXelObject copy = new JXelObject();
                    calls++;
                    assertEquals(0, copy.XelDataCopy(h), label("copy"));
                    assertNotEquals(h, copy.myXelReference, label("copy handle"));
                    calls++;
                    assertEquals(0, copy.XelDataFree(copy.myXelReference), label("free copy"));
                    assertEquals(0L, copy.myXelReference, label("copy field after free"));
                }
                default -> { // version, and the type of the shared object
                    calls++;
                    assertEquals(0, JXelObject.XelVersion(), label("version"));
                    assertEquals(AgentControl.VERSION_TEXT, JXelObject.ourVersion, label("version"));
                    calls++;
                    assertEquals(Objects.TYPE, me.XelDataType(shared), label("shared type"));
                }
            }
        }

        private long ownObject() {
            if (own.isEmpty()) {
                step(0);
            }
            return own.peek();
        }

        private void free(long h) {
            JXelObject o = new JXelObject();
            o.myXelReference = h;
            calls++;
            assertEquals(0, o.XelDataFree(h), label("free"));
            assertEquals(0L, o.myXelReference, label("field after free"));
        }
    }
}
