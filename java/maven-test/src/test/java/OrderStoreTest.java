import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;

import com.brel.vorlend.ib.api.jxel.standin.Operation;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgent;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgentTest;
import org.junit.jupiter.api.Test;

@StandInAgentTest
class OrderStoreTest {
    private final OrderStore store = new OrderStore();

    @Test
    void refusedCreateIsReported() {
        StandInAgent.failNext(Operation.CREATE_DATA_OBJECT, 1, -9);
        assertEquals(0, store.create("Müller"));
        assertEquals(-9, store.lastStatus);
    }

    @Test
    void failedSetLeavesNoOrderBehind() {
        StandInAgent.failNext(Operation.SET_STRING_ATTRIBUTE, 1, -10);
        assertEquals(0, store.create("Müller"));
        assertEquals(-10, store.lastStatus);
        // The extension fails this test if the order was left alive.
    }

    @Test
    void customerInShiftJis() {
        StandInAgent.setCodeSet(StandInAgent.SHIFT_JIS);
        long order = store.create("山田");
        assertNotEquals(0, order);
        assertEquals(1, StandInAgent.liveObjects());
        store.delete(order);
    }
}
