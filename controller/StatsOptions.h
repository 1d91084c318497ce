// What `kestrel stats` was asked for.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace kestrel {

struct StatsOptions {
    static constexpr std::size_t kDefaultTop = 10;

    std::string path;
    std::size_t top = kDefaultTop;  // functions listed by count and by bytes
    bool help = false;

    // Reads the words after "stats". False, with a one-line reason, for words it cannot take.
    bool Parse(const std::vector<std::string>& words, std::string& error);
    static const char* Usage();
};

}  // namespace kestrel
