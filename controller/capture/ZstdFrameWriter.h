// Writes a capture file as standard zstd frames whose contents, end to end, are the record stream:
// the zstd tool alone turns the file back into the stream. A frame reaches the file whole when it
// ends, so a file cut short still reads up to its last ended frame.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

#include "controller/reading/ZstdLevelNote.h"

struct ZSTD_CCtx_s;

namespace kestrel {

class ZstdFrameWriter {
public:
    ZstdFrameWriter();
    ~ZstdFrameWriter();
    ZstdFrameWriter(const ZstdFrameWriter&) = delete;
    ZstdFrameWriter& operator=(const ZstdFrameWriter&) = delete;

    // Writes to an open, unbuffered file from its current end on. False when writing failed.
    void Begin(std::FILE* file, int level);
    // The level of the frames begun from now on (kStoredLevel: blocks stored as they are).
    void SetLevel(int level) { nextLevel_ = level; }
    int level() const { return nextLevel_; }

    bool Write(const std::uint8_t* data, std::size_t size);
    // Ends the open frame, if any, and hands it to the file.
    bool EndFrame();
    // Forgets the open frame and cuts the file back to `offset`, the end of an earlier frame.
    bool CutBackTo(std::uint64_t offset);

    // Bytes handed to the file so far (the open frame's pending output not included).
    std::uint64_t fileBytes() const { return fileBytes_; }
    std::uint64_t frameContent() const { return frameContent_; }
    bool frameOpen() const { return frameOpen_; }
    bool failed() const { return failed_; }

private:
    bool OpenFrame();
    bool WriteStored(const std::uint8_t* data, std::size_t size);
    bool Compress(const std::uint8_t* data, std::size_t size, bool end);
    void Append(const void* data, std::size_t size);
    bool Flush();

    std::FILE* file_ = nullptr;
    ZSTD_CCtx_s* context_ = nullptr;
    std::vector<std::uint8_t> out_;
    std::size_t outFill_ = 0;
    std::uint64_t fileBytes_ = 0;
    std::uint64_t frameContent_ = 0;
    int frameLevel_ = 0;
    int nextLevel_ = 0;
    int notedLevel_ = 0;
    bool noted_ = false;
    bool frameOpen_ = false;
    bool failed_ = false;
};

}  // namespace kestrel
