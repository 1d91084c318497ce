// The capturer state that does not depend on the graphics interface, and the call gate every
// exported entry point runs through.
#pragma once
#include <windows.h>
#include <cstdint>
#include <map>
#include <memory>

#include "capture/FramePacer.h"
#include "channel/CaptureSettings.h"
#include "channel/ChannelServerThread.h"
#include "channel/InstanceCommandHandler.h"
#include "channel/InstanceState.h"
#include "channel/MessageChannel.h"
#include "channel/StatsChannel.h"
#include "images/FrameImageSettings.h"
#include "images/FramePixels.h"
#include "interposer/ThreadDepthTable.h"
#include "interposer/ThreadEnvironment.h"
#include "stream/CaptureStream.h"

namespace kestrel {

class BaseCapturer {
public:
    static constexpr const char* kSessionChannelName = "Local\\TRK_CaptureSessionMemory";
    static constexpr const char* kInstanceChannelPrefix = "Local\\TRK_CaptureInstanceMemory";
    static constexpr std::uint32_t kReplyBufferSize = 4096;
    static constexpr std::uint32_t kNameSize = 260;

    BaseCapturer();
    virtual ~BaseCapturer();                                            // slot 0
    BaseCapturer(const BaseCapturer&) = delete;
    BaseCapturer& operator=(const BaseCapturer&) = delete;

    // Virtual operations in their slot order; the unnamed hooks are kept for the layout only.
    virtual void OnFrameEnd();                                          // 1
    virtual std::uint32_t Hook2(std::uint32_t, std::uint32_t, std::uint32_t) { return 0; }
    virtual std::uint32_t Hook3(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) { return 0; }
    virtual void OnImageSaved() {}                                      // 4
    virtual std::uint32_t Hook5() { return 0; }
    virtual std::uint32_t Hook6() { return 0; }
    virtual std::uint32_t Hook7() { return 0; }
    virtual void Hook8(std::uint32_t) {}
    virtual std::uint32_t Hook9(std::uint32_t) { return 1; }
    virtual std::uint32_t Hook10(std::uint32_t, std::uint32_t) { return 1; }
    virtual void OnOutermostEnter();                                    // 11
    virtual void OnOutermostLeave();                                    // 12
    virtual std::uint32_t Hook13(std::uint32_t, std::uint32_t) { return 0; }
    virtual void Hook14(std::uint32_t, std::uint32_t) {}
    virtual void Hook15(std::uint32_t) {}
    virtual void Hook16() {}
    virtual void Hook17(std::uint32_t) {}
    virtual std::uint32_t Hook18(std::uint32_t) { return 0; }
    virtual std::uint32_t BindRealLibrary() = 0;                        // 19
    virtual std::uint32_t OnShutdown() = 0;                             // 20
    virtual std::uint32_t BeginRecord(std::uint32_t apiId, std::uint32_t payloadSize) = 0;  // 21
    virtual std::uint32_t WriteData(std::uint32_t size, const void* data) = 0;             // 22

    // The call gate.
    __attribute__((always_inline)) void EnsureStarted() {
        // Double-checked: after start-up the per-call cost is one acquire load, not a spin word.
        if (__atomic_load_n(&startedOnce_, __ATOMIC_ACQUIRE) == 0) StartOnce();
    }
    // Without a capture the gate only forwards; the checks for that stay inline on every call.
    __attribute__((always_inline)) void EnterCall() {
        EnsureStarted();
        if (running_) EnterRunning();
    }
    __attribute__((always_inline)) bool ShouldRecord() { return running_ && ShouldRecordRunning(); }
    bool ShouldRecordOrLeave();
    // True once start-up has run a capture: an interceptor's first test, one load. Acquire, so that
    // what start-up set up is seen by the recording that follows.
    __attribute__((always_inline)) bool Recording() const { return __atomic_load_n(&running_, __ATOMIC_ACQUIRE) != 0; }
    // True when start-up has run and no capture runs: the call is only forwarded.
    __attribute__((always_inline)) bool ForwardingOnly() {
        EnsureStarted();
        return running_ == 0;
    }
    __attribute__((always_inline)) void LeaveCall() {
        if (running_) LeaveRunning();
    }

    // Process detach: finishes a running capture and reports it; the entry routine's result.
    BOOL FinishCapture();

    bool running() const { return running_ != 0; }
    std::uint32_t callsInFrame() const { return callsInFrame_; }
    std::uint32_t frameNumber() const { return frameNumber_; }
    std::uint32_t apiType() const { return apiType_; }
    std::uint32_t hookMode() const { return settings_.hookMode; }
    std::uint32_t instanceId() const { return instanceId_; }
    std::uint32_t imagesTaken() const { return imagesTaken_; }
    const FrameImageSettings* frameImages() const { return frameImages_.get(); }
    const char* captureName() const { return captureName_; }
    const CaptureSettings& settings() const { return settings_; }
    const InstanceState& instanceState() const { return instanceState_; }
    ThreadDepthTable& threadDepths() { return threadDepths_; }
    CaptureStream& recordStream() { return recordStream_; }

protected:
    // Capture start-up, run once by the first gated call; returns 1 when the capture runs.
    std::uint32_t StartCapture();
    // The frame boundary of a recorded swap, after its record: pacing, the frame image of the pixels
    // read before the real swap (if any), counters.
    void EndFrame(const FramePixels& frame);
    // True on the outermost call of a thread while a capture runs: the call will be recorded.
    bool OutermostRunning() { return running_ && threadDepths_.depth(CurrentThreadId()) < 2; }
    // The triggers, for the frame being recorded; false while images are off.
    bool FrameImageDue() const;
    bool DrawImageDue() const;
    // The frame-image step for read-back pixels, then OnImageSaved; true when the pixels were taken.
    bool SaveFrameImage(const FramePixels& frame);

    std::uint32_t apiType_ = 0;
    volatile std::uint32_t running_ = 0;
    volatile std::uint32_t startedOnce_ = 0;
    volatile std::uint32_t startLock_ = 0;
    std::uint32_t callsInFrame_ = 0;
    std::uint32_t frameNumber_ = 1;
    std::uint32_t lastRecordedThread_ = 0;
    StatsCounters statsWords_{};  // the further counters and the status byte that every publish carries

    std::uint32_t instanceId_ = 0;
    char captureName_[kNameSize] = {};
    CaptureSettings settings_{};
    std::unique_ptr<std::uint8_t[]> replyBuffer_;

    TickSource ticks_;
    FramePacer pacer_{ticks_};
    std::uint32_t imagesTaken_ = 0;
    std::unique_ptr<FrameImageSettings> frameImages_;  // none until prepared, or when the folder does not fit

    std::unique_ptr<MessageChannel> sessionChannel_;
    InstanceState instanceState_;
    InstanceCommandHandler commandHandler_{instanceState_};
    ChannelServerThread instanceServer_;
    StatsChannel stats_;
    ThreadDepthTable threadDepths_;
    CaptureStream recordStream_;

private:
    void StartOnce();
    void EnterRunning();
    bool ShouldRecordRunning();
    void LeaveRunning();
    // One request and its reply on the session channel, tagged with the instance id; 0 when both went
    // through. The reply lands in replyBuffer_.
    std::uint32_t SessionExchange(const void* request, std::uint32_t size, std::uint32_t* replySize = nullptr);
    bool SetUpStream();
    void SetUpFrameImages();
};

}  // namespace kestrel
