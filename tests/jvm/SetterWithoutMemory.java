import com.brel.vorlend.ib.api.jxel.JXelObject;

/**
 * Run with fail_malloc_once preloaded for 1,000,003 bytes: the JVM cannot get
 * the C heap for the characters of TEXT once, gives null with no exception,
 * and the setter must say so; the same text then goes through.
 */
public final class SetterWithoutMemory {
    // 1,000,002 bytes of modified UTF-8, and the NUL.
    private static final String TEXT = "\u00e9" + "a".repeat(1_000_000);

    public static void main(String[] args) {
        JXelObject object = new JXelObject();
        check(object.XelDataCreate(7) == 0, "create");
        long handle = object.myXelReference;
        check(object.XelSetString(handle, 1, "old") == 0, "set old");
        int status = object.XelSetString(handle, 1, TEXT);
        object.XelGetString(handle, 1);
        check(status != 0, "status without memory: " + status);
        check(object.myXelDataString.equals("old"), "attribute changed without memory");
        check(object.XelSetString(handle, 1, TEXT) == 0, "set with memory");
        object.XelGetString(handle, 1);
        check(object.myXelDataString.equals(TEXT), "text stored with memory");
        System.out.println("passed: status " + status + " without memory");
    }

    private static void check(boolean condition, String what) {
        if (!condition) throw new AssertionError(what);
    }
}
