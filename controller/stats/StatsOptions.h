// What `kestrel stats` was asked for.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

struct StatsOptions {
    static constexpr std::size_t kDefaultTop = 10;
    static constexpr std::uint64_t kMaxClockHz = 100000000000ull;

    std::string path;
    std::size_t top = kDefaultTop;  // functions listed by count and by bytes
    // Ticks per second of the capturing machine's performance counter; 0 when not given, since
    // the capture itself does not record it.
    std::uint64_t clockHz = 0;
    bool help = false;

    // Reads the words after "stats". False, with a one-line reason, for words it cannot take.
    bool Parse(const std::vector<std::string>& words, std::string& error);
    static const char* Usage();
};

}  // namespace kestrel
