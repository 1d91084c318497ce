// Texture parameters and their queries on texture objects, and texture priorities.
#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RecorderSupport.h"
#include "glrecord/SizeRules.h"

namespace kestrel {

namespace {

// Values a vector parameter setter passes: the border colour and the swizzle of all four channels
// take four, every other name one.
std::uint32_t ParameterBytes(kgl::GLenum pname) { return pname == 0x1004 || pname == 0x8E46 ? 16u : 4u; }

}  // namespace

void GLKestrel::glTexParameteriv(kgl::GLenum target, kgl::GLenum pname, const kgl::GLint* params) {
    EnterCall();
    CallReal<void>(*this, fn::glTexParameteriv, api::glTexParameteriv, target, pname, params);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glTexParameteriv, params, ParameterBytes(pname), target, pname, params);
    LeaveCall();
}

void GLKestrel::glTextureParameterfv(kgl::GLuint texture, kgl::GLenum pname, const kgl::GLfloat* param) {
    EnterCall();
    CallReal<void>(*this, fn::glTextureParameterfv, api::glTextureParameterfv, texture, pname, param);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glTextureParameterfv, param, ParameterBytes(pname), texture, pname, param);
    LeaveCall();
}

void GLKestrel::glTextureParameteriv(kgl::GLuint texture, kgl::GLenum pname, const kgl::GLint* param) {
    EnterCall();
    CallReal<void>(*this, fn::glTextureParameteriv, api::glTextureParameteriv, texture, pname, param);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glTextureParameteriv, param, ParameterBytes(pname), texture, pname, param);
    LeaveCall();
}

void GLKestrel::glTextureParameterIiv(kgl::GLuint texture, kgl::GLenum pname, const kgl::GLint* params) {
    EnterCall();
    CallReal<void>(*this, fn::glTextureParameterIiv, api::glTextureParameterIiv, texture, pname, params);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glTextureParameterIiv, params, ParameterBytes(pname), texture, pname, params);
    LeaveCall();
}

void GLKestrel::glTextureParameterIuiv(kgl::GLuint texture, kgl::GLenum pname, const kgl::GLuint* params) {
    EnterCall();
    CallReal<void>(*this, fn::glTextureParameterIuiv, api::glTextureParameterIuiv, texture, pname, params);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glTextureParameterIuiv, params, ParameterBytes(pname), texture, pname, params);
    LeaveCall();
}

// Queries record the first value the GL returned.

void GLKestrel::glGetTextureParameterfv(kgl::GLuint texture, kgl::GLenum pname, kgl::GLfloat* params) {
    EnterCall();
    CallReal<void>(*this, fn::glGetTextureParameterfv, api::glGetTextureParameterfv, texture, pname, params);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glGetTextureParameterfv, params, 4, texture, pname, params);
    LeaveCall();
}

void GLKestrel::glGetTextureParameteriv(kgl::GLuint texture, kgl::GLenum pname, kgl::GLint* params) {
    EnterCall();
    CallReal<void>(*this, fn::glGetTextureParameteriv, api::glGetTextureParameteriv, texture, pname, params);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glGetTextureParameteriv, params, 4, texture, pname, params);
    LeaveCall();
}

void GLKestrel::glGetTextureParameterIiv(kgl::GLuint texture, kgl::GLenum pname, kgl::GLint* params) {
    EnterCall();
    CallReal<void>(*this, fn::glGetTextureParameterIiv, api::glGetTextureParameterIiv, texture, pname, params);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glGetTextureParameterIiv, params, 4, texture, pname, params);
    LeaveCall();
}

void GLKestrel::glGetTextureParameterIuiv(kgl::GLuint texture, kgl::GLenum pname, kgl::GLuint* params) {
    EnterCall();
    CallReal<void>(*this, fn::glGetTextureParameterIuiv, api::glGetTextureParameterIuiv, texture, pname, params);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glGetTextureParameterIuiv, params, 4, texture, pname, params);
    LeaveCall();
}

void GLKestrel::glGetTextureLevelParameterfv(kgl::GLuint texture, kgl::GLint level, kgl::GLenum pname,
                                             kgl::GLfloat* params) {
    EnterCall();
    CallReal<void>(*this, fn::glGetTextureLevelParameterfv, api::glGetTextureLevelParameterfv, texture, level, pname,
                   params);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glGetTextureLevelParameterfv, params, 4, texture, level, pname, params);
    LeaveCall();
}

void GLKestrel::glGetTextureLevelParameteriv(kgl::GLuint texture, kgl::GLint level, kgl::GLenum pname,
                                             kgl::GLint* params) {
    EnterCall();
    CallReal<void>(*this, fn::glGetTextureLevelParameteriv, api::glGetTextureLevelParameteriv, texture, level, pname,
                   params);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glGetTextureLevelParameteriv, params, 4, texture, level, pname, params);
    LeaveCall();
}

// The names, then their priorities; a null list is recorded as zeros so the size still holds.
void GLKestrel::glPrioritizeTextures(kgl::GLsizei n, const kgl::GLuint* textures, const kgl::GLfloat* priorities) {
    EnterCall();
    CallReal<void>(*this, fn::glPrioritizeTextures, api::glPrioritizeTextures, n, textures, priorities);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = rules::BlockBytes(n, 4u);
    const Packed<kgl::GLsizei, const kgl::GLuint*, const kgl::GLfloat*> fixed(n, textures, priorities);
    BeginRecord(api::glPrioritizeTextures, sizeof fixed.bytes + 2 * bytes);
    WriteData(sizeof fixed.bytes, fixed.bytes);
    WriteBlock(bytes, textures);
    WriteBlock(bytes, priorities);
    LeaveCall();
}

}  // namespace kestrel
