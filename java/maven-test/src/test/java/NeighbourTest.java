import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;

/** Tests that do not use the agent, and pass only when JUnit runs them at the same time. */
class NeighbourTest {
    private static final CountDownLatch BOTH_STARTED = new CountDownLatch(2);

    private static void meetTheOther() throws InterruptedException {
        BOTH_STARTED.countDown();
        assertTrue(BOTH_STARTED.await(30, TimeUnit.SECONDS), "parallel execution is off");
    }

    @Test
    void one() throws InterruptedException {
        meetTheOther();
    }

    @Test
    void two() throws InterruptedException {
        meetTheOther();
    }
}
