package com.brel.vorlend.ib.api.jxel;

import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.SHIFT_JIS;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.UTF_8;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.brel.vorlend.ib.api.jxel.standin.StandInAgent;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgentExtension;
import com.brel.vorlend.ib.api.jxel.testing.MixedCalls;
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
@ExtendWith(StandInAgentExtension.class)
class ConcurrencyTest {
    private static final int THREADS = 8;
    private static final int CALLS = 10_000;

    static Stream<Arguments> codesets() {
        return Stream.of(
                Arguments.of("UTF-8", UTF_8, "Grüße 日本 😀"),
                Arguments.of("SHIFT_JIS", SHIFT_JIS, "日本語のテキスト"));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("codesets")
    void mixedCallsFromEightThreads(String name, int codeset, String text) throws Exception {
        StandInAgent.setCodeSet(codeset);
        assertTrue(MixedCalls.run(THREADS, text, calls -> calls < CALLS, null) >= THREADS * CALLS);
    }
}
