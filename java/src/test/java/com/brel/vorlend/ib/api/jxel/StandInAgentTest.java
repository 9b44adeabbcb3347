package com.brel.vorlend.ib.api.jxel;

import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.ISO_8859_1;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.SHIFT_JIS;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.UTF_8;
import static com.brel.vorlend.ib.api.jxel.standin.StandInAgent.WINDOWS_1252;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.INJECTED;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.platform.engine.discovery.DiscoverySelectors.selectClass;

import com.brel.vorlend.ib.api.jxel.standin.Operation;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgent;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgentExtension;
import com.brel.vorlend.ib.api.jxel.testing.ChildJvm;
import com.brel.vorlend.ib.api.jxel.testing.Objects;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;
import org.junit.platform.engine.DiscoverySelector;
import org.junit.platform.engine.support.descriptor.MethodSource;
import org.junit.platform.launcher.core.LauncherDiscoveryRequestBuilder;
import org.junit.platform.launcher.core.LauncherFactory;
import org.junit.platform.launcher.listeners.SummaryGeneratingListener;
import org.junit.platform.launcher.listeners.TestExecutionSummary;

/** The stand-in's Java test control as an application sees it (XELAGT_CODESET=UTF-8 at start-up). */
class StandInAgentTest {
    /** Run only through the launcher below: one test leaks, its neighbour does not. */
    @ExtendWith(StandInAgentExtension.class)
    static class LeakingAndClean {
        @Test
        void leaksOneObject() {
            Objects.created();
        }

        @Test
        void freesWhatItCreates() {
            Objects.free(Objects.created());
        }
    }

    /** The same two tests in classes JUnit has to run one at a time. */
    @com.brel.vorlend.ib.api.jxel.standin.StandInAgentTest
    static class Locked extends LeakingAndClean {}

    @com.brel.vorlend.ib.api.jxel.standin.StandInAgentTest
    static class LockedToo extends LeakingAndClean {}

    /** Two tests that wait for each other, so that they surely overlap: neither may be judged. */
    @ExtendWith(StandInAgentExtension.class)
    static class Overlapping {
        static final CountDownLatch BOTH_STARTED = new CountDownLatch(2);

        @Test
        void leaksOneObject() throws InterruptedException {
            Objects.created();
            BOTH_STARTED.countDown();
            BOTH_STARTED.await(20, TimeUnit.SECONDS);
        }

        @Test
        void freesWhatItCreates() throws InterruptedException {
            leaksOneObject();
            StandInAgent.reset(); // frees the other's object too, as overlapping tests do
        }
    }

    /** Run in a child JVM over an agent without test control: calls every method. */
    public static final class ProbeOtherAgent {
        public static void main(String[] args) {
            List<Runnable> calls = List.of(StandInAgent::reset, StandInAgent::cancelFailures,
                    () -> StandInAgent.failNext(Operation.CREATE_DATA_OBJECT, 1, 7),
                    () -> StandInAgent.noOutputNext(1), () -> StandInAgent.setCodeSet(UTF_8),
                    StandInAgent::codeSet, StandInAgent::liveObjects, StandInAgent::unreleasedTexts);
            for (Runnable call : calls) {
                try {
                    call.run();
                    System.out.println("no exception");
                } catch (IllegalStateException e) {
                    System.out.println(e.getMessage());
                }
            }
            // The bridge itself works on: this agent creates nothing and says 0.
            System.out.println("create " + new JXelObject().XelDataCreate(Objects.TYPE));
        }
    }

    @Test
    void everyMethodRefusesAnAgentWithoutTestControl() throws Exception {
        // Found before the bridge's RUNPATH, as a deployed real agent would be.
        ChildJvm.Result child = ChildJvm.run(System.getProperty("java.library.path"),
                System.getenv("JXEL_AGENT_WITHOUT_CONTROL"), ProbeOtherAgent.class,
                JXelObject.class, StandInAgent.class, Test.class, Objects.class);
        assertEquals(0, child.exitStatus, child.output);
        String refusal = "the loaded agent is not the stand-in: its libxelagtapi has no test control"
                + " (xelagt_test_reset); use the stand-in from the lib/xelagtapi-standin folder for tests";
        assertEquals(String.join("\n", Collections.nCopies(8, refusal)) + "\ncreate 0\n", child.output);
    }

    @AfterEach
    void backToStartUp() {
        StandInAgent.reset();
    }

    /** Runs the classes in this JVM's JUnit, with parallel execution on or off. */
    private static TestExecutionSummary run(boolean parallel, Class<?>... classes) {
        SummaryGeneratingListener listener = new SummaryGeneratingListener();
        LauncherFactory.create().execute(LauncherDiscoveryRequestBuilder.request()
                .selectors(Arrays.stream(classes).map(c -> selectClass(c)).toArray(DiscoverySelector[]::new))
                .configurationParameter("junit.jupiter.execution.parallel.enabled", String.valueOf(parallel))
                .configurationParameter("junit.jupiter.execution.parallel.mode.default", "concurrent")
                .configurationParameter("junit.jupiter.execution.parallel.mode.classes.default", "concurrent")
                .build(), listener);
        return listener.getSummary();
    }

    private static String methodOf(TestExecutionSummary.Failure failure) {
        return ((MethodSource) failure.getTestIdentifier().getSource().orElseThrow()).getMethodName();
    }

    @ParameterizedTest(name = "parallel execution {0}")
    @ValueSource(booleans = {false, true})
    void extensionFailsTheTestThatLeaksAndPassesItsNeighbour(boolean parallel) {
        TestExecutionSummary summary = parallel ? run(true, Locked.class, LockedToo.class)
                                                : run(false, LeakingAndClean.class);
        int classes = parallel ? 2 : 1;
        assertEquals(classes, summary.getTestsSucceededCount());
        assertEquals(classes, summary.getFailures().size());
        for (TestExecutionSummary.Failure failure : summary.getFailures()) {
            assertEquals("leaksOneObject", methodOf(failure));
            assertEquals("the test left 1 data object alive (not freed with XelDataFree)",
                    failure.getException().getMessage());
        }
    }

    @Test
    void overlappingTestsFailWithoutBlameAndNameTheAnnotation() {
        TestExecutionSummary summary = run(true, Overlapping.class);
        assertEquals(0, summary.getTestsSucceededCount());
        assertEquals(2, summary.getFailures().size());
        for (TestExecutionSummary.Failure failure : summary.getFailures()) {
            String other = methodOf(failure).equals("leaksOneObject") ? "freesWhatItCreates" : "leaksOneObject";
            String message = failure.getException().getMessage();
            assertTrue(message.startsWith("the test ran at the same time as " + Overlapping.class.getName() + "."
                    + other + ", and the stand-in agent is one per process") && message.contains(
                    "annotate the test classes with @StandInAgentTest"), message);
        }
    }

    @Test
    void resetFreesObjectsCancelsFailuresAndRestoresTheCodeSet() {
        Objects.created();
        Objects.created();
        StandInAgent.failNext(Operation.CREATE_DATA_OBJECT, 5, INJECTED);
        StandInAgent.setCodeSet(SHIFT_JIS);
        assertEquals(2, StandInAgent.liveObjects());

        StandInAgent.reset();
        assertEquals(0, StandInAgent.liveObjects());
        assertEquals(UTF_8, StandInAgent.codeSet());
        Objects.free(Objects.created());
    }

    @Test
    void failNextCountsDownAndCancelFailuresStopsIt() {
        JXelObject object = new JXelObject();
        StandInAgent.failNext(Operation.CREATE_DATA_OBJECT, 2, 77);
        assertEquals(77, object.XelDataCreate(Objects.TYPE));
        assertEquals(77, object.XelDataCreate(Objects.TYPE));
        Objects.free(Objects.created());
        StandInAgent.failNext(Operation.CREATE_DATA_OBJECT, 1, 77);
        StandInAgent.cancelFailures();
        Objects.free(Objects.created());
        assertThrows(IllegalArgumentException.class,
                () -> StandInAgent.failNext(Operation.CREATE_DATA_OBJECT, -1, 77));
        // 0 would fail a status operation as success; a text operation does not use it.
        assertThrows(IllegalArgumentException.class,
                () -> StandInAgent.failNext(Operation.CREATE_DATA_OBJECT, 1, 0));
        StandInAgent.failNext(Operation.VERSION_TEXT, 1, 0);
        StandInAgent.cancelFailures();
        Objects.free(Objects.created());
    }

    @ParameterizedTest(name = "code set {0}")
    @ValueSource(ints = {ISO_8859_1, WINDOWS_1252, SHIFT_JIS, UTF_8})
    void knownCodeSetsAreTakenAndOthersRefused(int codeSet) {
        StandInAgent.setCodeSet(codeSet);
        assertEquals(codeSet, StandInAgent.codeSet());
        for (int unknown : new int[] {0, -1, 70, 1208, 65001}) {
            assertThrows(IllegalArgumentException.class, () -> StandInAgent.setCodeSet(unknown));
            assertEquals(codeSet, StandInAgent.codeSet());
        }
    }
}
