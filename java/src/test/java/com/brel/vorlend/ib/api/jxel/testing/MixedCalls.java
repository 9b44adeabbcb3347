package com.brel.vorlend.ib.api.jxel.testing;

import static com.brel.vorlend.ib.api.jxel.testing.StandIn.INVALID_HANDLE;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.NO_ELEMENT;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.NO_MESSAGE;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.brel.vorlend.ib.api.jxel.JXelException;
import com.brel.vorlend.ib.api.jxel.JXelObject;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgent;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Deque;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.concurrent.Callable;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.function.LongPredicate;

/**
 * Threads calling every native on data objects of their own and on one shared
 * data object, in the local code set of the moment, with every result checked.
 * At the end the shared list must hold exactly what the threads added, and no
 * data object or converted text may be left.
 */
public final class MixedCalls {
    private static final int SHARED_LIST = 1;
    private static final int OWN_LIST = 2;
    private static final int CONTENDED = 3;

    private MixedCalls() {}

    /** Work done beside the threads until they finish, such as switching code sets. */
    public interface Alongside {
        void run(AtomicBoolean stop) throws Exception;
    }

    /**
     * Runs the threads while {@code more} holds for each one's count of calls;
     * {@code alongside}, when not null, runs on a thread of its own meanwhile.
     *
     * @return the number of native calls made
     */
    public static long run(int threads, String text, LongPredicate more, Alongside alongside)
            throws Exception {
        JXelObject shared = Objects.created();
        long sharedHandle = shared.myXelReference;
        ExecutorService pool = Executors.newFixedThreadPool(threads + 1);
        CyclicBarrier start = new CyclicBarrier(threads);
        AtomicBoolean stop = new AtomicBoolean();
        long calls = 0;
        try {
            List<Worker> workers = new ArrayList<>();
            List<Future<?>> results = new ArrayList<>();
            for (int t = 0; t < threads; t++) {
                Worker worker = new Worker(t, sharedHandle, text, start, more);
                workers.add(worker);
                results.add(pool.submit((Callable<Void>) () -> {
                    worker.run();
                    return null;
                }));
            }
            Future<?> beside = alongside == null ? null : pool.submit((Callable<Void>) () -> {
                alongside.run(stop);
                return null;
            });
            for (Future<?> result : results) {
                unwrap(result);
            }
            stop.set(true);
            if (beside != null) {
                unwrap(beside);
            }

            // The shared list holds exactly what the threads added, each index once.
            Map<Long, String> added = new HashMap<>();
            for (Worker worker : workers) {
                calls += worker.calls;
                for (Map.Entry<Long, String> e : worker.sharedAdds.entrySet()) {
                    assertNull(added.put(e.getKey(), e.getValue()), "index " + e.getKey() + " twice");
                }
            }
            assertEquals((long) added.size(), shared.XelGetListLength(sharedHandle, SHARED_LIST));
            for (long i = 0; i < added.size(); i++) {
                assertTrue(added.containsKey(i), "index " + i + " never handed out");
                assertEquals(0, shared.XelGetListString(sharedHandle, SHARED_LIST, (int) i, 0));
                assertEquals(added.get(i), shared.myXelDataString, "element " + i);
            }
        } finally {
            stop.set(true);
            pool.shutdownNow();
            assertTrue(pool.awaitTermination(1, TimeUnit.MINUTES));
        }
        Objects.free(shared);
        assertEquals(0, StandInAgent.liveObjects(), "data objects left");
        assertEquals(0, StandInAgent.unreleasedTexts(), "converted texts left");
        return calls;
    }

    private static void unwrap(Future<?> result) throws Exception {
        try {
            result.get(5, TimeUnit.MINUTES);
        } catch (ExecutionException e) {
            if (e.getCause() instanceof AssertionError) {
                throw (AssertionError) e.getCause();
            }
            throw e;
        }
    }

    private static final class Worker {
        private final int id;
        private final long shared;
        private final String text;
        private final String longText;
        private final CyclicBarrier start;
        private final LongPredicate more;
        private final JXelObject me = new JXelObject();
        private final JXelException messages = new JXelException(0);
        private final Deque<Long> own = new ArrayDeque<>();
        private final Map<Long, String> sharedAdds = new HashMap<>();
        private final Random random;
        private long calls;

        Worker(int id, long shared, String text, CyclicBarrier start, LongPredicate more) {
            this.id = id;
            this.shared = shared;
            this.text = text;
            // Past the bridge's 512-byte buffer in any form.
            this.longText = text.repeat(700 / text.length() + 1);
            this.start = start;
            this.more = more;
            this.random = new Random(0x57E55 + id);
        }

        void run() throws Exception {
            start.await(1, TimeUnit.MINUTES);
            while (more.test(calls)) {
                step(random.nextInt(12));
            }
            while (!own.isEmpty()) {
                free(own.pop());
            }
        }

        private String label(String what) {
            return "thread " + id + ", call " + calls + ": " + what;
        }

        private String textNo() {
            String body = random.nextInt(8) == 0 ? longText : text;
            return "T" + id + "#" + calls + "|" + body;
        }

        private long ownObject() {
            if (own.isEmpty()) {
                create();
            }
            return own.peek();
        }

        private void create() {
            int type = 1 + random.nextInt(99);
            JXelObject o = new JXelObject();
            calls += 2;
            assertEquals(0, o.XelDataCreate(type), label("create"));
            assertNotEquals(0L, o.myXelReference, label("create handle"));
            assertEquals(type, o.XelDataType(o.myXelReference), label("type"));
            own.push(o.myXelReference);
        }

        private void free(long h) {
            JXelObject o = new JXelObject();
            o.myXelReference = h;
            calls++;
            assertEquals(0, o.XelDataFree(h), label("free"));
            assertEquals(0L, o.myXelReference, label("handle after free"));
        }

        private void setAndGet(long h, int attribute) {
            String value = textNo();
            calls += 2;
            assertEquals(0, me.XelSetString(h, attribute, value), label("set string"));
            assertEquals(0, me.XelGetString(h, attribute), label("get string"));
            assertEquals(value, me.myXelDataString, label("string"));
        }

        private void step(int kind) {
            switch (kind) {
                case 0 -> create();
                case 1 -> {
                    if (own.isEmpty()) {
                        return;
                    }
                    long h = own.removeLast();
                    free(h);
                    JXelObject o = new JXelObject();
                    o.myXelReference = h;
                    calls++;
                    assertEquals(INVALID_HANDLE, o.XelDataFree(h), label("double free"));
                    assertEquals(h, o.myXelReference, label("handle after double free"));
                }
                case 2 -> setAndGet(ownObject(), 1);
                case 3 -> {
                    long h = random.nextBoolean() ? ownObject() : shared;
                    int value = random.nextInt();
                    calls += 3;
                    assertEquals(0, me.XelSetLong(h, 100 + id, value), label("set integer"));
                    assertEquals(value, me.XelGetLong(h, 100 + id), label("get integer"));
                    assertEquals(0, me.XelSetDouble(h, 100 + id, value / 7.0), label("set double"));
                }
                case 4 -> setAndGet(shared, 100 + id);
                case 5 -> {
                    calls += 3;
                    long index = me.XelAddListElement(shared, SHARED_LIST);
                    assertTrue(index >= 0, label("shared add gave " + index));
                    String value = textNo();
                    assertEquals(0, me.XelSetListString(shared, SHARED_LIST, value, (int) index, 0),
                            label("set shared element"));
                    assertEquals(0, me.XelGetListString(shared, SHARED_LIST, (int) index, 0),
                            label("get shared element"));
                    assertEquals(value, me.myXelDataString, label("shared element"));
                    sharedAdds.put(index, value);
                }
                case 6 -> {
                    long h = ownObject();
                    calls += 5;
                    long length = me.XelGetListLength(h, OWN_LIST);
                    long index = me.XelAddListElement(h, OWN_LIST);
                    assertEquals(Math.max(length, 0L), index, label("own add"));
                    assertEquals(0, me.XelSetListString(h, OWN_LIST, textNo(), (int) index, 3),
                            label("set own element"));
                    assertEquals(index, me.XelDeleteListElement(h, OWN_LIST, 0), label("own delete"));
                    assertEquals((long) NO_ELEMENT,
                            me.XelDeleteListElement(h, OWN_LIST, (int) index + 1),
                            label("delete past the end"));
                }
                case 7 -> {
                    int code = -random.nextInt(11);
                    messages.myXelDataString = null;
                    calls += 2;
                    assertEquals(0, messages.XelGetErrorMessage(code), label("error text"));
                    String message = messages.myXelDataString;
                    assertTrue(message != null && !message.isEmpty(), label("error text " + code));
                    assertEquals(NO_MESSAGE, messages.XelGetErrorMessage(code - 20),
                            label("no error text"));
                    assertEquals(message, messages.myXelDataString, label("error text kept"));
                }
                case 8 -> {
                    long h = ownObject();
                    setAndGet(h, 5);
                    String expected = me.myXelDataString;
                    JXelObject copy = new JXelObject();
                    calls += 3;
                    assertEquals(0, copy.XelDataCopy(h), label("copy"));
                    assertNotEquals(h, copy.myXelReference, label("copy handle"));
                    assertEquals(0, copy.XelGetString(copy.myXelReference, 5), label("copy text"));
                    assertEquals(expected, copy.myXelDataString, label("copy text"));
                    free(copy.myXelReference);
                }
                case 9 -> {
                    calls += 2;
                    assertEquals(0, JXelObject.XelVersion(), label("version"));
                    assertEquals(StandIn.VERSION_TEXT, JXelObject.ourVersion, label("version"));
                    assertEquals(Objects.TYPE, me.XelDataType(shared), label("shared type"));
                }
                case 10 -> { // every thread writes one attribute: any whole value may come back
                    String value = textNo();
                    calls += 2;
                    assertEquals(0, me.XelSetString(shared, CONTENDED, value), label("contended set"));
                    assertEquals(0, me.XelGetString(shared, CONTENDED), label("contended get"));
                    String back = me.myXelDataString;
                    assertTrue(back.matches("T\\d+#\\d+\\|.*")
                            && (back.endsWith("|" + text) || back.endsWith("|" + longText)),
                            label("contended value torn: " + back));
                }
                default -> { // a copy of the shared object while others change it
                    JXelObject copy = new JXelObject();
                    calls += 3;
                    assertEquals(0, copy.XelDataCopy(shared), label("copy shared"));
                    assertEquals(Objects.TYPE, copy.XelDataType(copy.myXelReference),
                            label("type of copy"));
                    free(copy.myXelReference);
                }
            }
        }
    }
}
