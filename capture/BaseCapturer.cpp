#include "capture/BaseCapturer.h"

#include "interposer/SpinWord.h"

namespace kestrel {

BaseCapturer::BaseCapturer() = default;

BaseCapturer::~BaseCapturer() = default;

void BaseCapturer::OnFrameEnd() {}

void BaseCapturer::OnOutermostEnter() { recordStream_.AcquireLock(); }

void BaseCapturer::OnOutermostLeave() { recordStream_.ReleaseLock(); }

void BaseCapturer::StartOnce() {
    AcquireSpinWord(&startLock_);
    if (startedOnce_ == 0) {
        running_ = StartCapture();
        InterlockedExchange(reinterpret_cast<volatile LONG*>(&startedOnce_), 1);
    }
    ReleaseSpinWord(&startLock_);
}

void BaseCapturer::EnterCall() {
    EnsureStarted();
    if (!running_) return;
    if (threadDepths_.enter(GetCurrentThreadId()) == 1) OnOutermostEnter();
}

bool BaseCapturer::ShouldRecord() {
    if (!running_ || threadDepths_.depth(GetCurrentThreadId()) > 1) return false;
    ++callsInFrame_;
    return true;
}

bool BaseCapturer::ShouldRecordOrLeave() {
    if (running_ && threadDepths_.depth(GetCurrentThreadId()) < 2) {
        ++callsInFrame_;
        return false;
    }
    EnsureStarted();
    if (running_) threadDepths_.leave(GetCurrentThreadId());
    return true;
}

void BaseCapturer::LeaveCall() {
    if (!running_) return;
    const DWORD thread = GetCurrentThreadId();
    if (threadDepths_.depth(thread) == 1) OnOutermostLeave();
    threadDepths_.leave(thread);
}

}  // namespace kestrel
