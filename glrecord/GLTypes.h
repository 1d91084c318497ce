// The OpenGL, wgl and GLX type names of the generated recorders, in a namespace of their own so that
// they never clash with <GL/gl.h> or <GL/glext.h> in the same translation unit. codegen/types.txt lists
// the same types with their stack sizes and payload widths; the generated API table checks the sizes.
// The capture format describes a 32-bit process: pointers, handles and pointer-sized integers are 4 bytes.
#pragma once
#include <windows.h>
#include <cstdint>

namespace kgl {

using GLenum = unsigned int;
using GLboolean = unsigned char;
using GLbitfield = unsigned int;
using GLbyte = signed char;
using GLubyte = unsigned char;
using GLchar = char;
using GLcharARB = char;
using GLshort = short;
using GLushort = unsigned short;
using GLhalfNV = unsigned short;
using GLint = int;
using GLuint = unsigned int;
using GLsizei = int;
using GLfloat = float;
using GLclampf = float;
using GLdouble = double;
using GLclampd = double;
using GLintptr = std::intptr_t;
using GLintptrARB = std::intptr_t;
using GLsizeiptr = std::intptr_t;
using GLsizeiptrARB = std::intptr_t;
using GLvdpauSurfaceNV = GLintptr;
using GLint64 = std::int64_t;
using GLint64EXT = std::int64_t;
using GLuint64 = std::uint64_t;
using GLuint64EXT = std::uint64_t;
using GLhandleARB = unsigned int;
using GLsync = struct GLsyncObject*;

using GLDEBUGPROC = void(__stdcall*)(GLenum source, GLenum type, GLuint id, GLenum severity, GLsizei length,
                                     const GLchar* message, const void* userParam);
using GLDEBUGPROCARB = GLDEBUGPROC;
using GLDEBUGPROCAMD = void(__stdcall*)(GLuint id, GLenum category, GLenum severity, GLsizei length,
                                        const GLchar* message, void* userParam);

// Windows: the system's own types, and the handles of the wgl extensions.
using ::BOOL;
using ::COLORREF;
using ::DWORD;
using ::FLOAT;
using ::HANDLE;
using ::HDC;
using ::HGLRC;
using ::INT;
using ::INT32;
using ::INT64;
using ::LAYERPLANEDESCRIPTOR;
using ::LPCSTR;
using ::LPGLYPHMETRICSFLOAT;
using ::LPPIXELFORMATDESCRIPTOR;
using ::LPVOID;
using ::PIXELFORMATDESCRIPTOR;
using ::PROC;
using ::UINT;
using ::USHORT;
using ::WGLSWAP;
using HPBUFFERARB = struct HPBUFFERARBHandle*;
using HPBUFFEREXT = struct HPBUFFEREXTHandle*;

// X11 and GLX, for the glX entry points of the table: never called on Windows, but exported.
struct Display;
struct XVisualInfo;
struct DMparams;
using Bool = int;
using Status = int;
using XID = unsigned long;
using Colormap = XID;
using Pixmap = XID;
using Window = XID;
using GLXDrawable = XID;
using GLXContextID = XID;
using GLXPixmap = XID;
using GLXPbufferSGIX = XID;
using GLXVideoSourceSGIX = XID;
using GLXContext = struct GLXContextRecord*;
using GLXFBConfig = struct GLXFBConfigRecord*;
using GLXFBConfigSGIX = GLXFBConfig;
using DMbuffer = struct DMbufferRecord*;
using VLServer = struct VLServerRecord*;
using VLPath = int;
using VLNode = int;
using GLXextFuncPtr = void (*)();

// OpenCL objects of the sync-from-event entry point.
struct cl_context_struct;
struct cl_event_struct;

static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "the recorder is a 32-bit or a 64-bit library");

}  // namespace kgl
