#include "controller/ProgramImage.h"

#include <windows.h>

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

ProgramImage ReadProgramImage(const std::string& path) {
    ProgramImage image;
    std::ifstream in(path, std::ios::binary);
    if (!in) return image;
    // Programs are small enough to read whole; a file past 256 MiB is not looked into.
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length <= 0 || length > (256 << 20)) return image;
    in.seekg(0);
    std::vector<char> file(static_cast<std::size_t>(length));
    if (!in.read(file.data(), length)) return image;
    auto fits = [&](std::size_t at, std::size_t size) { return at <= file.size() && size <= file.size() - at; };

    IMAGE_DOS_HEADER dos{};
    if (!fits(0, sizeof dos)) return image;
    std::memcpy(&dos, file.data(), sizeof dos);
    const auto ntAt = static_cast<std::size_t>(dos.e_lfanew);
    DWORD signature = 0;
    IMAGE_FILE_HEADER header{};
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || !fits(ntAt, sizeof signature + sizeof header)) return image;
    std::memcpy(&signature, file.data() + ntAt, sizeof signature);
    std::memcpy(&header, file.data() + ntAt + sizeof signature, sizeof header);
    if (signature != IMAGE_NT_SIGNATURE) return image;
    image.valid = true;
    image.machine = header.Machine;
    image.isDll = (header.Characteristics & IMAGE_FILE_DLL) != 0;
    if (header.Machine != IMAGE_FILE_MACHINE_I386) return image;

    // The import directory of a 32-bit program.
    const std::size_t optionalAt = ntAt + sizeof signature + sizeof header;
    IMAGE_OPTIONAL_HEADER32 optional{};
    if (header.SizeOfOptionalHeader < sizeof optional || !fits(optionalAt, sizeof optional)) return image;
    std::memcpy(&optional, file.data() + optionalAt, sizeof optional);
    if (optional.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT) return image;
    const std::size_t sectionsAt = optionalAt + header.SizeOfOptionalHeader;
    if (!fits(sectionsAt, std::size_t{header.NumberOfSections} * sizeof(IMAGE_SECTION_HEADER))) return image;
    std::vector<IMAGE_SECTION_HEADER> sections(header.NumberOfSections);
    std::memcpy(sections.data(), file.data() + sectionsAt, sections.size() * sizeof(IMAGE_SECTION_HEADER));
    const std::uint32_t importRva = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    std::size_t at = importRva ? FileOffset(sections.data(), header.NumberOfSections, importRva) : 0;
    for (; at && fits(at, sizeof(IMAGE_IMPORT_DESCRIPTOR)); at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR entry{};
        std::memcpy(&entry, file.data() + at, sizeof entry);
        if (entry.Name == 0) break;
        const std::size_t nameAt = FileOffset(sections.data(), header.NumberOfSections, entry.Name);
        if (!nameAt || !fits(nameAt, 1)) continue;
        std::string name(file.data() + nameAt, strnlen(file.data() + nameAt, file.size() - nameAt));
        if (SameNameIgnoringCase(name.c_str(), "opengl32.dll")) image.importsOpenGL = true;
    }
    return image;
}

}  // namespace kestrel
