// Pixel transfers outside texture images: drawn pixels, bitmaps, the polygon stipple, colour tables
// and pixel maps read client memory unless a pixel unpack buffer is bound (then they are points
// where the GL reads persistent mappings, as draws are); read-backs of texture
// images fill it unless a pixel pack buffer is bound. While such a buffer is bound the pointer
// argument is an offset into it and is never read.
#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RealGL.h"
#include "glrecord/RecorderSupport.h"
#include "glrecord/SizeRules.h"

namespace kestrel {

namespace {

constexpr std::uint32_t kColourIndex = 0x1900, kBitmap = 0x1A00;

// Bytes of a two-dimensional upload from client memory at the GL's unpack state.
PixelBlock Unpacked2D(GLKestrel& k, const void* pixels, kgl::GLsizei width, kgl::GLsizei height,
                      std::uint32_t format, std::uint32_t type) {
    if (!pixels || k.PixelBufferBound(k.CurrentState(), true)) return {};
    PixelBlock block;
    block.bytes = realgl::UnpackBlock2D(width, height, format, type, &block.padding);
    return block;
}

// Colour-table proxies, and the texture proxies of paletted textures, only ask whether a table would fit.
bool IsColourTableProxy(kgl::GLenum target) {
    return target == 0x80D3 || target == 0x80D4 || target == 0x80D5 || target == 0x80BD || rules::IsProxyTarget(target);
}

}  // namespace

void GLKestrel::glDrawPixels(kgl::GLsizei width, kgl::GLsizei height, kgl::GLenum format, kgl::GLenum type,
                             const void* pixels) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawPixels, api::glDrawPixels, width, height, format, type, pixels);
    if (ShouldRecordOrLeave()) return;
    const PixelBlock bytes = Unpacked2D(*this, pixels, width, height, format, type);
    RecordWithBlock(*this, api::glDrawPixels, pixels, bytes, width, height, format, type, pixels);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glBitmap(kgl::GLsizei width, kgl::GLsizei height, kgl::GLfloat xorig, kgl::GLfloat yorig,
                         kgl::GLfloat xmove, kgl::GLfloat ymove, const kgl::GLubyte* bitmap) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glBitmap, api::glBitmap, width, height, xorig, yorig, xmove, ymove, bitmap);
    if (ShouldRecordOrLeave()) return;
    const PixelBlock bytes = Unpacked2D(*this, bitmap, width, height, kColourIndex, kBitmap);
    RecordWithBlock(*this, api::glBitmap, bitmap, bytes, width, height, xorig, yorig, xmove, ymove, bitmap);
    LeaveCall();
}

void GLKestrel::glPolygonStipple(const kgl::GLubyte* mask) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glPolygonStipple, api::glPolygonStipple, mask);
    if (ShouldRecordOrLeave()) return;
    const PixelBlock bytes = Unpacked2D(*this, mask, 32, 32, kColourIndex, kBitmap);
    RecordWithBlock(*this, api::glPolygonStipple, mask, bytes, mask);
    LeaveCall();
}

// Colour tables: one entry is one pixel of format and type.

void GLKestrel::glColorTableEXT(kgl::GLenum target, kgl::GLenum internalFormat, kgl::GLsizei width,
                                kgl::GLenum format, kgl::GLenum type, const void* table) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glColorTableEXT, api::glColorTableEXT, target, internalFormat, width, format, type, table);
    if (ShouldRecordOrLeave()) return;
    const bool reads = !IsColourTableProxy(target) && !PixelBufferBound(CurrentState(), true);
    const std::uint32_t bytes = reads ? rules::BlockBytes(width, rules::BytesPerPixel(type, format)) : 0u;
    RecordWithBlock(*this, api::glColorTableEXT, table, bytes, target, internalFormat, width, format, type, table);
    LeaveCall();
}

void GLKestrel::glColorSubTableEXT(kgl::GLenum target, kgl::GLsizei start, kgl::GLsizei count, kgl::GLenum format,
                                   kgl::GLenum type, const void* data) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glColorSubTableEXT, api::glColorSubTableEXT, target, start, count, format, type, data);
    if (ShouldRecordOrLeave()) return;
    const bool reads = !PixelBufferBound(CurrentState(), true);
    const std::uint32_t bytes = reads ? rules::BlockBytes(count, rules::BytesPerPixel(type, format)) : 0u;
    RecordWithBlock(*this, api::glColorSubTableEXT, data, bytes, target, start, count, format, type, data);
    LeaveCall();
}

// Pixel maps: mapsize values.

void GLKestrel::glPixelMapfv(kgl::GLenum map, kgl::GLsizei mapsize, const kgl::GLfloat* values) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glPixelMapfv, api::glPixelMapfv, map, mapsize, values);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = PixelBufferBound(CurrentState(), true) ? 0u : rules::BlockBytes(mapsize, 4u);
    RecordWithBlock(*this, api::glPixelMapfv, values, bytes, map, mapsize, values);
    LeaveCall();
}

void GLKestrel::glPixelMapuiv(kgl::GLenum map, kgl::GLsizei mapsize, const kgl::GLuint* values) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glPixelMapuiv, api::glPixelMapuiv, map, mapsize, values);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = PixelBufferBound(CurrentState(), true) ? 0u : rules::BlockBytes(mapsize, 4u);
    RecordWithBlock(*this, api::glPixelMapuiv, values, bytes, map, mapsize, values);
    LeaveCall();
}

void GLKestrel::glPixelMapusv(kgl::GLenum map, kgl::GLsizei mapsize, const kgl::GLushort* values) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glPixelMapusv, api::glPixelMapusv, map, mapsize, values);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = PixelBufferBound(CurrentState(), true) ? 0u : rules::BlockBytes(mapsize, 2u);
    RecordWithBlock(*this, api::glPixelMapusv, values, bytes, map, mapsize, values);
    LeaveCall();
}

// Read-backs of texture images: the buffer as the call filled it.

void GLKestrel::glGetTextureImage(kgl::GLuint texture, kgl::GLint level, kgl::GLenum format, kgl::GLenum type,
                                  kgl::GLsizei bufSize, void* pixels) {
    EnterCall();
    CallReal<void>(*this, fn::glGetTextureImage, api::glGetTextureImage, texture, level, format, type, bufSize, pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = PixelBufferBound(CurrentState(), false) ? 0u : rules::BlockBytes(bufSize);
    RecordWithBlock(*this, api::glGetTextureImage, pixels, bytes, texture, level, format, type, bufSize, pixels);
    LeaveCall();
}

void GLKestrel::glGetCompressedTextureImage(kgl::GLuint texture, kgl::GLint level, kgl::GLsizei bufSize,
                                            void* pixels) {
    EnterCall();
    CallReal<void>(*this, fn::glGetCompressedTextureImage, api::glGetCompressedTextureImage, texture, level, bufSize,
                   pixels);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = PixelBufferBound(CurrentState(), false) ? 0u : rules::BlockBytes(bufSize);
    RecordWithBlock(*this, api::glGetCompressedTextureImage, pixels, bytes, texture, level, bufSize, pixels);
    LeaveCall();
}

}  // namespace kestrel
