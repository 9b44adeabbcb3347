package com.brel.vorlend.ib.api.jxel;

import static com.brel.vorlend.ib.api.jxel.testing.StandIn.INVALID_HANDLE;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.NO_MESSAGE;
import static com.brel.vorlend.ib.api.jxel.testing.StandIn.VERSION_TEXT;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;

import com.brel.vorlend.ib.api.jxel.standin.Operation;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgent;
import com.brel.vorlend.ib.api.jxel.standin.StandInAgentExtension;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.extension.ExtendWith;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.ValueSource;

/** The agent's text for a status code, and its version text. */
@ExtendWith(StandInAgentExtension.class)
class MessagesTest {
    @ParameterizedTest(name = "{0}: {1}")
    @CsvSource(delimiter = '|', textBlock = """
              0 | success
             -1 | invalid data object handle
             -2 | unknown data object type
             -3 | no text given
             -4 | attribute is not a list
             -5 | no such list element
             -6 | text cannot be converted
             -7 | unknown code set
             -8 | invalid argument
             -9 | out of memory
            -10 | failure injected by test control
            """)
    void errorTextOfKnownCode(int code, String text) {
        JXelException exception = new JXelException(code);
        assertEquals(0, exception.XelGetErrorMessage(code));
        assertEquals(text, exception.myXelDataString);
    }

    /** -20 is the bridge's own status and has no agent text either. */
    @ParameterizedTest(name = "code {0}")
    @ValueSource(ints = {NO_MESSAGE, 1, 100, -11, Integer.MIN_VALUE, Integer.MAX_VALUE})
    void unknownCodeReturnsMinusTwentyAndKeepsPreviousText(int code) {
        JXelException exception = new JXelException(code);
        assertEquals(NO_MESSAGE, exception.XelGetErrorMessage(code));
        assertNull(exception.myXelDataString);

        assertEquals(0, exception.XelGetErrorMessage(INVALID_HANDLE));
        assertEquals(NO_MESSAGE, exception.XelGetErrorMessage(code));
        assertEquals("invalid data object handle", exception.myXelDataString);
    }

    /** Code 0 is not answered by the bridge itself: without the agent's text it is -20 too. */
    @Test
    void codeZeroIsAskedOfTheAgent() {
        JXelException exception = new JXelException(0);
        exception.myXelDataString = "previous";
        StandInAgent.failNext(Operation.ERROR_TEXT, 1, 0);
        assertEquals(NO_MESSAGE, exception.XelGetErrorMessage(0));
        assertEquals("previous", exception.myXelDataString);
    }

    @Test
    void exceptionMessageIsTheAgentText() {
        assertEquals("unknown data object type", new JXelException(-2).getMessage());
        assertEquals("agent status 4711", new JXelException(4711).getMessage());
        assertEquals(-2, new JXelException(-2).getStatus());
    }

    @Test
    void versionGoesIntoTheStaticField() {
        JXelObject.ourVersion = null;
        assertEquals(0, JXelObject.XelVersion());
        assertEquals(VERSION_TEXT, JXelObject.ourVersion);
        // Every call fetches again.
        JXelObject.ourVersion = "overwritten";
        assertEquals(0, JXelObject.XelVersion());
        assertEquals(VERSION_TEXT, JXelObject.ourVersion);
    }

    @Test
    void missingVersionTextBecomesEmpty() {
        JXelObject.ourVersion = "old";
        StandInAgent.failNext(Operation.VERSION_TEXT, 1, 0);
        assertEquals(0, JXelObject.XelVersion());
        assertEquals("", JXelObject.ourVersion);
    }
}
