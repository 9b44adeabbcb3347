/**
 * The agent's Java API: {@link com.brel.vorlend.ib.api.jxel.JXelObject}, an agent data object,
 * and {@link com.brel.vorlend.ib.api.jxel.JXelException}, an agent failure with its text. Every
 * method is a native of the library {@code JXelAgtbase} and calls one operation of the agent
 * library {@code libxelagtapi}.
 *
 * <h2>Loading</h2>
 * The first use of either class loads {@code JXelAgtbase} with {@code System.loadLibrary}, from a
 * folder on {@code java.library.path} ({@code -Djava.library.path=<folder>}). The agent library is
 * loaded with it: on Linux from a folder on {@code LD_LIBRARY_PATH}, from beside
 * {@code libJXelAgtbase.so} or from its {@code xelagtapi-standin} subfolder; on Windows from the
 * folder of {@code java.exe}, the system folders, the current folder or {@code PATH}, but not from
 * the folder of {@code JXelAgtbase.dll}. Every agent operation is bound at load, so an agent that
 * lacks one fails the load rather than a later call. A failed load throws an
 * {@link java.lang.UnsatisfiedLinkError} that says which library failed, {@code JXelAgtbase} or
 * the agent, and what to do; the class cannot be used in that JVM afterwards. On JDK 22 and later
 * pass {@code --enable-native-access=ALL-UNNAMED} (JDK 17 accepts it too), or the JVM warns about
 * the load.
 *
 * <h2>Code sets</h2>
 * Java strings reach the agent in its local code set, which the agent is asked for on every call,
 * and the agent's texts come back converted from it. A string the local code set cannot hold, one
 * with U+0000 or an unpaired surrogate, and {@code null} reach the agent as no text, and the
 * setter returns the agent's status for that. Agent bytes that do not convert arrive as U+FFFD, so
 * a getter always stores a proper string.
 *
 * <h2>Statuses</h2>
 * A method returns 0 on success and otherwise the agent's own status code, unchanged; no method
 * throws for an agent failure. {@link com.brel.vorlend.ib.api.jxel.JXelException#XelGetErrorMessage}
 * fetches the agent's text for a code; {@link com.brel.vorlend.ib.api.jxel.JXelException#NO_ERROR_TEXT}
 * (-20) is the only code of the library's own.
 *
 * <h2>Threads</h2>
 * Calls on different objects may run on any number of threads at once. A method leaves its result
 * in a field of the object it was called on, and {@code XelVersion} in the static
 * {@link com.brel.vorlend.ib.api.jxel.JXelObject#ourVersion}, so two threads calling getters on
 * the same object race on its field and one may read the other's result. Give each thread its own
 * objects, or hold the object's lock across the call and the read of the field.
 *
 * <h2>Which agent is loaded</h2>
 * {@link com.brel.vorlend.ib.api.jxel.JXelObject#XelVersion()} stores the agent's version text in
 * {@code ourVersion}. The stand-in agent that comes with this library, meant for development and
 * demos, answers {@code "xelagtapi stand-in 1.0"}; the real agent answers with its own version.
 */
package com.brel.vorlend.ib.api.jxel;
