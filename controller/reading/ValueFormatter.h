// One recorded value as a GL programmer would write it: enums by name, bitfields and addresses in
// hex, numbers in the shortest form that reads back the same.
#pragma once
#include <cstdint>

#include "controller/reading/TextOutput.h"
#include "gen/ApiDescription.h"

namespace kestrel {

class ValueFormatter {
public:
    // One value of `width` bytes at `at` (the caller has checked that they are there). The function
    // and parameter names choose among the constants that share the values 0 and 1.
    static void Append(TextOutput& out, description::ValueKind kind, unsigned width, const std::uint8_t* at,
                       const char* function, const char* parameter);
    // A value that its record says is an enum (a texture parameter's value for GL_TEXTURE_MIN_FILTER,
    // also as a float): by name where it has one, else as its kind shows it.
    static void AppendAsEnum(TextOutput& out, description::ValueKind kind, unsigned width, const std::uint8_t* at,
                             const char* function, const char* parameter);
    // The name of an enum value where one fits, else null.
    static const char* EnumName(std::uint32_t value, const char* function, const char* parameter);
};

}  // namespace kestrel
