#include "controller/stats/StatsOptions.h"

#include "controller/reading/ReadingCommand.h"
#include "controller/reading/ReadingCommand.h"

namespace kestrel {

namespace {
// "--name VALUE" or "--name=VALUE"; false when the word is another option.
bool TakeValue(const std::vector<std::string>& words, std::size_t& i, const std::string& name, std::string& value,
               bool& missing) {
    const std::string& word = words[i];
    missing = false;
    if (word == name) {
        if (i + 1 >= words.size()) {
            missing = true;
            return true;
        }
        value = words[++i];
        return true;
    }
    if (word.rfind(name + "=", 0) != 0) return false;
    value = word.substr(name.size() + 1);
    return true;
}
}  // namespace

const char* StatsOptions::Usage() {
    return "usage: kestrel stats FILE [--top N] [--clock-hz HZ]\n"
           "  records and bytes; duration; frames with their calls and times (mean, median, 95th and 99th\n"
           "  percentile, the worst frames); calls by thread; contexts; bytes by kind of data; the top N\n"
           "  functions by count and by bytes (default 10)\n"
           "  A frame lasts from the previous swap (frame 1: from the start of the capture) to its own swap.\n"
           "  Time stamps are performance counter ticks and the capture does not record their rate:\n"
           "  --clock-hz gives the capturing machine's rate, else this machine's is taken (the same\n"
           "  when the capture was made here).\n"
           "  Frame images are PNG files beside the capture, not in it, and count no bytes here.\n";
}

bool StatsOptions::Parse(const std::vector<std::string>& words, std::string& error) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        std::string value;
        bool missing = false;
        if (word == "--help" || word == "-h") {
            help = true;
        } else if (TakeValue(words, i, "--top", value, missing)) {
            std::uint64_t n = 0;
            if (missing) {
                error = "--top needs a value";
                return false;
            }
            if (!ParseCount(value, 100000, n) || n == 0) {
                error = "--top takes a count from 1 to 100000, not '" + value + "'";
                return false;
            }
            top = static_cast<std::size_t>(n);
        } else if (TakeValue(words, i, "--clock-hz", value, missing)) {
            if (missing) {
                error = "--clock-hz needs a value";
                return false;
            }
            if (!ParseCount(value, kMaxClockHz, clockHz) || clockHz == 0) {
                error = "--clock-hz takes ticks per second from 1 to " + std::to_string(kMaxClockHz) + ", not '" + value + "'";
                return false;
            }
        } else if (!TakeCaptureFile(word, path, error)) {
            return false;
        }
    }
    return help || CaptureFileGiven(path, error);
}

}  // namespace kestrel
