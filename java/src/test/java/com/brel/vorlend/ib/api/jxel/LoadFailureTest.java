package com.brel.vorlend.ib.api.jxel;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.List;
import org.junit.jupiter.api.Test;

/** A JVM that cannot find the native library says which one and where it looked. */
class LoadFailureTest {
    /** Run in a child JVM: touches JXelObject and prints the error it gets. */
    public static final class Probe {
        public static void main(String[] args) {
            try {
                new JXelObject();
                System.out.println("loaded");
            } catch (UnsatisfiedLinkError e) {
                System.out.println(e.getMessage());
                System.exit(3);
            }
        }
    }

    private static String locationOf(Class<?> type) throws Exception {
        return Path.of(type.getProtectionDomain().getCodeSource().getLocation().toURI()).toString();
    }

    @Test
    void missingLibraryNamesItselfAndTheSearchPath() throws Exception {
        String java = Path.of(System.getProperty("java.home"), "bin", "java").toString();
        String classPath = locationOf(JXelObject.class) + File.pathSeparator + locationOf(Probe.class);
        Process child = new ProcessBuilder(List.of(java, "-Djava.library.path=/nonexistent/lib",
                        "-cp", classPath, Probe.class.getName()))
                .redirectErrorStream(true)
                .start();
        String output = new String(child.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        assertEquals(3, child.waitFor(), output);
        assertTrue(output.contains("'JXelAgtbase'"), output);
        assertTrue(output.contains(System.mapLibraryName("JXelAgtbase")), output);
        assertTrue(output.contains("java.library.path=/nonexistent/lib"), output);
        assertTrue(output.contains("libxelagtapi"), output);
    }
}
