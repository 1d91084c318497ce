#include "glrecord/ContextFeatures.h"

#include <algorithm>

namespace kestrel {

std::int32_t ParseVersion(std::string_view version) {
    std::size_t at = 0;
    auto number = [&]() {
        std::int32_t value = -1;
        while (at < version.size() && version[at] >= '0' && version[at] <= '9') {
            value = (value < 0 ? 0 : value * 10) + (version[at] - '0');
            if (value > 1000) return -1;
            ++at;
        }
        return value;
    };
    const std::int32_t major = number();
    if (major < 0 || at >= version.size() || version[at] != '.') return 0;
    ++at;
    const std::int32_t minor = number();
    return minor < 0 ? 0 : major * 10 + (minor > 9 ? 9 : minor);
}

ContextFeatures ContextFeatures::From(std::string_view version, bool coreProfile, bool forwardCompatible,
                                      const std::vector<std::string_view>& extensions) {
    auto has = [&](std::string_view name) {
        return std::find(extensions.begin(), extensions.end(), name) != extensions.end();
    };
    ContextFeatures f;
    f.version = ParseVersion(version);
    // 3.1 has no compatibility profile of its own: only the extension keeps the old functions.
    const bool removed = coreProfile || (forwardCompatible && f.version >= 30) ||
                         (f.version == 31 && !has("GL_ARB_compatibility"));
    f.fixedFunction = !removed;
    f.bufferObjects = f.version >= 15 || has("GL_ARB_vertex_buffer_object");
    f.pixelBuffers = f.version >= 21 || has("GL_ARB_pixel_buffer_object") || has("GL_EXT_pixel_buffer_object");
    f.framebufferObjects =
        f.version >= 30 || has("GL_ARB_framebuffer_object") || has("GL_EXT_framebuffer_blit");
    f.drawIndirect = f.version >= 40 || has("GL_ARB_draw_indirect");
    f.bufferStorage = f.version >= 44 || has("GL_ARB_buffer_storage");
    f.vertexAttributes = f.version >= 20 || has("GL_ARB_vertex_program") || has("GL_ARB_vertex_shader");
    f.vertexShaderVariants = has("GL_EXT_vertex_shader");
    return f;
}

}  // namespace kestrel
