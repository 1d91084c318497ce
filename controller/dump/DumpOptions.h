// What `kestrel dump` was asked for.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

struct DumpOptions {
    static constexpr std::uint32_t kDefaultBlobLimit = 256;
    static constexpr std::uint32_t kMaxBlobLimit = 64u << 20;

    std::string path;
    std::uint64_t firstFrame = 1;
    std::uint64_t lastFrame = UINT64_MAX;
    std::string grep;  // a substring of the function or record name; empty for all
    bool blobs = false;
    bool json = false;
    std::string chromeTrace;  // the trace-event file to write instead of the lines; empty for none  // one JSON object per record; with blobs, data blocks in base64
    std::uint32_t blobLimit = kDefaultBlobLimit;  // bytes of each block shown
    bool help = false;

    // Reads the words after "dump". False, with a one-line reason, for words it cannot take.
    bool Parse(const std::vector<std::string>& words, std::string& error);
    static const char* Usage();
};

}  // namespace kestrel
