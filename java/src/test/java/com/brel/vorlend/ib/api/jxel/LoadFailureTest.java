package com.brel.vorlend.ib.api.jxel;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.brel.vorlend.ib.api.jxel.testing.ChildJvm;
import java.net.URL;
import java.net.URLClassLoader;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** A JVM that cannot load the native library says which library failed and where to put it. */
class LoadFailureTest {
    /** Run in a child JVM: touches JXelObject, prints the error it gets, and goes on living. */
    public static final class Probe {
        public static void main(String[] args) {
            try {
                new JXelObject();
                System.out.println("loaded");
            } catch (UnsatisfiedLinkError e) {
                System.out.println(e.getMessage());
                System.out.println("still running");
                System.exit(3);
            }
        }
    }

    private static final String BRIDGE = System.mapLibraryName("JXelAgtbase");

    /** Starts the probe with that java.library.path and LD_LIBRARY_PATH; gives its output. */
    private static String probe(String libraryPath, String ldLibraryPath) throws Exception {
        ChildJvm.Result child = ChildJvm.run(libraryPath, ldLibraryPath, Probe.class, JXelObject.class);
        assertEquals(3, child.exitStatus, child.output);
        assertTrue(child.output.contains("still running"), child.output);
        return child.output;
    }

    @Test
    void missingBridgeNamesItsFileAndTheSearchPath() throws Exception {
        String output = probe("/nonexistent/lib", null);
        assertTrue(output.contains("no " + BRIDGE + " in the folders of java.library.path (/nonexistent/lib)"),
                output);
        assertFalse(output.contains("agent library"), output);
    }

    @Test
    void agentLackingAnOperationFailsTheLoadAndNamesIt() throws Exception {
        String output = probe(System.getProperty("java.library.path"),
                System.getProperty("jxel.test.partialAgentDir"));
        assertTrue(output.contains("lacks the operation xelagt_prepare_status"), output);
    }

    @Test
    void secondClassLoaderIsToldToShareJxelJar() throws Exception {
        new JXelObject(); // loaded for this class loader
        URL jar = JXelObject.class.getProtectionDomain().getCodeSource().getLocation();
        try (URLClassLoader second = new URLClassLoader(new URL[] {jar}, ClassLoader.getPlatformClassLoader())) {
            Throwable error = assertThrows(Throwable.class, () -> Class.forName(JXelObject.class.getName(), true, second));
            String message = (error instanceof ExceptionInInitializerError ? error.getCause() : error).getMessage();
            assertTrue(message.contains(BRIDGE + " is loaded already, for jxel.jar in another class loader")
                    && message.contains("Put jxel.jar on one class path")
                    && message.endsWith("already loaded in another classloader"), message);
        }
    }

    /**
     * The JVM's reasons where a real run is out of reach here: Windows (no Windows JVM), and a
     * Linux bridge without its agent (the build's bridge also finds the agent by absolute path).
     */
    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {
        "/tmp/x/libJXelAgtbase.so: libxelagtapi.so: cannot open shared object file: No such file or directory"
                + "| false | libJXelAgtbase.so was found, but not the agent library libxelagtapi.so it needs",
        "C:\\jx\\JXelAgtbase.dll: Can't find dependent libraries"
                + "| true | could not load the agent library libxelagtapi.dll it needs. Windows looks for",
        "C:\\jx\\JXelAgtbase.dll: The specified procedure could not be found."
                + "| true | lacks one of the agent's operations",
        "no JXelAgtbase in java.library.path: C:\\jx"
                + "| true | no JXelAgtbase.dll in the folders of java.library.path",
    })
    void reasonsNameTheLibraryThatFailed(String reason, boolean windows, String expected) {
        String message = NativeLibrary.explain(reason, windows);
        assertTrue(message.contains(expected), message);
        assertTrue(message.endsWith("The system said: " + reason), message);
    }
}
