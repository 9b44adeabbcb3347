// pe_imports.h - the DLLs a Windows binary imports, read from the bytes of its
// file (no loading, so the bridge's DLL is read without bringing in its agent),
// and the C runtime they amount to.
#ifndef JXEL_PE_IMPORTS_H
#define JXEL_PE_IMPORTS_H

#include <string>
#include <vector>

namespace jxel::check {

// The names of the DLLs in the import table of a PE file (its bytes), as written
// there; delay-loaded DLLs are not in it. 0, or -1 when the bytes are no PE image.
int readImportedDlls(const std::vector<unsigned char>& file, std::vector<std::string>& dlls);

// The C runtime those imports mean: "UCRT" (ucrtbase.dll, or the api-ms-win-crt-*
// DLLs that lead to it), "debug UCRT" (ucrtbased.dll), "msvcrt.dll", or an
// msvcr*.dll by its name; "" when there is none (the runtime is linked in).
// Several are joined with " and ".
std::string cRuntimeOf(const std::vector<std::string>& dlls);

// The JXEL_WINDOWS_CRT flavour of JXelAgtbase built on that runtime, or "" when no
// build of this project targets it.
std::string flavourFor(const std::string& runtime);

}  // namespace jxel::check

#endif
