// The options of `kestrel capture`, parsed and checked.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

// The level the drainer starts at, from bench_compression: on this kind of machine it keeps small
// calls far below 10 bytes each while compressing faster than the application fills the ring.
constexpr int kDefaultCompressLevel = 3;
constexpr int kLowestCompressLevel = -7;
constexpr int kHighestCompressLevel = 19;

struct CaptureOptions {
    std::uint32_t ringMiB = 64;
    std::uint32_t fpsLimit = 0;
    std::uint32_t imagesEvery = 0;   // 0: no frame images
    std::uint32_t imagesFirst = 0;
    std::uint32_t imagesLimit = 0xFFFFFFFF;
    bool imagesByDraw = false;
    std::string imagesDir;
    std::uint32_t hookMode = 0;
    std::uint32_t stopAfterFrames = 0;  // 0: run until the application ends
    std::string output;              // empty: named after the application and the time
    std::string recorder;            // empty: GLKESTREL.dll beside kestrel.exe
    // Programs the application starts from another folder (a child of the other width always needs one,
    // as a folder holds one opengl32.dll): each gets the recorder of its width beside it for the run.
    std::vector<std::string> children;
    bool quiet = false;
    // zstd frames by default; none writes the raw record stream.
    bool compress = true;
    int compressLevel = kDefaultCompressLevel;
    std::string application;
    std::vector<std::string> arguments;
};

// Parses the words after "capture". On failure returns false with a one-line message in `error`.
bool ParseCaptureOptions(const std::vector<std::string>& words, CaptureOptions& options, std::string& error);

// The usage text of `kestrel capture`.
const char* CaptureUsage();

}  // namespace kestrel
