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

    bool Is64Bit() const { return machine == 0x8664 || machine == 0xAA64 || machine == 0x0200; }
};

ProgramImage ReadProgramImage(const std::string& path);

}  // namespace kestrel
