// The call shape of every entry point (generated from the API table): how to call it generically
// and what its record must be.
#pragma once
#include <cstdint>
#include <string>

struct CallShape {
    std::uint32_t index;      // function index = real-entry slot; pass-through exports follow
    const char* name;
    std::uint32_t argBytes;
    const char* params;       // one class per argument: p b s i f d q
    char result;              // v b s i f d q p
    std::uint32_t apiId;      // 0 for a pass-through export
    std::int32_t aliasNumber; // -1 unless an alias
    bool passThrough;
    bool handWritten;         // runs a hand-written recorder, which has tests of its own
};

extern const CallShape kCallShapes[];
extern const std::uint32_t kCallShapeCount;

const CallShape* FindShape(const std::string& name);
// Stack bytes of one argument class.
constexpr std::uint32_t StackBytes(char argumentClass) { return argumentClass == 'd' || argumentClass == 'q' ? 8 : 4; }
// Bytes of its value: what callee and record see of it.
constexpr std::uint32_t ValueBytes(char argumentClass) {
    return argumentClass == 'b' ? 1 : argumentClass == 's' ? 2 : StackBytes(argumentClass);
}
