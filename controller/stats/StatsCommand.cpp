// kestrel stats: the figures of a capture file.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "controller/reading/CaptureFileReader.h"
#include "controller/stats/CaptureStatistics.h"
#include "controller/stats/CounterClock.h"
#include "controller/Commands.h"
#include "controller/reading/ReadingCommand.h"
#include "controller/stats/StatsOptions.h"
#include "controller/stats/StatsReport.h"
#include "controller/reading/TextOutput.h"

namespace kestrel {

namespace {
// Thread switches, alias markers and make-current calls are read; 64 bytes cover them all.
constexpr std::uint32_t kStatsPayloadBytes = 64;
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
    StatsReport::Write(out, options.path, reader.form(), stats, options.top, CounterClock::Of(options.clockHz));
    if (!out.Flush()) {
        ReportError("stats", OutputError(out));
        return kExitCannotOpen;
    }
    return FinishReading("stats", options.path, reader);
}

}  // namespace kestrel
