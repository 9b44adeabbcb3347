// Reads the import table of a PE file (a 32- or 64-bit DLL or program) with
// nothing but the C++ library, checking every offset against the file's size.
#include "pe_imports.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

namespace jxel::check {
namespace {

struct Image {
    const std::vector<unsigned char>& bytes;

    bool has(std::size_t offset, std::size_t length) const {
        return offset <= bytes.size() && length <= bytes.size() - offset;
    }
    std::uint32_t read(std::size_t offset, std::size_t length) const {
        std::uint32_t value = 0;  // little-endian, whatever the host
        for (std::size_t i = length; i-- > 0;) value = value << 8 | bytes[offset + i];
        return value;
    }
};

// The file offset of a relative virtual address, or 0 when no section holds it.
std::size_t fileOffset(const Image& image, std::size_t sections, std::size_t count,
                       std::uint32_t rva) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t header = sections + 40 * i;
        if (!image.has(header, 40)) return 0;
        const std::uint32_t start = image.read(header + 12, 4);
        const std::uint32_t length =
            std::max(image.read(header + 8, 4), image.read(header + 16, 4));
        if (rva >= start && rva - start < length) return image.read(header + 20, 4) + (rva - start);
    }
    return 0;
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

int readImportedDlls(const std::vector<unsigned char>& file, std::vector<std::string>& dlls) {
    const Image image{file};
    if (!image.has(0, 64) || image.read(0, 2) != 0x5A4D) return -1;  // "MZ"
    const std::size_t pe = image.read(60, 4);
    if (!image.has(pe, 24) || image.read(pe, 4) != 0x4550) return -1;  // "PE\0\0"
    const std::size_t sectionCount = image.read(pe + 6, 2);
    const std::size_t optional = pe + 24;
    const std::size_t sections = optional + image.read(pe + 20, 2);
    if (!image.has(optional, 2)) return -1;
    // The data directories follow the optional header's fixed part: 96 bytes in PE32,
    // 112 in PE32+. The import table is the second directory.
    const std::uint32_t magic = image.read(optional, 2);
    if (magic != 0x10B && magic != 0x20B) return -1;
    const std::size_t directories = optional + (magic == 0x20B ? 112 : 96);
    if (!image.has(directories - 4, 20) || image.read(directories - 4, 4) < 2) return -1;
    const std::uint32_t importsRva = image.read(directories + 8, 4);
    dlls.clear();
    if (importsRva == 0) return 0;  // imports nothing
    std::size_t descriptor = fileOffset(image, sections, sectionCount, importsRva);
    // One 20-byte descriptor a DLL, its name's address at byte 12; a zeroed one ends the table.
    for (; descriptor != 0 && image.has(descriptor, 20); descriptor += 20) {
        const std::uint32_t nameRva = image.read(descriptor + 12, 4);
        if (nameRva == 0) return 0;
        const std::size_t name = fileOffset(image, sections, sectionCount, nameRva);
        const unsigned char* last = image.bytes.data() + image.bytes.size();
        const unsigned char* begin = image.bytes.data() + name;
        const unsigned char* end = std::find(begin, last, 0);
        if (name == 0 || end == last) return -1;
        dlls.emplace_back(begin, end);
    }
    return -1;  // the table runs off its section
}

std::string cRuntimeOf(const std::vector<std::string>& dlls) {
    std::vector<std::string> runtimes;
    for (const std::string& dll : dlls) {
        const std::string name = lowerCase(dll);
        std::string runtime;
        if (name == "ucrtbase.dll" || startsWith(name, "api-ms-win-crt-")) {
            runtime = "UCRT";
        } else if (name == "ucrtbased.dll") {
            runtime = "debug UCRT";
        } else if (startsWith(name, "msvcr") && name.size() > 9 &&
                   std::isdigit(static_cast<unsigned char>(name[5])) &&
                   name.compare(name.size() - 4, 4, ".dll") == 0 &&
                   std::all_of(name.begin() + 5, name.end() - 4, [](char c) {
                       return std::isdigit(static_cast<unsigned char>(c)) || c == 'd';
                   })) {
            runtime = name;  // msvcr100.dll ... msvcr120d.dll
        } else if (name == "msvcrt.dll") {
            runtime = name;
        }
        if (!runtime.empty() &&
            std::find(runtimes.begin(), runtimes.end(), runtime) == runtimes.end()) {
            runtimes.push_back(runtime);
        }
    }
    std::string joined;
    for (const std::string& runtime : runtimes) joined += (joined.empty() ? "" : " and ") + runtime;
    return joined;
}

std::string flavourFor(const std::string& runtime) {
    // The runtimes JXEL_WINDOWS_CRT offers, by the names cRuntimeOf gives them.
    static const char* const kFlavours[][2] = {{"UCRT", "ucrt"},
                                               {"msvcrt.dll", "msvcrt"},
                                               {"msvcr120.dll", "msvcr120"},
                                               {"msvcr110.dll", "msvcr110"},
                                               {"msvcr100.dll", "msvcr100"}};
    for (const auto& flavour : kFlavours) {
        if (runtime == flavour[0]) return flavour[1];
    }
    return "";
}

}  // namespace jxel::check
