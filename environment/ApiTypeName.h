#pragma once
#include <cstdint>

namespace kestrel {

// Graphics API type codes as the capturer holds them and registration carries them.
enum ApiType : uint32_t {
    kApiTypeOpenCL = 1,
    kApiTypeOpenGL = 2,
    kApiTypeDXGI = 3,
    kApiTypeD3D10 = 4,
    kApiTypeD3D11 = 5,
    kApiTypeD3D10_1 = 6,
    kApiTypeEGL = 8,
    kApiTypeOpenGLES = 9,
    kApiTypeOpenGLES1X = 11,
    kApiTypeD3D12 = 13,
};

// Longest name ("OpenGLES1X") with its terminating zero.
constexpr uint32_t kApiTypeNameSize = 11;

// The printable name of an API type code; "Unknown" for codes without one.
const char* ApiTypeNameOf(uint32_t code);

// Copies the name with its terminating zero into dest, which holds at least kApiTypeNameSize bytes.
void ApiTypeName(uint32_t code, char* dest);

}  // namespace kestrel
