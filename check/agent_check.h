// agent_check.h - what the platform parts of jxel-agent-check give the report
// in agent_check.cpp: loading the agent, finding its operations, and (Windows)
// its C runtime.
#ifndef JXEL_AGENT_CHECK_H
#define JXEL_AGENT_CHECK_H

#include <string>
#include <vector>

namespace jxel::check {

using Function = void (*)(void);

struct Agent {
    void* module = nullptr;
    std::string path;       // the file loaded, as the system names it
    std::string misplaced;  // a finding: where it was found, the bridge would not find it
};

// "by name" on Linux, "by ordinal" on Windows: how the bridge binds the operations.
extern const char* const kBinding;

// Loads the agent the bridge would load, or the file `named` (when not null).
// 0, or -1 with the system's reason in `reason`.
int loadAgent(const char* named, Agent& agent, std::string& reason);

// An operation as the bridge binds it, or null.
Function findOperation(const Agent& agent, int ordinal, const char* name);

// Why a missing operation may be missing (e.g. exported under its name only), or "".
std::string whyMissing(const Agent& agent, const char* name);

// Windows: prints the C runtime of the agent and of the JXelAgtbase.dll beside this
// program, and adds a finding when they differ. Elsewhere, nothing to compare.
void checkRuntime(const Agent& agent, std::vector<std::string>& findings);

}  // namespace jxel::check

#endif
