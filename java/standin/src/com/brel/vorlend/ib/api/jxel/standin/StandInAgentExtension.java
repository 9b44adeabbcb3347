package com.brel.vorlend.ib.api.jxel.standin;

import java.util.HashMap;
import java.util.Map;
import org.junit.jupiter.api.extension.AfterEachCallback;
import org.junit.jupiter.api.extension.BeforeEachCallback;
import org.junit.jupiter.api.extension.ExtensionContext;
import org.junit.jupiter.api.extension.TestExecutionExceptionHandler;

/**
 * A JUnit 5 extension that gives every test a stand-in agent as it was at
 * start-up, and fails a test that leaves data objects alive or texts
 * unreleased. Test classes take it with {@link StandInAgentTest}.
 *
 * <p>Before each test it calls {@link StandInAgent#reset()}. After each test,
 * and after the test's own {@code @AfterEach} methods, it fails the test with
 * a message naming what leaked.
 *
 * <p>The agent is one per process, so its tests have to run one at a time:
 * {@link StandInAgentTest} makes JUnit do that also with parallel execution
 * on. A test of this extension that runs while another one does is failed
 * instead with a message that says so and names {@code @StandInAgentTest}:
 * the counts it would be judged by are shared, so it is not judged by them,
 * and its own failure, if any, is given as the cause.
 */
public final class StandInAgentExtension
        implements BeforeEachCallback, AfterEachCallback, TestExecutionExceptionHandler {
    private static final ExtensionContext.Namespace NAMESPACE =
            ExtensionContext.Namespace.create(StandInAgentExtension.class);
    private static final String TEXTS_AT_START = "unreleasedTextsAtStart";

    // The tests of this extension running now, and those that ran while another one did,
    // with the name of that other one; by unique id, guarded by RUNNING.
    private static final Map<String, String> RUNNING = new HashMap<>();
    private static final Map<String, String> OVERLAPPED = new HashMap<>();

    /** Creates the extension; JUnit does this for {@code @ExtendWith}. */
    public StandInAgentExtension() {}

    @Override
    public void beforeEach(ExtensionContext context) {
        String id = context.getUniqueId();
        String name = nameOf(context);
        synchronized (RUNNING) {
            if (RUNNING.isEmpty()) {
                StandInAgent.reset();
                // Reset cannot take texts back: count only what this test adds.
                context.getStore(NAMESPACE).put(TEXTS_AT_START, StandInAgent.unreleasedTexts());
            }
            for (Map.Entry<String, String> other : RUNNING.entrySet()) {
                OVERLAPPED.put(other.getKey(), name);
                OVERLAPPED.put(id, other.getValue());
            }
            RUNNING.put(id, name);
        }
    }

    @Override
    public void handleTestExecutionException(ExtensionContext context, Throwable thrown)
            throws Throwable {
        String other;
        synchronized (RUNNING) {
            other = OVERLAPPED.get(context.getUniqueId());
        }
        throw other == null ? thrown : overlap(other, thrown);
    }

    @Override
    public void afterEach(ExtensionContext context) {
        String id = context.getUniqueId();
        String other;
        long objects = 0;
        long texts = 0;
        synchronized (RUNNING) {
            other = OVERLAPPED.remove(id);
            if (other == null) {
                objects = StandInAgent.liveObjects();
                Long textsAtStart = context.getStore(NAMESPACE).get(TEXTS_AT_START, Long.class);
                texts = StandInAgent.unreleasedTexts() - (textsAtStart == null ? 0 : textsAtStart);
            }
            RUNNING.remove(id);
        }
        if (other != null) {
            if (!context.getExecutionException().isPresent()) {
                throw overlap(other, null);
            }
            return; // its own failure already says it, through the handler
        }
        if (objects == 0 && texts <= 0) {
            return;
        }
        StringBuilder message = new StringBuilder("the test left ");
        if (objects != 0) {
            message.append(objects).append(objects == 1 ? " data object" : " data objects")
                    .append(" alive (not freed with XelDataFree)");
        }
        if (texts > 0) {
            message.append(objects != 0 ? " and " : "").append(texts)
                    .append(texts == 1 ? " agent text" : " agent texts")
                    .append(" unreleased (not given back with xelagt_release_buffer)");
        }
        throw new AssertionError(message.toString());
    }

    private static String nameOf(ExtensionContext context) {
        return context.getRequiredTestClass().getName() + "." + context.getRequiredTestMethod().getName();
    }

    private static AssertionError overlap(String other, Throwable cause) {
        AssertionError error = new AssertionError("the test ran at the same time as " + other
                + ", and the stand-in agent is one per process, so neither can be judged by what"
                + " is left in it; annotate the test classes with @StandInAgentTest"
                + " (com.brel.vorlend.ib.api.jxel.standin), which has JUnit run them one at a"
                + " time also with parallel execution on");
        if (cause != null) {
            error.initCause(cause);
        }
        return error;
    }
}
