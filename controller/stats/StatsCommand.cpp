// kestrel stats: the figures of a capture file.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "controller/reading/CaptureFileReader.h"
#include "controller/stats/CaptureStatistics.h"
#include "controller/Commands.h"
#include "controller/reading/ReadingCommand.h"
#include "controller/stats/StatsOptions.h"
#include "controller/stats/StatsReport.h"
#include "controller/reading/TextOutput.h"

namespace kestrel {

namespace {
// Thread switches, alias markers and make-current calls are read; 64 bytes cover them all.
constexpr std::uint32_t kStatsPayloadBytes = 64;

// The capture holds raw counter ticks only; without --clock-hz this machine's rate stands in,
// which is right for a capture made here.
StatsReport::Clock ClockOf(const StatsOptions& options) {
    if (options.clockHz != 0) return {options.clockHz, true};
    LARGE_INTEGER frequency{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return {};
    return {static_cast<std::uint64_t>(frequency.QuadPart), false};
}
}  // namespace

int RunStats(const std::vector<std::string>& words) {
    StatsOptions options;
    CaptureFileReader reader;
    if (const std::optional<int> ended = StartReading("stats", words, options, reader)) return *ended;
    reader.SetPayloadLimit(kStatsPayloadBytes);
    CaptureStatistics stats;
    CaptureRecord record;
    while (reader.Next(record)) stats.Add(RecordView::Of(record));

    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
    TextOutput out(stdout);
    StatsReport::Write(out, options.path, reader.form(), stats, options.top, ClockOf(options));
    if (!out.Flush()) {
        ReportError("stats", OutputError(out));
        return kExitCannotOpen;
    }
    return FinishReading("stats", options.path, reader);
}

}  // namespace kestrel
