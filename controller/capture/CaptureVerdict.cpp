#include "controller/capture/CaptureVerdict.h"

namespace kestrel {

CaptureVerdict JudgeCapture(const CaptureFacts& facts, const std::string& application) {
    CaptureVerdict verdict;
    if (facts.registered && facts.started && facts.wroteRecords) {
        verdict.captured = true;
        return verdict;
    }
    if (facts.registered) {
        verdict.exitCode = kCaptureNotStartedExit;
        verdict.message = "the recorder registered, but its capture could not start";
        // The ring is the largest thing start-up maps: ring and unwrap area in one piece.
        if (!facts.wroteRecords)
            verdict.message += ": the program could not map the " + std::to_string(facts.ringMiB) +
                               " MiB ring (" + std::to_string(2 * facts.ringMiB) +
                               " MiB in one piece of its 32-bit address space); try a smaller --ring-mib";
        verdict.message += "; the program ran uncaptured";
        return verdict;
    }
    if (facts.recorderLoaded) {
        verdict.exitCode = kNoOpenGLCallExit;
        verdict.message = application + " ended before its first OpenGL call; nothing captured";
        return verdict;
    }
    verdict.exitCode = kRecorderNeverLoadedExit;
    verdict.message = application + " never loaded opengl32.dll, so the recorder was never loaded; nothing captured";
    return verdict;
}

}  // namespace kestrel
