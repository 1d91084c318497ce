// Texture image uploads: the pixels each one takes from client memory, sized by the GL's unpack
// state at the call. An upload from a bound pixel unpack buffer, or one that only asks a proxy
// target, reads no client memory and records its fixed part; the unpack buffer may be mapped
// persistently, so each upload is a point where the GL reads mappings.
#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RealGL.h"
#include "glrecord/RecorderSupport.h"
#include "glrecord/SizeRules.h"

namespace kestrel {

namespace {

// Where an upload learns whether a pixel unpack buffer is bound: the core texture calls from the
// context's flags, the texture-object, multi-texture and compressed forms from the GL at each call.
enum class Unpack { kStateFlag, kAskGL };

// The GL is asked only when the context is known to have pixel buffers: another would raise an
// error in the application's queue.
bool UnpackBufferBound(const ContextState* state) {
    return state && state->initialised() && state->features.pixelBuffers && realgl::GetInteger(0x88EF) != 0;
}

bool ReadsClientPixels(GLKestrel& k, Unpack source, kgl::GLenum target, const void* pixels) {
    if (!pixels || rules::IsProxyTarget(target)) return false;
    const ContextState* state = k.CurrentState();
    const bool bound = source == Unpack::kStateFlag ? k.PixelBufferBound(state, true) : UnpackBufferBound(state);
    return !bound;
}

std::uint32_t Pixels1D(GLKestrel& k, Unpack source, kgl::GLenum target, const void* pixels, kgl::GLsizei width,
                       kgl::GLenum format, kgl::GLenum type) {
    if (!ReadsClientPixels(k, source, target, pixels)) return 0;
    return rules::UnpackBytes1D(width, format, type, realgl::GetUnpackState(1));
}

PixelBlock Pixels2D(GLKestrel& k, Unpack source, kgl::GLenum target, const void* pixels, kgl::GLsizei width,
                    kgl::GLsizei height, kgl::GLenum format, kgl::GLenum type) {
    if (!ReadsClientPixels(k, source, target, pixels)) return {};
    PixelBlock block;
    block.bytes = realgl::UnpackBlock2D(width, height, format, type, &block.padding);
    return block;
}

std::uint32_t Pixels3D(GLKestrel& k, Unpack source, kgl::GLenum target, const void* pixels, kgl::GLsizei width,
                       kgl::GLsizei height, kgl::GLsizei depth, kgl::GLenum format, kgl::GLenum type) {
    if (!ReadsClientPixels(k, source, target, pixels)) return 0;
    return rules::UnpackBytes3D(width, height, depth, format, type, realgl::GetUnpackState(3));
}

// A compressed image is as long as the application says.
std::uint32_t CompressedBytes(GLKestrel& k, kgl::GLenum target, const void* data, kgl::GLsizei imageSize) {
    return ReadsClientPixels(k, Unpack::kAskGL, target, data) ? rules::BlockBytes(imageSize) : 0u;
}

}  // namespace

// The core uploads and their EXT names.

void GLKestrel::glTexImage1D(kgl::GLenum target, kgl::GLint level, kgl::GLint internalformat, kgl::GLsizei width,
                             kgl::GLint border, kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTexImage1D, api::glTexImage1D, target, level, internalformat, width, border, format,
                   type, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels1D(*this, Unpack::kStateFlag, target, pixels, width, format, type);
    RecordWithBlock(*this, api::glTexImage1D, pixels, bytes, target, level, internalformat, width, border, format, type,
                    pixels);
    LeaveCall();
}

void GLKestrel::glTexImage2D(kgl::GLenum target, kgl::GLint level, kgl::GLint internalformat, kgl::GLsizei width,
                             kgl::GLsizei height, kgl::GLint border, kgl::GLenum format, kgl::GLenum type,
                             const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTexImage2D, api::glTexImage2D, target, level, internalformat, width, height, border,
                   format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const PixelBlock bytes = Pixels2D(*this, Unpack::kStateFlag, target, pixels, width, height, format, type);
    RecordWithBlock(*this, api::glTexImage2D, pixels, bytes, target, level, internalformat, width, height, border,
                    format, type, pixels);
    LeaveCall();
}

void GLKestrel::glTexImage3DEXT(kgl::GLenum target, kgl::GLint level, kgl::GLenum internalformat, kgl::GLsizei width,
                                kgl::GLsizei height, kgl::GLsizei depth, kgl::GLint border, kgl::GLenum format,
                                kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTexImage3DEXT, api::glTexImage3DEXT, target, level, internalformat, width, height,
                   depth, border, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels3D(*this, Unpack::kStateFlag, target, pixels, width, height, depth, format, type);
    RecordWithBlock(*this, api::glTexImage3DEXT, pixels, bytes, target, level, internalformat, width, height, depth,
                    border, format, type, pixels);
    LeaveCall();
}

void GLKestrel::glTexSubImage1D(kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset, kgl::GLsizei width,
                                kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTexSubImage1D, api::glTexSubImage1D, target, level, xoffset, width, format, type,
                   pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels1D(*this, Unpack::kStateFlag, target, pixels, width, format, type);
    RecordWithBlock(*this, api::glTexSubImage1D, pixels, bytes, target, level, xoffset, width, format, type, pixels);
    LeaveCall();
}

void GLKestrel::glTexSubImage1DEXT(kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset, kgl::GLsizei width,
                                   kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTexSubImage1DEXT, api::glTexSubImage1DEXT, target, level, xoffset, width, format, type,
                   pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels1D(*this, Unpack::kStateFlag, target, pixels, width, format, type);
    RecordWithBlock(*this, api::glTexSubImage1DEXT, pixels, bytes, target, level, xoffset, width, format, type, pixels);
    LeaveCall();
}

void GLKestrel::glTexSubImage2D(kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset, kgl::GLint yoffset,
                                kgl::GLsizei width, kgl::GLsizei height, kgl::GLenum format, kgl::GLenum type,
                                const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTexSubImage2D, api::glTexSubImage2D, target, level, xoffset, yoffset, width, height,
                   format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const PixelBlock bytes = Pixels2D(*this, Unpack::kStateFlag, target, pixels, width, height, format, type);
    RecordWithBlock(*this, api::glTexSubImage2D, pixels, bytes, target, level, xoffset, yoffset, width, height, format,
                    type, pixels);
    LeaveCall();
}

void GLKestrel::glTexSubImage2DEXT(kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset, kgl::GLint yoffset,
                                   kgl::GLsizei width, kgl::GLsizei height, kgl::GLenum format, kgl::GLenum type,
                                   const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTexSubImage2DEXT, api::glTexSubImage2DEXT, target, level, xoffset, yoffset, width,
                   height, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const PixelBlock bytes = Pixels2D(*this, Unpack::kStateFlag, target, pixels, width, height, format, type);
    RecordWithBlock(*this, api::glTexSubImage2DEXT, pixels, bytes, target, level, xoffset, yoffset, width, height,
                    format, type, pixels);
    LeaveCall();
}

void GLKestrel::glTexSubImage3DEXT(kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset, kgl::GLint yoffset,
                                   kgl::GLint zoffset, kgl::GLsizei width, kgl::GLsizei height, kgl::GLsizei depth,
                                   kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTexSubImage3DEXT, api::glTexSubImage3DEXT, target, level, xoffset, yoffset, zoffset,
                   width, height, depth, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels3D(*this, Unpack::kStateFlag, target, pixels, width, height, depth, format, type);
    RecordWithBlock(*this, api::glTexSubImage3DEXT, pixels, bytes, target, level, xoffset, yoffset, zoffset, width,
                    height, depth, format, type, pixels);
    LeaveCall();
}

// The texture-object and multi-texture forms.

void GLKestrel::glTextureImage1DEXT(kgl::GLuint texture, kgl::GLenum target, kgl::GLint level,
                                    kgl::GLint internalformat, kgl::GLsizei width, kgl::GLint border,
                                    kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTextureImage1DEXT, api::glTextureImage1DEXT, texture, target, level, internalformat,
                   width, border, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels1D(*this, Unpack::kAskGL, target, pixels, width, format, type);
    RecordWithBlock(*this, api::glTextureImage1DEXT, pixels, bytes, texture, target, level, internalformat, width,
                    border, format, type, pixels);
    LeaveCall();
}

void GLKestrel::glTextureImage2DEXT(kgl::GLuint texture, kgl::GLenum target, kgl::GLint level,
                                    kgl::GLint internalformat, kgl::GLsizei width, kgl::GLsizei height,
                                    kgl::GLint border, kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTextureImage2DEXT, api::glTextureImage2DEXT, texture, target, level, internalformat,
                   width, height, border, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const PixelBlock bytes = Pixels2D(*this, Unpack::kAskGL, target, pixels, width, height, format, type);
    RecordWithBlock(*this, api::glTextureImage2DEXT, pixels, bytes, texture, target, level, internalformat, width,
                    height, border, format, type, pixels);
    LeaveCall();
}

void GLKestrel::glTextureImage3DEXT(kgl::GLuint texture, kgl::GLenum target, kgl::GLint level,
                                    kgl::GLint internalformat, kgl::GLsizei width, kgl::GLsizei height,
                                    kgl::GLsizei depth, kgl::GLint border, kgl::GLenum format, kgl::GLenum type,
                                    const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTextureImage3DEXT, api::glTextureImage3DEXT, texture, target, level, internalformat,
                   width, height, depth, border, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels3D(*this, Unpack::kAskGL, target, pixels, width, height, depth, format, type);
    RecordWithBlock(*this, api::glTextureImage3DEXT, pixels, bytes, texture, target, level, internalformat, width,
                    height, depth, border, format, type, pixels);
    LeaveCall();
}

void GLKestrel::glMultiTexImage1DEXT(kgl::GLenum texunit, kgl::GLenum target, kgl::GLint level,
                                     kgl::GLint internalformat, kgl::GLsizei width, kgl::GLint border,
                                     kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glMultiTexImage1DEXT, api::glMultiTexImage1DEXT, texunit, target, level, internalformat,
                   width, border, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels1D(*this, Unpack::kAskGL, target, pixels, width, format, type);
    RecordWithBlock(*this, api::glMultiTexImage1DEXT, pixels, bytes, texunit, target, level, internalformat, width,
                    border, format, type, pixels);
    LeaveCall();
}

void GLKestrel::glMultiTexImage2DEXT(kgl::GLenum texunit, kgl::GLenum target, kgl::GLint level,
                                     kgl::GLint internalformat, kgl::GLsizei width, kgl::GLsizei height,
                                     kgl::GLint border, kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glMultiTexImage2DEXT, api::glMultiTexImage2DEXT, texunit, target, level, internalformat,
                   width, height, border, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const PixelBlock bytes = Pixels2D(*this, Unpack::kAskGL, target, pixels, width, height, format, type);
    RecordWithBlock(*this, api::glMultiTexImage2DEXT, pixels, bytes, texunit, target, level, internalformat, width,
                    height, border, format, type, pixels);
    LeaveCall();
}

void GLKestrel::glMultiTexImage3DEXT(kgl::GLenum texunit, kgl::GLenum target, kgl::GLint level,
                                     kgl::GLint internalformat, kgl::GLsizei width, kgl::GLsizei height,
                                     kgl::GLsizei depth, kgl::GLint border, kgl::GLenum format, kgl::GLenum type,
                                     const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glMultiTexImage3DEXT, api::glMultiTexImage3DEXT, texunit, target, level, internalformat,
                   width, height, depth, border, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels3D(*this, Unpack::kAskGL, target, pixels, width, height, depth, format, type);
    RecordWithBlock(*this, api::glMultiTexImage3DEXT, pixels, bytes, texunit, target, level, internalformat, width,
                    height, depth, border, format, type, pixels);
    LeaveCall();
}

void GLKestrel::glTextureSubImage1DEXT(kgl::GLuint texture, kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset,
                                       kgl::GLsizei width, kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTextureSubImage1DEXT, api::glTextureSubImage1DEXT, texture, target, level, xoffset,
                   width, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels1D(*this, Unpack::kAskGL, target, pixels, width, format, type);
    RecordWithBlock(*this, api::glTextureSubImage1DEXT, pixels, bytes, texture, target, level, xoffset, width, format,
                    type, pixels);
    LeaveCall();
}

void GLKestrel::glTextureSubImage2DEXT(kgl::GLuint texture, kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset,
                                       kgl::GLint yoffset, kgl::GLsizei width, kgl::GLsizei height, kgl::GLenum format,
                                       kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTextureSubImage2DEXT, api::glTextureSubImage2DEXT, texture, target, level, xoffset,
                   yoffset, width, height, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const PixelBlock bytes = Pixels2D(*this, Unpack::kAskGL, target, pixels, width, height, format, type);
    RecordWithBlock(*this, api::glTextureSubImage2DEXT, pixels, bytes, texture, target, level, xoffset, yoffset, width,
                    height, format, type, pixels);
    LeaveCall();
}

void GLKestrel::glTextureSubImage3DEXT(kgl::GLuint texture, kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset,
                                       kgl::GLint yoffset, kgl::GLint zoffset, kgl::GLsizei width, kgl::GLsizei height,
                                       kgl::GLsizei depth, kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTextureSubImage3DEXT, api::glTextureSubImage3DEXT, texture, target, level, xoffset,
                   yoffset, zoffset, width, height, depth, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels3D(*this, Unpack::kAskGL, target, pixels, width, height, depth, format, type);
    RecordWithBlock(*this, api::glTextureSubImage3DEXT, pixels, bytes, texture, target, level, xoffset, yoffset,
                    zoffset, width, height, depth, format, type, pixels);
    LeaveCall();
}

void GLKestrel::glMultiTexSubImage1DEXT(kgl::GLenum texunit, kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset,
                                        kgl::GLsizei width, kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glMultiTexSubImage1DEXT, api::glMultiTexSubImage1DEXT, texunit, target, level, xoffset,
                   width, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels1D(*this, Unpack::kAskGL, target, pixels, width, format, type);
    RecordWithBlock(*this, api::glMultiTexSubImage1DEXT, pixels, bytes, texunit, target, level, xoffset, width, format,
                    type, pixels);
    LeaveCall();
}

void GLKestrel::glMultiTexSubImage2DEXT(kgl::GLenum texunit, kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset,
                                        kgl::GLint yoffset, kgl::GLsizei width, kgl::GLsizei height, kgl::GLenum format,
                                        kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glMultiTexSubImage2DEXT, api::glMultiTexSubImage2DEXT, texunit, target, level, xoffset,
                   yoffset, width, height, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const PixelBlock bytes = Pixels2D(*this, Unpack::kAskGL, target, pixels, width, height, format, type);
    RecordWithBlock(*this, api::glMultiTexSubImage2DEXT, pixels, bytes, texunit, target, level, xoffset, yoffset, width,
                    height, format, type, pixels);
    LeaveCall();
}

void GLKestrel::glMultiTexSubImage3DEXT(kgl::GLenum texunit, kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset,
                                        kgl::GLint yoffset, kgl::GLint zoffset, kgl::GLsizei width, kgl::GLsizei height,
                                        kgl::GLsizei depth, kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glMultiTexSubImage3DEXT, api::glMultiTexSubImage3DEXT, texunit, target, level, xoffset,
                   yoffset, zoffset, width, height, depth, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels3D(*this, Unpack::kAskGL, target, pixels, width, height, depth, format, type);
    RecordWithBlock(*this, api::glMultiTexSubImage3DEXT, pixels, bytes, texunit, target, level, xoffset, yoffset,
                    zoffset, width, height, depth, format, type, pixels);
    LeaveCall();
}

void GLKestrel::glTextureSubImage1D(kgl::GLuint texture, kgl::GLint level, kgl::GLint xoffset, kgl::GLsizei width,
                                    kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTextureSubImage1D, api::glTextureSubImage1D, texture, level, xoffset, width, format,
                   type, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels1D(*this, Unpack::kAskGL, 0, pixels, width, format, type);
    RecordWithBlock(*this, api::glTextureSubImage1D, pixels, bytes, texture, level, xoffset, width, format, type,
                    pixels);
    LeaveCall();
}

void GLKestrel::glTextureSubImage2D(kgl::GLuint texture, kgl::GLint level, kgl::GLint xoffset, kgl::GLint yoffset,
                                    kgl::GLsizei width, kgl::GLsizei height, kgl::GLenum format, kgl::GLenum type,
                                    const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTextureSubImage2D, api::glTextureSubImage2D, texture, level, xoffset, yoffset, width,
                   height, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const PixelBlock bytes = Pixels2D(*this, Unpack::kAskGL, 0, pixels, width, height, format, type);
    RecordWithBlock(*this, api::glTextureSubImage2D, pixels, bytes, texture, level, xoffset, yoffset, width, height,
                    format, type, pixels);
    LeaveCall();
}

void GLKestrel::glTextureSubImage3D(kgl::GLuint texture, kgl::GLint level, kgl::GLint xoffset, kgl::GLint yoffset,
                                    kgl::GLint zoffset, kgl::GLsizei width, kgl::GLsizei height, kgl::GLsizei depth,
                                    kgl::GLenum format, kgl::GLenum type, const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glTextureSubImage3D, api::glTextureSubImage3D, texture, level, xoffset, yoffset, zoffset,
                   width, height, depth, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = Pixels3D(*this, Unpack::kAskGL, 0, pixels, width, height, depth, format, type);
    RecordWithBlock(*this, api::glTextureSubImage3D, pixels, bytes, texture, level, xoffset, yoffset, zoffset, width,
                    height, depth, format, type, pixels);
    LeaveCall();
}

// Compressed images.

void GLKestrel::glCompressedTexImage1DARB(kgl::GLenum target, kgl::GLint level, kgl::GLenum internalformat,
                                          kgl::GLsizei width, kgl::GLint border, kgl::GLsizei imageSize,
                                          const void* data) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTexImage1DARB, api::glCompressedTexImage1DARB, target, level, internalformat,
                   width, border, imageSize, data);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, data, imageSize);
    RecordWithBlock(*this, api::glCompressedTexImage1DARB, data, bytes, target, level, internalformat, width, border,
                    imageSize, data);
    LeaveCall();
}

void GLKestrel::glCompressedTexImage2DARB(kgl::GLenum target, kgl::GLint level, kgl::GLenum internalformat,
                                          kgl::GLsizei width, kgl::GLsizei height, kgl::GLint border,
                                          kgl::GLsizei imageSize, const void* data) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTexImage2DARB, api::glCompressedTexImage2DARB, target, level, internalformat,
                   width, height, border, imageSize, data);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, data, imageSize);
    RecordWithBlock(*this, api::glCompressedTexImage2DARB, data, bytes, target, level, internalformat, width, height,
                    border, imageSize, data);
    LeaveCall();
}

void GLKestrel::glCompressedTexImage3DARB(kgl::GLenum target, kgl::GLint level, kgl::GLenum internalformat,
                                          kgl::GLsizei width, kgl::GLsizei height, kgl::GLsizei depth,
                                          kgl::GLint border, kgl::GLsizei imageSize, const void* data) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTexImage3DARB, api::glCompressedTexImage3DARB, target, level, internalformat,
                   width, height, depth, border, imageSize, data);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, data, imageSize);
    RecordWithBlock(*this, api::glCompressedTexImage3DARB, data, bytes, target, level, internalformat, width, height,
                    depth, border, imageSize, data);
    LeaveCall();
}

void GLKestrel::glCompressedTexSubImage1DARB(kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset,
                                             kgl::GLsizei width, kgl::GLenum format, kgl::GLsizei imageSize,
                                             const void* data) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTexSubImage1DARB, api::glCompressedTexSubImage1DARB, target, level, xoffset,
                   width, format, imageSize, data);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, data, imageSize);
    RecordWithBlock(*this, api::glCompressedTexSubImage1DARB, data, bytes, target, level, xoffset, width, format,
                    imageSize, data);
    LeaveCall();
}

void GLKestrel::glCompressedTexSubImage2DARB(kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset,
                                             kgl::GLint yoffset, kgl::GLsizei width, kgl::GLsizei height,
                                             kgl::GLenum format, kgl::GLsizei imageSize, const void* data) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTexSubImage2DARB, api::glCompressedTexSubImage2DARB, target, level, xoffset,
                   yoffset, width, height, format, imageSize, data);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, data, imageSize);
    RecordWithBlock(*this, api::glCompressedTexSubImage2DARB, data, bytes, target, level, xoffset, yoffset, width,
                    height, format, imageSize, data);
    LeaveCall();
}

void GLKestrel::glCompressedTexSubImage3DARB(kgl::GLenum target, kgl::GLint level, kgl::GLint xoffset,
                                             kgl::GLint yoffset, kgl::GLint zoffset, kgl::GLsizei width,
                                             kgl::GLsizei height, kgl::GLsizei depth, kgl::GLenum format,
                                             kgl::GLsizei imageSize, const void* data) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTexSubImage3DARB, api::glCompressedTexSubImage3DARB, target, level, xoffset,
                   yoffset, zoffset, width, height, depth, format, imageSize, data);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, data, imageSize);
    RecordWithBlock(*this, api::glCompressedTexSubImage3DARB, data, bytes, target, level, xoffset, yoffset, zoffset,
                    width, height, depth, format, imageSize, data);
    LeaveCall();
}

void GLKestrel::glCompressedTextureImage1DEXT(kgl::GLuint texture, kgl::GLenum target, kgl::GLint level,
                                              kgl::GLenum internalformat, kgl::GLsizei width, kgl::GLint border,
                                              kgl::GLsizei imageSize, const void* bits) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTextureImage1DEXT, api::glCompressedTextureImage1DEXT, texture, target, level,
                   internalformat, width, border, imageSize, bits);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, bits, imageSize);
    RecordWithBlock(*this, api::glCompressedTextureImage1DEXT, bits, bytes, texture, target, level, internalformat,
                    width, border, imageSize, bits);
    LeaveCall();
}

void GLKestrel::glCompressedTextureImage2DEXT(kgl::GLuint texture, kgl::GLenum target, kgl::GLint level,
                                              kgl::GLenum internalformat, kgl::GLsizei width, kgl::GLsizei height,
                                              kgl::GLint border, kgl::GLsizei imageSize, const void* bits) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTextureImage2DEXT, api::glCompressedTextureImage2DEXT, texture, target, level,
                   internalformat, width, height, border, imageSize, bits);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, bits, imageSize);
    RecordWithBlock(*this, api::glCompressedTextureImage2DEXT, bits, bytes, texture, target, level, internalformat,
                    width, height, border, imageSize, bits);
    LeaveCall();
}

void GLKestrel::glCompressedTextureImage3DEXT(kgl::GLuint texture, kgl::GLenum target, kgl::GLint level,
                                              kgl::GLenum internalformat, kgl::GLsizei width, kgl::GLsizei height,
                                              kgl::GLsizei depth, kgl::GLint border, kgl::GLsizei imageSize,
                                              const void* bits) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTextureImage3DEXT, api::glCompressedTextureImage3DEXT, texture, target, level,
                   internalformat, width, height, depth, border, imageSize, bits);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, bits, imageSize);
    RecordWithBlock(*this, api::glCompressedTextureImage3DEXT, bits, bytes, texture, target, level, internalformat,
                    width, height, depth, border, imageSize, bits);
    LeaveCall();
}

void GLKestrel::glCompressedMultiTexImage1DEXT(kgl::GLenum texunit, kgl::GLenum target, kgl::GLint level,
                                               kgl::GLenum internalformat, kgl::GLsizei width, kgl::GLint border,
                                               kgl::GLsizei imageSize, const void* bits) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedMultiTexImage1DEXT, api::glCompressedMultiTexImage1DEXT, texunit, target,
                   level, internalformat, width, border, imageSize, bits);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, bits, imageSize);
    RecordWithBlock(*this, api::glCompressedMultiTexImage1DEXT, bits, bytes, texunit, target, level, internalformat,
                    width, border, imageSize, bits);
    LeaveCall();
}

void GLKestrel::glCompressedMultiTexImage2DEXT(kgl::GLenum texunit, kgl::GLenum target, kgl::GLint level,
                                               kgl::GLenum internalformat, kgl::GLsizei width, kgl::GLsizei height,
                                               kgl::GLint border, kgl::GLsizei imageSize, const void* bits) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedMultiTexImage2DEXT, api::glCompressedMultiTexImage2DEXT, texunit, target,
                   level, internalformat, width, height, border, imageSize, bits);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, bits, imageSize);
    RecordWithBlock(*this, api::glCompressedMultiTexImage2DEXT, bits, bytes, texunit, target, level, internalformat,
                    width, height, border, imageSize, bits);
    LeaveCall();
}

void GLKestrel::glCompressedMultiTexImage3DEXT(kgl::GLenum texunit, kgl::GLenum target, kgl::GLint level,
                                               kgl::GLenum internalformat, kgl::GLsizei width, kgl::GLsizei height,
                                               kgl::GLsizei depth, kgl::GLint border, kgl::GLsizei imageSize,
                                               const void* bits) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedMultiTexImage3DEXT, api::glCompressedMultiTexImage3DEXT, texunit, target,
                   level, internalformat, width, height, depth, border, imageSize, bits);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, bits, imageSize);
    RecordWithBlock(*this, api::glCompressedMultiTexImage3DEXT, bits, bytes, texunit, target, level, internalformat,
                    width, height, depth, border, imageSize, bits);
    LeaveCall();
}

void GLKestrel::glCompressedTextureSubImage1DEXT(kgl::GLuint texture, kgl::GLenum target, kgl::GLint level,
                                                 kgl::GLint xoffset, kgl::GLsizei width, kgl::GLenum format,
                                                 kgl::GLsizei imageSize, const void* bits) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTextureSubImage1DEXT, api::glCompressedTextureSubImage1DEXT, texture, target,
                   level, xoffset, width, format, imageSize, bits);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, bits, imageSize);
    RecordWithBlock(*this, api::glCompressedTextureSubImage1DEXT, bits, bytes, texture, target, level, xoffset, width,
                    format, imageSize, bits);
    LeaveCall();
}

void GLKestrel::glCompressedTextureSubImage2DEXT(kgl::GLuint texture, kgl::GLenum target, kgl::GLint level,
                                                 kgl::GLint xoffset, kgl::GLint yoffset, kgl::GLsizei width,
                                                 kgl::GLsizei height, kgl::GLenum format, kgl::GLsizei imageSize,
                                                 const void* bits) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTextureSubImage2DEXT, api::glCompressedTextureSubImage2DEXT, texture, target,
                   level, xoffset, yoffset, width, height, format, imageSize, bits);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, bits, imageSize);
    RecordWithBlock(*this, api::glCompressedTextureSubImage2DEXT, bits, bytes, texture, target, level, xoffset, yoffset,
                    width, height, format, imageSize, bits);
    LeaveCall();
}

void GLKestrel::glCompressedTextureSubImage3DEXT(kgl::GLuint texture, kgl::GLenum target, kgl::GLint level,
                                                 kgl::GLint xoffset, kgl::GLint yoffset, kgl::GLint zoffset,
                                                 kgl::GLsizei width, kgl::GLsizei height, kgl::GLsizei depth,
                                                 kgl::GLenum format, kgl::GLsizei imageSize, const void* bits) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTextureSubImage3DEXT, api::glCompressedTextureSubImage3DEXT, texture, target,
                   level, xoffset, yoffset, zoffset, width, height, depth, format, imageSize, bits);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, bits, imageSize);
    RecordWithBlock(*this, api::glCompressedTextureSubImage3DEXT, bits, bytes, texture, target, level, xoffset, yoffset,
                    zoffset, width, height, depth, format, imageSize, bits);
    LeaveCall();
}

void GLKestrel::glCompressedMultiTexSubImage1DEXT(kgl::GLenum texunit, kgl::GLenum target, kgl::GLint level,
                                                  kgl::GLint xoffset, kgl::GLsizei width, kgl::GLenum format,
                                                  kgl::GLsizei imageSize, const void* bits) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedMultiTexSubImage1DEXT, api::glCompressedMultiTexSubImage1DEXT, texunit,
                   target, level, xoffset, width, format, imageSize, bits);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, bits, imageSize);
    RecordWithBlock(*this, api::glCompressedMultiTexSubImage1DEXT, bits, bytes, texunit, target, level, xoffset, width,
                    format, imageSize, bits);
    LeaveCall();
}

void GLKestrel::glCompressedMultiTexSubImage2DEXT(kgl::GLenum texunit, kgl::GLenum target, kgl::GLint level,
                                                  kgl::GLint xoffset, kgl::GLint yoffset, kgl::GLsizei width,
                                                  kgl::GLsizei height, kgl::GLenum format, kgl::GLsizei imageSize,
                                                  const void* bits) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedMultiTexSubImage2DEXT, api::glCompressedMultiTexSubImage2DEXT, texunit,
                   target, level, xoffset, yoffset, width, height, format, imageSize, bits);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, bits, imageSize);
    RecordWithBlock(*this, api::glCompressedMultiTexSubImage2DEXT, bits, bytes, texunit, target, level, xoffset,
                    yoffset, width, height, format, imageSize, bits);
    LeaveCall();
}

void GLKestrel::glCompressedMultiTexSubImage3DEXT(kgl::GLenum texunit, kgl::GLenum target, kgl::GLint level,
                                                  kgl::GLint xoffset, kgl::GLint yoffset, kgl::GLint zoffset,
                                                  kgl::GLsizei width, kgl::GLsizei height, kgl::GLsizei depth,
                                                  kgl::GLenum format, kgl::GLsizei imageSize, const void* bits) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedMultiTexSubImage3DEXT, api::glCompressedMultiTexSubImage3DEXT, texunit,
                   target, level, xoffset, yoffset, zoffset, width, height, depth, format, imageSize, bits);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, target, bits, imageSize);
    RecordWithBlock(*this, api::glCompressedMultiTexSubImage3DEXT, bits, bytes, texunit, target, level, xoffset,
                    yoffset, zoffset, width, height, depth, format, imageSize, bits);
    LeaveCall();
}

void GLKestrel::glCompressedTextureSubImage1D(kgl::GLuint texture, kgl::GLint level, kgl::GLint xoffset,
                                              kgl::GLsizei width, kgl::GLenum format, kgl::GLsizei imageSize,
                                              const void* data) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTextureSubImage1D, api::glCompressedTextureSubImage1D, texture, level,
                   xoffset, width, format, imageSize, data);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, 0, data, imageSize);
    RecordWithBlock(*this, api::glCompressedTextureSubImage1D, data, bytes, texture, level, xoffset, width, format,
                    imageSize, data);
    LeaveCall();
}

void GLKestrel::glCompressedTextureSubImage2D(kgl::GLuint texture, kgl::GLint level, kgl::GLint xoffset,
                                              kgl::GLint yoffset, kgl::GLsizei width, kgl::GLsizei height,
                                              kgl::GLenum format, kgl::GLsizei imageSize, const void* data) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTextureSubImage2D, api::glCompressedTextureSubImage2D, texture, level,
                   xoffset, yoffset, width, height, format, imageSize, data);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, 0, data, imageSize);
    RecordWithBlock(*this, api::glCompressedTextureSubImage2D, data, bytes, texture, level, xoffset, yoffset, width,
                    height, format, imageSize, data);
    LeaveCall();
}

void GLKestrel::glCompressedTextureSubImage3D(kgl::GLuint texture, kgl::GLint level, kgl::GLint xoffset,
                                              kgl::GLint yoffset, kgl::GLint zoffset, kgl::GLsizei width,
                                              kgl::GLsizei height, kgl::GLsizei depth, kgl::GLenum format,
                                              kgl::GLsizei imageSize, const void* data) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCompressedTextureSubImage3D, api::glCompressedTextureSubImage3D, texture, level,
                   xoffset, yoffset, zoffset, width, height, depth, format, imageSize, data);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = CompressedBytes(*this, 0, data, imageSize);
    RecordWithBlock(*this, api::glCompressedTextureSubImage3D, data, bytes, texture, level, xoffset, yoffset, zoffset,
                    width, height, depth, format, imageSize, data);
    LeaveCall();
}

}  // namespace kestrel
