package com.brel.vorlend.ib.api.jxel;

import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.ISO_8859_1;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.SHIFT_JIS;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.UTF_8;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.WINDOWS_1252;
import static org.junit.jupiter.api.Assertions.assertEquals;

import com.brel.vorlend.ib.api.jxel.standin.StandInAgent;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgentExtension;
import com.brel.vorlend.ib.api.jxel.testing.MixedCalls;
import java.util.concurrent.TimeUnit;
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
@ExtendWith(StandInAgentExtension.class)
class StressTest {

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
        assertEquals(0, StandInAgent.liveObjects());
        assertEquals(0, StandInAgent.unreleasedTexts());
    }

    private static long runPhase(Phase phase, int threads, long nanos) throws Exception {
        StandInAgent.setCodeSet(phase.codeset);
        long deadline = System.nanoTime() + nanos;
        MixedCalls.Alongside switcher = !phase.switching ? null : stop -> {
            int[] codesets = {UTF_8, ISO_8859_1, SHIFT_JIS, WINDOWS_1252};
            for (int i = 0; !stop.get(); i++) {
                StandInAgent.setCodeSet(codesets[i % 4]);
                Thread.yield();
            }
        };
        return MixedCalls.run(threads, phase.text, calls -> System.nanoTime() < deadline, switcher);
    }
}
