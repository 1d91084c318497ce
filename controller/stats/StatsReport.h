// The text of `kestrel stats`: a few labelled lines of figures, the frame times, the calls by
// thread, the bytes by kind of data, then the top functions.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "controller/reading/CaptureFileForm.h"
#include "controller/stats/CaptureStatistics.h"
#include "controller/stats/CounterClock.h"
#include "controller/reading/TextOutput.h"

namespace kestrel {

class StatsReport {
public:
    static constexpr std::size_t kListedValues = 16;  // threads or contexts on their line, threads by calls
    static constexpr std::size_t kWorstFrames = 5;
    static constexpr std::size_t kListedLevels = 8;  // level changes of a compressed file

    // Times are shown in ticks when the clock's rate is unknown (0).
    using Clock = CounterClock;

    static void Write(TextOutput& out, const std::string& path, const CaptureFileForm& form,
                      const CaptureStatistics& stats, std::size_t top, const Clock& clock);
};

}  // namespace kestrel
