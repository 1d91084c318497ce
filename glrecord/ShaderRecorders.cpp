// Shader and program sources given as arrays of strings, program binaries (recorded with their hash)
// and the patch parameters of tessellation.
#include <cstring>

#include "capture/GLKestrel.h"
#include "capture/TableHash.h"
#include "gen/ApiTable.h"
#include "glrecord/RecorderSupport.h"

namespace kestrel {

namespace {

std::uint32_t Count(kgl::GLsizei count) { return count > 0 ? static_cast<std::uint32_t>(count) : 0u; }

std::uint32_t Length(const char* text) { return text ? static_cast<std::uint32_t>(std::strlen(text)) : 0u; }

// Each string with its NUL, in order; a null entry stands as an empty string.
std::uint32_t StringsBytes(const char* const* strings, std::uint32_t count) {
    std::uint32_t bytes = 0;
    for (std::uint32_t i = 0; strings && i < count; ++i) bytes += Length(strings[i]) + 1;
    return bytes;
}

void WriteStrings(GLKestrel& k, const char* const* strings, std::uint32_t count) {
    static const char kZero = 0;
    for (std::uint32_t i = 0; strings && i < count; ++i) {
        k.WriteData(Length(strings[i]), strings[i]);
        k.WriteData(1, &kZero);
    }
}

}  // namespace

void GLKestrel::glShaderSourceARB(kgl::GLhandleARB shaderObj, kgl::GLsizei count, const kgl::GLcharARB** string,
                                  const kgl::GLint* length) {
    EnterCall();
    CallReal<void>(*this, fn::glShaderSourceARB, api::glShaderSourceARB, shaderObj, count, string, length);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t strings = string ? Count(count) : 0;
    // The lengths as the application gave them (a negative one means "to the NUL"), or the NUL
    // lengths; and the characters the GL took. Worked out as they are written: nothing is held.
    auto given = [&](std::uint32_t i) {
        return length ? length[i] : static_cast<kgl::GLint>(Length(string[i]));
    };
    auto taken = [&](std::uint32_t i) {
        return !length || length[i] < 0 ? Length(string[i]) : static_cast<std::uint32_t>(length[i]);
    };
    std::uint64_t textBytes = 0;
    for (std::uint32_t i = 0; i < strings; ++i) textBytes += std::uint64_t{taken(i)} + 1;
    const Packed<kgl::GLhandleARB, kgl::GLsizei, const kgl::GLcharARB**, const kgl::GLint*> fixed(shaderObj, count,
                                                                                                   string, length);
    BeginRecord(api::glShaderSourceARB,
                static_cast<std::uint32_t>(sizeof fixed.bytes + std::uint64_t{strings} * 4 + textBytes));
    WriteData(sizeof fixed.bytes, fixed.bytes);
    for (std::uint32_t i = 0; i < strings; ++i) {
        const kgl::GLint value = given(i);
        WriteData(4, &value);
    }
    static const char kZero = 0;
    for (std::uint32_t i = 0; i < strings; ++i) {
        // Exactly the characters the GL took, then the recorder's own zero byte.
        WriteBlock(taken(i), string[i]);
        WriteData(1, &kZero);
    }
    LeaveCall();
}

kgl::GLuint GLKestrel::glCreateShaderProgramv(kgl::GLenum type, kgl::GLsizei count, const kgl::GLchar* const* strings) {
    EnterCall();
    const kgl::GLuint result = CallReal<kgl::GLuint>(*this, fn::glCreateShaderProgramv, api::glCreateShaderProgramv,
                                                     type, count, strings);
    if (ShouldRecordOrLeave()) return result;
    const std::uint32_t n = strings ? Count(count) : 0;
    const Packed<kgl::GLenum, kgl::GLsizei, const kgl::GLchar* const*, kgl::GLuint> fixed(type, count, strings, result);
    BeginRecord(api::glCreateShaderProgramv, sizeof fixed.bytes + StringsBytes(strings, n));
    WriteData(sizeof fixed.bytes, fixed.bytes);
    WriteStrings(*this, strings, n);
    LeaveCall();
    return result;
}

namespace {

template <class Varyings>
void RecordVaryings(GLKestrel& k, std::uint32_t apiId, kgl::GLuint program, kgl::GLsizei count, Varyings varyings,
                    kgl::GLenum bufferMode) {
    const auto* names = reinterpret_cast<const char* const*>(varyings);
    const std::uint32_t n = names ? Count(count) : 0;
    const Packed<kgl::GLuint, kgl::GLsizei, Varyings, kgl::GLenum> fixed(program, count, varyings, bufferMode);
    k.BeginRecord(apiId, sizeof fixed.bytes + StringsBytes(names, n));
    k.WriteData(sizeof fixed.bytes, fixed.bytes);
    WriteStrings(k, names, n);
}

}  // namespace

void GLKestrel::glTransformFeedbackVaryings(kgl::GLuint program, kgl::GLsizei count, const kgl::GLchar* const* varyings,
                                            kgl::GLenum bufferMode) {
    EnterCall();
    CallReal<void>(*this, fn::glTransformFeedbackVaryings, api::glTransformFeedbackVaryings, program, count, varyings,
                   bufferMode);
    if (ShouldRecordOrLeave()) return;
    RecordVaryings(*this, api::glTransformFeedbackVaryings, program, count, varyings, bufferMode);
    LeaveCall();
}

void GLKestrel::glTransformFeedbackVaryingsEXT(kgl::GLuint program, kgl::GLsizei count,
                                               const kgl::GLchar* const* varyings, kgl::GLenum bufferMode) {
    EnterCall();
    CallReal<void>(*this, fn::glTransformFeedbackVaryingsEXT, api::glTransformFeedbackVaryingsEXT, program, count,
                   varyings, bufferMode);
    if (ShouldRecordOrLeave()) return;
    RecordVaryings(*this, api::glTransformFeedbackVaryingsEXT, program, count, varyings, bufferMode);
    LeaveCall();
}

void GLKestrel::glProgramBinary(kgl::GLuint program, kgl::GLenum binaryFormat, const void* binary, kgl::GLsizei length) {
    EnterCall();
    CallReal<void>(*this, fn::glProgramBinary, api::glProgramBinary, program, binaryFormat, binary, length);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = binary ? Count(length) : 0;
    const std::uint32_t hash = binary ? TableHash(binary, bytes) : 0;
    RecordWithBlock(*this, api::glProgramBinary, binary, bytes, program, binaryFormat, binary, length, hash);
    LeaveCall();
}

void GLKestrel::glGetProgramBinary(kgl::GLuint program, kgl::GLsizei bufSize, kgl::GLsizei* length,
                                   kgl::GLenum* binaryFormat, void* binary) {
    EnterCall();
    // The recorder needs the returned length even when the application does not ask for it.
    kgl::GLsizei ownLength = 0;
    kgl::GLsizei* used = length ? length : &ownLength;
    CallReal<void>(*this, fn::glGetProgramBinary, api::glGetProgramBinary, program, bufSize, used, binaryFormat, binary);
    if (ShouldRecordOrLeave()) return;
    // Never more than the buffer holds: a refused call leaves the application's length as it was.
    std::uint32_t returned = *used > 0 ? static_cast<std::uint32_t>(*used) : 0u;
    if (returned > Count(bufSize)) returned = Count(bufSize);
    const std::uint32_t hash = binary ? TableHash(binary, returned) : 0;
    const bool withBinary = binaryFormat && binary;
    const Packed<kgl::GLuint, kgl::GLsizei, kgl::GLsizei*, kgl::GLenum*, void*, std::uint32_t> fixed(
        program, bufSize, used, binaryFormat, binary, hash);
    BeginRecord(api::glGetProgramBinary, sizeof fixed.bytes + (withBinary ? 8 + returned : 0));
    WriteData(sizeof fixed.bytes, fixed.bytes);
    if (withBinary) {
        const std::uint32_t head[2] = {returned, *binaryFormat};
        WriteData(sizeof head, head);
        WriteData(returned, binary);
    }
    LeaveCall();
}

// Outer tessellation levels are four values, inner ones two.
void GLKestrel::glPatchParameterfvEXT(kgl::GLenum pname, const kgl::GLfloat* values) {
    EnterCall();
    CallReal<void>(*this, fn::glPatchParameterfvEXT, api::glPatchParameterfvEXT, pname, values);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glPatchParameterfvEXT, values, pname == 0x8E74 ? 16u : 8u, pname, values);
    LeaveCall();
}

}  // namespace kestrel
