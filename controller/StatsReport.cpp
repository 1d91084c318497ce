#include "controller/StatsReport.h"

#include <cmath>

namespace kestrel {

namespace {
void Values(TextOutput& out, const std::vector<std::uint32_t>& values, bool hex) {
    out.Unsigned(values.size());
    for (std::size_t i = 0; i < values.size() && i < StatsReport::kListedValues; ++i) {
        out << (i ? ", " : ": ");
        if (hex)
            out.Hex(values[i]);
        else
            out.Unsigned(values[i]);
    }
    if (values.size() > StatsReport::kListedValues) out << ", ...";
    out.EndLine();
}

void Median(TextOutput& out, double median) {
    const double whole = std::floor(median);
    out.Unsigned(static_cast<std::uint64_t>(whole));
    if (median != whole) out << ".5";
}

void Functions(TextOutput& out, const char* title, const std::vector<CaptureStatistics::Tally>& tallies, bool byBytes) {
    out << title;
    out.EndLine();
    if (tallies.empty()) {
        out << "  (no calls)";
        out.EndLine();
    }
    for (const CaptureStatistics::Tally& tally : tallies) {
        out.Padded(byBytes ? tally.bytes : tally.count, 12);
        out << "  " << tally.name;
        out.EndLine();
    }
}
}  // namespace

void StatsReport::Write(TextOutput& out, const std::string& path, const CaptureStatistics& stats, std::size_t top) {
    out << "capture      " << path;
    out.EndLine();
    out << "records      ";
    out.Unsigned(stats.records());
    out << " (";
    out.Unsigned(stats.calls());
    out << " calls, ";
    out.Unsigned(stats.records() - stats.calls());
    out << " stream records), ";
    out.Unsigned(stats.bytes());
    out << " bytes";
    out.EndLine();
    out << "time stamps  ";
    out.Signed(stats.firstTimeStamp());
    out << " to ";
    out.Signed(stats.lastTimeStamp());
    out.EndLine();
    out << "frames       ";
    out.Unsigned(stats.frames());
    if (stats.frames() > 0) {
        const CaptureStatistics::Spread spread = stats.CallsPerFrameSpread();
        out << "; calls per frame: min ";
        out.Unsigned(spread.min);
        out << ", median ";
        Median(out, spread.median);
        out << ", max ";
        out.Unsigned(spread.max);
    }
    out << "; ";
    out.Unsigned(stats.callsAfterLastSwap());
    out << (stats.frames() > 0 ? " calls after the last swap" : " calls and no swap");
    out.EndLine();
    out << "threads      ";
    Values(out, stats.threads(), false);
    out << "contexts     ";
    Values(out, stats.contexts(), true);
    out << "stream records:";
    out.EndLine();
    for (const CaptureStatistics::Tally& tally : stats.streamRecords()) {
        out.Padded(tally.count, 12);
        out << "  " << tally.name << " (";
        out.Unsigned(tally.bytes);
        out << " bytes)";
        out.EndLine();
    }
    Functions(out, "top functions by count:", stats.TopByCount(top), false);
    Functions(out, "top functions by bytes:", stats.TopByBytes(top), true);
}

}  // namespace kestrel
