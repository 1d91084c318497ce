// What `kestrel replay` was asked for.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

struct ReplayOptions {
    std::string path;
    std::uint64_t firstFrame = 1;
    std::uint64_t lastFrame = UINT64_MAX;
    std::string images;  // the folder of the frame images; empty for none
    std::uint64_t loops = 1;
    bool benchmark = false;
    bool checkErrors = false;
    bool help = false;

    // Reads the words after "replay". False, with a one-line reason, for words it cannot take.
    bool Parse(const std::vector<std::string>& words, std::string& error);
    static const char* Usage();
};

}  // namespace kestrel
