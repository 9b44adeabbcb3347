package com.brel.vorlend.ib.api.jxel.testing;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;

/** Runs a main class in a JVM of its own, on this JDK, as a user would start it. */
public final class ChildJvm {
    private ChildJvm() {}

    /** The exit status and everything the child wrote, both streams together. */
    public static final class Result {
        public final int exitStatus;
        public final String output;

        Result(int exitStatus, String output) {
            this.exitStatus = exitStatus;
            this.output = output;
        }
    }

    /**
     * Runs {@code mainClass} with that java.library.path and LD_LIBRARY_PATH (null: none), the
     * jars of {@code mainClass} and {@code classPath} on the class path.
     */
    public static Result run(String libraryPath, String ldLibraryPath, Class<?> mainClass,
            Class<?>... classPath) throws Exception {
        List<String> command = new ArrayList<>();
        command.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
        if (Runtime.version().feature() >= 22) {
            command.add("--enable-native-access=ALL-UNNAMED"); // else loadLibrary warns
        }
        List<String> jars = new ArrayList<>();
        jars.add(locationOf(mainClass));
        for (Class<?> type : classPath) {
            jars.add(locationOf(type));
        }
        command.addAll(List.of("-Djava.library.path=" + libraryPath,
                "-cp", String.join(File.pathSeparator, jars), mainClass.getName()));
        ProcessBuilder builder = new ProcessBuilder(command).redirectErrorStream(true);
        Map<String, String> environment = builder.environment();
        environment.remove("LD_LIBRARY_PATH");
        if (ldLibraryPath != null) {
            environment.put("LD_LIBRARY_PATH", ldLibraryPath);
        }
        Process child = builder.start();
        String output = new String(child.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        return new Result(child.waitFor(), output);
    }

    private static String locationOf(Class<?> type) throws Exception {
        return Path.of(type.getProtectionDomain().getCodeSource().getLocation().toURI()).toString();
    }
}
