// The settings record the controlling process hands over in its registration reply. Bytes this
// recorder does not read are carried unchanged.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kestrel {

#pragma pack(push, 1)
struct CaptureSettings {
    static constexpr std::uint32_t kFolderSize = 260;

    std::uint32_t hookMode;  // 0: the real library is "OpenGL32.dll", otherwise "OpenGL32-orig.dll"
    std::uint32_t ringBufferMiB;
    std::uint32_t frameRateLimit;
    std::uint32_t unread12;
    std::uint32_t imagesByFrame;
    std::uint32_t imagesByDraw;
    std::uint32_t instanceValueInit;
    std::uint32_t unread28;
    std::uint32_t imageInterval;
    std::uint32_t imageFirstFrame;
    std::uint32_t imageLimit;
    // The capture's last frame (--stop-after-frames), 0 for none: the controlling process keeps no
    // record after it, so the recorder takes no image of a later frame.
    std::uint32_t lastFrame;
    char imageFolder[kFolderSize];  // NUL-terminated
    std::uint8_t unread308[540];
};
#pragma pack(pop)

static_assert(offsetof(CaptureSettings, hookMode) == 0);
static_assert(offsetof(CaptureSettings, ringBufferMiB) == 4);
static_assert(offsetof(CaptureSettings, frameRateLimit) == 8);
static_assert(offsetof(CaptureSettings, imagesByFrame) == 16);
static_assert(offsetof(CaptureSettings, imagesByDraw) == 20);
static_assert(offsetof(CaptureSettings, instanceValueInit) == 24);
static_assert(offsetof(CaptureSettings, imageInterval) == 32);
static_assert(offsetof(CaptureSettings, imageFirstFrame) == 36);
static_assert(offsetof(CaptureSettings, imageLimit) == 40);
static_assert(offsetof(CaptureSettings, lastFrame) == 44);
static_assert(offsetof(CaptureSettings, imageFolder) == 48);
static_assert(sizeof(CaptureSettings) == 848);

}  // namespace kestrel
