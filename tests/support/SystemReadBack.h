// The read-back functions of the opengl32 this program imports, for using the frame reader outside
// the recorder. The extension functions come from wglGetProcAddress: call it with a context current.
#pragma once
#include "images/ReadBackFunctions.h"

kestrel::ReadBackFunctions SystemReadBackFunctions();
