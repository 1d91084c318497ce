// What `kestrel report` was asked for.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

struct ReportOptions {
    static constexpr std::uint64_t kMaxClockHz = 100000000000ull;

    std::string path;
    std::string out;     // the HTML file; empty for the capture's name with .html
    std::string images;  // the folder of the frame images; empty to look beside the capture
    // The frames whose calls the page lists; none given: the slowest frames and a window around them.
    bool framesGiven = false;
    std::uint64_t firstFrame = 1;
    std::uint64_t lastFrame = UINT64_MAX;
    std::uint64_t clockHz = 0;  // 0: this machine's rate, as stats takes it
    bool help = false;

    // Reads the words after "report". False, with a one-line reason, for words it cannot take.
    bool Parse(const std::vector<std::string>& words, std::string& error);
    static const char* Usage();
    // The HTML file to write: --out, or the capture's path with its extension replaced.
    std::string OutputPath() const;
};

}  // namespace kestrel
