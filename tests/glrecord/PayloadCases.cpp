#include "tests/glrecord/PayloadCases.h"

#include <cstdint>
#include <cstring>

#include "gen/ApiTable.h"
#include "glrecord/GLTypes.h"
#include "stream/StreamRecordId.h"
#include "tests/glrecord/support/Bytes.h"
#include "tests/glrecord/support/CallShapes.h"

using namespace kgl;
namespace api = kestrel::api;

std::uint32_t CaseContext::FakeIndex(const char* name) const {
    const CallShape* shape = FindShape(name);
    return shape ? shape->index : 0xFFFFFFFFu;
}

namespace {

using Records = std::vector<CallRecord>;

CallRecord Rec(std::uint32_t id, const Bytes& payload) { return {id, payload.data()}; }
CallRecord Marker(std::uint32_t targetId, std::uint32_t aliasNumber) {
    return {kestrel::kAliasMarkerRecord, Bytes().u32(targetId).u32(aliasNumber).data()};
}

// Addresses that nothing may read: rule 2 records output and unnamed input pointers as they are.
template <class T = void>
T* Unread(std::uintptr_t address) {
    return reinterpret_cast<T*>(address);
}
template <class Handle>
Handle HandleOf(std::uintptr_t value) {
    return reinterpret_cast<Handle>(value);
}

constexpr std::uint32_t kRealHandedOut = 0xDEADBEEFu;

// What every case needs to call a function by its export or its interceptor.
#define GL(signature, name) c.recorder.Gl<signature>(name)
#define EXT(signature, name) c.recorder.Ext<signature>(name)

PROC Lookup(CaseContext& c, const char* name) { return GL(PROC(LPCSTR), "wglGetProcAddress")(name); }

const std::vector<PayloadCase> kCases = {
    // Extension lookup, first before any context was made current.
    {"lookup before the first activation", "wglGetProcAddress*2",
     [](CaseContext& c) {
         void* first = reinterpret_cast<void*>(Lookup(c, "glActiveTextureARB"));
         void* second = reinterpret_cast<void*>(Lookup(c, "glActiveTextureARB"));
         void* interceptor = c.recorder.Export("_inttrk_glActiveTextureARB@4");
         c.Expect(first == c.FakeStub("glActiveTextureARB"), "the first lookup hands out the real function");
         c.Expect(second == interceptor, "the second lookup hands out the interceptor");
         c.Put("interceptor", interceptor);
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::wglGetProcAddress, Bytes().u32(kRealHandedOut).str("glActiveTextureARB")),
                 Rec(api::wglGetProcAddress, Bytes().u32(r.U32(s, "interceptor")).str("glActiveTextureARB"))};
     }},
    {"lookup of an OpenGL 1.1 name", "wglGetProcAddress",
     [](CaseContext& c) {
         c.Expect(reinterpret_cast<void*>(Lookup(c, "glAccum")) == c.FakeStub("glAccum"),
                  "glAccum is answered by the real library");
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::wglGetProcAddress, Bytes().u32(kRealHandedOut).str("glAccum"))};
     }},
    {"lookup of an unknown name", "wglGetProcAddress",
     [](CaseContext& c) { c.Expect(Lookup(c, "glNoSuchEntryPointKST") == nullptr, "an unknown name gives null"); },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::wglGetProcAddress, Bytes().u32(0).str("glNoSuchEntryPointKST"))};
     }},
    {"lookup of a ten-character name", "wglGetProcAddress",
     [](CaseContext& c) { Lookup(c, "glUnknownX"); },
     [](const Report&, const std::string&) -> Records {
         const Bytes payload = Bytes().u32(0).str("glUnknownX");
         if (payload.size() != 15) return {};  // the case itself is wrong
         return {Rec(api::wglGetProcAddress, payload)};
     }},
    // The first activation resolves every extension entry point through the real lookup, then learns
    // the context's version and extensions and asks only the limits those say it has: this GL's
    // version string cannot be read, so it has none, and the error queue is never touched.
    {"wglMakeCurrent", "wglMakeCurrent wglGetProcAddress*2435 glGetString*2",
     [](CaseContext& c) {
         c.recorder.fake().setResult(c.FakeIndex("wglMakeCurrent"), 1, 0);
         GL(BOOL(HDC, HGLRC), "wglMakeCurrent")(HandleOf<HDC>(0x0DC0), HandleOf<HGLRC>(0x0C70));
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::wglMakeCurrent, Bytes().u32(0x0DC0).u32(0x0C70).u32(1))};
     }},
    {"lookup after the first activation", "",
     [](CaseContext& c) {
         void* interceptor = c.recorder.Export("_inttrk_glBlendColorEXT@16");
         c.Expect(reinterpret_cast<void*>(Lookup(c, "glBlendColorEXT")) == interceptor,
                  "the interceptor is handed out at once");
         c.Put("interceptor", interceptor);
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::wglGetProcAddress, Bytes().u32(r.U32(s, "interceptor")).str("glBlendColorEXT"))};
     }},

    // Fixed parts: arguments at their widths, then the result.
    {"glAccum", "glAccum", [](CaseContext& c) { GL(void(GLenum, GLfloat), "glAccum")(0x0100, 0.5f); },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glAccum, Bytes().u32(0x0100).f32(0.5f))};
     }},
    {"glIsEnabled", "glIsEnabled",
     [](CaseContext& c) {
         c.recorder.fake().setResult(c.FakeIndex("glIsEnabled"), 1, 0);
         c.Expect(GL(GLboolean(GLenum), "glIsEnabled")(0x0B71) == 1, "the real result is returned");
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glIsEnabled, Bytes().u32(0x0B71).u8(1))};
     }},
    {"glGetString", "glGetString",
     [](CaseContext& c) {
         c.recorder.fake().setResult(c.FakeIndex("glGetString"), 0x00C0FFEE, 0);
         GL(const GLubyte*(GLenum), "glGetString")(0x1F00);
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glGetString, Bytes().u32(0x1F00).u32(0x00C0FFEE))};
     }},
    {"glGetError", "glGetError",
     [](CaseContext& c) {
         c.recorder.fake().setResult(c.FakeIndex("glGetError"), 0x0502, 0);
         c.Expect(GL(GLenum(), "glGetError")() == 0x0502, "the real result is returned");
     },
     [](const Report&, const std::string&) -> Records { return {Rec(api::glGetError, Bytes().u32(0x0502))}; }},
    {"glAreTexturesResident", "glAreTexturesResident",
     [](CaseContext& c) {
         c.recorder.fake().setResult(c.FakeIndex("glAreTexturesResident"), 1, 0);
         GL(GLboolean(GLsizei, const GLuint*, GLboolean*), "glAreTexturesResident")(
             2, Unread<const GLuint>(0x00A10000), Unread<GLboolean>(0x00A20000));
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glAreTexturesResident, Bytes().u32(2).u32(0x00A10000).u32(0x00A20000).u8(1))};
     }},
    {"glGetTextureHandleNV", "glGetTextureHandleNV",
     [](CaseContext& c) {
         c.recorder.fake().setResult(c.FakeIndex("glGetTextureHandleNV"), 0x1122334455667788ull, 0);
         c.Expect(EXT(GLuint64(GLuint), "glGetTextureHandleNV")(7) == 0x1122334455667788ull,
                  "the 64-bit result is returned whole");
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glGetTextureHandleNV, Bytes().u32(7).u64(0x1122334455667788ull))};
     }},
    {"glColor3b", "glColor3b", [](CaseContext& c) { GL(void(GLbyte, GLbyte, GLbyte), "glColor3b")(1, -2, 3); },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glColor3b, Bytes().i8(1).i8(-2).i8(3))};
     }},
    {"glDepthMask", "glDepthMask", [](CaseContext& c) { GL(void(GLboolean), "glDepthMask")(1); },
     [](const Report&, const std::string&) -> Records { return {Rec(api::glDepthMask, Bytes().u8(1))}; }},
    {"glBindImageTextureEXT", "glBindImageTextureEXT",
     [](CaseContext& c) {
         EXT(void(GLuint, GLuint, GLint, GLboolean, GLint, GLenum, GLint), "glBindImageTextureEXT")(1, 2, 3, 1, 4, 0x88BA,
                                                                                                   0x8058);
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glBindImageTextureEXT, Bytes().u32(1).u32(2).i32(3).u8(1).i32(4).u32(0x88BA).i32(0x8058))};
     }},

    // Fixed-count vector forms: the values in place of the pointer.
    {"glColor3fv", "glColor3fv",
     [](CaseContext& c) {
         static const GLfloat v[3] = {0.25f, 0.5f, 0.75f};
         GL(void(const GLfloat*), "glColor3fv")(v);
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glColor3fv, Bytes().f32(0.25f).f32(0.5f).f32(0.75f))};
     }},
    {"glColor3fv with a null pointer", "glColor3fv",
     [](CaseContext& c) { GL(void(const GLfloat*), "glColor3fv")(nullptr); },
     [](const Report&, const std::string&) -> Records { return {Rec(api::glColor3fv, Bytes().zeros(12))}; }},
    {"glClipPlane", "glClipPlane",
     [](CaseContext& c) {
         static const GLdouble plane[4] = {1.0, -2.0, 3.5, 4.25};
         GL(void(GLenum, const GLdouble*), "glClipPlane")(0x3000, plane);
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glClipPlane, Bytes().u32(0x3000).f64(1.0).f64(-2.0).f64(3.5).f64(4.25))};
     }},
    {"glLoadMatrixd", "glLoadMatrixd",
     [](CaseContext& c) {
         static GLdouble m[16];
         for (int i = 0; i < 16; ++i) m[i] = i + 0.5;
         GL(void(const GLdouble*), "glLoadMatrixd")(m);
     },
     [](const Report&, const std::string&) -> Records {
         Bytes b;
         for (int i = 0; i < 16; ++i) b.f64(i + 0.5);
         return {Rec(api::glLoadMatrixd, b)};
     }},
    {"glMultiTexCoord2fvARB", "glMultiTexCoord2fvARB",
     [](CaseContext& c) {
         static const GLfloat v[2] = {1.5f, 2.5f};
         EXT(void(GLenum, const GLfloat*), "glMultiTexCoord2fvARB")(0x84C1, v);
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glMultiTexCoord2fvARB, Bytes().u32(0x84C1).f32(1.5f).f32(2.5f))};
     }},
    {"glVertexAttribP4uiv", "glVertexAttribP4uiv",
     [](CaseContext& c) {
         static const GLuint packed = 0x12345678u;
         EXT(void(GLuint, GLenum, GLboolean, const GLuint*), "glVertexAttribP4uiv")(1, 0x8368, 0, &packed);
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glVertexAttribP4uiv, Bytes().u32(1).u32(0x8368).u8(0).u32(0x12345678u))};
     }},
    {"glVertexAttribL2i64vNV keeps the address", "glVertexAttribL2i64vNV",
     [](CaseContext& c) {
         EXT(void(GLuint, const GLint64EXT*), "glVertexAttribL2i64vNV")(3, Unread<const GLint64EXT>(0x00A30000));
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glVertexAttribL2i64vNV, Bytes().u32(3).u32(0x00A30000))};
     }},

    // Data blocks of the families.
    {"glCallLists with an unknown type", "glCallLists",
     [](CaseContext& c) { GL(void(GLsizei, GLenum, const void*), "glCallLists")(2, 0x9999, Unread(0x00A40000)); },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glCallLists, Bytes().u32(2).u32(0x9999).u32(0x00A40000))};
     }},
    {"glCallLists of unsigned shorts", "glCallLists",
     [](CaseContext& c) {
         static const GLushort lists[3] = {10, 20, 30};
         GL(void(GLsizei, GLenum, const void*), "glCallLists")(3, 0x1403, lists);
         c.Put("lists", static_cast<const void*>(lists));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glCallLists, Bytes().u32(3).u32(0x1403).u32(r.U32(s, "lists")).u16(10).u16(20).u16(30))};
     }},
    {"glLightfv with an unknown name", "glLightfv",
     [](CaseContext& c) { GL(void(GLenum, GLenum, const GLfloat*), "glLightfv")(0x4000, 0x9999, Unread<const GLfloat>(0x00A50000)); },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glLightfv, Bytes().u32(0x4000).u32(0x9999).u32(0x00A50000))};
     }},
    {"glLightfv position and spot direction", "glLightfv*2",
     [](CaseContext& c) {
         static const GLfloat v[4] = {1.0f, 2.0f, 3.0f, 0.0f};
         GL(void(GLenum, GLenum, const GLfloat*), "glLightfv")(0x4000, 0x1203, v);
         GL(void(GLenum, GLenum, const GLfloat*), "glLightfv")(0x4001, 0x1204, v);
         c.Put("v", static_cast<const void*>(v));
     },
     [](const Report& r, const std::string& s) -> Records {
         const std::uint32_t v = r.U32(s, "v");
         return {Rec(api::glLightfv, Bytes().u32(0x4000).u32(0x1203).u32(v).f32(1).f32(2).f32(3).f32(0)),
                 Rec(api::glLightfv, Bytes().u32(0x4001).u32(0x1204).u32(v).f32(1).f32(2).f32(3))};
     }},
    {"glUniform4fv with count 0", "glUniform4fv",
     [](CaseContext& c) { EXT(void(GLint, GLsizei, const GLfloat*), "glUniform4fv")(5, 0, Unread<const GLfloat>(0x00A60000)); },
     [](const Report&, const std::string&) -> Records {
         return {Marker(api::glUniform4fvARB, 244), Rec(api::glUniform4fvARB, Bytes().u32(5).u32(0).u32(0x00A60000))};
     }},
    {"glUniform4fv with count 2", "glUniform4fv",
     [](CaseContext& c) {
         static GLfloat v[8];
         for (int i = 0; i < 8; ++i) v[i] = i * 0.25f;
         EXT(void(GLint, GLsizei, const GLfloat*), "glUniform4fv")(5, 2, v);
         c.Put("v", static_cast<const void*>(v));
     },
     [](const Report& r, const std::string& s) -> Records {
         Bytes b = Bytes().u32(5).u32(2).u32(r.U32(s, "v"));
         for (int i = 0; i < 8; ++i) b.f32(i * 0.25f);
         return {Marker(api::glUniform4fvARB, 244), Rec(api::glUniform4fvARB, b)};
     }},
    {"glUniform1fvARB with a negative count", "glUniform1fvARB",
     [](CaseContext& c) { EXT(void(GLint, GLsizei, const GLfloat*), "glUniform1fvARB")(5, -1, Unread<const GLfloat>(0x00A60000)); },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glUniform1fvARB, Bytes().u32(5).i32(-1).u32(0x00A60000))};
     }},
    {"glUniform1fvARB with a null pointer", "glUniform1fvARB",
     [](CaseContext& c) { EXT(void(GLint, GLsizei, const GLfloat*), "glUniform1fvARB")(5, 2, nullptr); },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glUniform1fvARB, Bytes().u32(5).u32(2).u32(0).zeros(8))};
     }},
    {"glProgramUniform3fv", "glProgramUniform3fv",
     [](CaseContext& c) {
         static const GLfloat v[3] = {7.0f, 8.0f, 9.0f};
         EXT(void(GLuint, GLint, GLsizei, const GLfloat*), "glProgramUniform3fv")(9, 2, 1, v);
         c.Put("v", static_cast<const void*>(v));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glProgramUniform3fv, Bytes().u32(9).u32(2).u32(1).u32(r.U32(s, "v")).f32(7).f32(8).f32(9))};
     }},
    {"glUniformMatrix2x3fv", "glUniformMatrix2x3fv",
     [](CaseContext& c) {
         static const GLfloat m[6] = {1, 2, 3, 4, 5, 6};
         EXT(void(GLint, GLsizei, GLboolean, const GLfloat*), "glUniformMatrix2x3fv")(1, 1, 1, m);
         c.Put("m", static_cast<const void*>(m));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glUniformMatrix2x3fv,
                     Bytes().u32(1).u32(1).u8(1).u32(r.U32(s, "m")).f32(1).f32(2).f32(3).f32(4).f32(5).f32(6))};
     }},
    {"glTexEnvfv of the point sprite", "glTexEnvfv",
     [](CaseContext& c) { GL(void(GLenum, GLenum, const GLfloat*), "glTexEnvfv")(0x8861, 0x8862, Unread<const GLfloat>(0x00A70000)); },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glTexEnvfv, Bytes().u32(0x8861).u32(0x8862).u32(0x00A70000))};
     }},
    {"glTexEnvfv of the texture environment", "glTexEnvfv*2",
     [](CaseContext& c) {
         static const GLfloat v[4] = {1.0f, 0.5f, 0.25f, 0.125f};
         GL(void(GLenum, GLenum, const GLfloat*), "glTexEnvfv")(0x2300, 0x8862, v);
         GL(void(GLenum, GLenum, const GLfloat*), "glTexEnvfv")(0x2300, 0x2201, v);
         c.Put("v", static_cast<const void*>(v));
     },
     [](const Report& r, const std::string& s) -> Records {
         const std::uint32_t v = r.U32(s, "v");
         return {Rec(api::glTexEnvfv, Bytes().u32(0x2300).u32(0x8862).u32(v).f32(1.0f)),
                 Rec(api::glTexEnvfv, Bytes().u32(0x2300).u32(0x2201).u32(v).f32(1.0f).f32(0.5f).f32(0.25f).f32(0.125f))};
     }},
    {"glTexGendv object plane", "glTexGendv",
     [](CaseContext& c) {
         static const GLdouble v[4] = {1.0, 2.0, 3.0, 4.0};
         GL(void(GLenum, GLenum, const GLdouble*), "glTexGendv")(0x2000, 0x2501, v);
         c.Put("v", static_cast<const void*>(v));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glTexGendv, Bytes().u32(0x2000).u32(0x2501).u32(r.U32(s, "v")).f64(1).f64(2).f64(3).f64(4))};
     }},
    {"glSamplerParameterIuiv border colour", "glSamplerParameterIuiv",
     [](CaseContext& c) {
         static const GLuint v[4] = {1, 2, 3, 4};
         EXT(void(GLuint, GLenum, const GLuint*), "glSamplerParameterIuiv")(6, 0x1004, v);
         c.Put("v", static_cast<const void*>(v));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glSamplerParameterIuiv, Bytes().u32(6).u32(0x1004).u32(r.U32(s, "v")).u32(1).u32(2).u32(3).u32(4))};
     }},
    {"glGenTextures", "glGenTextures",
     [](CaseContext& c) {
         static GLuint names[2];
         names[0] = names[1] = 0xAAAAAAAAu;
         const GLuint generated[2] = {7, 9};
         c.recorder.fake().setOutput(c.FakeIndex("glGenTextures"), 4, generated, sizeof generated);
         GL(void(GLsizei, GLuint*), "glGenTextures")(2, names);
         c.recorder.fake().setOutput(c.FakeIndex("glGenTextures"), 0, nullptr, 0);
         c.Expect(names[0] == 7 && names[1] == 9, "the names the GL generated reach the application");
         c.Put("names", static_cast<const void*>(names));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glGenTextures, Bytes().u32(2).u32(r.U32(s, "names")).u32(7).u32(9))};
     }},
    {"glDeleteTextures", "glDeleteTextures",
     [](CaseContext& c) {
         static const GLuint names[2] = {5, 6};
         GL(void(GLsizei, const GLuint*), "glDeleteTextures")(2, names);
         c.Put("names", static_cast<const void*>(names));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glDeleteTextures, Bytes().u32(2).u32(r.U32(s, "names")).u32(5).u32(6))};
     }},
    {"glBeginQuery", "glBeginQuery",
     [](CaseContext& c) { EXT(void(GLenum, GLuint), "glBeginQuery")(0x8914, 3); },
     [](const Report&, const std::string&) -> Records {
         return {Marker(0x40000214u, 275), Rec(0x40000214u, Bytes().u32(0x8914).u32(3))};
     }},
    {"glGetUniformLocationARB", "glGetUniformLocationARB",
     [](CaseContext& c) {
         c.recorder.fake().setResult(c.FakeIndex("glGetUniformLocationARB"), 11, 0);
         static const char name[] = "color";
         c.Expect(EXT(GLint(GLhandleARB, const GLcharARB*), "glGetUniformLocationARB")(4, name) == 11,
                  "the location is returned");
         c.Put("name", static_cast<const void*>(name));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glGetUniformLocationARB, Bytes().u32(4).u32(r.U32(s, "name")).i32(11).str("color"))};
     }},
    {"glBindAttribLocationARB", "glBindAttribLocationARB",
     [](CaseContext& c) {
         static const char name[] = "pos";
         EXT(void(GLhandleARB, GLuint, const GLcharARB*), "glBindAttribLocationARB")(4, 2, name);
         c.Put("name", static_cast<const void*>(name));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glBindAttribLocationARB, Bytes().u32(4).u32(2).u32(r.U32(s, "name")).str("pos"))};
     }},
    {"glPixelMapusv", "glPixelMapusv",
     [](CaseContext& c) {
         static const GLushort v[3] = {10, 20, 30};
         GL(void(GLenum, GLsizei, const GLushort*), "glPixelMapusv")(0x0C72, 3, v);
         c.Put("v", static_cast<const void*>(v));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glPixelMapusv, Bytes().u32(0x0C72).u32(3).u32(r.U32(s, "v")).u16(10).u16(20).u16(30))};
     }},
    {"glColorTableEXT", "glColorTableEXT*3",
     [](CaseContext& c) {
         static const GLubyte table[6] = {1, 2, 3, 4, 5, 6};
         auto fn = EXT(void(GLenum, GLenum, GLsizei, GLenum, GLenum, const void*), "glColorTableEXT");
         fn(0x80D2, 0x1907, 2, 0x1907, 0x1401, table);  // RGB, unsigned bytes: 2 x 3 x 1
         fn(0x80D2, 0x1907, 2, 0x8228, 0x1401, table);  // RG integer: two components, 2 x 2 x 1
         fn(0x80D2, 0x1907, 2, 0x8229, 0x1401, table);  // a format outside the components table
         c.Put("table", static_cast<const void*>(table));
     },
     [](const Report& r, const std::string& s) -> Records {
         const std::uint32_t t = r.U32(s, "table");
         return {Rec(api::glColorTableEXT, Bytes().u32(0x80D2).u32(0x1907).u32(2).u32(0x1907).u32(0x1401).u32(t).u8(1).u8(2).u8(3).u8(4).u8(5).u8(6)),
                 Rec(api::glColorTableEXT, Bytes().u32(0x80D2).u32(0x1907).u32(2).u32(0x8228).u32(0x1401).u32(t).u8(1).u8(2).u8(3).u8(4)),
                 Rec(api::glColorTableEXT, Bytes().u32(0x80D2).u32(0x1907).u32(2).u32(0x8229).u32(0x1401).u32(t))};
     }},
    {"glMap1f", "glMap1f",
     [](CaseContext& c) {
         static const GLfloat points[6] = {1, 2, 3, 4, 5, 6};
         GL(void(GLenum, GLfloat, GLfloat, GLint, GLint, const GLfloat*), "glMap1f")(0x0D97, 0.0f, 1.0f, 3, 2, points);
         c.Put("points", static_cast<const void*>(points));
     },
     [](const Report& r, const std::string& s) -> Records {
         Bytes b = Bytes().u32(0x0D97).f32(0).f32(1).i32(3).i32(2).u32(r.U32(s, "points"));
         for (int i = 1; i <= 6; ++i) b.f32(static_cast<float>(i));
         return {Rec(api::glMap1f, b)};
     }},
    {"glMap2d", "glMap2d",
     [](CaseContext& c) {
         static GLdouble points[12];
         for (int i = 0; i < 12; ++i) points[i] = i;
         GL(void(GLenum, GLdouble, GLdouble, GLint, GLint, GLdouble, GLdouble, GLint, GLint, const GLdouble*), "glMap2d")(
             0x0DB7, 0.0, 1.0, 3, 2, 0.0, 1.0, 6, 2, points);
         c.Put("points", static_cast<const void*>(points));
     },
     [](const Report& r, const std::string& s) -> Records {
         // vstride 6 is the larger: 6 x vorder 2 doubles.
         Bytes b = Bytes().u32(0x0DB7).f64(0).f64(1).i32(3).i32(2).f64(0).f64(1).i32(6).i32(2).u32(r.U32(s, "points"));
         for (int i = 0; i < 12; ++i) b.f64(i);
         return {Rec(api::glMap2d, b)};
     }},
    {"glProgramStringARB", "glProgramStringARB",
     [](CaseContext& c) {
         static const char text[] = "ABCDEFG";
         EXT(void(GLenum, GLenum, GLsizei, const void*), "glProgramStringARB")(0x8620, 0x8875, 5, text);
         c.Put("text", static_cast<const void*>(text));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glProgramStringARB, Bytes().u32(0x8620).u32(0x8875).u32(5).u32(r.U32(s, "text")).raw("ABCDE", 5))};
     }},
    {"glGetTextureImage", "glGetTextureImage",
     [](CaseContext& c) {
         static GLubyte pixels[8];
         std::memset(pixels, 0xEE, sizeof pixels);
         const GLubyte filled[8] = {1, 2, 3, 4, 5, 6, 7, 8};
         c.recorder.fake().setOutput(c.FakeIndex("glGetTextureImage"), 20, filled, sizeof filled);
         EXT(void(GLuint, GLint, GLenum, GLenum, GLsizei, void*), "glGetTextureImage")(1, 0, 0x1908, 0x1401, 8, pixels);
         c.recorder.fake().setOutput(c.FakeIndex("glGetTextureImage"), 0, nullptr, 0);
         c.Put("pixels", static_cast<const void*>(pixels));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glGetTextureImage, Bytes().u32(1).u32(0).u32(0x1908).u32(0x1401).u32(8).u32(r.U32(s, "pixels"))
                                                 .u8(1).u8(2).u8(3).u8(4).u8(5).u8(6).u8(7).u8(8))};
     }},
    // While a pixel buffer is bound the pointer is an offset into it: reading it as an address would
    // fault (16 is never mapped), so only the fixed part is recorded, with the offset.
    {"pixel transfers with a bound pixel buffer", "glBindBufferARB*2 glColorTableEXT glPixelMapfv glPixelMapusv "
                                                  "glGetTextureImage glGetCompressedTextureImage glBindBufferARB*2",
     [](CaseContext& c) {
         auto bind = EXT(void(GLenum, GLuint), "glBindBufferARB");
         bind(0x88EC, 5);  // pixel unpack
         bind(0x88EB, 6);  // pixel pack
         EXT(void(GLenum, GLenum, GLsizei, GLenum, GLenum, const void*), "glColorTableEXT")(
             0x80D2, 0x1907, 2, 0x1907, 0x1401, Unread(16));
         GL(void(GLenum, GLsizei, const GLfloat*), "glPixelMapfv")(0x0C72, 4, Unread<const GLfloat>(16));
         GL(void(GLenum, GLsizei, const GLushort*), "glPixelMapusv")(0x0C72, 4, Unread<const GLushort>(16));
         EXT(void(GLuint, GLint, GLenum, GLenum, GLsizei, void*), "glGetTextureImage")(1, 0, 0x1908, 0x1401, 64,
                                                                                       Unread(16));
         EXT(void(GLuint, GLint, GLsizei, void*), "glGetCompressedTextureImage")(1, 0, 64, Unread(16));
         bind(0x88EC, 0);
         bind(0x88EB, 0);
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glBindBufferARB, Bytes().u32(0x88EC).u32(5)),
                 Rec(api::glBindBufferARB, Bytes().u32(0x88EB).u32(6)),
                 Rec(api::glColorTableEXT, Bytes().u32(0x80D2).u32(0x1907).u32(2).u32(0x1907).u32(0x1401).u32(16)),
                 Rec(api::glPixelMapfv, Bytes().u32(0x0C72).u32(4).u32(16)),
                 Rec(api::glPixelMapusv, Bytes().u32(0x0C72).u32(4).u32(16)),
                 Rec(api::glGetTextureImage, Bytes().u32(1).u32(0).u32(0x1908).u32(0x1401).u32(64).u32(16)),
                 Rec(api::glGetCompressedTextureImage, Bytes().u32(1).u32(0).u32(64).u32(16)),
                 Rec(api::glBindBufferARB, Bytes().u32(0x88EC).u32(0)),
                 Rec(api::glBindBufferARB, Bytes().u32(0x88EB).u32(0))};
     }},
    // The unpack state comes from the GL at every call (here every query answers 1: row length 1,
    // alignment 1, one skipped pixel and row), so a 2 x 2 RGB image reads 3 + 3 skipped bytes, a row
    // of 3 and a last row of 6. The texture-object form asks no unpack buffer binding of a GL whose
    // context the recorder has not learnt (it may lack pixel buffers): it reads the pixels the same way.
    {"uploads ask the GL", "glTexSubImage2D glGetIntegerv*4 glTextureSubImage2D glGetIntegerv*4",
     [](CaseContext& c) {
         static GLubyte pixels[32];
         for (int i = 0; i < 32; ++i) pixels[i] = static_cast<GLubyte>(i + 1);
         const GLint one = 1;
         c.recorder.fake().setOutput(c.FakeIndex("glGetIntegerv"), 4, &one, sizeof one);
         GL(void(GLenum, GLint, GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*), "glTexSubImage2D")(
             0x0DE1, 0, 0, 0, 2, 2, 0x1907, 0x1401, pixels);
         EXT(void(GLuint, GLint, GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*), "glTextureSubImage2D")(
             5, 0, 0, 0, 2, 2, 0x1907, 0x1401, pixels);
         c.recorder.fake().setOutput(c.FakeIndex("glGetIntegerv"), 0, nullptr, 0);
         c.Put("pixels", static_cast<const void*>(pixels));
     },
     [](const Report& r, const std::string& s) -> Records {
         const std::uint32_t p = r.U32(s, "pixels");
         Bytes sub = Bytes().u32(0x0DE1).i32(0).i32(0).i32(0).i32(2).i32(2).u32(0x1907).u32(0x1401).u32(p);
         for (int i = 1; i <= 15; ++i) sub.u8(static_cast<std::uint8_t>(i));
         Bytes object = Bytes().u32(5).i32(0).i32(0).i32(0).i32(2).i32(2).u32(0x1907).u32(0x1401).u32(p);
         for (int i = 1; i <= 15; ++i) object.u8(static_cast<std::uint8_t>(i));
         return {Rec(api::glTexSubImage2D, sub), Rec(api::glTextureSubImage2D, object)};
     }},
    // A map learns the bound buffer (3), its map pointer (none, so the returned one), its access and
    // size (8 for both here) from the GL; its unmap copies the 8 bytes written before the real unmap
    // and records them with the real result. An unmap with nothing mapped, before the context has any
    // mapping or after the one it had was spent, records target and result only: the GL's own, even
    // when it failed.
    {"buffer mappings",
     "glGetIntegerv glUnmapBufferARB glMapBufferARB glGetIntegerv glGetBufferPointerv glGetBufferParameteriv*2 "
     "glGetIntegerv glUnmapBufferARB glGetIntegerv glUnmapBufferARB",
     [](CaseContext& c) {
         static GLubyte mapped[8];
         const GLint three = 3, eight = 8;
         auto unmap = EXT(GLboolean(GLenum), "glUnmapBufferARB");
         c.recorder.fake().setResult(c.FakeIndex("glUnmapBufferARB"), 0, 0);
         unmap(0x8892);
         c.recorder.fake().setResult(c.FakeIndex("glUnmapBufferARB"), 1, 0);
         c.recorder.fake().setResult(c.FakeIndex("glMapBufferARB"), reinterpret_cast<std::uintptr_t>(mapped), 0);
         c.recorder.fake().setOutput(c.FakeIndex("glGetIntegerv"), 4, &three, sizeof three);
         c.recorder.fake().setOutput(c.FakeIndex("glGetBufferParameteriv"), 8, &eight, sizeof eight);
         auto* p = static_cast<GLubyte*>(EXT(void*(GLenum, GLenum), "glMapBufferARB")(0x8892, 0x88B9));
         c.Expect(p == mapped, "the real pointer is returned");
         for (int i = 0; i < 8; ++i) mapped[i] = static_cast<GLubyte>(0x30 + i);
         unmap(0x8892);
         unmap(0x8892);
         c.recorder.fake().setOutput(c.FakeIndex("glGetIntegerv"), 0, nullptr, 0);
         c.recorder.fake().setOutput(c.FakeIndex("glGetBufferParameteriv"), 0, nullptr, 0);
         c.Put("mapped", static_cast<const void*>(mapped));
     },
     [](const Report& r, const std::string& s) -> Records {
         Bytes written = Bytes().u32(0x8892).u8(1);
         for (int i = 0; i < 8; ++i) written.u8(static_cast<std::uint8_t>(0x30 + i));
         return {Rec(api::glUnmapBufferARB, Bytes().u32(0x8892).u8(0)),
                 Rec(api::glMapBufferARB, Bytes().u32(0x8892).u32(0x88B9).u32(r.U32(s, "mapped"))),
                 Rec(api::glUnmapBufferARB, written),
                 Rec(api::glUnmapBufferARB, Bytes().u32(0x8892).u8(1))};
     }},
    // The vendor's object buffers: data on creation and update, and at unmap the bytes of the whole
    // mapped buffer, its size asked from the GL.
    {"object buffers", "glNewObjectBufferATI glUpdateObjectBufferATI glMapObjectBufferATI glGetObjectBufferivATI "
                       "glUnmapObjectBufferATI*2 glFreeObjectBufferATI",
     [](CaseContext& c) {
         static const GLubyte data[6] = {1, 2, 3, 4, 5, 6};
         static GLubyte mapped[8];
         const GLint size = sizeof mapped;
         c.recorder.fake().setResult(c.FakeIndex("glNewObjectBufferATI"), 9, 0);
         c.recorder.fake().setResult(c.FakeIndex("glMapObjectBufferATI"), reinterpret_cast<std::uintptr_t>(mapped), 0);
         c.recorder.fake().setOutput(c.FakeIndex("glGetObjectBufferivATI"), 8, &size, sizeof size);
         EXT(GLuint(GLsizei, const void*, GLenum), "glNewObjectBufferATI")(6, data, 0x8760);
         EXT(void(GLuint, GLuint, GLsizei, const void*, GLenum), "glUpdateObjectBufferATI")(9, 2, 4, data, 0x8763);
         auto* p = static_cast<GLubyte*>(EXT(void*(GLuint), "glMapObjectBufferATI")(9));
         for (int i = 0; i < 8; ++i) p[i] = static_cast<GLubyte>(0xA0 + i);
         EXT(void(GLuint), "glUnmapObjectBufferATI")(9);
         EXT(void(GLuint), "glUnmapObjectBufferATI")(9);  // nothing left mapped
         EXT(void(GLuint), "glFreeObjectBufferATI")(9);
         c.recorder.fake().setOutput(c.FakeIndex("glGetObjectBufferivATI"), 0, nullptr, 0);
         c.Put("data", static_cast<const void*>(data));
         c.Put("mapped", static_cast<const void*>(mapped));
     },
     [](const Report& r, const std::string& s) -> Records {
         const std::uint32_t d = r.U32(s, "data");
         return {Rec(api::glNewObjectBufferATI, Bytes().i32(6).u32(d).u32(0x8760).u32(9).u8(1).u8(2).u8(3).u8(4).u8(5).u8(6)),
                 Rec(api::glUpdateObjectBufferATI, Bytes().u32(9).u32(2).i32(4).u32(d).u32(0x8763).u8(1).u8(2).u8(3).u8(4)),
                 Rec(api::glMapObjectBufferATI, Bytes().u32(9).u32(r.U32(s, "mapped"))),
                 Rec(api::glUnmapObjectBufferATI, Bytes().u32(9).u8(0xA0).u8(0xA1).u8(0xA2).u8(0xA3).u8(0xA4).u8(0xA5)
                                                      .u8(0xA6).u8(0xA7)),
                 Rec(api::glUnmapObjectBufferATI, Bytes().u32(9)),
                 Rec(api::glFreeObjectBufferATI, Bytes().u32(9))};
     }},
    {"glViewportArrayv", "glViewportArrayv",
     [](CaseContext& c) {
         static const GLfloat v[8] = {0, 0, 64, 32, 1, 2, 3, 4};
         EXT(void(GLuint, GLsizei, const GLfloat*), "glViewportArrayv")(0, 2, v);
         c.Put("v", static_cast<const void*>(v));
     },
     [](const Report& r, const std::string& s) -> Records {
         Bytes b = Bytes().u32(0).u32(2).u32(r.U32(s, "v"));
         for (float f : {0.f, 0.f, 64.f, 32.f, 1.f, 2.f, 3.f, 4.f}) b.f32(f);
         return {Rec(api::glViewportArrayv, b)};
     }},
    {"glDrawBuffersATI and glWeightbvARB", "glDrawBuffersATI glWeightbvARB",
     [](CaseContext& c) {
         static const GLenum buffers[2] = {0x8CE0, 0x8CE1};
         static const GLbyte weights[3] = {1, -1, 2};
         EXT(void(GLsizei, const GLenum*), "glDrawBuffersATI")(2, buffers);
         EXT(void(GLint, const GLbyte*), "glWeightbvARB")(3, weights);
         c.Put("buffers", static_cast<const void*>(buffers));
         c.Put("weights", static_cast<const void*>(weights));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glDrawBuffersATI, Bytes().u32(2).u32(r.U32(s, "buffers")).u32(0x8CE0).u32(0x8CE1)),
                 Rec(api::glWeightbvARB, Bytes().u32(3).u32(r.U32(s, "weights")).i8(1).i8(-1).i8(2))};
     }},
    {"glVertexAttribs2hvNV", "glVertexAttribs2hvNV",
     [](CaseContext& c) {
         static const GLhalfNV v[4] = {0x3C00, 0x4000, 0x4200, 0x4400};
         EXT(void(GLuint, GLsizei, const GLhalfNV*), "glVertexAttribs2hvNV")(1, 2, v);
         c.Put("v", static_cast<const void*>(v));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glVertexAttribs2hvNV, Bytes().u32(1).u32(2).u32(r.U32(s, "v")).u16(0x3C00).u16(0x4000).u16(0x4200).u16(0x4400))};
     }},

    // The parallel-array functions forward and record their fixed part.
    {"INTEL parallel arrays", "glVertexPointervINTEL glNormalPointervINTEL glColorPointervINTEL glTexCoordPointervINTEL",
     [](CaseContext& c) {
         const void** arrays = Unread<const void*>(0x00A80000);
         EXT(void(GLint, GLenum, const void**), "glVertexPointervINTEL")(3, 0x1406, arrays);
         EXT(void(GLenum, const void**), "glNormalPointervINTEL")(0x1406, arrays);
         EXT(void(GLint, GLenum, const void**), "glColorPointervINTEL")(4, 0x1401, arrays);
         EXT(void(GLint, GLenum, const void**), "glTexCoordPointervINTEL")(2, 0x1406, arrays);
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glVertexPointervINTEL, Bytes().u32(3).u32(0x1406).u32(0x00A80000)),
                 Rec(api::glNormalPointervINTEL, Bytes().u32(0x1406).u32(0x00A80000)),
                 Rec(api::glColorPointervINTEL, Bytes().u32(4).u32(0x1401).u32(0x00A80000)),
                 Rec(api::glTexCoordPointervINTEL, Bytes().u32(2).u32(0x1406).u32(0x00A80000))};
     }},
    {"glPopDebugGroup", "glPopDebugGroup", [](CaseContext& c) { EXT(void(), "glPopDebugGroup")(); },
     [](const Report&, const std::string&) -> Records { return {Rec(0x4000632Eu, Bytes())}; }},

    // Source strings: the lengths as given (or found), each string's characters and a zero byte.
    {"glShaderSourceARB without lengths", "glShaderSourceARB",
     [](CaseContext& c) {
         static const char* const strings[] = {"ab", "cde"};
         EXT(void(GLuint, GLsizei, const char* const*, const GLint*), "glShaderSourceARB")(7, 2, strings, nullptr);
         c.Put("strings", static_cast<const void*>(strings));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glShaderSourceARB, Bytes().u32(7).u32(2).u32(r.U32(s, "strings")).u32(0).u32(2).u32(3)
                                                 .str("ab").str("cde"))};
     }},
    {"glShaderSourceARB with a negative length", "glShaderSourceARB",
     [](CaseContext& c) {
         static const char* const strings[] = {"ab", "cde"};
         static const GLint lengths[] = {2, -1};
         EXT(void(GLuint, GLsizei, const char* const*, const GLint*), "glShaderSourceARB")(7, 2, strings, lengths);
         c.Put("strings", static_cast<const void*>(strings));
         c.Put("lengths", static_cast<const void*>(lengths));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glShaderSourceARB, Bytes().u32(7).u32(2).u32(r.U32(s, "strings")).u32(r.U32(s, "lengths"))
                                                 .i32(2).i32(-1).str("ab").str("cde"))};
     }},
    {"glShaderSourceARB with a length shorter than its string", "glShaderSourceARB",
     [](CaseContext& c) {
         static const char* const strings[] = {"abcdef"};
         static const GLint lengths[] = {3};
         EXT(void(GLuint, GLsizei, const char* const*, const GLint*), "glShaderSourceARB")(9, 1, strings, lengths);
         c.Put("strings", static_cast<const void*>(strings));
         c.Put("lengths", static_cast<const void*>(lengths));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glShaderSourceARB, Bytes().u32(9).u32(1).u32(r.U32(s, "strings")).u32(r.U32(s, "lengths"))
                                                 .i32(3).str("abc"))};
     }},

    // Program binaries carry the table hash of their bytes ("123456789" hashes to 0x55CE33CE).
    {"glProgramBinary", "glProgramBinary",
     [](CaseContext& c) {
         static const char binary[] = "123456789";
         EXT(void(GLuint, GLenum, const void*, GLsizei), "glProgramBinary")(4, 0x8D64, binary, 9);
         c.Put("binary", static_cast<const void*>(binary));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glProgramBinary, Bytes().u32(4).u32(0x8D64).u32(r.U32(s, "binary")).u32(9).u32(0x55CE33CE)
                                               .raw("123456789", 9))};
     }},
    {"glGetProgramBinary without a binary", "glGetProgramBinary",
     [](CaseContext& c) {
         static GLsizei length = 0;
         static GLenum format = 0;
         EXT(void(GLuint, GLsizei, GLsizei*, GLenum*, void*), "glGetProgramBinary")(4, 64, &length, &format, nullptr);
         c.Put("length", static_cast<const void*>(&length));
         c.Put("format", static_cast<const void*>(&format));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glGetProgramBinary,
                     Bytes().u32(4).u32(64).u32(r.U32(s, "length")).u32(r.U32(s, "format")).u32(0).u32(0))};
     }},

    // Debug output.
    {"glDebugMessageInsertARB without a message", "glDebugMessageInsertARB",
     [](CaseContext& c) {
         EXT(void(GLenum, GLenum, GLuint, GLenum, GLsizei, const char*), "glDebugMessageInsertARB")(
             0x824A, 0x824C, 7, 0x9146, -1, nullptr);
     },
     [](const Report&, const std::string&) -> Records {
         return {Rec(api::glDebugMessageInsertARB, Bytes().u32(0x824A).u32(0x824C).u32(7).u32(0x9146).i32(-1).u32(0))};
     }},
    // A message with a length need not end in a NUL: no more than its length is read.
    {"glDebugMessageInsertARB with a length", "glDebugMessageInsertARB",
     [](CaseContext& c) {
         static const char text[] = "abcdef";
         EXT(void(GLenum, GLenum, GLuint, GLenum, GLsizei, const char*), "glDebugMessageInsertARB")(
             0x824A, 0x824C, 7, 0x9146, 3, text);
         c.Put("text", static_cast<const void*>(text));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glDebugMessageInsertARB,
                     Bytes().u32(0x824A).u32(0x824C).u32(7).u32(0x9146).i32(3).u32(r.U32(s, "text")).str("abc"))};
     }},
    {"glDebugMessageControlARB", "glDebugMessageControlARB",
     [](CaseContext& c) {
         static const GLuint ids[] = {3, 4};
         EXT(void(GLenum, GLenum, GLenum, GLsizei, const GLuint*, GLboolean), "glDebugMessageControlARB")(
             0x1100, 0x1100, 0x1100, 2, ids, 1);
         c.Put("ids", static_cast<const void*>(ids));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glDebugMessageControlARB,
                     Bytes().u32(0x1100).u32(0x1100).u32(0x1100).u32(2).u32(r.U32(s, "ids")).u32(1).u32(3).u32(4))};
     }},

    // Vertex shader symbols: the data type an id was generated with sets how many values it carries.
    {"glVariantfvEXT", "glGenSymbolsEXT glVariantfvEXT*2",
     [](CaseContext& c) {
         c.recorder.fake().setResult(c.FakeIndex("glGenSymbolsEXT"), 5, 0);
         EXT(GLuint(GLenum, GLenum, GLenum, GLuint), "glGenSymbolsEXT")(0x87BF, 0x87C1, 2, 0);
         static const GLfloat values[4] = {1.0f, 2.0f, 3.0f, 4.0f};
         auto variant = EXT(void(GLuint, const GLfloat*), "glVariantfvEXT");
         variant(6, values);   // the second id of the range: a vector
         variant(99, values);  // never generated: no values
         c.Put("values", static_cast<const void*>(values));
     },
     [](const Report& r, const std::string& s) -> Records {
         const GLfloat values[4] = {1.0f, 2.0f, 3.0f, 4.0f};
         return {Rec(api::glGenSymbolsEXT, Bytes().u32(0x87BF).u32(0x87C1).u32(2).u32(0).u32(5)),
                 Rec(api::glVariantfvEXT, Bytes().u32(6).u32(r.U32(s, "values")).values(values)),
                 Rec(api::glVariantfvEXT, Bytes().u32(99).u32(r.U32(s, "values")))};
     }},

    // Direct-state-access: the names created, the first value a query returned.
    {"glCreateTextures", "glCreateTextures",
     [](CaseContext& c) {
         static GLuint names[2] = {0, 0};
         const GLuint created[2] = {11, 12};
         c.recorder.fake().setOutput(c.FakeIndex("glCreateTextures"), 8, created, sizeof created);
         EXT(void(GLenum, GLsizei, GLuint*), "glCreateTextures")(0x0DE1, 2, names);
         c.recorder.fake().setOutput(c.FakeIndex("glCreateTextures"), 0, nullptr, 0);
         c.Put("names", static_cast<const void*>(names));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glCreateTextures, Bytes().u32(0x0DE1).u32(2).u32(r.U32(s, "names")).u32(11).u32(12))};
     }},
    {"glGetVertexArrayIndexed64iv", "glGetVertexArrayIndexed64iv",
     [](CaseContext& c) {
         static GLint64 value = 0;
         const GLint64 returned = 0x0000000500000007LL;
         c.recorder.fake().setOutput(c.FakeIndex("glGetVertexArrayIndexed64iv"), 12, &returned, sizeof returned);
         EXT(void(GLuint, GLuint, GLenum, GLint64*), "glGetVertexArrayIndexed64iv")(2, 1, 0x82D2, &value);
         c.recorder.fake().setOutput(c.FakeIndex("glGetVertexArrayIndexed64iv"), 0, nullptr, 0);
         c.Put("value", static_cast<const void*>(&value));
     },
     [](const Report& r, const std::string& s) -> Records {
         return {Rec(api::glGetVertexArrayIndexed64iv,
                     Bytes().u32(2).u32(1).u32(0x82D2).u32(r.U32(s, "value")).u64(0x0000000500000007ULL))};
     }},
    // Outer tessellation levels are four values.
    {"glPatchParameterfvEXT", "glPatchParameterfvEXT",
     [](CaseContext& c) {
         static const GLfloat levels[4] = {1.0f, 2.0f, 3.0f, 4.0f};
         EXT(void(GLenum, const GLfloat*), "glPatchParameterfvEXT")(0x8E74, levels);
         c.Put("levels", static_cast<const void*>(levels));
     },
     [](const Report& r, const std::string& s) -> Records {
         const GLfloat levels[4] = {1.0f, 2.0f, 3.0f, 4.0f};
         return {Rec(api::glPatchParameterfvEXT, Bytes().u32(0x8E74).u32(r.U32(s, "levels")).values(levels))};
     }},
};

#undef GL
#undef EXT

}  // namespace

const std::vector<PayloadCase>& PayloadCases() { return kCases; }

std::string ScopeOf(const char* caseName) {
    std::string scope = caseName;
    for (char& ch : scope)
        if (ch == ' ') ch = '_';
    return scope;
}
