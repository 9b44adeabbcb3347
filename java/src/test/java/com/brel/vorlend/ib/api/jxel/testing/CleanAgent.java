package com.brel.vorlend.ib.api.jxel.testing;

import static org.junit.jupiter.api.Assertions.assertEquals;

import org.junit.jupiter.api.extension.AfterEachCallback;
import org.junit.jupiter.api.extension.BeforeEachCallback;
import org.junit.jupiter.api.extension.ExtensionContext;

/**
 * Starts every test with a UTF-8 agent and no injected failures, and fails a
 * test that leaves data objects alive or converted texts unreleased. The agent
 * is one per process, so a leak must be charged to the test that made it.
 */
public final class CleanAgent implements BeforeEachCallback, AfterEachCallback {
    private static final ExtensionContext.Namespace NS =
            ExtensionContext.Namespace.create(CleanAgent.class);
    private static final String BUFFERS = "buffers";

    @Override
    public void beforeEach(ExtensionContext context) {
        AgentControl.resetFailures();
        assertEquals(AgentControl.OK, AgentControl.setCodeset(AgentControl.UTF_8));
        if (AgentControl.liveObjects() != 0) {
            AgentControl.freeAll();
        }
        // Buffers cannot be freed from here; count only what this test adds.
        context.getStore(NS).put(BUFFERS, AgentControl.liveBuffers());
    }

    @Override
    public void afterEach(ExtensionContext context) {
        AgentControl.resetFailures();
        long objects = AgentControl.liveObjects();
        if (objects != 0) {
            AgentControl.freeAll();
        }
        long buffers = AgentControl.liveBuffers()
                - context.getStore(NS).get(BUFFERS, Long.class);
        AgentControl.setCodeset(AgentControl.UTF_8);
        if (context.getExecutionException().isPresent()) {
            return; // the test's own failure says more
        }
        assertEquals(0, objects, "data objects the test left alive");
        assertEquals(0, buffers, "converted texts not released");
    }
}
