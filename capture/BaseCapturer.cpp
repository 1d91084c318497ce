#include "capture/BaseCapturer.h"

#include "channel/InstanceLinks.h"
#include "channel/MessageCode.h"
#include "images/ImageTriggers.h"
#include "interposer/SpinWord.h"

namespace kestrel {

BaseCapturer::BaseCapturer() {
    instanceState_.capturerAddress = reinterpret_cast<Address>(this);
}

// In this order: session channel, reply buffer, frame images, thread-depth table, instance channel
// server, linked instances, statistics blocks; the record stream goes last with the members.
BaseCapturer::~BaseCapturer() {
    sessionChannel_.reset();
    replyBuffer_.reset();
    frameImages_.reset();
    threadDepths_.Close();
    instanceServer_.stop();
    instanceState_.linkList.clear();
    stats_.close();
}

void BaseCapturer::OnFrameEnd() {
    if (!stats_.header()) return;
    StatsCounters counters = statsWords_;
    counters.frame = frameNumber_;
    counters.calls = callsInFrame_;
    stats_.publishStatistics(counters);
}

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

void BaseCapturer::EnterRunning() {
    if (threadDepths_.enter(CurrentThreadId()) == 1) OnOutermostEnter();
}

bool BaseCapturer::ShouldRecordRunning() {
    if (threadDepths_.depth(CurrentThreadId()) > 1) return false;
    ++callsInFrame_;
    return true;
}

bool BaseCapturer::ShouldRecordOrLeave() {
    if (running_ && threadDepths_.depth(CurrentThreadId()) < 2) {
        ++callsInFrame_;
        return false;
    }
    EnsureStarted();
    if (running_) threadDepths_.leave(CurrentThreadId());
    return true;
}

void BaseCapturer::LeaveRunning() {
    // Only this thread changes its own entry: one lookup serves the test and the step down.
    ThreadDepthEntry* entry = threadDepths_.entry(CurrentThreadId());
    if (entry->depth == 1) OnOutermostLeave();
    --entry->depth;
}

std::uint32_t BaseCapturer::SessionExchange(const void* request, std::uint32_t size, std::uint32_t* replySize) {
    if (!sessionChannel_ || !replyBuffer_) return 2;
    std::uint32_t got = 0;
    const std::uint32_t result = sessionChannel_->exchange(request, size, instanceId_, replyBuffer_.get(), &got);
    if (replySize) *replySize = got;
    return result;
}

BOOL BaseCapturer::FinishCapture() {
    if (!running_) return TRUE;
    // Only capturers of this process can be linked; any other address is not followed.
    DetachLinkedInstances(instanceState_, [this](Address address) -> InstanceState* {
        return address == instanceState_.capturerAddress ? &instanceState_ : nullptr;
    });
    if (callsInFrame_ == 0) --frameNumber_;  // the frame that was begun holds no call
    OnFrameEnd();
    // Threads that held the stream's locks may have been ended with the process.
    recordStream_.ReleaseLocksForShutdown();
    running_ = 0;
    OnShutdown();
    const std::uint8_t finished = kCodeInstanceFinished;
    if (SessionExchange(&finished, 1) != 0) return FALSE;
    return replyBuffer_[0] == kStatusAccepted ? TRUE : FALSE;
}

void BaseCapturer::EndFrame(const FramePixels& frame) {
    pacer_.Pace(settings_.frameRateLimit);
    // The pixels were read before the real swap, when this frame's image was due.
    if (frame && SaveFrameImage(frame)) ++imagesTaken_;
    ++frameNumber_;
    callsInFrame_ = 0;
    OnFrameEnd();
}

bool BaseCapturer::FrameImageDue() const {
    return frameImages_ && kestrel::FrameImageDue(settings_, frameNumber_, imagesTaken_);
}

bool BaseCapturer::DrawImageDue() const {
    return frameImages_ && kestrel::DrawImageDue(settings_, frameNumber_, imagesTaken_);
}

bool BaseCapturer::SaveFrameImage(const FramePixels& frame) {
    if (!frameImages_ || !frameImages_->Step(frameNumber_, frame.top, frame.stride)) return false;
    OnImageSaved();
    return true;
}

}  // namespace kestrel
