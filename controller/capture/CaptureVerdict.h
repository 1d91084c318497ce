// Whether a run of `kestrel capture` captured the program, and what to tell the user when it did
// not. A run that captured nothing never ends as if it had: it has an exit code of its own.
#pragma once
#include <cstdint>
#include <string>

namespace kestrel {

// Exit codes of kestrel capture when the program was not captured (its own code is said instead).
enum NotCapturedExit : int {
    kRecorderNeverLoadedExit = 70,  // the program never loaded opengl32.dll
    kNoOpenGLCallExit = 71,         // it loaded the recorder but ended before its first OpenGL call
    kCaptureNotStartedExit = 72,    // the recorder registered, but its capture could not start
};

struct CaptureFacts {
    bool recorderLoaded = false;  // seen in the program, or imported by it
    bool registered = false;      // the recorder registered on the session channel
    bool started = false;         // the recorder reported its capture ready
    bool wroteRecords = false;    // the opening records reached the ring
    std::uint32_t ringMiB = 0;
};

struct CaptureVerdict {
    bool captured = false;
    int exitCode = 0;      // kestrel's own code when not captured
    std::string message;   // why not, in one line
};

CaptureVerdict JudgeCapture(const CaptureFacts& facts, const std::string& application);

}  // namespace kestrel
