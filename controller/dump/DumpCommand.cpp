// kestrel dump: one line per record of a capture file, or the capture as a trace-event file.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "controller/reading/CaptureFileReader.h"
#include "controller/Commands.h"
#include "controller/dump/ChromeTraceWriter.h"
#include "controller/dump/DumpOptions.h"
#include "controller/reading/ReadingCommand.h"
#include "controller/dump/RecordDumper.h"
#include "controller/reading/TextOutput.h"

namespace kestrel {

namespace {
int WriteChromeTrace(const DumpOptions& options, CaptureFileReader& reader) {
    std::FILE* file = std::fopen(options.chromeTrace.c_str(), "wb");
    if (!file) {
        ReportError("dump", "cannot write " + options.chromeTrace);
        return kExitCannotOpen;
    }
    // The capture holds counter ticks only; this machine's rate stands in, right for a capture made here.
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    TextOutput out(file);
    ChromeTraceWriter trace(out, static_cast<double>(frequency.QuadPart));
    StreamTracker tracker;
    CaptureRecord record;
    while (!out.failed() && reader.Next(record)) {
        const RecordView view = RecordView::Of(record);
        tracker.Advance(view);
        trace.Add(view, tracker);
    }
    trace.Finish();
    const bool written = out.Flush() && std::fclose(file) == 0;
    if (!written) {
        ReportError("dump", "writing " + options.chromeTrace + " failed");
        return kExitCannotOpen;
    }
    std::printf("kestrel: %llu frames, %u threads, %llu call events%s -> %s\n",
                static_cast<unsigned long long>(trace.frames()), static_cast<unsigned>(trace.threads()),
                static_cast<unsigned long long>(trace.callEvents()), trace.capped() ? " (capped)" : "",
                options.chromeTrace.c_str());
    return FinishReading("dump", options.path, reader);
}
}  // namespace

int RunDump(const std::vector<std::string>& words) {
    DumpOptions options;
    CaptureFileReader reader;
    if (const std::optional<int> ended = StartReading("dump", words, options, reader)) return *ended;
    if (!options.chromeTrace.empty()) {
        reader.SetPayloadLimit(64);  // thread switches and alias markers are all it reads
        return WriteChromeTrace(options, reader);
    }
    reader.SetPayloadLimit(RecordDumper::PayloadNeeded(options));
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);  // lines end in \n alone, as the text is built
    TextOutput out(stdout);
    RecordDumper dumper(options, out);
    CaptureRecord record;
    bool pastLastFrame = false;
    while (!out.failed() && reader.Next(record)) {
        if (!dumper.Add(RecordView::Of(record))) {
            pastLastFrame = true;
            break;
        }
    }
    if (!out.Flush()) {
        ReportError("dump", OutputError(out));
        return kExitCannotOpen;
    }
    return pastLastFrame ? kExitRead : FinishReading("dump", options.path, reader);
}

}  // namespace kestrel
