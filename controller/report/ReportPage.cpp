#include "controller/report/ReportPage.h"

#include "controller/stats/FrameTimes.h"
#include "controller/stats/StatsReport.h"
#include "controller/report/PageJson.h"
#include "environment/ApiTypeName.h"
#include "gen/ReportPageTemplate.h"

namespace kestrel {

namespace {
constexpr std::string_view kDataMark = "/*REPORT-DATA*/";

template <class T, class Write>
void Array(TextOutput& out, const std::vector<T>& values, Write write) {
    out << '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) out << ',';
        write(values[i]);
    }
    out << ']';
}

void Tallies(TextOutput& out, const std::vector<CaptureStatistics::Tally>& tallies) {
    Array(out, tallies, [&](const CaptureStatistics::Tally& tally) {
        out << '[';
        PageJsonString(out, tally.name);
        out << ',';
        out.Unsigned(tally.count);
        out << ',';
        out.Unsigned(tally.bytes);
        out << ']';
    });
}

void Key(TextOutput& out, const char* name) { out << ",\"" << name << "\":"; }

void Frames(TextOutput& out, const ReportContent& c) {
    const CaptureStatistics& stats = *c.stats;
    const std::vector<std::int64_t>& ends = stats.frameEnds();
    out << "{\"ticks\":[";
    for (std::size_t i = 0; i < ends.size(); ++i) {
        if (i) out << ',';
        out.Signed(TicksBetween(i ? ends[i - 1] : stats.firstTimeStamp(), ends[i]));
    }
    out << "],\"calls\":";
    Array(out, stats.callsPerFrame(), [&](std::uint64_t n) { out.Unsigned(n); });
    // The loads also count the records after the last swap: only finished frames are shown.
    out << ",\"draws\":[";
    for (std::size_t i = 0; i < ends.size(); ++i) {
        if (i) out << ',';
        out.Unsigned(i < c.loads->draws().size() ? c.loads->draws()[i] : 0);
    }
    out << "],\"bytes\":[";
    for (std::size_t i = 0; i < ends.size(); ++i) {
        if (i) out << ',';
        out.Unsigned(i < c.loads->bytes().size() ? c.loads->bytes()[i] : 0);
    }
    out << "]}";
    const FrameTimes times(ends, 0);
    out << ",\"times\":{\"frames\":";
    out.Unsigned(times.frames());
    out << ",\"median\":";
    out.Double(times.median());
    out << ",\"mean\":";
    out.Double(times.mean());
    out << ",\"p95\":";
    out.Signed(times.Percentile(95));
    out << ",\"p99\":";
    out.Signed(times.Percentile(99));
    out << '}';
}

void Data(TextOutput& out, const ReportContent& c) {
    const CaptureStatistics& stats = *c.stats;
    out << "{\"capture\":";
    PageJsonString(out, c.capturePath);
    Key(out, "hz");
    out.Unsigned(c.clock.hz);
    Key(out, "hzGiven");
    out << (c.clock.given ? "true" : "false");
    Key(out, "damage");
    if (c.damage.empty())
        out << "null";
    else
        PageJsonString(out, c.damage);
    Key(out, "system");
    PageJsonString(out, c.description->system());
    Key(out, "apiType");
    PageJsonString(out, c.description->hasApiType() ? ApiTypeNameOf(c.description->apiType()) : "");
    Key(out, "pointerBits");
    out.Unsigned(c.description->pointerBits());
    Key(out, "fileBytes");
    out.Unsigned(c.form.fileBytes);
    Key(out, "compressed");
    out << (c.form.compressed ? "true" : "false");
    Key(out, "records");
    out.Unsigned(stats.records());
    Key(out, "calls");
    out.Unsigned(stats.calls());
    Key(out, "bytes");
    out.Unsigned(stats.bytes());
    Key(out, "duration");
    out.Signed(TicksBetween(stats.firstTimeStamp(), stats.lastTimeStamp()));
    Key(out, "afterLastSwap");
    out.Unsigned(stats.callsAfterLastSwap());
    Key(out, "frames");
    Frames(out, c);

    Key(out, "kinds");
    out << '[';
    for (std::size_t k = 0; k < kDataKinds; ++k) {
        const DataVolume::Share& share = stats.volume()[static_cast<DataKind>(k)];
        out << (k ? ",[" : "[");
        PageJsonString(out, DataVolume::Name(static_cast<DataKind>(k)));
        out << ',';
        out.Unsigned(share.records);
        out << ',';
        out.Unsigned(share.bytes);
        out << ']';
    }
    out << ']';
    Key(out, "threads");
    Array(out, stats.CallsByThread(), [&](const CaptureStatistics::ThreadCalls& thread) {
        out << '[';
        out.Unsigned(thread.thread);
        out << ',';
        out.Unsigned(thread.calls);
        out << ']';
    });
    Key(out, "callsWithoutThread");
    out.Unsigned(stats.callsWithoutThread());
    Key(out, "contexts");
    Array(out, stats.contexts(), [&](std::uint32_t context) { out.Unsigned(context); });
    Key(out, "topCount");
    Tallies(out, stats.TopByCount(ReportPage::kTopFunctions));
    Key(out, "topBytes");
    Tallies(out, stats.TopByBytes(ReportPage::kTopFunctions));
    Key(out, "streamRecords");
    Tallies(out, stats.streamRecords());

    // The whole of what `kestrel stats` prints for the capture, as it prints it.
    TextOutput text;
    StatsReport::Write(text, c.capturePath, c.form, stats, ReportPage::kTopFunctions, c.clock);
    Key(out, "statsText");
    PageJsonString(out, text.text());

    Key(out, "images");
    c.images->WriteJson(out, c.pagePath);
    Key(out, "listed");
    out << "{\"why\":";
    PageJsonString(out, c.selection->why());
    out << ",\"frames\":";
    Array(out, c.selection->frames(), [&](std::uint64_t frame) { out.Unsigned(frame); });
    out << ",\"frameCallLimit\":";
    out.Unsigned(FrameSelection::kFrameCallLimit);
    out << ",\"callBudget\":";
    out.Unsigned(FrameSelection::kCallBudget);
    out << '}';
    Key(out, "lists");
    out << c.lists << '}';
}
}  // namespace

void ReportPage::Write(TextOutput& out, const ReportContent& content) {
    const std::string_view page(kReportPageTemplate, sizeof kReportPageTemplate - 1);
    const std::size_t mark = page.find(kDataMark);
    out << page.substr(0, mark);
    Data(out, content);
    if (mark != std::string_view::npos) out << page.substr(mark + kDataMark.size());
}

}  // namespace kestrel
