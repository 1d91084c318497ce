#include "controller/dump/DumpOptions.h"
#include "controller/reading/OptionWords.h"
#include "controller/reading/ReadingCommand.h"

namespace kestrel {


const char* DumpOptions::Usage() {
    return "usage: kestrel dump FILE [--frames A-B] [--grep NAME] [--blobs[=BYTES]] [--json] [--chrome-trace OUT.json]\n"
           "  one line per record: index, time stamp, thread, the call or record decoded\n"
           "  --frames A-B    only frames A to B (also A, or A- for A to the end); frame 1 ends at the first swap\n"
           "  --grep NAME     only records whose function or record name contains NAME (case-sensitive)\n"
           "  --blobs[=BYTES] the bytes of data blocks in hex under their record, up to BYTES each (default 256)\n"
           "  --json          one JSON object per line and record: number, time stamp, thread, frame, function,\n"
           "                  arguments by name (a structure as an object), result, data by length and FNV-1a hash\n"
           "                  (with --blobs, whole in base64 as well), small typed blocks by their values; a record\n"
           "                  of several blocks lists them in order; stream records by kind and size, a mapped write\n"
           "                  with its buffer, runs and data\n"
           "  --chrome-trace OUT.json  write the capture as Chrome trace-event JSON instead (open it in Perfetto or\n"
           "                  chrome://tracing): a track per thread with each call, a frames track with a slice per\n"
           "                  frame and its call count, mapped writes on the thread that made them; microseconds by this\n"
           "                  machine's counter rate\n"
           "  records the capturer adds around the calls: 104 thread switch, 119 alias marker, 23 client memory\n"
           "  block, 120 drawable, 121 frame end, 122 pixel format, 123 mapped write (what the application wrote into a persistent\n"
           "  mapping, written ahead of the call that lets the GL read it: u32 buffer, u32 run count, a u32 offset\n"
           "  in the buffer and u32 length per run, then the bytes of every run in order)\n";
}

bool DumpOptions::Parse(const std::vector<std::string>& words, std::string& error) {
    OptionWords option(words, error);
    while (option.Next()) {
        if (option.Is("--help") || option.Is("-h")) {
            help = true;
        } else if (option.Is("--frames")) {
            if (!option.TakeFrameRange(firstFrame, lastFrame)) return false;
        } else if (option.Is("--grep")) {
            if (!option.TakeValue(grep, "a name")) return false;
        } else if (option.Is("--chrome-trace")) {
            if (!option.TakeValue(chromeTrace, "a file name")) return false;
        } else if (option.IsFlag("--json")) {
            json = true;
        } else if (option.Is("--blobs")) {
            blobs = true;  // the byte count is optional, so only "--blobs=BYTES" gives one
            std::uint64_t limit = blobLimit;
            if (option.HasValue() && !option.CountOf(option.Value(), kMaxBlobLimit, limit, "a byte count"))
                return false;
            blobLimit = static_cast<std::uint32_t>(limit);
        } else if (!option.TakeCaptureFile(path)) {
            return false;
        }
    }
    return help || CaptureFileGiven(path, error);
}

}  // namespace kestrel
