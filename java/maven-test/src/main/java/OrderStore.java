import com.brel.vorlend.ib.api.jxel.JXelObject;

/** Keeps orders as data objects of the agent. */
public class OrderStore {
    static final int ORDER = 7, CUSTOMER = 1;
    int lastStatus;

    /** A new order's handle, or 0 with the agent's status in lastStatus. */
    long create(String customer) {
        JXelObject order = new JXelObject();
        lastStatus = order.XelDataCreate(ORDER);
        if (lastStatus != 0) return 0;
        lastStatus = order.XelSetString(order.myXelReference, CUSTOMER, customer);
        if (lastStatus != 0) {
            order.XelDataFree(order.myXelReference); // no half-made orders
            return 0;
        }
        return order.myXelReference;
    }

    void delete(long order) {
        new JXelObject().XelDataFree(order);
    }
}
