package com.brel.vorlend.ib.api.jxel;

import java.io.File;
import java.util.Locale;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * Loads the native library JXelAgtbase once. When that fails, the error says which of the two
 * libraries failed, JXelAgtbase itself or the agent library it needs, and where the system
 * looked for it.
 */
final class NativeLibrary {
    static final String NAME = "JXelAgtbase";

    // An agent operation the system could not bind, as Linux names it.
    private static final Pattern MISSING_OPERATION = Pattern.compile("undefined symbol: (xelagt_\\w+)");

    private NativeLibrary() {}

    static synchronized void load() {
        try {
            System.loadLibrary(NAME);
        } catch (UnsatisfiedLinkError e) {
            boolean windows = System.getProperty("os.name", "").toLowerCase(Locale.ROOT).startsWith("windows");
            UnsatisfiedLinkError error = new UnsatisfiedLinkError(explain(e.getMessage(), windows));
            error.initCause(e);
            throw error;
        }
    }

    /**
     * The message for a failed load, from the JVM's own message (its reason). The reason tells
     * the cases apart: the JVM's "no JXelAgtbase in java.library.path" and "already loaded in
     * another classloader" (jxel.jar loaded a second time); on Linux the loader's
     * text, which names the library or the symbol it missed; on Windows "Can't find dependent
     * libraries" (the agent is the only library outside Windows that JXelAgtbase.dll needs) and
     * "The specified procedure could not be found" (an import by ordinal the agent lacks).
     */
    static String explain(String reason, boolean windows) {
        if (reason == null) {
            reason = "";
        }
        String bridge = windows ? NAME + ".dll" : "lib" + NAME + ".so";
        String agent = windows ? "libxelagtapi.dll" : "libxelagtapi.so";
        StringBuilder message = new StringBuilder("cannot load the native library " + NAME + ": ");
        Matcher operation = MISSING_OPERATION.matcher(reason);
        if (reason.contains("already loaded in another classloader")) {
            message.append(bridge).append(" is loaded already, for jxel.jar in another class loader of"
                    + " this JVM, and a JVM gives a native library to one class loader only. Put jxel.jar"
                    + " on one class path that every part of the application shares (an application"
                    + " server's common or system class path, not each application's own), so that its"
                    + " classes are loaded once.");
        } else if (reason.startsWith("no " + NAME + " in ")) {
            message.append("no ").append(bridge).append(" in the folders of java.library.path (")
                    .append(System.getProperty("java.library.path"))
                    .append("). Name the folder that holds it with -Djava.library.path=<folder>.");
        } else if (!windows && operation.find()) {
            message.append(bridge).append(" was found, but the agent library ").append(agent)
                    .append(" it loaded lacks the operation ").append(operation.group(1))
                    .append(", so it is not an agent this library works with. A folder on"
                            + " LD_LIBRARY_PATH is searched before the folder of ")
                    .append(bridge).append('.');
        } else if (!windows && reason.contains(agent)) {
            message.append(bridge).append(" was found, but not the agent library ").append(agent)
                    .append(" it needs. Put ").append(agent).append(" in the folder of ").append(bridge)
                    .append(" (the stand-in is installed in its xelagtapi-standin subfolder),"
                            + " or name the agent's folder in LD_LIBRARY_PATH.");
        } else if (windows && reason.contains("Can't find dependent libraries")) {
            message.append(bridge).append(" was found, but Windows could not load the agent library ")
                    .append(agent).append(" it needs. ").append(windowsSearch(agent, bridge))
                    .append(": put the agent's folder on PATH, or start Java in the folder that holds"
                            + " both DLLs.");
        } else if (windows && reason.toLowerCase(Locale.ROOT).contains("procedure could not be found")) {
            message.append(bridge).append(" was found, but the agent library ").append(agent)
                    .append(" that Windows loaded for it lacks one of the agent's operations, so it"
                            + " is not an agent this library works with. ")
                    .append(windowsSearch(agent, bridge)).append(", and takes the first it finds.");
        } else {
            message.append(bridge).append(" was found, but it or a library it needs (the agent library ")
                    .append(agent).append(") could not be loaded.");
        }
        return message.append(" The system said: ").append(reason).toString();
    }

    private static String windowsSearch(String agent, String bridge) {
        return "Windows looks for " + agent + " in the folder of java.exe ("
                + System.getProperty("java.home") + File.separator + "bin), the system folders, the current"
                + " folder (" + System.getProperty("user.dir") + ") and the folders on PATH, not in the"
                + " folder of " + bridge;
    }
}
