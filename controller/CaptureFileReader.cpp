#include "controller/CaptureFileReader.h"

#include <cstring>

#include "stream/AliasMarkerPayload.h"
#include "stream/FormatVersionPayload.h"
#include "stream/RecordHeader.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

namespace {
// Payload sizes that the stream's own records must have; 0 where any size is allowed.
std::uint32_t FixedStreamRecordSize(std::uint32_t id) {
    switch (id) {
        case kFormatVersionRecord: return 4;
        case kRecorderVersionRecord: return 8;
        case kApiTypeRecord: return 8;
        case kSystemDescriptionRecord: return 260;
        case kThreadSwitchRecord: return 8;
        default: return 0;
    }
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}
}  // namespace

CaptureFileReader::~CaptureFileReader() {
    if (file_) std::fclose(file_);
}

bool CaptureFileReader::Open(const std::string& path, std::string& error) {
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        error = "cannot open " + path;
        return false;
    }
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
    _fseeki64(file_, 0, SEEK_END);
    fileSize_ = static_cast<std::uint64_t>(_ftelli64(file_));
    _fseeki64(file_, 0, SEEK_SET);
    return true;
}

bool CaptureFileReader::Stop(std::uint64_t offset, std::string reason) {
    stopped_ = true;
    stopOffset_ = offset;
    stopReason_ = std::move(reason);
    return false;
}

bool CaptureFileReader::Read(void* data, std::size_t size) {
    if (size == 0) return true;
    if (std::fread(data, 1, size, file_) != size) return false;
    position_ += size;
    return true;
}

bool CaptureFileReader::Next(CaptureRecord& record) {
    if (stopped_ || !file_) return false;
    const std::uint64_t offset = position_;
    if (offset == fileSize_) {
        if (aliasPending_) return Stop(pendingAliasOffset_, "alias marker at the end of the file has no record to mark");
        stopped_ = true;  // clean end
        return false;
    }
    RecordHeader header{};
    if (fileSize_ - offset < sizeof header)
        return Stop(offset, "truncated: " + std::to_string(fileSize_ - offset) + " bytes where a 16-byte record header should be");
    if (!Read(&header, sizeof header)) return Stop(offset, "read error");
    const std::uint64_t remaining = fileSize_ - position_;
    if (header.payloadSize > remaining)
        return Stop(offset, "truncated: record " + Hex(header.id) + " declares " + std::to_string(header.payloadSize) +
                                " payload bytes, " + std::to_string(remaining) + " remain");
    if (index_ == 0 && (header.id != kFormatVersionRecord || header.payloadSize != sizeof(FormatVersionPayload)))
        return Stop(offset, "not a capture: it does not begin with a format version record");
    if (const std::uint32_t expected = FixedStreamRecordSize(header.id); expected && header.payloadSize != expected)
        return Stop(offset, "corrupt: record " + std::to_string(header.id) + " has " + std::to_string(header.payloadSize) +
                                " payload bytes instead of " + std::to_string(expected));
    if (header.id < kFirstApiId && header.id != kAliasMarkerRecord && !FixedStreamRecordSize(header.id) &&
        header.id != kClientMemoryBlockRecord && header.id != 120)
        return Stop(offset, "corrupt: unknown record id " + std::to_string(header.id));
    if (aliasPending_) {
        if (header.id != pendingAliasTarget_ || header.payloadSize != pendingAliasSize_)
            return Stop(pendingAliasOffset_, "corrupt: alias marker does not match the record that follows it");
        aliasPending_ = false;
    }
    record.offset = offset;
    record.id = header.id;
    record.timeStamp = header.timeStamp;
    if (header.id == kAliasMarkerRecord) {
        // The declared size covers the marked record too; that record is read as the next one.
        if (header.payloadSize < AliasMarkerPayload::DeclaredSize(0))
            return Stop(offset, "corrupt: alias marker declares fewer than 24 bytes");
        AliasMarkerPayload marker{};
        if (!Read(&marker, sizeof marker)) return Stop(offset, "read error");
        record.payloadSize = sizeof marker;
        record.payload.assign(reinterpret_cast<const std::uint8_t*>(&marker),
                              reinterpret_cast<const std::uint8_t*>(&marker) + sizeof marker);
        pendingAliasSize_ = header.payloadSize - AliasMarkerPayload::DeclaredSize(0);
        pendingAliasTarget_ = marker.targetApiId;
        pendingAliasOffset_ = offset;
        aliasPending_ = true;
    } else {
        record.payloadSize = header.payloadSize;
        record.payload.resize(header.payloadSize);
        if (!Read(record.payload.data(), header.payloadSize)) return Stop(offset, "read error");
    }
    ++index_;
    return true;
}

}  // namespace kestrel
