// The kinds of GL object whose names a replay maps from the capture's to its own.
#pragma once
#include <cstdint>

namespace kestrel::replay {

enum class ObjectKind : std::uint8_t {
    Texture,
    Buffer,
    ShaderObject,  // shaders and programs: one name space in the GL
    Renderbuffer,
    Sampler,
    DisplayList,
    Sync,
    // Containers: each context has its own.
    VertexArray,
    Framebuffer,
    TransformFeedback,
    ProgramPipeline,
    Query,
};

constexpr bool IsContainer(ObjectKind kind) { return kind >= ObjectKind::VertexArray; }

}  // namespace kestrel::replay
