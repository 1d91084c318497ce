// The text of `kestrel stats`: a few labelled lines of figures, the frame times, the calls by
// thread, the bytes by kind of data, then the top functions.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "controller/reading/CaptureFileForm.h"
#include "controller/stats/CaptureStatistics.h"
#include "controller/reading/TextOutput.h"

namespace kestrel {

class StatsReport {
public:
    static constexpr std::size_t kListedValues = 16;  // threads or contexts on their line, threads by calls
    static constexpr std::size_t kWorstFrames = 5;
    static constexpr std::size_t kListedLevels = 8;  // level changes of a compressed file

    // The rate of the time stamps, which the capture does not record: given by the user, or this
    // machine's (0 when unknown, and times are then shown in ticks).
    struct Clock {
        std::uint64_t hz = 0;
        bool given = false;
    };

    static void Write(TextOutput& out, const std::string& path, const CaptureFileForm& form,
                      const CaptureStatistics& stats, std::size_t top, const Clock& clock);
};

}  // namespace kestrel
