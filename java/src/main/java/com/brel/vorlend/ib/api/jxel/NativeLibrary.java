package com.brel.vorlend.ib.api.jxel;

/** Loads the native library JXelAgtbase once, with a clear message when it is missing. */
final class NativeLibrary {
    static final String NAME = "JXelAgtbase";

    private NativeLibrary() {}

    static synchronized void load() {
        try {
            System.loadLibrary(NAME);
        } catch (UnsatisfiedLinkError e) {
            String os = System.getProperty("os.name", "").toLowerCase();
            StringBuilder message = new StringBuilder()
                    .append("cannot load the native library '").append(NAME).append("' (")
                    .append(System.mapLibraryName(NAME)).append(") from java.library.path=")
                    .append(System.getProperty("java.library.path"));
            if (os.startsWith("windows")) {
                message.append("; the agent library libxelagtapi.dll must be found too"
                        + " (next to the DLL or on PATH)");
            } else {
                message.append("; the agent library libxelagtapi.so must be found too"
                        + " (RUNPATH or LD_LIBRARY_PATH)");
            }
            UnsatisfiedLinkError error = new UnsatisfiedLinkError(message + ": " + e.getMessage());
            error.initCause(e);
            throw error;
        }
    }
}
