// The real OpenGL functions that the recorders ask for state. They go straight to the system
// library's entry points, so they are never recorded and never reach a recorder.
#pragma once
#include <cstdint>

#include "gen/ApiTable.h"
#include "glrecord/GLTypes.h"
#include "glrecord/SizeRules.h"

namespace kestrel {

extern "C" void* g_realEntries[];

namespace realgl {

// The first of the slots that the system library filled: a core name, then its extension name.
template <class Fn>
Fn Entry(unsigned slot, unsigned fallback = ~0u) {
    void* entry = g_realEntries[slot];
    if (!entry && fallback != ~0u) entry = g_realEntries[fallback];
    return reinterpret_cast<Fn>(entry);
}

inline kgl::GLint GetInteger(kgl::GLenum name) {
    kgl::GLint value = 0;
    if (auto get = Entry<void(__stdcall*)(kgl::GLenum, kgl::GLint*)>(fn::glGetIntegerv)) get(name, &value);
    return value;
}

inline kgl::GLenum GetError() {
    auto get = Entry<kgl::GLenum(__stdcall*)()>(fn::glGetError);
    return get ? get() : 0;
}

// Empties the error queue; gives up after a bounded number of errors, as a lost context may
// report one for ever.
inline void DrainErrors() {
    for (int i = 0; i < 64 && GetError() != 0; ++i) {
    }
}

inline kgl::GLint GetBufferParameter(kgl::GLenum target, kgl::GLenum name) {
    kgl::GLint value = 0;
    if (auto get = Entry<void(__stdcall*)(kgl::GLenum, kgl::GLenum, kgl::GLint*)>(fn::glGetBufferParameteriv,
                                                                                  fn::glGetBufferParameterivARB))
        get(target, name, &value);
    return value;
}

inline void* GetBufferPointer(kgl::GLenum target, kgl::GLenum name) {
    void* value = nullptr;
    if (auto get = Entry<void(__stdcall*)(kgl::GLenum, kgl::GLenum, void**)>(fn::glGetBufferPointerv,
                                                                             fn::glGetBufferPointervARB))
        get(target, name, &value);
    return value;
}

inline kgl::GLint GetNamedBufferParameter(kgl::GLuint buffer, kgl::GLenum name) {
    kgl::GLint value = 0;
    if (auto get = Entry<void(__stdcall*)(kgl::GLuint, kgl::GLenum, kgl::GLint*)>(fn::glGetNamedBufferParameteriv,
                                                                                  fn::glGetNamedBufferParameterivEXT))
        get(buffer, name, &value);
    return value;
}

inline void* GetNamedBufferPointer(kgl::GLuint buffer, kgl::GLenum name) {
    void* value = nullptr;
    if (auto get = Entry<void(__stdcall*)(kgl::GLuint, kgl::GLenum, void**)>(fn::glGetNamedBufferPointerv,
                                                                             fn::glGetNamedBufferPointervEXT))
        get(buffer, name, &value);
    return value;
}

inline kgl::GLint GetObjectBufferParameter(kgl::GLuint buffer, kgl::GLenum name) {
    kgl::GLint value = 0;
    if (auto get = Entry<void(__stdcall*)(kgl::GLuint, kgl::GLenum, kgl::GLint*)>(fn::glGetObjectBufferivATI))
        get(buffer, name, &value);
    return value;
}

// The unpack state that an upload of that many dimensions reads: the rest keeps its defaults. A
// one-dimensional image reads as a two-dimensional one of one row.
inline rules::UnpackState GetUnpackState(int dimensions) {
    rules::UnpackState state;
    state.skipPixels = GetInteger(0x0CF4);
    state.rowLength = GetInteger(0x0CF2);
    state.alignment = GetInteger(0x0CF5);
    state.skipRows = GetInteger(0x0CF3);
    if (dimensions < 3) return state;
    state.imageHeight = GetInteger(0x806E);
    state.skipImages = GetInteger(0x806D);
    return state;
}

// A two-dimensional upload's block at the GL's unpack state, with the last row's padding.
inline std::uint32_t UnpackBlock2D(std::int32_t width, std::int32_t height, std::uint32_t format, std::uint32_t type,
                                   std::uint32_t* padding) {
    const rules::UnpackState unpack = GetUnpackState(2);
    *padding = rules::UnpackPadding2D(width, height, format, type, unpack);
    return rules::UnpackBytes2D(width, height, format, type, unpack);
}

inline void GetBufferSubData(kgl::GLenum target, std::intptr_t offset, std::intptr_t size, void* data) {
    if (auto get = Entry<void(__stdcall*)(kgl::GLenum, std::intptr_t, std::intptr_t, void*)>(
            fn::glGetBufferSubData, fn::glGetBufferSubDataARB))
        get(target, offset, size, data);
}

// Whether the buffer bound to target may be read back with glGetBufferSubData: not while the
// application holds it mapped, unless persistently.
inline bool BufferReadable(kgl::GLenum target, bool bufferStorage) {
    if (GetBufferParameter(target, 0x88BC) == 0) return true;               // not mapped
    return bufferStorage && (GetBufferParameter(target, 0x911F) & 0x40) != 0;  // mapped persistently
}

inline void* MapBufferRange(kgl::GLenum target, std::intptr_t offset, std::intptr_t length, kgl::GLbitfield access) {
    auto map = Entry<void*(__stdcall*)(kgl::GLenum, std::intptr_t, std::intptr_t, kgl::GLbitfield)>(
        fn::glMapBufferRange);
    return map ? map(target, offset, length, access) : nullptr;
}

inline kgl::GLboolean UnmapBuffer(kgl::GLenum target) {
    auto unmap = Entry<kgl::GLboolean(__stdcall*)(kgl::GLenum)>(fn::glUnmapBuffer, fn::glUnmapBufferARB);
    return unmap ? unmap(target) : 0;
}

}  // namespace realgl
}  // namespace kestrel
