#include "controller/StatsOptions.h"

#include <cstdint>

#include "controller/DumpOptions.h"
#include "controller/ReadingCommand.h"

namespace kestrel {

const char* StatsOptions::Usage() {
    return "usage: kestrel stats FILE [--top N]\n"
           "  records, bytes, frames, calls per frame, threads, contexts and the top N functions (default 10)\n";
}

bool StatsOptions::Parse(const std::vector<std::string>& words, std::string& error) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--help" || word == "-h") {
            help = true;
        } else if (word == "--top" || word.rfind("--top=", 0) == 0) {
            std::string value;
            if (word == "--top") {
                if (i + 1 >= words.size()) {
                    error = "--top needs a value";
                    return false;
                }
                value = words[++i];
            } else {
                value = word.substr(6);
            }
            std::uint64_t n = 0;
            if (!ParseCount(value, 100000, n) || n == 0) {
                error = "--top takes a count from 1 to 100000, not '" + value + "'";
                return false;
            }
            top = static_cast<std::size_t>(n);
        } else if (!TakeCaptureFile(word, path, error)) {
            return false;
        }
    }
    return help || CaptureFileGiven(path, error);
}

}  // namespace kestrel
