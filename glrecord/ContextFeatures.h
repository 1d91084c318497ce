// What a context has, learnt at its first activation: its version and profile, and the extensions
// whose state the recorder asks for. A query the context does not know would raise an error that
// the application sees, so the recorder asks only what these allow.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrel {

struct ContextFeatures {
    std::int32_t version = 0;          // major * 10 + minor
    bool fixedFunction = true;         // not a core or forward-compatible context: display lists, texture units
    bool bufferObjects = false;        // array and element buffer bindings
    bool pixelBuffers = false;         // pixel pack and unpack buffer bindings
    bool framebufferObjects = false;   // the read framebuffer binding
    bool drawIndirect = false;         // the draw-indirect buffer binding
    bool bufferStorage = false;        // a buffer's access flags (persistent mappings)
    bool vertexAttributes = false;     // the generic vertex attribute count
    bool vertexShaderVariants = false; // the vendor vertex shader's variant count

    // From the version string ("4.5 (Compatibility Profile) Mesa ..."), the profile and the extensions.
    static ContextFeatures From(std::string_view version, bool coreProfile, bool forwardCompatible,
                                const std::vector<std::string_view>& extensions);
};

// The major * 10 + minor of a version string; 0 when it does not start with one.
std::int32_t ParseVersion(std::string_view version);

}  // namespace kestrel
