import static org.junit.jupiter.api.Assertions.assertNotEquals;

import com.brel.vorlend.ib.api.jxel.standin.StandInAgentTest;
import org.junit.jupiter.api.Test;

/** One test leaves two orders behind and has to fail for exactly those; its neighbour passes. */
@StandInAgentTest
class LeakTest {
    private final OrderStore store = new OrderStore();

    @Test
    void leaksTwoOrders() {
        assertNotEquals(0, store.create("Müller"));
        assertNotEquals(0, store.create("Meier"));
    }

    @Test
    void deletesWhatItCreates() {
        long order = store.create("Schmidt");
        assertNotEquals(0, order);
        store.delete(order);
    }
}
