// When a frame image is due. All arithmetic is unsigned 32-bit, as the settings record holds it.
#pragma once
#include <cstdint>

#include "channel/CaptureSettings.h"

namespace kestrel {

// At the end of frame `frame`: never at imageFirstFrame itself, then every imageInterval frames,
// until imageLimit images exist. Draw mode turns frame mode off.
inline bool FrameImageDue(const CaptureSettings& s, std::uint32_t frame, std::uint32_t imagesTaken) {
    return s.imagesByFrame != 0 && s.imagesByDraw == 0 && frame > s.imageFirstFrame && s.imageInterval != 0 &&
           (frame - s.imageFirstFrame) % s.imageInterval == 0 && imagesTaken < s.imageLimit;
}

// After a draw: only in frame 1 and only with imageFirstFrame 0; drawsCounted is the number of
// draws counted before this one.
inline bool DrawImageDue(const CaptureSettings& s, std::uint32_t frame, std::uint32_t drawsCounted) {
    return s.imagesByDraw != 0 && frame == 1 && s.imageFirstFrame == 0 && s.imageInterval != 0 &&
           drawsCounted % s.imageInterval == 0;
}

}  // namespace kestrel
