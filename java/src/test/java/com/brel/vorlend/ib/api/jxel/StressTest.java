package com.brel.vorlend.ib.api.jxel;

import static com.brel.vorlend.ib.api.jxel.testing.AgentControl.INVALID_HANDLE;
import static com.brel.vorlend.ib.api.jxel.testing.AgentControl.ISO_8859_1;
import static com.brel.vorlend.ib.api.jxel.testing.AgentControl.NO_ELEMENT;
import static com.brel.vorlend.ib.api.jxel.testing.AgentControl.NO_MESSAGE;
import static com.brel.vorlend.ib.api.jxel.testing.AgentControl.SHIFT_JIS;
import static com.brel.vorlend.ib.api.jxel.testing.AgentControl.UTF_8;
import static com.brel.vorlend.ib.api.jxel.testing.AgentControl.WINDOWS_1252;
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
import java.util.concurrent.Callable;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicBoolean;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;

/**
 * Threads calling every native for a fixed time, on data objects of their own
 * and on a shared one, in one local code set per phase; a last phase flips the
 * code set all along while the threads use ASCII only, which reads the same in
 * every code set, so every result can still be checked exactly. Prints the
 * calls per second.
 *
 * <p>JXEL_STRESS_SECONDS (default 3) and JXEL_STRESS_THREADS (default 8) set
 * the run; ./build.sh stress runs it for 30 seconds.
 */
@ExtendWith(CleanAgent.class)
class StressTest {
    private static final int SHARED_LIST = 1;
    private static final int OWN_LIST = 2;
    private static final int CONTENDED = 3;

    private record Phase(String name, int codeset, String text, boolean switching) {}

    private static final Phase[] PHASES = {
        new Phase("UTF-8", UTF_8, "Grüße 日本 😀", false),
        new Phase("ISO-8859-1", ISO_8859_1, "Grüße ÿ¿", false),
        new Phase("SHIFT_JIS", SHIFT_JIS, "日本語のテキスト ｱｲｳ", false),
        new Phase("WINDOWS-1252", WINDOWS_1252, "Grüße € „Œ“", false),
        new Phase("switching code sets", UTF_8, "ASCII only 0123", true),
    };

    private static int setting(String name, int fallback) {
        String value = System.getenv(name);
        return value == null || value.isEmpty() ? fallback : Integer.parseInt(value);
    }

    @Test
    void threadsCallEveryNativeAndEveryResultIsRight() throws Exception {
        int seconds = setting("JXEL_STRESS_SECONDS", 3);
        int threads = setting("JXEL_STRESS_THREADS", 8);
        long phaseNanos = TimeUnit.SECONDS.toNanos(seconds) / PHASES.length;
        long total = 0;
        long started = System.nanoTime();
        for (Phase phase : PHASES) {
            long calls = runPhase(phase, threads, phaseNanos);
            System.out.printf("stress %-20s %,12d calls, %,10.0f calls/s%n", phase.name, calls,
                    calls / (phaseNanos / 1e9));
            total += calls;
        }
        double elapsed = (System.nanoTime() - started) / 1e9;
        System.out.printf("stress: %,d calls on %d threads in %.1f s, %,.0f calls/s%n", total,
                threads, elapsed, total / elapsed);
        assertEquals(0, AgentControl.liveObjects());
        assertEquals(0, AgentControl.liveBuffers());
    }

    private static long runPhase(Phase phase, int threads, long nanos) throws Exception {
        assertEquals(0, AgentControl.setCodeset(phase.codeset));
        JXelObject shared = Objects.created();
        long sharedHandle = shared.myXelReference;
        ExecutorService pool = Executors.newFixedThreadPool(threads + 1);
        CyclicBarrier start = new CyclicBarrier(threads);
        AtomicBoolean stop = new AtomicBoolean();
        long calls = 0;
        try {
            List<Worker> workers = new ArrayList<>();
            List<Future<?>> results = new ArrayList<>();
            long deadline = System.nanoTime() + nanos;
            for (int t = 0; t < threads; t++) {
                Worker worker = new Worker(t, sharedHandle, phase.text, start, deadline);
                workers.add(worker);
                results.add(pool.submit((Callable<Void>) () -> {
                    worker.run();
                    return null;
                }));
            }
            Future<?> switcher = null;
            if (phase.switching) {
                switcher = pool.submit((Callable<Void>) () -> {
                    int[] codesets = {UTF_8, ISO_8859_1, SHIFT_JIS, WINDOWS_1252};
                    for (int i = 0; !stop.get(); i++) {
                        assertEquals(0, AgentControl.setCodeset(codesets[i % 4]));
                        Thread.yield();
                    }
                    return null;
                });
            }
            for (Future<?> result : results) {
                unwrap(result);
            }
            stop.set(true);
            if (switcher != null) {
                unwrap(switcher);
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
                assertEquals(0, shared.XelGetListString(sharedHandle, SHARED_LIST, (int) i, 0));
                assertEquals(added.get(i), shared.myXelDataString, "element " + i);
            }
        } finally {
            stop.set(true);
            pool.shutdownNow();
            assertTrue(pool.awaitTermination(1, TimeUnit.MINUTES));
        }
        Objects.free(shared);
        assertEquals(0, AgentControl.liveObjects(), phase.name + ": data objects left");
        assertEquals(0, AgentControl.liveBuffers(), phase.name + ": converted texts left");
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
        private final long deadline;
        private final JXelObject me = new JXelObject();
        private final JXelException messages = new JXelException(0);
        private final Deque<Long> own = new ArrayDeque<>();
        private final Map<Long, String> sharedAdds = new HashMap<>();
        private final Random random;
        private long calls;

        Worker(int id, long shared, String text, CyclicBarrier start, long deadline) {
            this.id = id;
            this.shared = shared;
            this.text = text;
            // Past the bridge's 512-byte buffer in any form.
            this.longText = text.repeat(700 / text.length() + 1);
            this.start = start;
            this.deadline = deadline;
            this.random = new Random(0x57E55 + id);
        }

        void run() throws Exception {
            start.await(1, TimeUnit.MINUTES);
            while (System.nanoTime() < deadline) {
                for (int i = 0; i < 64; i++) {
                    step(random.nextInt(12));
                }
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
                    assertEquals(AgentControl.VERSION_TEXT, JXelObject.ourVersion, label("version"));
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
