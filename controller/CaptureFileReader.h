// Reads a capture file record by record, up to its last whole record. A file that ends early or
// holds a record that cannot be right stops the reader with the byte offset and the reason.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kestrel {

struct CaptureRecord {
    std::uint64_t offset = 0;  // of the header in the file
    std::uint32_t id = 0;
    std::uint32_t payloadSize = 0;
    std::int64_t timeStamp = 0;
    std::vector<std::uint8_t> payload;
};

class CaptureFileReader {
public:
    CaptureFileReader() = default;
    ~CaptureFileReader();
    CaptureFileReader(const CaptureFileReader&) = delete;
    CaptureFileReader& operator=(const CaptureFileReader&) = delete;

    bool Open(const std::string& path, std::string& error);
    // The next whole record; false at the end of the file or where the reader had to stop.
    bool Next(CaptureRecord& record);

    // After Next returned false: true when the file ended cleanly after its last record.
    bool Complete() const { return stopReason_.empty(); }
    std::uint64_t stopOffset() const { return stopOffset_; }
    const std::string& stopReason() const { return stopReason_; }
    std::uint64_t fileSize() const { return fileSize_; }

private:
    bool Stop(std::uint64_t offset, std::string reason);
    bool Read(void* data, std::size_t size);

    std::FILE* file_ = nullptr;
    std::uint64_t fileSize_ = 0;
    std::uint64_t position_ = 0;
    std::uint64_t index_ = 0;
    bool aliasPending_ = false;  // a marker's promise about the next record
    std::uint32_t pendingAliasSize_ = 0;
    std::uint64_t pendingAliasOffset_ = 0;
    std::uint32_t pendingAliasTarget_ = 0;
    bool stopped_ = false;
    std::uint64_t stopOffset_ = 0;
    std::string stopReason_;
};

}  // namespace kestrel
