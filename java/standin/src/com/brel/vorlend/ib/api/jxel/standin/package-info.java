/**
 * The stand-in agent as a test double: tests of an application that uses
 * {@code jxel.jar} make agent operations fail on demand, switch the agent's
 * code set, and check that nothing leaked.
 *
 * <p>Put {@code jxel-standin.jar} beside {@code jxel.jar} on the test class
 * path, and run the tests with the bridge's folder on
 * {@code java.library.path} and the stand-in agent deployed (as in the
 * archive: {@code lib/xelagtapi-standin/}). {@link
 * com.brel.vorlend.ib.api.jxel.standin.StandInAgent} controls the agent;
 * {@link com.brel.vorlend.ib.api.jxel.standin.StandInAgentExtension} is the
 * JUnit 5 extension, which test classes take with
 * {@link com.brel.vorlend.ib.api.jxel.standin.StandInAgentTest}; only these two
 * need JUnit.
 */
package com.brel.vorlend.ib.api.jxel.standin;
