// An agent whose answers a test sets in advance. Every operation records
// itself and its arguments into the trace, so tests see the agent calls in
// order with the JNI calls.
#ifndef JXEL_TESTS_SCRIPTED_AGENT_H
#define JXEL_TESTS_SCRIPTED_AGENT_H

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "xelagtapi.h"

namespace jxel::test {

enum class ConvertOutcome {
    kFail,           // a nonzero status, no output
    kNoOutput,       // success without a text
    kOutput,         // success with `convertOutput(input)` as a new text
    kFailWithOutput  // a nonzero status, and that text handed out all the same
};

struct Script {
    std::int32_t status = 0;            // create, copy, free, set string, set list string
    xelagt_handle newHandle = 0x1234;   // what create and copy write
    xelagt_handle freeLeaves = 0x5555;  // what free leaves in its argument
    std::int32_t result = 0;            // type, integer, double and list operations
    std::optional<std::string> text;    // get string, get list string, version; nullopt: NULL
    std::map<std::int32_t, std::string> errorTexts;
    bool hasLocale = true;
    std::int32_t localCodeSet = 819;
    ConvertOutcome convert = ConvertOutcome::kOutput;
    std::int32_t convertFailure = -6;
    // Default: marks the text with the target code set, "<819>text".
    std::function<std::string(std::int32_t target, const std::string&)> convertOutput;
    std::int64_t liveBuffers = 0;  // agent buffers handed out, not yet released
};

Script& script();
// Back to the defaults, and the trace emptied.
void resetScript();

}  // namespace jxel::test

#endif  // JXEL_TESTS_SCRIPTED_AGENT_H
