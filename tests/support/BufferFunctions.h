// The buffer-object entry points a GL 1.5 program asks wglGetProcAddress for, with a current context.
#pragma once
#include <windows.h>
#include <GL/gl.h>
#include <cstddef>

struct BufferFunctions {
    void(WINAPI* genBuffers)(GLsizei, GLuint*);
    void(WINAPI* bindBuffer)(GLenum, GLuint);
    void(WINAPI* bufferData)(GLenum, std::ptrdiff_t, const void*, GLenum);
    void(WINAPI* bufferSubData)(GLenum, std::ptrdiff_t, std::ptrdiff_t, const void*);

    BufferFunctions()
        : genBuffers(Get<decltype(genBuffers)>("glGenBuffers")),
          bindBuffer(Get<decltype(bindBuffer)>("glBindBuffer")),
          bufferData(Get<decltype(bufferData)>("glBufferData")),
          bufferSubData(Get<decltype(bufferSubData)>("glBufferSubData")) {}
    bool ok() const { return genBuffers && bindBuffer && bufferData && bufferSubData; }

    // A new buffer bound to the array-buffer target.
    GLuint NewArrayBuffer() const {
        GLuint buffer = 0;
        genBuffers(1, &buffer);
        bindBuffer(0x8892, buffer);
        return buffer;
    }

private:
    template <class Fn>
    static Fn Get(const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(wglGetProcAddress(name)));
    }
};
