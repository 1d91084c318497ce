#include "controller/capture/ProgramImage.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace kestrel {

namespace {

// The file offset of a relative virtual address, through the section that holds it; 0 when none does.
std::uint32_t FileOffset(const IMAGE_SECTION_HEADER* sections, std::uint16_t count, std::uint32_t rva) {
    for (std::uint16_t i = 0; i < count; ++i) {
        const IMAGE_SECTION_HEADER& s = sections[i];
        const std::uint32_t size = s.Misc.VirtualSize > s.SizeOfRawData ? s.Misc.VirtualSize : s.SizeOfRawData;
        if (rva >= s.VirtualAddress && rva < s.VirtualAddress + size) return rva - s.VirtualAddress + s.PointerToRawData;
    }
    return 0;
}

bool SameNameIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if ((*a | 0x20) != (*b | 0x20)) return false;
    return *a == *b;
}

}  // namespace

const char* ProgramImage::RecorderWidth() const {
    switch (machine) {
        case IMAGE_FILE_MACHINE_I386: return "i686";
        case IMAGE_FILE_MACHINE_AMD64: return "x86_64";
        default: return nullptr;
    }
}

std::string ProgramImage::MachineName() const {
    switch (machine) {
        case IMAGE_FILE_MACHINE_I386: return "i386";
        case IMAGE_FILE_MACHINE_AMD64: return "x86-64";
        case 0xAA64: return "ARM64";
        case IMAGE_FILE_MACHINE_ARMNT: return "ARM (Thumb-2)";
        case IMAGE_FILE_MACHINE_IA64: return "Itanium";
        default: {
            char number[16];
            std::snprintf(number, sizeof number, "0x%04X", machine);
            return std::string("machine type ") + number;
        }
    }
}

ProgramImage ReadProgramImage(const std::string& path) {
    ProgramImage image;
    std::ifstream in(path, std::ios::binary);
    if (!in) return image;
    // Only the headers and the import directory are read, never the whole program.
    auto readAt = [&](std::size_t at, void* to, std::size_t size) {
        in.clear();
        in.seekg(static_cast<std::streamoff>(at));
        return static_cast<bool>(in.read(static_cast<char*>(to), static_cast<std::streamsize>(size)));
    };

    IMAGE_DOS_HEADER dos{};
    if (!readAt(0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return image;
    const auto ntAt = static_cast<std::size_t>(dos.e_lfanew);
    DWORD signature = 0;
    IMAGE_FILE_HEADER header{};
    if (!readAt(ntAt, &signature, sizeof signature) || signature != IMAGE_NT_SIGNATURE ||
        !readAt(ntAt + sizeof signature, &header, sizeof header))
        return image;
    image.valid = true;
    image.machine = header.Machine;
    image.isDll = (header.Characteristics & IMAGE_FILE_DLL) != 0;
    if (!image.RecorderWidth()) return image;

    // The import directory: the two optional headers differ in size before their data directories.
    const std::size_t optionalAt = ntAt + sizeof signature + sizeof header;
    IMAGE_OPTIONAL_HEADER32 optional32{};
    IMAGE_OPTIONAL_HEADER64 optional64{};
    const bool wide = header.Machine == IMAGE_FILE_MACHINE_AMD64;
    void* optional = wide ? static_cast<void*>(&optional64) : static_cast<void*>(&optional32);
    const std::size_t optionalSize = wide ? sizeof optional64 : sizeof optional32;
    if (header.SizeOfOptionalHeader < optionalSize || !readAt(optionalAt, optional, optionalSize)) return image;
    const DWORD directories = wide ? optional64.NumberOfRvaAndSizes : optional32.NumberOfRvaAndSizes;
    if (directories <= IMAGE_DIRECTORY_ENTRY_IMPORT) return image;
    std::vector<IMAGE_SECTION_HEADER> sections(header.NumberOfSections);
    if (!readAt(optionalAt + header.SizeOfOptionalHeader, sections.data(), sections.size() * sizeof(IMAGE_SECTION_HEADER)))
        return image;
    const std::uint32_t importRva = (wide ? optional64.DataDirectory : optional32.DataDirectory)[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    std::size_t at = importRva ? FileOffset(sections.data(), header.NumberOfSections, importRva) : 0;
    // A bound on the entries read, so that a damaged file cannot keep this going.
    for (int entries = 0; at && entries < 4096; ++entries, at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR entry{};
        if (!readAt(at, &entry, sizeof entry) || entry.Name == 0) break;
        const std::size_t nameAt = FileOffset(sections.data(), header.NumberOfSections, entry.Name);
        char name[64] = {};
        if (!nameAt) continue;
        in.clear();
        in.seekg(static_cast<std::streamoff>(nameAt));
        in.read(name, sizeof name - 1);  // a name near the file's end reads short; what came is enough
        if (SameNameIgnoringCase(name, "opengl32.dll")) image.importsOpenGL = true;
    }
    return image;
}

}  // namespace kestrel
