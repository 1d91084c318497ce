#include "controller/dump/DumpOptions.h"
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
           "  block, 120 drawable, 121 frame end, 122 mapped write (what the application wrote into a persistent\n"
           "  mapping, written ahead of the call that lets the GL read it: u32 buffer, u32 run count, a u32 offset\n"
           "  in the buffer and u32 length per run, then the bytes of every run in order)\n";
}

bool DumpOptions::Parse(const std::vector<std::string>& words, std::string& error) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        std::string name = word, value;
        bool hasValue = false;
        if (word.rfind("--", 0) == 0) {
            if (const std::size_t equals = word.find('='); equals != std::string::npos) {
                name = word.substr(0, equals);
                value = word.substr(equals + 1);
                hasValue = true;
            }
        }
        auto takeValue = [&]() {
            if (hasValue) return true;
            if (i + 1 >= words.size()) {
                error = name + " needs a value";
                return false;
            }
            value = words[++i];
            return true;
        };
        if (name == "--help" || name == "-h") {
            help = true;
        } else if (name == "--frames") {
            if (!takeValue()) return false;
            if (!ParseFrameRange(value, firstFrame, lastFrame)) {
                error = "--frames takes A-B, A or A- with 1 <= A <= B, not '" + value + "'";
                return false;
            }
        } else if (name == "--grep") {
            if (!takeValue()) return false;
            if (value.empty()) {
                error = "--grep needs a name";
                return false;
            }
            grep = value;
        } else if (name == "--chrome-trace") {
            if (!takeValue()) return false;
            if (value.empty()) {
                error = "--chrome-trace needs a file name";
                return false;
            }
            chromeTrace = value;
        } else if (name == "--json" && !hasValue) {
            json = true;
        } else if (name == "--blobs") {
            blobs = true;
            std::uint64_t limit = 0;
            if (hasValue && (!ParseCount(value, kMaxBlobLimit, limit) || limit == 0)) {
                error = "--blobs takes a byte count from 1 to " + std::to_string(kMaxBlobLimit) + ", not '" + value + "'";
                return false;
            }
            if (hasValue) blobLimit = static_cast<std::uint32_t>(limit);
        } else if (!TakeCaptureFile(word, path, error)) {
            return false;
        }
    }
    return help || CaptureFileGiven(path, error);
}

}  // namespace kestrel
