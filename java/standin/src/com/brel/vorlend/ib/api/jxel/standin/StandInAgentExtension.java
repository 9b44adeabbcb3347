package com.brel.vorlend.ib.api.jxel.standin;

import org.junit.jupiter.api.extension.AfterEachCallback;
import org.junit.jupiter.api.extension.BeforeEachCallback;
import org.junit.jupiter.api.extension.ExtensionContext;

/**
 * A JUnit 5 extension that gives every test a stand-in agent as it was at
 * start-up, and fails a test that leaves data objects alive or texts
 * unreleased.
 *
 * <pre>{@code
 * @ExtendWith(StandInAgentExtension.class)
 * class OrderStoreTest { ... }
 * }</pre>
 *
 * <p>Before each test it calls {@link StandInAgent#reset()}. After each test,
 * and after the test's own {@code @AfterEach} methods, it fails the test with
 * a message naming what leaked. The agent is one per process, so tests that
 * use this extension should not run in parallel with each other.
 */
public final class StandInAgentExtension implements BeforeEachCallback, AfterEachCallback {
    private static final ExtensionContext.Namespace NAMESPACE =
            ExtensionContext.Namespace.create(StandInAgentExtension.class);
    private static final String TEXTS_AT_START = "unreleasedTextsAtStart";

    /** Creates the extension; JUnit does this for {@code @ExtendWith}. */
    public StandInAgentExtension() {}

    @Override
    public void beforeEach(ExtensionContext context) {
        StandInAgent.reset();
        // Reset cannot take texts back: count only what this test adds.
        context.getStore(NAMESPACE).put(TEXTS_AT_START, StandInAgent.unreleasedTexts());
    }

    @Override
    public void afterEach(ExtensionContext context) {
        long objects = StandInAgent.liveObjects();
        Long textsAtStart = context.getStore(NAMESPACE).get(TEXTS_AT_START, Long.class);
        long texts = StandInAgent.unreleasedTexts() - (textsAtStart == null ? 0 : textsAtStart);
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
}
