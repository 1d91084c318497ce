// kestrel dump: one line per record of a capture file.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "controller/reading/CaptureFileReader.h"
#include "controller/Commands.h"
#include "controller/dump/DumpOptions.h"
#include "controller/reading/ReadingCommand.h"
#include "controller/dump/RecordDumper.h"
#include "controller/reading/TextOutput.h"

namespace kestrel {

int RunDump(const std::vector<std::string>& words) {
    DumpOptions options;
    std::string error;
    if (!options.Parse(words, error)) {
        ReportError("dump", error + " (see kestrel dump --help)");
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(DumpOptions::Usage(), stdout);
        return kExitRead;
    }
    CaptureFileReader reader;
    if (!reader.Open(options.path, error)) {
        ReportError("dump", error);
        return kExitCannotOpen;
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
