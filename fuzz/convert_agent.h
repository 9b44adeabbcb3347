// A fuzz-only agent: every answer comes from the current input. It counts
// the conversions it was asked for and the buffers it handed out, so the
// target can check that each one came back.
#ifndef JXEL_FUZZ_CONVERT_AGENT_H
#define JXEL_FUZZ_CONVERT_AGENT_H

#include <cstdint>
#include <optional>
#include <string>

namespace jxel::fuzz {

enum class Outcome { kFail, kNoOutput, kOutput };

struct AgentScript {
    bool hasLocale = true;
    std::int32_t localCodeSet = 819;
    Outcome toAgent = Outcome::kOutput;    // conversions of Java text for the agent
    Outcome fromAgent = Outcome::kOutput;  // conversions of agent text for Java
    // Which of the two the next conversions are: with a UTF-8 local code set
    // both go from 69 to 69, so the target says so before each call.
    bool towardJava = false;
    std::optional<std::string> output;       // what a conversion gives; nullopt: its input
    std::optional<std::string> heldText;     // what text getters return; nullopt: NULL
    std::optional<std::string> lastSetText;  // what the last text setter received
    int conversions = 0;
    std::int64_t liveBuffers = 0;
};

AgentScript& agent();

}  // namespace jxel::fuzz

#endif  // JXEL_FUZZ_CONVERT_AGENT_H
