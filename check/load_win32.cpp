// The agent on Windows: found where Windows looks for the bridge's import, its
// operations by ordinal, and its C runtime against the bridge's.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>

#include "agent_check.h"
#include "pe_imports.h"

namespace jxel::check {
namespace {

// In the ANSI code page, which the console shows.
std::string narrow(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 1 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring wide(const char* text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring out(size > 1 ? size - 1 : 0, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), size);
    return out;
}

std::string systemMessage(DWORD error) {
    char* text = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = text != nullptr ? text : "";
    LocalFree(text);
    if (const std::size_t insert = message.find("%1"); insert != std::string::npos) {
        message.replace(insert, 2, "the file");
    }
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back()))) {
        message.pop_back();
    }
    return "error " + std::to_string(error) + (message.empty() ? "" : ", " + message);
}

std::wstring moduleFile(HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, length);
}

// A file in this program's folder, which is JXelAgtbase.dll's.
std::wstring besideThisProgram(const wchar_t* name) {
    const std::wstring program = moduleFile(nullptr);
    return program.substr(0, program.find_last_of(L"\\/") + 1) + name;
}

bool exists(const std::wstring& file) {
    return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The import table of the DLL at `path`; 0, or -1 when it cannot be read.
int importsOf(const std::wstring& path, std::vector<std::string>& dlls) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    LARGE_INTEGER size{};
    std::vector<unsigned char> bytes;
    DWORD read = 0;
    bool whole = GetFileSizeEx(file, &size) && size.QuadPart < (1 << 30);
    if (whole) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        whole = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                read == bytes.size();
    }
    CloseHandle(file);
    return whole ? readImportedDlls(bytes, dlls) : -1;
}

// The folders Windows searches for JXelAgtbase.dll's import libxelagtapi.dll, but for
// the first, java.exe's, which is not known here: the system folders, the current
// folder, PATH. Not the folder of JXelAgtbase.dll, which is this program's.
std::wstring bridgeSearchPath() {
    wchar_t folder[MAX_PATH];
    std::wstring path;
    path.append(folder, GetSystemDirectoryW(folder, MAX_PATH)) += L';';
    path.append(folder, GetWindowsDirectoryW(folder, MAX_PATH)) += L';';
    path.append(folder, GetCurrentDirectoryW(MAX_PATH, folder)) += L';';
    std::wstring variable(32767, L'\0');
    variable.resize(GetEnvironmentVariableW(L"PATH", variable.data(), 32767));
    return path + variable;
}

std::string runtimeName(const std::string& runtime) {
    return runtime.empty() ? "no C runtime DLL (linked in)" : runtime;
}

std::string fittingBuild(const std::string& runtime) {
    const std::string flavour = flavourFor(runtime);
    return flavour.empty() ? "no build of JXelAgtbase fits the agent"
                           : "the " + flavour + " build fits the agent";
}

}  // namespace

const char* const kBinding = "by ordinal";

int loadAgent(const char* named, Agent& agent, std::string& reason) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);  // no message boxes
    std::wstring file;
    if (named != nullptr) {
        // A file, not a name to search for.
        wchar_t full[MAX_PATH];
        const DWORD length = GetFullPathNameW(wide(named).c_str(), MAX_PATH, full, nullptr);
        file.assign(full, length < MAX_PATH ? length : 0);
    } else {
        wchar_t found[MAX_PATH];
        const std::wstring beside = besideThisProgram(L"libxelagtapi.dll");
        if (SearchPathW(bridgeSearchPath().c_str(), L"libxelagtapi.dll", nullptr, MAX_PATH, found,
                        nullptr) != 0) {
            file = found;
        } else if (exists(beside)) {
            // Checked all the same, so that one run tells everything.
            file = beside;
            agent.misplaced =
                "Windows does not look for libxelagtapi.dll beside JXelAgtbase.dll when Java loads "
                "it: put the agent's folder on PATH";
        } else {
            reason =
                "libxelagtapi.dll is not in the system folders, the current folder or on PATH, "
                "where Windows looks for JXelAgtbase.dll's agent: put the agent's folder on PATH, "
                "or name the agent";
            return -1;
        }
    }
    const HMODULE module = LoadLibraryW(file.c_str());
    if (module == nullptr) {
        reason = narrow(file) + ": " + systemMessage(GetLastError());
        return -1;
    }
    agent.module = module;
    agent.path = narrow(moduleFile(module));
    return 0;
}

Function findOperation(const Agent& agent, int ordinal, const char*) {
    const FARPROC address = GetProcAddress(static_cast<HMODULE>(agent.module),
                                           MAKEINTRESOURCEA(static_cast<WORD>(ordinal)));
    // An empty slot of the export table can give the module's own address.
    if (reinterpret_cast<std::uintptr_t>(address) ==
        reinterpret_cast<std::uintptr_t>(agent.module)) {
        return nullptr;
    }
    return reinterpret_cast<Function>(address);
}

std::string whyMissing(const Agent& agent, const char* name) {
    if (GetProcAddress(static_cast<HMODULE>(agent.module), name) == nullptr) return "";
    return " (exported by name only, or at another ordinal: the bridge imports by ordinal)";
}

void checkRuntime(const Agent& agent, std::vector<std::string>& findings) {
    std::vector<std::string> imports;
    if (importsOf(moduleFile(static_cast<HMODULE>(agent.module)), imports) != 0) {
        findings.push_back("the agent's import table cannot be read: check that " + agent.path +
                           " is a whole 64-bit DLL");
        return;
    }
    const std::string agentRuntime = cRuntimeOf(imports);
    if (importsOf(besideThisProgram(L"JXelAgtbase.dll"), imports) != 0) {
        std::printf("C runtime: the agent uses %s; %s\n", runtimeName(agentRuntime).c_str(),
                    fittingBuild(agentRuntime).c_str());
        findings.push_back(
            "no JXelAgtbase.dll beside this program to compare C runtimes with: run "
            "the jxel-agent-check.exe that comes with the JXelAgtbase.dll you deploy");
        return;
    }
    const std::string bridgeRuntime = cRuntimeOf(imports);
    std::printf("C runtime: the agent uses %s, JXelAgtbase.dll uses %s; %s\n",
                runtimeName(agentRuntime).c_str(), runtimeName(bridgeRuntime).c_str(),
                fittingBuild(agentRuntime).c_str());
    if (agentRuntime == bridgeRuntime) return;
    std::string finding = "the agent uses " + runtimeName(agentRuntime) +
                          " but JXelAgtbase.dll beside this program uses " +
                          runtimeName(bridgeRuntime) +
                          ": the agent would free the bridge's texts in a heap they did not come "
                          "from; ";
    const std::string flavour = flavourFor(agentRuntime);
    if (agentRuntime.empty()) {
        finding +=
            "no build of JXelAgtbase shares a runtime linked into the agent (/MT): ask for an "
            "agent built with /MD (\"The C runtime\" in the README says why ucrt is the nearest)";
    } else if (flavour.empty()) {
        finding +=
            "build JXelAgtbase with the agent's compiler and runtime (\"The C runtime\" in the "
            "README)";
    } else {
        finding +=
            "deploy the " + flavour + " build of JXelAgtbase (-DJXEL_WINDOWS_CRT=" + flavour + ")";
    }
    findings.push_back(finding);
}

}  // namespace jxel::check
