// The concrete capturer: the recorders that keep state across calls override the generated ones.
#pragma once
#include "capture/GLBaseCapturer.h"

namespace kestrel {

class GLKestrel final : public GLBaseCapturer {
public:
    GLKestrel();
    ~GLKestrel() override;

    // Process detach: finishes the capture; returns the entry routine's result.
    BOOL FinishCapture();
};

// The one capturer of the process.
extern GLKestrel g_kestrel;

}  // namespace kestrel
