// A program with a real context that hands the GL buffer data, mapped writes and pixel uploads, one
// case after each separator (glPassThrough with the case number), and reports what it passed and
// what the GL made of it: its own read-backs of buffers and images.
//   upload_app REPORT
#include <windows.h>
#include <GL/gl.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/glrecord/UploadCases.h"
#include "tests/glrecord/support/Report.h"
#include "tests/support/GLWindow.h"

namespace {

using GenBuffers = void(APIENTRY*)(GLsizei, GLuint*);
using BindBuffer = void(APIENTRY*)(GLenum, GLuint);
using BufferData = void(APIENTRY*)(GLenum, std::intptr_t, const void*, GLenum);
using BufferSubData = void(APIENTRY*)(GLenum, std::intptr_t, std::intptr_t, const void*);
using GetBufferSubData = void(APIENTRY*)(GLenum, std::intptr_t, std::intptr_t, void*);
using MapBufferRange = void*(APIENTRY*)(GLenum, std::intptr_t, std::intptr_t, GLbitfield);
using MapBuffer = void*(APIENTRY*)(GLenum, GLenum);
using UnmapBuffer = GLboolean(APIENTRY*)(GLenum);
using DeleteBuffers = void(APIENTRY*)(GLsizei, const GLuint*);
using GetTextureImage = void(APIENTRY*)(GLuint, GLint, GLenum, GLenum, GLsizei, void*);

constexpr GLenum kArray = 0x8892, kElements = 0x8893, kPack = 0x88EB, kUnpack = 0x88EC;
constexpr GLenum kStaticDraw = 0x88E4, kDynamicDraw = 0x88E8, kStreamRead = 0x88E1, kReadOnly = 0x88B8;
constexpr GLbitfield kMapWrite = 0x0002;
constexpr GLenum kRgb8 = 0x8051, kRgba8 = 0x8058;

template <class Fn>
Fn Get(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(wglGetProcAddress(name)));
}

std::string Scope(int c) { return "case" + std::to_string(c); }

void ResetUnpack() {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
}

int Fail(const char* what) {
    std::fprintf(stderr, "upload_app: %s\n", what);
    return 3;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Fail("usage: upload_app REPORT");
    ReportWriter report(argv[1]);
    if (!report.ok()) return Fail("cannot write the report");
    GLWindow window;
    if (!window.error().empty()) return Fail(window.error().c_str());

    const auto genBuffers = Get<GenBuffers>("glGenBuffers");
    const auto bindBuffer = Get<BindBuffer>("glBindBuffer");
    const auto bufferData = Get<BufferData>("glBufferData");
    const auto bufferSubData = Get<BufferSubData>("glBufferSubData");
    const auto getBufferSubData = Get<GetBufferSubData>("glGetBufferSubData");
    const auto mapBufferRange = Get<MapBufferRange>("glMapBufferRange");
    const auto mapBuffer = Get<MapBuffer>("glMapBuffer");
    const auto unmapBuffer = Get<UnmapBuffer>("glUnmapBuffer");
    const auto deleteBuffers = Get<DeleteBuffers>("glDeleteBuffers");
    const auto getTextureImage = Get<GetTextureImage>("glGetTextureImage");
    if (!genBuffers || !bindBuffer || !bufferData || !bufferSubData || !getBufferSubData || !mapBufferRange ||
        !mapBuffer || !unmapBuffer || !deleteBuffers || !getTextureImage)
        return Fail("the GL lacks buffer objects or texture read-back");

    std::vector<std::uint8_t> pattern(1 << 16);
    for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = PatternByte(static_cast<std::uint32_t>(i));
    auto separator = [](int c) { glPassThrough(static_cast<GLfloat>(c)); };

    GLuint buffers[3] = {};
    genBuffers(3, buffers);
    const GLuint array = buffers[0], pixels = buffers[1], elements = buffers[2];
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);

    separator(kBufferDataWithoutData);
    bindBuffer(kArray, array);
    bufferData(kArray, 64, nullptr, kStaticDraw);

    separator(kBufferDataWithData);
    bufferData(kArray, 64, pattern.data(), kStaticDraw);
    report.Put(Scope(kBufferDataWithData), "data", pattern.data());

    separator(kNegativeSubDataSize);
    bufferSubData(kArray, 0, -1, pattern.data());
    report.Put(Scope(kNegativeSubDataSize), "data", pattern.data());
    report.Put(Scope(kNegativeSubDataSize), "error", static_cast<std::uint32_t>(glGetError()));

    separator(kMappedRangeWrite);
    {
        const std::string scope = Scope(kMappedRangeWrite);
        bufferData(kArray, kMapBufferSize, nullptr, kDynamicDraw);
        auto* mapped = static_cast<std::uint8_t*>(mapBufferRange(kArray, kMapOffset, kMapLength, kMapWrite));
        report.Put(scope, "mapped", mapped);
        if (mapped)
            for (std::uint32_t i = 0; i < kMapLength; ++i) mapped[i] = PatternByte(i + 500);
        report.Put(scope, "unmapped", static_cast<std::uint32_t>(unmapBuffer(kArray)));
        std::uint8_t back[kMapLength] = {};
        getBufferSubData(kArray, kMapOffset, kMapLength, back);
        report.PutBytes(scope, "readBack", back, sizeof back);
    }

    separator(kReadOnlyMap);
    report.Put(Scope(kReadOnlyMap), "mapped", mapBuffer(kArray, kReadOnly));
    unmapBuffer(kArray);

    separator(kUnmapWithoutMap);
    report.Put(Scope(kUnmapWithoutMap), "result", static_cast<std::uint32_t>(unmapBuffer(kArray)));
    glGetError();

    separator(kDeletedElementBuffer);
    {
        static const GLushort bufferIndices[3] = {0, 1, 2};
        static const GLushort clientIndices[3] = {7, 3, 9};
        static GLfloat vertices[10 * 3];
        for (int i = 0; i < 30; ++i) vertices[i] = static_cast<GLfloat>(i) * 0.01f;
        bindBuffer(kElements, elements);
        bufferData(kElements, sizeof bufferIndices, bufferIndices, kStaticDraw);
        bindBuffer(kArray, 0);
        glVertexPointer(3, GL_FLOAT, 0, vertices);
        glEnableClientState(GL_VERTEX_ARRAY);
        deleteBuffers(1, &elements);
        glDrawElements(GL_POINTS, 3, GL_UNSIGNED_SHORT, clientIndices);
        glDisableClientState(GL_VERTEX_ARRAY);
        report.Put(Scope(kDeletedElementBuffer), "vertices", static_cast<const void*>(vertices));
        report.Put(Scope(kDeletedElementBuffer), "indices", static_cast<const void*>(clientIndices));
        report.Put(Scope(kDeletedElementBuffer), "error", static_cast<std::uint32_t>(glGetError()));
    }

    const struct {
        int id;
        GLint alignment, skipPixels;
    } rgbCases[] = {{kRgbAlignment4, 4, 0}, {kRgbAlignment1, 1, 0}, {kRgbSkipPixel, 4, 1}};
    for (const auto& c : rgbCases) {
        separator(c.id);
        glPixelStorei(GL_UNPACK_ALIGNMENT, c.alignment);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, c.skipPixels);
        glTexImage2D(GL_TEXTURE_2D, 0, kRgb8, 3, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, pattern.data());
        ResetUnpack();
        report.Put(Scope(c.id), "pixels", pattern.data());
    }

    separator(kBitmap);
    glBitmap(10, 4, 0, 0, 0, 0, pattern.data());
    report.Put(Scope(kBitmap), "bitmap", pattern.data());

    separator(kProxyTargets);
    glTexImage2D(0x8064, 0, kRgb8, 3, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, pattern.data());
    glTexImage2D(0x84F7, 0, kRgb8, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, pattern.data());
    glTexImage2D(0x851B, 0, kRgb8, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, pattern.data());
    report.Put(Scope(kProxyTargets), "pixels", pattern.data());

    separator(kUploadFromUnpackBuffer);
    bindBuffer(kUnpack, pixels);
    bufferData(kUnpack, 64, pattern.data(), kStaticDraw);
    glTexImage2D(GL_TEXTURE_2D, 0, kRgb8, 3, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, reinterpret_cast<const void*>(8));
    glTexSubImage2D(GL_TEXTURE_2D, 0, 1, 0, 2, 2, GL_RGB, GL_UNSIGNED_BYTE, reinterpret_cast<const void*>(12));
    glBitmap(8, 2, 0, 0, 0, 0, reinterpret_cast<const GLubyte*>(4));
    bindBuffer(kUnpack, 0);
    report.Put(Scope(kUploadFromUnpackBuffer), "error", static_cast<std::uint32_t>(glGetError()));

    separator(kBorderColour);
    {
        static const GLint colour[4] = {11, 22, 33, 44};
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, colour);
        report.Put(Scope(kBorderColour), "colour", static_cast<const void*>(colour));
    }

    separator(kReadIntoPackBuffer);
    {
        const std::string scope = Scope(kReadIntoPackBuffer);
        glTexImage2D(GL_TEXTURE_2D, 0, kRgba8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, pattern.data());
        bindBuffer(kPack, pixels);
        bufferData(kPack, 256, nullptr, kStreamRead);
        getTextureImage(texture, 0, GL_RGBA, GL_UNSIGNED_BYTE, 64, reinterpret_cast<void*>(64));
        report.Put(scope, "ranOn", "yes");
        std::uint8_t back[64] = {};
        getBufferSubData(kPack, 64, 64, back);
        report.PutBytes(scope, "packed", back, sizeof back);
        bindBuffer(kPack, 0);
        report.Put(scope, "texture", texture);
    }

    separator(kPixelMapFromUnpackBuffer);
    bindBuffer(kUnpack, pixels);
    bufferData(kUnpack, 64, nullptr, kStaticDraw);
    glPixelMapfv(GL_PIXEL_MAP_I_TO_R, 4, reinterpret_cast<const GLfloat*>(16));
    bindBuffer(kUnpack, 0);
    report.Put(Scope(kPixelMapFromUnpackBuffer), "ranOn", "yes");

    separator(kStippleRoundTrip);
    {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 40);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 3);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 2);
        glPolygonStipple(pattern.data());
        ResetUnpack();
        GLubyte stipple[128] = {};
        glGetPolygonStipple(stipple);
        report.PutBytes(Scope(kStippleRoundTrip), "stipple", stipple, sizeof stipple);
    }

    separator(kTexture1DSkipRows);
    {
        // One row of 5 RGBA pixels, 2 rows of 7 and one pixel skipped before it.
        const std::string scope = Scope(kTexture1DSkipRows);
        GLuint texture1D = 0;
        glGenTextures(1, &texture1D);
        glBindTexture(GL_TEXTURE_1D, texture1D);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 7);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 1);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 2);
        glTexImage1D(GL_TEXTURE_1D, 0, kRgba8, 5, 0, GL_RGBA, GL_UNSIGNED_BYTE, pattern.data());
        ResetUnpack();
        std::uint8_t back[5 * 4] = {};
        glGetTexImage(GL_TEXTURE_1D, 0, GL_RGBA, GL_UNSIGNED_BYTE, back);
        report.Put(scope, "pixels", pattern.data());
        report.PutBytes(scope, "image", back, sizeof back);
        report.Put(scope, "error", static_cast<std::uint32_t>(glGetError()));
        glDeleteTextures(1, &texture1D);
    }

    for (int i = 0; i < kRoundTripCount; ++i) {
        const RoundTrip& t = kRoundTrips[i];
        const std::string scope = Scope(kFirstRoundTrip + i);
        std::vector<std::uint8_t> source = pattern;
        if (t.type == GL_FLOAT)
            for (std::size_t k = 0; k + 4 <= source.size(); k += 4) {
                const float value = PatternFloat(static_cast<std::uint32_t>(k / 4));
                std::memcpy(source.data() + k, &value, 4);
            }
        separator(kFirstRoundTrip + i);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, t.rowLength);
        glPixelStorei(GL_UNPACK_ALIGNMENT, t.alignment);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, t.skipPixels);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, t.skipRows);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(t.internalFormat), t.width, t.height, 0, t.format, t.type,
                     source.data());
        ResetUnpack();
        std::vector<std::uint8_t> back(static_cast<std::size_t>(t.width * t.height) * t.bytesPerPixel);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, t.format, t.type, back.data());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        report.PutBytes(scope, "image", back.data(), back.size());
        report.Put(scope, "error", static_cast<std::uint32_t>(glGetError()));
    }
    separator(-1);
    report.Put("all", "cases", static_cast<std::uint32_t>(kUploadCaseCount));
    glDeleteTextures(1, &texture);
    return 0;
}
