// Calls a stdcall function of any shape with argument bytes laid out as its stack expects them.
#pragma once
#include <cstdint>

// The result registers edx:eax.
extern "C" std::uint64_t __cdecl CallStdcall(const void* function, const void* args, std::uint32_t argBytes);
// For a function whose result comes back on the x87 stack.
extern "C" double __cdecl CallStdcallFloat(const void* function, const void* args, std::uint32_t argBytes);
