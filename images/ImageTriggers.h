// When a frame image is due. All arithmetic is unsigned 32-bit, as the settings record holds it.
#pragma once
#include <cstdint>

#include "channel/CaptureSettings.h"

namespace kestrel {

// Whether frame `frame` belongs to the capture: none after its last frame, when it has one.
inline bool FrameCaptured(const CaptureSettings& s, std::uint32_t frame) {
    return s.lastFrame == 0 || frame <= s.lastFrame;
}

// At the end of frame `frame`: never at imageFirstFrame itself, then every imageInterval frames,
// until imageLimit images exist or the capture has ended. Draw mode turns frame mode off.
inline bool FrameImageDue(const CaptureSettings& s, std::uint32_t frame, std::uint32_t imagesTaken) {
    return s.imagesByFrame != 0 && s.imagesByDraw == 0 && frame > s.imageFirstFrame && s.imageInterval != 0 &&
           (frame - s.imageFirstFrame) % s.imageInterval == 0 && imagesTaken < s.imageLimit &&
           FrameCaptured(s, frame);
}

// Final images (what a surface shows at the end of the capture when its last drawing was never
// presented) come with frame images, whatever their interval, first frame or limit; not after the
// capture's last frame.
inline bool FinalImageDue(const CaptureSettings& s, std::uint32_t frame) {
    return s.imagesByFrame != 0 && s.imagesByDraw == 0 && s.imageInterval != 0 && FrameCaptured(s, frame);
}

// After a draw: only in frame 1 and only with imageFirstFrame 0; drawsCounted is the number of
// draws counted before this one.
inline bool DrawImageDue(const CaptureSettings& s, std::uint32_t frame, std::uint32_t drawsCounted) {
    return s.imagesByDraw != 0 && frame == 1 && s.imageFirstFrame == 0 && s.imageInterval != 0 &&
           drawsCounted % s.imageInterval == 0;
}

}  // namespace kestrel
