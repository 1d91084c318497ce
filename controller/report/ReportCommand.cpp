// kestrel report: a capture as one HTML page to look at.
#include <algorithm>
#include <cstdio>

#include "controller/Commands.h"
#include "controller/reading/CaptureFileReader.h"
#include "controller/reading/ReadingCommand.h"
#include "controller/reading/TextOutput.h"
#include "controller/report/CaptureDescription.h"
#include "controller/report/FrameCallLists.h"
#include "controller/report/FrameImageSet.h"
#include "controller/report/FrameLoads.h"
#include "controller/report/FrameSelection.h"
#include "controller/report/ReportOptions.h"
#include "controller/report/ReportPage.h"
#include "controller/stats/CaptureStatistics.h"

namespace kestrel {

namespace {
// The statistics read thread switches, alias markers and make-current calls (64 bytes cover them);
// the opening records need more.
constexpr std::uint32_t kFirstPassBytes = std::max<std::uint32_t>(64, CaptureDescription::kPayloadNeeded);

std::string Damage(const CaptureFileReader& reader) {
    if (reader.Complete()) return {};
    return "The capture is damaged: it was read up to byte " + std::to_string(reader.stopOffset()) + " of " +
           (reader.compressed() ? "its record stream" : std::to_string(reader.fileSize())) + ", after " +
           std::to_string(reader.recordsRead()) + " whole records (" + reader.stopReason() +
           "). Everything on this page comes from those records.";
}
}  // namespace

int RunReport(const std::vector<std::string>& words) {
    ReportOptions options;
    CaptureFileReader reader;
    if (const std::optional<int> ended = StartReading("report", words, options, reader)) return *ended;

    // First the whole capture: its figures and each frame's.
    reader.SetPayloadLimit(kFirstPassBytes);
    CaptureStatistics stats;
    CaptureDescription description;
    FrameLoads loads;
    StreamTracker tracker;
    CaptureRecord record;
    while (reader.Next(record)) {
        const RecordView view = RecordView::Of(record);
        stats.Add(view);
        description.Add(view);
        tracker.Advance(view);
        loads.Add(view, tracker);
    }
    const FrameSelection selection = FrameSelection::Choose(stats.callsPerFrame(), stats.frameEnds(), options.framesGiven,
                                                            options.firstFrame, options.lastFrame);

    // Then the calls of the frames listed, from a second reading that ends after the last of them.
    FrameCallLists lists(selection.frames(), FrameSelection::kFrameCallLimit);
    if (!selection.frames().empty()) {
        CaptureFileReader again;
        std::string error;
        if (!again.Open(options.path, error)) {
            ReportError("report", error);
            return kExitCannotOpen;
        }
        again.SetPayloadLimit(FrameCallLists::PayloadNeeded());
        while (again.Next(record) && lists.Add(RecordView::Of(record))) {
        }
    }

    const std::string pagePath = options.OutputPath();
    FrameImageSet images;
    images.Find(options.path, options.images);
    images.KeepUpTo(stats.frames() + (stats.callsAfterLastSwap() ? 1 : 0));
    ReportContent content;
    content.capturePath = options.path;
    content.pagePath = pagePath;
    content.form = reader.form();
    content.clock = CounterClock::Of(options.clockHz);
    content.damage = Damage(reader);
    content.stats = &stats;
    content.description = &description;
    content.loads = &loads;
    content.images = &images;
    content.selection = &selection;
    content.lists = lists.Finish();
    TextOutput page;
    ReportPage::Write(page, content);

    std::FILE* file = std::fopen(pagePath.c_str(), "wb");
    const bool written = file && std::fwrite(page.text().data(), 1, page.text().size(), file) == page.text().size();
    if (!file || std::fclose(file) != 0 || !written) {
        ReportError("report", "cannot write " + pagePath);
        return kExitCannotOpen;
    }
    std::printf("kestrel: %llu frames, %zu frame images, calls of %zu frames listed (%s), %.1f MB -> %s\n",
                static_cast<unsigned long long>(stats.frames()), images.count(), selection.frames().size(),
                selection.why().c_str(), static_cast<double>(page.text().size()) / 1e6, pagePath.c_str());
    if (images.count() == 0) std::printf("kestrel: frame images: %s\n", images.note().c_str());
    return FinishReading("report", options.path, reader);
}

}  // namespace kestrel
