// Reads a capture file record by record, up to its last whole record. A file that ends early or
// holds a record that cannot be right stops the reader at the start of that record, with the reason.
// Compressed captures (zstd frames) are told by their first bytes and read the same way.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "controller/reading/CaptureFileForm.h"

namespace kestrel {

class ZstdFrameReader;

struct CaptureRecord {
    std::uint64_t offset = 0;  // of the header in the record stream (the file, when not compressed)
    std::uint32_t id = 0;
    // Bytes behind the header; for an alias marker only its own 8, the marked record is read next.
    std::uint32_t payloadSize = 0;
    std::int64_t timeStamp = 0;
    // The recorded process's pointer width, as the API type record before it said (32 until then):
    // pointers, handles and pointer-sized integers in the payload are this wide.
    std::uint32_t pointerBits = 32;
    // The payload, or its first bytes when the reader was told to keep fewer.
    std::vector<std::uint8_t> payload;

    std::uint64_t End() const { return offset + 16 + payloadSize; }
};

class CaptureFileReader {
public:
    static constexpr std::uint32_t kKeepAll = 0xFFFFFFFFu;

    CaptureFileReader();
    ~CaptureFileReader();
    CaptureFileReader(const CaptureFileReader&) = delete;
    CaptureFileReader& operator=(const CaptureFileReader&) = delete;

    bool Open(const std::string& path, std::string& error);
    // Reads a capture that is already in memory; the bytes must outlive the reader.
    void OpenMemory(const std::uint8_t* data, std::size_t size);
    // Keeps at most this many bytes of each payload and skips the rest, so that readers that need
    // only the start of each record neither copy nor hold large blocks.
    void SetPayloadLimit(std::uint32_t bytes) { payloadLimit_ = bytes; }

    // The next whole record; false at the end of the file or where the reader had to stop.
    bool Next(CaptureRecord& record);

    // After Next returned false: true when the file ended cleanly after its last record.
    bool Complete() const { return stopReason_.empty(); }
    // Where reading ended in the stream: its size when complete, else the start of the first bad record.
    std::uint64_t stopOffset() const { return stopOffset_; }
    const std::string& stopReason() const { return stopReason_; }
    std::uint64_t fileSize() const { return fileSize_; }
    std::uint64_t recordsRead() const { return index_; }
    bool compressed() const { return zstd_ != nullptr; }
    // The recorded process's pointer width in bits: 32 until the API type record says otherwise.
    std::uint32_t pointerBits() const { return pointerBits_; }
    // How the file was written; the stream's size and the levels as far as it has been read.
    CaptureFileForm form() const;

private:
    bool Stop(std::uint64_t offset, std::string reason);
    bool CheckHeader(std::uint64_t offset, std::uint32_t id, std::uint32_t payloadSize);
    // Makes the next `size` bytes (at most the buffer's size) readable at Peek().
    bool Fill(std::size_t size);
    const std::uint8_t* Peek() const { return window_ + (position_ - windowOffset_); }
    bool Take(std::uint8_t* out, std::uint32_t size);
    void Skip(std::uint64_t size) { position_ += size; }
    void Close();
    // The source of the stream's bytes: the file, or its zstd frames.
    std::size_t ReadSource(std::uint8_t* out, std::size_t size);
    bool SeekSource(std::uint64_t position);
    void StartCompressed(const std::uint8_t* memory, std::size_t size);
    // Bytes of the stream from `offset` on: exact when fewer than `wanted`, else at least `wanted`.
    std::uint64_t Remaining(std::uint64_t offset, std::uint64_t wanted);
    // Why bytes that the stream should have had could not be read.
    bool SourceFailed(std::uint64_t offset, std::uint32_t id, std::uint32_t payloadSize);

    std::FILE* file_ = nullptr;
    std::vector<std::uint8_t> buffer_;
    const std::uint8_t* window_ = nullptr;  // bytes of the file from windowOffset_ on
    std::uint64_t windowOffset_ = 0;
    std::size_t windowSize_ = 0;
    std::uint64_t fileSize_ = 0;
    std::unique_ptr<ZstdFrameReader> zstd_;
    std::uint64_t sourcePosition_ = 0;  // stream bytes taken from the source
    std::uint64_t streamEnd_ = 0;       // the stream's size, once known
    bool endKnown_ = false;
    std::uint64_t position_ = 0;
    std::uint64_t index_ = 0;
    std::uint32_t payloadLimit_ = kKeepAll;
    std::uint32_t pointerBits_ = 32;
    bool open_ = false;
    bool stopped_ = false;
    std::uint64_t stopOffset_ = 0;
    std::string stopReason_;
};

}  // namespace kestrel
