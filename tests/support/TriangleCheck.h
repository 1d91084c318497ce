// The check the rendering fixtures make after drawing a yellow triangle over the lower-left half of a
// blue-cleared window: null when the two corner pixels and the error state are right, else what is wrong.
#pragma once
#include <windows.h>
#include <GL/gl.h>

inline const char* CheckYellowTriangleOnBlue(int width, int height) {
    glFinish();
    unsigned char inside[4] = {}, outside[4] = {};
    glReadPixels(4, 4, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, inside);
    glReadPixels(width - 4, height - 4, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, outside);
    if (inside[0] != 255 || inside[1] != 255 || inside[2] != 0) return "triangle colour wrong";
    if (outside[0] != 0 || outside[1] != 0 || outside[2] != 255) return "clear colour wrong";
    if (glGetError() != GL_NO_ERROR) return "GL error";
    return nullptr;
}
