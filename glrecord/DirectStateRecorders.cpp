// Direct-state-access creation and queries: the names a call created, the lists it was handed and
// the first value a query returned.
#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RecorderSupport.h"
#include "glrecord/SizeRules.h"

namespace kestrel {

namespace {

std::uint32_t Words(kgl::GLsizei n, const void* list) { return list ? rules::BlockBytes(n, 4u) : 0u; }

// Names created by the call, read after it: n, names, then the n names.
void CreateNames(GLKestrel& k, unsigned index, std::uint32_t apiId, kgl::GLsizei n, kgl::GLuint* names) {
    k.EnterCall();
    CallReal<void>(k, index, apiId, n, names);
    if (k.ShouldRecordOrLeave()) return;
    RecordWithBlock(k, apiId, names, Words(n, names), n, names);
    k.LeaveCall();
}

// A query of one object: the arguments, then the first value returned.
template <class Value, class... T>
void QueryFirst(GLKestrel& k, unsigned index, std::uint32_t apiId, Value* param, T... arguments) {
    k.EnterCall();
    CallReal<void>(k, index, apiId, arguments..., param);
    if (k.ShouldRecordOrLeave()) return;
    RecordWithBlock(k, apiId, param, static_cast<std::uint32_t>(sizeof(Value)), arguments..., param);
    k.LeaveCall();
}

}  // namespace

void GLKestrel::glCreateTextures(kgl::GLenum target, kgl::GLsizei n, kgl::GLuint* textures) {
    EnterCall();
    CallReal<void>(*this, fn::glCreateTextures, api::glCreateTextures, target, n, textures);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glCreateTextures, textures, Words(n, textures), target, n, textures);
    LeaveCall();
}

void GLKestrel::glCreateFramebuffers(kgl::GLsizei n, kgl::GLuint* framebuffers) {
    CreateNames(*this, fn::glCreateFramebuffers, api::glCreateFramebuffers, n, framebuffers);
}

void GLKestrel::glCreateRenderbuffers(kgl::GLsizei n, kgl::GLuint* renderbuffers) {
    CreateNames(*this, fn::glCreateRenderbuffers, api::glCreateRenderbuffers, n, renderbuffers);
}

void GLKestrel::glCreateTransformFeedbacks(kgl::GLsizei n, kgl::GLuint* ids) {
    CreateNames(*this, fn::glCreateTransformFeedbacks, api::glCreateTransformFeedbacks, n, ids);
}

void GLKestrel::glNamedFramebufferDrawBuffers(kgl::GLuint framebuffer, kgl::GLsizei n, const kgl::GLenum* bufs) {
    EnterCall();
    CallReal<void>(*this, fn::glNamedFramebufferDrawBuffers, api::glNamedFramebufferDrawBuffers, framebuffer, n, bufs);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glNamedFramebufferDrawBuffers, bufs, Words(n, bufs), framebuffer, n, bufs);
    LeaveCall();
}

void GLKestrel::glInvalidateNamedFramebufferData(kgl::GLuint framebuffer, kgl::GLsizei numAttachments,
                                                 const kgl::GLenum* attachments) {
    EnterCall();
    CallReal<void>(*this, fn::glInvalidateNamedFramebufferData, api::glInvalidateNamedFramebufferData, framebuffer,
                   numAttachments, attachments);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glInvalidateNamedFramebufferData, attachments, Words(numAttachments, attachments),
                    framebuffer, numAttachments, attachments);
    LeaveCall();
}

void GLKestrel::glInvalidateNamedFramebufferSubData(kgl::GLuint framebuffer, kgl::GLsizei numAttachments,
                                                    const kgl::GLenum* attachments, kgl::GLint x, kgl::GLint y,
                                                    kgl::GLsizei width, kgl::GLsizei height) {
    EnterCall();
    CallReal<void>(*this, fn::glInvalidateNamedFramebufferSubData, api::glInvalidateNamedFramebufferSubData, framebuffer,
                   numAttachments, attachments, x, y, width, height);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glInvalidateNamedFramebufferSubData, attachments, Words(numAttachments, attachments),
                    framebuffer, numAttachments, attachments, x, y, width, height);
    LeaveCall();
}

void GLKestrel::glVertexArrayVertexBuffers(kgl::GLuint vaobj, kgl::GLuint first, kgl::GLsizei count,
                                           const kgl::GLuint* buffers, const kgl::GLintptr* offsets,
                                           const kgl::GLsizei* strides) {
    EnterCall();
    CallReal<void>(*this, fn::glVertexArrayVertexBuffers, api::glVertexArrayVertexBuffers, vaobj, first, count, buffers,
                   offsets, strides);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glVertexArrayVertexBuffers, buffers, Words(count, buffers), vaobj, first, count, buffers,
                    offsets, strides);
    LeaveCall();
}

void GLKestrel::glGetTransformFeedbackiv(kgl::GLuint xfb, kgl::GLenum pname, kgl::GLint* param) {
    QueryFirst(*this, fn::glGetTransformFeedbackiv, api::glGetTransformFeedbackiv, param, xfb, pname);
}

void GLKestrel::glGetVertexArrayiv(kgl::GLuint vaobj, kgl::GLenum pname, kgl::GLint* param) {
    QueryFirst(*this, fn::glGetVertexArrayiv, api::glGetVertexArrayiv, param, vaobj, pname);
}

void GLKestrel::glGetNamedRenderbufferParameteriv(kgl::GLuint renderbuffer, kgl::GLenum pname, kgl::GLint* params) {
    QueryFirst(*this, fn::glGetNamedRenderbufferParameteriv, api::glGetNamedRenderbufferParameteriv, params,
               renderbuffer, pname);
}

void GLKestrel::glGetTransformFeedbacki_v(kgl::GLuint xfb, kgl::GLenum pname, kgl::GLuint index, kgl::GLint* param) {
    QueryFirst(*this, fn::glGetTransformFeedbacki_v, api::glGetTransformFeedbacki_v, param, xfb, pname, index);
}

void GLKestrel::glGetVertexArrayIndexediv(kgl::GLuint vaobj, kgl::GLuint index, kgl::GLenum pname, kgl::GLint* param) {
    QueryFirst(*this, fn::glGetVertexArrayIndexediv, api::glGetVertexArrayIndexediv, param, vaobj, index, pname);
}

void GLKestrel::glGetTransformFeedbacki64_v(kgl::GLuint xfb, kgl::GLenum pname, kgl::GLuint index,
                                            kgl::GLint64* param) {
    QueryFirst(*this, fn::glGetTransformFeedbacki64_v, api::glGetTransformFeedbacki64_v, param, xfb, pname, index);
}

void GLKestrel::glGetVertexArrayIndexed64iv(kgl::GLuint vaobj, kgl::GLuint index, kgl::GLenum pname,
                                            kgl::GLint64* param) {
    QueryFirst(*this, fn::glGetVertexArrayIndexed64iv, api::glGetVertexArrayIndexed64iv, param, vaobj, index, pname);
}

}  // namespace kestrel
