// What a program's file says about it before it runs: its machine, and whether it imports
// opengl32.dll (then the recorder placed beside it is loaded at its start).
#pragma once
#include <cstdint>
#include <string>

namespace kestrel {

struct ProgramImage {
    bool valid = false;      // a PE file whose headers could be read
    std::uint16_t machine = 0;
    bool isDll = false;
    bool importsOpenGL = false;

    // The recorder's build for this machine ("i686" or "x86_64"); null for a machine it is not built for.
    const char* RecorderWidth() const;
    // The machine's common name, for a refusal ("ARM64", or its number when unknown).
    std::string MachineName() const;
};

ProgramImage ReadProgramImage(const std::string& path);

}  // namespace kestrel
