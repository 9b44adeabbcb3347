package com.brel.vorlend.ib.api.jxel.bench;

import java.io.PrintWriter;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Locale;
import java.util.concurrent.CyclicBarrier;
import java.util.function.IntFunction;

/**
 * Times batches of calls: warm-up until the JIT has settled, then rounds of about equal
 * length; reports the median time per call and the spread between the quartiles.
 * No JMH: it would be one more thing to install, and these cases need nothing it adds.
 */
final class Harness {
    /** Runs {@code n} calls; its result is only summed, so the calls cannot be dropped. */
    interface Batch {
        long run(int n);
    }

    /** Untimed work around a batch of {@code n} calls (making or freeing objects). */
    interface Untimed {
        void run(int n);
    }

    static final Untimed NOTHING = n -> {};

    static final class Result {
        final String group;
        final String name;
        final String unit;
        final double median;
        final double q1;
        final double q3;
        final int rounds;
        final long callsPerRound;
        final double[] samples;  // in the order of the rounds

        Result(String group, String name, String unit, double[] samples, long callsPerRound) {
            this.samples = samples.clone();
            double[] sorted = samples.clone();
            Arrays.sort(sorted);
            this.group = group;
            this.name = name;
            this.unit = unit;
            this.median = quantile(sorted, 0.5);
            this.q1 = quantile(sorted, 0.25);
            this.q3 = quantile(sorted, 0.75);
            this.rounds = sorted.length;
            this.callsPerRound = callsPerRound;
        }

        double spreadPercent() {
            return median == 0 ? 0 : 100.0 * (q3 - q1) / median;
        }
    }

    private final long warmupNanos;
    private final long roundNanos;
    private final long scalingNanos;
    private final int rounds;
    private final int maxBatch;
    private final List<Result> results = new ArrayList<>();
    private final String label;
    static volatile long sink;

    Harness(String label) {
        this.label = label;
        this.warmupNanos = millis("jxel.bench.warmupMillis", 250) * 1_000_000L;
        this.roundNanos = millis("jxel.bench.roundMillis", 15) * 1_000_000L;
        // Two threads need batches long enough that starting them is no part of the time.
        this.scalingNanos = millis("jxel.bench.scalingMillis", 15) * 1_000_000L;
        this.rounds = (int) millis("jxel.bench.rounds", 15);
        this.maxBatch = (int) millis("jxel.bench.maxBatch", 4_000_000);
    }

    private static long millis(String property, long fallback) {
        return Long.getLong(property, fallback);
    }

    static double quantile(double[] sorted, double q) {
        double position = q * (sorted.length - 1);
        int below = (int) Math.floor(position);
        int above = Math.min(below + 1, sorted.length - 1);
        return sorted[below] + (sorted[above] - sorted[below]) * (position - below);
    }

    private long timeOnce(Batch batch, Untimed before, Untimed after, int n) {
        before.run(n);
        long start = System.nanoTime();
        long value = batch.run(n);
        long elapsed = System.nanoTime() - start;
        after.run(n);
        sink += value;
        return elapsed;
    }

    /** One round of a case: its calls, in batches no larger than its limit. */
    private long timeRound(Case c) {
        long total = 0;
        for (int done = 0; done < c.calls; ) {
            int n = Math.min(c.limit, c.calls - done);
            total += timeOnce(c.batch, c.before, c.after, n);
            done += n;
        }
        return total;
    }

    /** A case waiting for {@link #run()}. */
    private static final class Case {
        final String group;
        final String name;
        final Batch batch;
        final Untimed before;
        final Untimed after;
        final int limit;
        int calls;
        double[] samples;

        Case(String group, String name, Batch batch, Untimed before, Untimed after, int limit) {
            this.group = group;
            this.name = name;
            this.batch = batch;
            this.before = before;
            this.after = after;
            this.limit = limit;
        }
    }

    private final List<Case> cases = new ArrayList<>();
    private final List<Runnable> checks = new ArrayList<>();

    void measure(String group, String name, Batch batch) {
        measure(group, name, batch, NOTHING, NOTHING, maxBatch);
    }

    /**
     * Adds a case to time; {@code limit} caps the calls per batch (for calls that make
     * objects). Nothing runs before {@link #run()}.
     */
    void measure(String group, String name, Batch batch, Untimed before, Untimed after,
            int limit) {
        cases.add(new Case(group, name, batch, before, after, limit));
    }

    /** Runs after every case has been timed, to confirm the cases did what they claim. */
    void afterAll(Runnable check) {
        checks.add(check);
    }

    /**
     * Warms every case up, then times them in turns, one batch of each per round: a
     * change of load on the machine then shifts a case and the floor it is compared
     * with alike, rather than whichever case happened to run at the time.
     */
    void run() {
        for (Case c : cases) {
            // Grow the batch until one takes a measurable time, then warm up at that size.
            int n = 16;
            long elapsed = timeOnce(c.batch, c.before, c.after, n);
            while (elapsed < roundNanos / 4 && n < c.limit) {
                n = (int) Math.min(c.limit, n * 4L);
                elapsed = timeOnce(c.batch, c.before, c.after, n);
            }
            // Rounds sized by the fastest warm-up batch: a batch other work delayed would
            // make them too short.
            long fastest = Math.max(1, elapsed);
            long warmupEnd = System.nanoTime() + warmupNanos;
            while (System.nanoTime() < warmupEnd) {
                fastest = Math.min(fastest, Math.max(1, timeOnce(c.batch, c.before, c.after, n)));
            }
            c.calls = (int) Math.max(1, Math.min(maxBatch, (double) n * roundNanos / fastest));
            c.samples = new double[rounds];
            System.out.printf(Locale.ROOT, "  [%s] warmed up %s/%s%n", label, c.group, c.name);
        }
        List<Case> reversed = new ArrayList<>(cases);
        Collections.reverse(reversed);
        for (int r = 0; r < rounds; r++) {
            // Each case goes first as often as last: what runs before it cannot favour it.
            for (Case c : r % 2 == 0 ? cases : reversed) c.samples[r] = (double) timeRound(c) / c.calls;
        }
        for (Case c : cases) report(new Result(c.group, c.name, "ns", c.samples, c.calls));
        cases.clear();
        for (Runnable check : checks) check.run();
        checks.clear();
    }

    /** A case of {@link #scaling}: its name and how each of the two threads makes its batch. */
    record Scaled(String name, IntFunction<Batch> perThread) {}

    /**
     * Throughput of two threads, each running its own batch on its own objects, over one
     * thread running the same: 2.0 is perfect scaling. Every round times both shapes of
     * every case given, so cases given together can be compared round by round.
     */
    void scaling(String group, Scaled... scaled) throws Exception {
        final int cases = scaled.length;
        final Batch[][] batches = new Batch[cases][];
        for (int c = 0; c < cases; c++) {
            IntFunction<Batch> perThread = scaled[c].perThread();
            batches[c] = new Batch[] {perThread.apply(0), perThread.apply(1)};
        }
        // Warm up and size the batch so that one takes about a round, on average over the cases.
        int n = 1024;
        long elapsed = 0;
        while (elapsed < scalingNanos && n < maxBatch) {
            n *= 2;
            long start = System.nanoTime();
            for (Batch[] b : batches) sink += b[0].run(n);
            elapsed = (System.nanoTime() - start) / cases;
        }
        final int calls = n;
        final long[] starts = new long[2];
        final long[] ends = new long[2];
        final boolean[] active = new boolean[2];
        final int[] current = new int[1];
        final CyclicBarrier go = new CyclicBarrier(3);
        final CyclicBarrier done = new CyclicBarrier(3);
        final boolean[] stop = {false};
        Thread[] threads = new Thread[2];
        for (int t = 0; t < 2; t++) {
            final int id = t;
            threads[t] = new Thread(() -> {
                try {
                    while (true) {
                        go.await();
                        if (stop[0]) return;
                        if (active[id]) {
                            starts[id] = System.nanoTime();
                            sink += batches[current[0]][id].run(calls);
                            ends[id] = System.nanoTime();
                        }
                        done.await();
                    }
                } catch (Exception e) {
                    throw new IllegalStateException(e);
                }
            }, "bench-" + t);
            threads[t].setDaemon(true);
            threads[t].start();
        }
        int warmRounds = (int) Math.max(4, warmupNanos / Math.max(1, elapsed));
        // Twice the rounds of the other cases (up to 60): a ratio of two runs varies more.
        int scalingRounds = Math.min(2 * rounds, 60);
        int totalRounds = warmRounds + scalingRounds;
        double[][] ratios = new double[cases][scalingRounds];
        for (int r = 0; r < totalRounds; r++) {
            for (int k = 0; k < cases; k++) {
                // Each case goes first as often as last.
                current[0] = r % 2 == 0 ? k : cases - 1 - k;
                // Each thread alone, with both at once in between: this machine's speed
                // drifts over seconds, and the mean of the runs around the two-thread run
                // cancels most of a steady drift.
                double single = 0;
                double both = 0;
                for (int step = 0; step < 3; step++) {
                    boolean together = step == 1;
                    int alone = step == 0 ? r % 2 : 1 - r % 2;
                    active[0] = together || alone == 0;
                    active[1] = together || alone == 1;
                    go.await();
                    done.await();
                    if (together) {
                        long wall = Math.max(ends[0], ends[1]) - Math.min(starts[0], starts[1]);
                        both = 2.0 * calls / wall;
                    } else {
                        single += 0.5 * calls / (ends[alone] - starts[alone]);
                    }
                }
                if (r >= warmRounds) ratios[current[0]][r - warmRounds] = both / single;
            }
        }
        stop[0] = true;
        go.await();
        for (Thread thread : threads) thread.join();
        for (int c = 0; c < cases; c++) {
            report(new Result(group, scaled[c].name(), "x", ratios[c], calls));
        }
    }

    private void report(Result result) {
        results.add(result);
        System.out.printf(Locale.ROOT, "  [%s] %-44s %10.2f %-2s  (quartiles %.2f..%.2f, %d rounds of %d)%n",
                label, result.group + "/" + result.name, result.median, result.unit, result.q1,
                result.q3, result.rounds, result.callsPerRound);
        System.out.flush();
    }

    void write(String path) throws Exception {
        try (PrintWriter out = new PrintWriter(path, "UTF-8")) {
            for (Result r : results) {
                StringBuilder samples = new StringBuilder();
                for (double sample : r.samples) {
                    if (samples.length() > 0) samples.append(',');
                    samples.append(String.format(Locale.ROOT, "%.4f", sample));
                }
                out.printf(Locale.ROOT, "%s\t%s\t%s\t%s\t%.4f\t%.4f\t%.4f\t%d\t%d\t%s%n", label,
                        r.group, r.name, r.unit, r.median, r.q1, r.q3, r.rounds,
                        r.callsPerRound, samples);
            }
        }
    }
}
