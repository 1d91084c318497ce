#include <windows.h>
#include <cstdio>
#include <cstring>

#include "capture/BaseCapturer.h"
#include "capture/TableHash.h"
#include "channel/MessageCode.h"
#include "channel/Register.h"
#include "channel/Registration.h"

namespace kestrel {

namespace {
// The WMI provider host loads every module it can and must never be captured.
bool IsExcludedProcess(const char* path) {
    const char* colon = std::strchr(path, ':');
    if (!colon) return false;
    for (const char* excluded : {":\\windows\\syswow64\\wbem\\wmiprvse.exe", ":\\windows\\system32\\wbem\\wmiprvse.exe"}) {
        if (_stricmp(colon, excluded) == 0) return true;
    }
    return false;
}

std::uint32_t ProvisionalInstanceId() {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%d%d%d", static_cast<int>(created.dwHighDateTime),
                                     static_cast<int>(created.dwLowDateTime), static_cast<int>(GetCurrentProcessId()));
    return TableHash(text, static_cast<std::size_t>(length));
}

// Rings this large would not fit the 32-bit size arithmetic of the ring or the address space.
constexpr std::uint32_t kLargestRingMiB = 1023;
}  // namespace

std::uint32_t BaseCapturer::StartCapture() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
    if (IsExcludedProcess(path)) {
        // Not captured, but its calls must still reach a real library.
        settings_.hookMode = 1;
        BindRealLibrary();
        return 0;
    }

    replyBuffer_ = std::make_unique<std::uint8_t[]>(kReplyBufferSize);
    instanceId_ = ProvisionalInstanceId();

    std::uint32_t result = 1;
    sessionChannel_ = std::make_unique<MessageChannel>();
    if (sessionChannel_->open(MessageChannel::kClient, kSessionChannelName) != 0) result = 0;

    if (result) {
        const Register request = MakeRegister(apiType_, GetCurrentProcessId(), path, this);
        Registration registration{};
        std::uint32_t replySize = 0;
        if (SessionExchange(&request, sizeof request, &replySize) != 0 ||
            ParseRegisterReply(replyBuffer_.get(), replySize, registration) != RegistrationCheck::kAccepted) {
            result = 0;
        } else {
            std::memcpy(captureName_, registration.captureName, sizeof captureName_);
            instanceId_ = registration.instanceId;
            settings_ = registration.settings;
        }
    }
    if (result) result = SetUpStream();
    if (!result) settings_.hookMode = 1;

    BindRealLibrary();
    if (result && stats_.open(captureName_) != 0) result = 0;
    if (result) SetUpFrameImages();
    if (result) {
        char name[kNameSize + 32];
        std::snprintf(name, sizeof name, "%s- %d", kInstanceChannelPrefix, static_cast<int>(instanceId_));
        if (instanceServer_.start(commandHandler_, name) != 0) result = 0;
    }
    if (result) {
        const std::uint8_t ready = kCodeInstanceReady;
        const bool acknowledged = SessionExchange(&ready, 1) == 0 && replyBuffer_[0] == kStatusAccepted;
        if (!acknowledged) result = 0;
        callsInFrame_ = 6;
        OnFrameEnd();
    }
    if (result) threadDepths_.Open(GetCurrentProcessId());

    instanceState_.instanceValue = settings_.instanceValueInit;
    return result;
}

bool BaseCapturer::SetUpStream() {
    if (settings_.ringBufferMiB == 0 || settings_.ringBufferMiB > kLargestRingMiB) return false;
    recordStream_.Init(captureName_, apiType_, settings_.ringBufferMiB << 20);
    // Writes into a ring that could not be opened would all be lost: that is no capture.
    return recordStream_.RingOpen();
}

void BaseCapturer::SetUpFrameImages() {
    // A folder too long for its field turns images off; the capture runs all the same.
    frameImages_ = FrameImageSettings::Create(settings_, captureName_);
}

}  // namespace kestrel
