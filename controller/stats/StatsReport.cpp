#include "controller/stats/StatsReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "controller/reading/ZstdLevelNote.h"
#include "controller/stats/FrameTimes.h"

namespace kestrel {

namespace {
template <class T>
void Values(TextOutput& out, const std::vector<T>& values, bool hex) {
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

void Fixed(TextOutput& out, const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    out << text;
}

// Milliseconds, or ticks when the clock's rate is unknown.
void Time(TextOutput& out, double ticks, std::uint64_t hz) {
    if (hz == 0)
        Fixed(out, "%.0f ticks", ticks);
    else
        Fixed(out, "%.3f ms", ticks * 1000.0 / static_cast<double>(hz));
}

void Share(TextOutput& out, std::uint64_t part, std::uint64_t whole) {
    if (whole == 0)
        out << "     -";
    else
        Fixed(out, "%5.1f%%", 100.0 * static_cast<double>(part) / static_cast<double>(whole));
}

void Duration(TextOutput& out, const CaptureStatistics& stats, const StatsReport::Clock& clock) {
    const double ticks = static_cast<double>(stats.lastTimeStamp()) - static_cast<double>(stats.firstTimeStamp());
    out << "duration     ";
    if (clock.hz == 0) {
        Fixed(out, "%.0f ticks", ticks);
        out << " (the capture records no clock rate and this machine's is unknown; --clock-hz sets it)";
    } else {
        Fixed(out, "%.3f s", ticks / static_cast<double>(clock.hz));
        out << " at ";
        out.Unsigned(clock.hz);
        out << (clock.given ? " ticks/s (--clock-hz)" : " ticks/s, this machine's rate (the capture records none; --clock-hz sets it)");
    }
    out.EndLine();
    out << "time stamps  ";
    out.Signed(stats.firstTimeStamp());
    out << " to ";
    out.Signed(stats.lastTimeStamp());
    out.EndLine();
}

void Frames(TextOutput& out, const CaptureStatistics& stats, std::uint64_t hz) {
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

    if (stats.frames() == 0) {
        out << "frame times  none: no frame was ended by a swap";
        out.EndLine();
        return;
    }
    const FrameTimes times(stats.frameEnds(), StatsReport::kWorstFrames);
    out << "frame times  ";
    if (times.frames() == 0) {
        out << "none from swap to swap: the capture has one frame";
    } else {
        out << "mean ";
        Time(out, times.mean(), hz);
        if (hz != 0 && times.mean() > 0) Fixed(out, " (%.1f frames/s)", static_cast<double>(hz) / times.mean());
        out << ", median ";
        Time(out, times.median(), hz);
        out << ", 95th percentile ";
        Time(out, static_cast<double>(times.Percentile(95)), hz);
        out << ", 99th percentile ";
        Time(out, static_cast<double>(times.Percentile(99)), hz);
        out << " (frames 2 to ";
        out.Unsigned(stats.frames());
        out << ", swap to swap)";
        out.EndLine();
        out << "worst frames ";
        for (std::size_t i = 0; i < times.worst().size(); ++i) {
            out << (i ? ", " : "");
            Time(out, static_cast<double>(times.worst()[i].ticks), hz);
            out << " (frame ";
            out.Unsigned(times.worst()[i].number);
            out << ")";
        }
    }
    out.EndLine();
    out << "first frame  ";
    Time(out, static_cast<double>(TicksBetween(stats.firstTimeStamp(), stats.frameEnds().front())), hz);
    out << " from the start of the capture to the first swap (set-up included; not in the frame times)";
    out.EndLine();
}

std::string LevelName(int level) { return level == kStoredLevel ? "stored" : std::to_string(level); }

// How the file was written: raw, or zstd and the levels the drainer went through as it kept up.
void FileForm(TextOutput& out, const CaptureFileForm& form) {
    out << "file         ";
    if (!form.compressed) {
        Fixed(out, "uncompressed record stream, %.1f MB", static_cast<double>(form.fileBytes) / 1e6);
        out.EndLine();
        return;
    }
    out << "zstd ";
    if (form.levels.empty()) {
        out << "(no levels noted)";
    } else {
        out << "level " << LevelName(form.levels.front());
        if (form.levels.size() > 1) {
            for (std::size_t i = 1; i < form.levels.size() && i <= StatsReport::kListedLevels; ++i)
                out << " -> " << LevelName(form.levels[i]);
            if (form.levels.size() > StatsReport::kListedLevels + 1) out << " -> ...";
            out << " (adaptive: ";
            out.Unsigned(form.levels.size() - 1);
            out << (form.levels.size() == 2 ? " change" : " changes") << ", lowest " << LevelName(*std::min_element(form.levels.begin(), form.levels.end())) << ")";
        }
    }
    Fixed(out, ", %.1f MB", static_cast<double>(form.fileBytes) / 1e6);
    Fixed(out, " for %.1f MB of stream", static_cast<double>(form.streamBytes) / 1e6);
    if (form.fileBytes > 0) Fixed(out, " (%.1fx)", static_cast<double>(form.streamBytes) / static_cast<double>(form.fileBytes));
    out.EndLine();
}

// Most calls first, so that a long list of threads shows the busy ones.
void ThreadCalls(TextOutput& out, const CaptureStatistics& stats) {
    out << "calls by thread:";
    out.EndLine();
    std::vector<CaptureStatistics::ThreadCalls> threads = stats.CallsByThread();
    std::stable_sort(threads.begin(), threads.end(), [](const auto& a, const auto& b) { return a.calls > b.calls; });
    if (stats.calls() == 0) {
        out << "  (no calls)";
        out.EndLine();
        return;
    }
    auto line = [&](std::uint64_t calls) {
        out.Padded(calls, 12);
        out << "  ";
        Share(out, calls, stats.calls());
        out << "  ";
    };
    const std::size_t listed = std::min(threads.size(), StatsReport::kListedValues);
    for (std::size_t i = 0; i < listed; ++i) {
        line(threads[i].calls);
        out << "thread ";
        out.Unsigned(threads[i].thread);
        out.EndLine();
    }
    if (threads.size() > listed) {
        std::uint64_t rest = 0;
        for (std::size_t i = listed; i < threads.size(); ++i) rest += threads[i].calls;
        line(rest);
        out << "in ";
        out.Unsigned(threads.size() - listed);
        out << " more threads";
        out.EndLine();
    }
    if (stats.callsWithoutThread() > 0) {
        line(stats.callsWithoutThread());
        out << "before any thread switch";
        out.EndLine();
    }
}

void Volume(TextOutput& out, const CaptureStatistics& stats) {
    struct Row {
        DataKind kind;
        const char* one;
        const char* many;
    };
    static const Row kRows[] = {
        {DataKind::Calls, "call", "calls"},
        {DataKind::ClientArrays, "block", "blocks"},
        {DataKind::BufferData, "upload", "uploads"},
        {DataKind::TextureData, "upload", "uploads"},
        {DataKind::MappedWrites, "unmap or mapped write", "unmaps and mapped writes"},
        {DataKind::StreamRecords, "record", "records"},
    };
    out << "bytes by kind:";
    out.EndLine();
    for (const Row& row : kRows) {
        const DataVolume::Share& share = stats.volume()[row.kind];
        out.Padded(share.bytes, 12);
        out << "  ";
        Share(out, share.bytes, stats.bytes());
        out << "  " << DataVolume::Name(row.kind) << " (";
        out.Unsigned(share.records);
        out << " " << (share.records == 1 ? row.one : row.many) << ")";
        out.EndLine();
    }
    out.Padded(0, 12);
    out << "       -  frame images (not in the capture: the recorder saves them as PNG files)";
    out.EndLine();
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

void StatsReport::Write(TextOutput& out, const std::string& path, const CaptureFileForm& form,
                        const CaptureStatistics& stats, std::size_t top, const Clock& clock) {
    out << "capture      " << path;
    out.EndLine();
    out << "process      ";
    out.Unsigned(stats.pointerBits());
    out << "-bit";
    out.EndLine();
    FileForm(out, form);
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
    Duration(out, stats, clock);
    Frames(out, stats, clock.hz);
    out << "threads      ";
    Values(out, stats.threads(), false);
    ThreadCalls(out, stats);
    out << "contexts     ";
    Values(out, stats.contexts(), true);
    Volume(out, stats);
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
