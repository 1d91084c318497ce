// The record stream of a compressed capture: the contents of its zstd frames, end to end, handed
// out a frame at a time and only once the frame is known to be whole, so that a file cut short
// (or damaged) reads to its last whole frame and no further. Memory stays constant: a frame's
// compressed bytes are held, its content is decompressed straight into the caller's buffer.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct ZSTD_DCtx_s;

namespace kestrel {

class ZstdFrameReader {
public:
    // A frame larger than this (not one kestrel wrote) is decompressed as it is read, whole or not.
    static constexpr std::size_t kLargestHeldFrame = 64u << 20;

    // Reads from an open file (from its current position) or from memory that outlives the reader.
    ZstdFrameReader(std::FILE* file, const std::uint8_t* memory, std::size_t size);
    ~ZstdFrameReader();
    ZstdFrameReader(const ZstdFrameReader&) = delete;
    ZstdFrameReader& operator=(const ZstdFrameReader&) = delete;

    // Up to `size` bytes of the stream; fewer only at its end (or where reading had to stop).
    std::size_t Read(std::uint8_t* out, std::size_t size);

    // After the end: why reading stopped before the end of the file, empty when it did not.
    const std::string& problem() const { return problem_; }
    // The file's bytes that lie in whole frames (skippable ones included) so far.
    std::uint64_t wholeFrameBytes() const { return frameStart_; }
    // The levels noted in the file, in order.
    const std::vector<int>& levels() const { return levels_; }

private:
    // Holds the next frame whole in held_; false at the end of the file or at a bad frame.
    bool NextFrame();
    // Makes at least `size` bytes of the file readable at held_; false when the file has fewer.
    bool Hold(std::size_t size);
    void Consume(std::size_t size);
    bool Stop(std::string problem);

    std::FILE* file_;
    const std::uint8_t* memory_;
    std::size_t memorySize_;
    std::size_t memoryAt_ = 0;
    ZSTD_DCtx_s* context_;
    std::vector<std::uint8_t> held_;  // the file's bytes from frameStart_ on
    std::size_t heldSize_ = 0;
    std::uint64_t frameStart_ = 0;    // file offset of the frame being decompressed, or of the next one
    std::size_t frameSize_ = 0;       // compressed size of the frame being decompressed
    std::size_t frameDone_ = 0;       // its bytes given to the decompressor
    bool inFrame_ = false;
    bool streaming_ = false;          // a frame too large to hold: decompressed as read
    bool ended_ = false;
    std::string problem_;
    std::vector<int> levels_;
};

}  // namespace kestrel
