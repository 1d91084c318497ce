#include "bench/support/FunctionNames.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace bench {

namespace {

// A C++ name without its parameter list, which would only widen the tables.
std::string Readable(const char* symbol) {
    std::string name = symbol;
#if !defined(__x86_64__)
    if (!name.empty() && name[0] == '_') name.erase(0, 1);  // the i686 C decoration
#endif
    int status = 0;
    if (char* plain = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status); status == 0 && plain) {
        name = plain;
        std::free(plain);
        int depth = 0;
        for (std::size_t i = name.size(); i-- > 0;) {  // cut at the parenthesis that opens the parameters
            if (name[i] == ')') ++depth;
            if (name[i] == '(' && --depth == 0) {
                name.erase(i);
                break;
            }
        }
    }
    return name;
}

// The COFF symbol table of an image file: functions (type 0x20) in its sections.
void ReadSymbols(const char* path, std::vector<std::pair<std::uint32_t, std::string>>& out) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < sizeof(IMAGE_DOS_HEADER)) return;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || std::size_t(dos->e_lfanew) + 256 > file.size()) return;
    const auto* fileHeader = reinterpret_cast<const IMAGE_FILE_HEADER*>(file.data() + dos->e_lfanew + 4);
    const std::size_t symbols = fileHeader->PointerToSymbolTable, count = fileHeader->NumberOfSymbols;
    if (symbols == 0 || symbols + count * 18 > file.size()) return;
    const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        reinterpret_cast<const char*>(fileHeader) + sizeof(IMAGE_FILE_HEADER) + fileHeader->SizeOfOptionalHeader);
    const char* strings = file.data() + symbols + count * 18;
    const std::size_t stringsSize = file.size() - (symbols + count * 18);
    for (std::size_t i = 0; i < count; ++i) {
        const auto* s = reinterpret_cast<const IMAGE_SYMBOL*>(file.data() + symbols + i * 18);
        const int section = s->SectionNumber;
        if ((s->Type & 0xF0) == 0x20 && section > 0 && section <= fileHeader->NumberOfSections) {
            std::string name;
            if (s->N.Name.Short != 0) {
                name.assign(reinterpret_cast<const char*>(s->N.ShortName), strnlen(reinterpret_cast<const char*>(s->N.ShortName), 8));
            } else if (s->N.Name.Long < stringsSize) {
                name = strings + s->N.Name.Long;
            }
            if (!name.empty()) out.emplace_back(sections[section - 1].VirtualAddress + s->Value, Readable(name.c_str()));
        }
        i += s->NumberOfAuxSymbols;
    }
}

// The export table of a loaded module: names of its exported functions.
void ReadExports(HMODULE module, std::vector<std::pair<std::uint32_t, std::string>>& out) {
    const auto* base = reinterpret_cast<const std::uint8_t*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress == 0) return;
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    const auto* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
    const auto* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        out.emplace_back(functions[ordinals[i]], reinterpret_cast<const char*>(base + names[i]));
}

}  // namespace

FunctionNames::Module& FunctionNames::Load(HMODULE module) {
    auto [it, added] = modules_.try_emplace(module);
    if (!added) return it->second;
    Module& m = it->second;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    const char* slash = std::strrchr(path, '\\');
    m.name = slash ? slash + 1 : path;
    ReadSymbols(path, m.functions);
    if (m.functions.empty()) ReadExports(module, m.functions);
    std::sort(m.functions.begin(), m.functions.end());
    return m;
}

std::string FunctionNames::Name(std::uintptr_t address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(address), &module))
        return "(no module)";
    const Module& m = Load(module);
    const auto rva = static_cast<std::uint32_t>(address - reinterpret_cast<std::uintptr_t>(module));
    auto it = std::upper_bound(m.functions.begin(), m.functions.end(), std::make_pair(rva, std::string()),
                               [](const auto& a, const auto& b) { return a.first < b.first; });
    if (it == m.functions.begin()) return m.name + "!?";
    return m.name + "!" + std::prev(it)->second;
}

}  // namespace bench
