// How a capture file was written: the raw record stream, or zstd frames and at which levels.
#pragma once
#include <cstdint>
#include <vector>

namespace kestrel {

struct CaptureFileForm {
    bool compressed = false;
    std::uint64_t fileBytes = 0;    // on disk
    std::uint64_t streamBytes = 0;  // of the record stream read from it
    // The levels noted in a compressed file, in the order the writer went through them; empty when
    // it noted none (a file compressed by another tool).
    std::vector<int> levels;
};

}  // namespace kestrel
