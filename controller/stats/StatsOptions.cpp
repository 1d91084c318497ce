#include "controller/stats/StatsOptions.h"

#include "controller/reading/OptionWords.h"
#include "controller/reading/ReadingCommand.h"

namespace kestrel {


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
    OptionWords option(words, error);
    while (option.Next()) {
        if (option.Is("--help") || option.Is("-h")) {
            help = true;
        } else if (option.Is("--top")) {
            std::uint64_t n = 0;
            if (!option.TakeCount(100000, n, "a count")) return false;
            top = static_cast<std::size_t>(n);
        } else if (option.Is("--clock-hz")) {
            if (!option.TakeCount(kMaxClockHz, clockHz, "ticks per second")) return false;
        } else if (!option.TakeCaptureFile(path)) {
            return false;
        }
    }
    return help || CaptureFileGiven(path, error);
}

}  // namespace kestrel
