// The agent on Linux: found as the bridge finds it, its operations by name.
#include <dlfcn.h>
#include <link.h>

#include <filesystem>
#include <system_error>

#include "agent_check.h"

namespace jxel::check {

const char* const kBinding = "by name";

int loadAgent(const char* named, Agent& agent, std::string& reason) {
    // A bare name makes dlopen search LD_LIBRARY_PATH, then this program's RUNPATH,
    // which names the bridge's folder and then the stand-in's, then the system's
    // folders: the bridge's own search. A file named on the command line is taken as
    // it is.
    std::string file = named != nullptr ? named : "libxelagtapi.so";
    if (named != nullptr && file.find('/') == std::string::npos) file = "./" + file;
    // Lazy binding: a missing operation is a finding, not a failure to load.
    agent.module = dlopen(file.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (agent.module == nullptr) {
        reason = dlerror();
        if (named == nullptr) {
            reason += " (put the agent beside libJXelAgtbase.so, or its folder on LD_LIBRARY_PATH)";
        }
        return -1;
    }
    const link_map* map = nullptr;
    const bool mapped = dlinfo(agent.module, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr;
    std::error_code error;
    agent.path = std::filesystem::weakly_canonical(mapped ? map->l_name : file, error).string();
    return 0;
}

Function findOperation(const Agent& agent, int, const char* name) {
    return reinterpret_cast<Function>(dlsym(agent.module, name));
}

std::string whyMissing(const Agent&, const char*) { return ""; }

// One C library serves every library of the process.
void checkRuntime(const Agent&, std::vector<std::string>&) {}

}  // namespace jxel::check
