// jxel-agent-check [AGENT]: whether an agent library fits JXelAgtbase, found out
// before Java meets it. It loads the agent the bridge would load (or the file
// AGENT), looks up every operation as the bridge binds them, compares the C
// runtimes on Windows, and asks the agent only what changes nothing in it: its
// version text, its locale record, and a short text converted there and back. It
// creates no data object and sets no attribute.
//
// Exit status: 0 the agent fits; 1 it does not (one finding a line, each saying
// what to do); 2 it cannot be loaded at all (with the system's reason).
#include "agent_check.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "xelagt_operations.h"
#include "xelagtapi.h"

namespace jxel::check {
namespace {

struct Operation {
    int ordinal;
    const char* name;
    Function address;
};

#define JXEL_OPERATION(ordinal, name, constant, kind) {ordinal, #name, nullptr},
std::vector<Operation> operationTable() { return {XELAGT_OPERATIONS(JXEL_OPERATION)}; }
#undef JXEL_OPERATION

// The operation with this ordinal, or null when the agent lacks it.
template <typename Typed>
Typed operation(const std::vector<Operation>& operations, int ordinal) {
    for (const Operation& op : operations) {
        if (op.ordinal == ordinal) return reinterpret_cast<Typed>(op.address);
    }
    return nullptr;
}
#define OPERATION(operations, constant, function) \
    operation<decltype(&function)>(operations, XELAGT_OP_##constant)

// Agent text in quotes, printable ASCII as it is and other bytes as \xNN: its
// code set is the agent's, not the terminal's.
std::string shown(const char* text) {
    std::string out = "\"";
    for (const char* c = text; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
            out += *c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        }
    }
    return out + "\"";
}

void checkOperations(const Agent& agent, std::vector<Operation>& operations,
                     std::vector<std::string>& findings) {
    std::vector<std::string> missing;
    std::string named;
    for (Operation& op : operations) {
        op.address = findOperation(agent, op.ordinal, op.name);
        if (op.address != nullptr) continue;
        missing.push_back(std::to_string(op.ordinal) + " " + op.name + whyMissing(agent, op.name));
        named += (named.empty() ? "" : ", ") + std::to_string(op.ordinal) + " " + op.name;
    }
    std::printf("operations: %zu of %zu, %s\n", operations.size() - missing.size(),
                operations.size(), kBinding);
    for (const std::string& line : missing) std::printf("  missing: %s\n", line.c_str());
    if (!missing.empty()) {
        findings.push_back("the agent lacks " + named +
                           ": JXelAgtbase will not load beside it; deploy an agent that has all " +
                           std::to_string(operations.size()) + " operations of xelagtapi.h");
    }
}

void reportVersion(const std::vector<Operation>& operations) {
    const auto version = OPERATION(operations, VERSION_TEXT, xelagt_version_text);
    if (version == nullptr) {
        std::printf("version text: not asked, its operation is missing\n");
        return;
    }
    const char* text = version();
    std::printf("version text: %s\n",
                text != nullptr ? shown(text).c_str() : "none (Java gets \"\")");
}

// As the bridge does before each conversion, then one conversion each way of a text
// every code set holds, releasing each output with the agent's release buffer.
void checkConversion(const std::vector<Operation>& operations, std::vector<std::string>& findings) {
    const auto prepareStatus = OPERATION(operations, PREPARE_STATUS, xelagt_prepare_status);
    const auto componentSetup = OPERATION(operations, COMPONENT_SETUP, xelagt_component_setup);
    const auto getLocale = OPERATION(operations, GET_LOCALE, xelagt_get_locale);
    const auto convert = OPERATION(operations, CONVERT_TEXT, xelagt_convert_text);
    const auto release = OPERATION(operations, RELEASE_BUFFER, xelagt_release_buffer);
    if (prepareStatus == nullptr || componentSetup == nullptr || getLocale == nullptr) {
        std::printf("locale record: not asked, an operation it needs is missing\n");
        return;
    }
    xelagt_status status;
    prepareStatus(&status);
    componentSetup(0, "Java API", 0);
    const xelagt_locale* locale = nullptr;
    const std::int32_t answer = getLocale(&locale);
    if (locale == nullptr) {
        std::printf("locale record: none (status %d)\n", static_cast<int>(answer));
        findings.push_back(
            "the agent gives no locale record (xelagt_get_locale): every text from Java "
            "would reach it as no text; the agent must be fixed by its maker");
        return;
    }
    const std::int32_t local = locale->codeset;
    std::printf("locale record: %d bytes, code set %d%s\n", static_cast<int>(locale->size),
                static_cast<int>(local), local == XELAGT_CODESET_UTF8 ? " (UTF-8)" : "");
    if (convert == nullptr || release == nullptr) {
        std::printf("conversion: not tried, an operation it needs is missing\n");
        return;
    }

    static const char kSample[] = "jxel-agent-check 0123456789 ABC xyz";
    char* there = nullptr;
    char* back = nullptr;
    std::int32_t failed = convert(local, XELAGT_CODESET_UTF8, &there, kSample, &status);
    const char* direction = "from UTF-8 to";
    const char* consequence = "every text set from Java would reach it as no text";
    if (failed == 0) {
        failed = convert(XELAGT_CODESET_UTF8, local, &back, there ? there : kSample, &status);
        direction = "back from";
        consequence = "texts from it would reach Java unconverted";
    }
    const std::string code = "code set " + std::to_string(local);
    if (failed != 0) {
        std::printf("conversion: %s %s failed, status %d\n", direction, code.c_str(),
                    static_cast<int>(failed));
        findings.push_back("the agent cannot convert plain ASCII text " + std::string(direction) +
                           " its " + code + " (status " + std::to_string(failed) +
                           "): " + consequence + "; check the agent's locale settings");
    } else {
        const char* returned = back ? back : there ? there : kSample;
        const bool same = std::strcmp(returned, kSample) == 0;
        std::printf("conversion: %s to %s and back: %s%s\n", shown(kSample).c_str(), code.c_str(),
                    same ? "the same text" : shown(returned).c_str(),
                    there == nullptr ? " (no conversion needed: the bridge hands the agent "
                                       "copies it allocated itself)"
                                     : "");
        if (!same) {
            findings.push_back("plain ASCII text comes back from the agent's " + code + " as " +
                               shown(returned) + ": texts would change on their way; check the " +
                               "agent's locale settings");
        }
    }
    release(back);
    release(there);
}

int usage(std::FILE* to, int status) {
    std::fprintf(
        to,
        "usage: jxel-agent-check [AGENT]\n"
        "Checks that the agent library JXelAgtbase would load (or the file AGENT) fits it.\n"
        "Exit status: 0 it fits, 1 it does not (findings say what to do), 2 it cannot "
        "be loaded.\n");
    return status;
}

}  // namespace
}  // namespace jxel::check

int main(int argc, char** argv) {
    using namespace jxel::check;
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        return usage(stdout, 0);
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) return usage(stderr, 2);

    Agent agent;
    std::string reason;
    if (loadAgent(argc == 2 ? argv[1] : nullptr, agent, reason) != 0) {
        std::fprintf(stderr, "jxel-agent-check: cannot load the agent: %s\n", reason.c_str());
        return 2;
    }
    std::printf("agent: %s\n", agent.path.c_str());
    std::vector<std::string> findings;
    if (!agent.misplaced.empty()) findings.push_back(agent.misplaced);
    std::vector<Operation> operations = operationTable();
    checkOperations(agent, operations, findings);
    checkRuntime(agent, findings);
    reportVersion(operations);
    checkConversion(operations, findings);

    if (findings.empty()) {
        std::printf("fits: JXelAgtbase can use this agent\n");
        return 0;
    }
    std::printf("does not fit:\n");
    for (const std::string& finding : findings) std::printf("- %s\n", finding.c_str());
    return 1;
}
