package com.brel.vorlend.ib.api.jxel.standin;

import java.lang.annotation.Documented;
import java.lang.annotation.ElementType;
import java.lang.annotation.Inherited;
import java.lang.annotation.Retention;
import java.lang.annotation.RetentionPolicy;
import java.lang.annotation.Target;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.api.parallel.ResourceLock;

/**
 * Marks a JUnit 5 test class whose tests use the stand-in agent: it brings
 * {@link StandInAgentExtension} and a {@link ResourceLock} on the one
 * stand-in of the process.
 *
 * <pre>{@code
 * @StandInAgentTest
 * class OrderStoreTest { ... }
 * }</pre>
 *
 * <p>With JUnit's parallel execution on, JUnit then runs such classes one
 * at a time, and the tests of each one after the other, while the suite's
 * other tests run alongside. Each test meets the stand-in as it was at
 * start-up and is failed for what it leaves behind, as the extension says.
 */
@Documented
@Inherited
@Retention(RetentionPolicy.RUNTIME)
@Target(ElementType.TYPE)
@ExtendWith(StandInAgentExtension.class)
@ResourceLock(StandInAgentTest.RESOURCE)
public @interface StandInAgentTest {
    /**
     * The key of the resource lock, for tests elsewhere that reach the
     * stand-in, for example through {@code @ResourceLock} on a method.
     */
    String RESOURCE = "com.brel.vorlend.ib.api.jxel.standin.StandInAgent";
}
