// The text of `kestrel stats`: a few labelled lines of figures, then the top functions.
#pragma once
#include <cstddef>
#include <string>

#include "controller/CaptureStatistics.h"
#include "controller/TextOutput.h"

namespace kestrel {

class StatsReport {
public:
    static constexpr std::size_t kListedValues = 16;  // threads or contexts on their line

    static void Write(TextOutput& out, const std::string& path, const CaptureStatistics& stats, std::size_t top);
};

}  // namespace kestrel
