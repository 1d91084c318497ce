#include "tests/glrecord/support/SweepArguments.h"

#include <cstring>

namespace sweep {

namespace {
template <class T>
void Append(std::vector<std::uint8_t>& bytes, T value) {
    const std::size_t at = bytes.size();
    bytes.resize(at + sizeof value);
    std::memcpy(bytes.data() + at, &value, sizeof value);
}
}  // namespace

std::vector<std::uint8_t> Arguments(const CallShape& shape, std::uint32_t base) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t k = 0; shape.params[k]; ++k) {
        switch (shape.params[k]) {
        case 'p': Append(bytes, base + k * kRegionBytes); break;
        case 'i': Append(bytes, 1u + k); break;  // small: counts size data blocks
        // Narrow values with garbage above them: only their own bytes may reach the record.
        case 'b': Append(bytes, 0xCCCCCC00u | (1u + k)); break;
        case 's': Append(bytes, 0xCCCC0000u | (0x100u + k)); break;
        case 'f': Append(bytes, 1.5f + static_cast<float>(k)); break;
        case 'd': Append(bytes, 2.25 + k); break;
        case 'q': Append(bytes, (std::uint64_t{k + 1} << 32) | (0x40u + k)); break;
        }
    }
    return bytes;
}

std::vector<std::uint8_t> HandWrittenArguments(const CallShape& shape, std::uint32_t base, std::uint32_t zeroBase) {
    static const char* const kReadThrough[] = {"wglCreateContextAttribsARB", "glShaderSourceARB", "glCreateShaderProgramv",
                                               "glTransformFeedbackVaryings", "glTransformFeedbackVaryingsEXT",
                                               "glMultiDrawElementsEXT", "glMultiDrawElementsBaseVertex"};
    for (const char* name : kReadThrough)
        if (std::strcmp(shape.name, name) == 0) return Arguments(shape, zeroBase);
    return Arguments(shape, base);
}

std::vector<std::uint32_t> StackOffsets(const CallShape& shape) {
    std::vector<std::uint32_t> offsets;
    std::uint32_t at = 0;
    for (std::uint32_t k = 0; shape.params[k]; ++k) {
        offsets.push_back(at);
        at += StackBytes(shape.params[k]);
    }
    return offsets;
}

}  // namespace sweep
