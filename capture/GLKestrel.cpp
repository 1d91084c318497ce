#include "capture/GLKestrel.h"

namespace kestrel {

GLKestrel::GLKestrel() = default;

GLKestrel::~GLKestrel() = default;

BOOL GLKestrel::FinishCapture() {
    if (!running_) return TRUE;
    OnFrameEnd();
    recordStream_.ReleaseLocksForShutdown();
    running_ = 0;
    OnShutdown();
    return TRUE;
}

}  // namespace kestrel
