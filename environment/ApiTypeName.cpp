#include "environment/ApiTypeName.h"

#include <cstring>

namespace kestrel {

const char* ApiTypeNameOf(uint32_t code) {
    switch (code) {
        case kApiTypeOpenCL: return "OpenCL";
        case kApiTypeOpenGL: return "OpenGL";
        case kApiTypeDXGI: return "DXGI";
        case kApiTypeD3D10: return "D3D10";
        case kApiTypeD3D11: return "D3D11";
        case kApiTypeD3D10_1: return "D3D10_1";
        case kApiTypeEGL: return "EGL";
        case kApiTypeOpenGLES: return "OpenGLES";
        case kApiTypeOpenGLES1X: return "OpenGLES1X";
        case kApiTypeD3D12: return "D3D12";
        default: return "Unknown";  // 7, 10 and 12 are sibling capturers' vendor interfaces
    }
}

void ApiTypeName(uint32_t code, char* dest) {
    const char* name = ApiTypeNameOf(code);
    std::memcpy(dest, name, std::strlen(name) + 1);
}

}  // namespace kestrel
