#include "controller/reading/CaptureFileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "controller/reading/StreamRecordKind.h"
#include "stream/AliasMarkerPayload.h"
#include "stream/FormatVersionPayload.h"
#include "stream/InlineCopy.h"
#include "stream/RecordHeader.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

namespace {
// Big enough that a file is read in few calls; a payload larger than half of it bypasses it.
constexpr std::size_t kBufferSize = 4u << 20;

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string RecordName(std::uint32_t id) {
    if (const StreamRecordKind* kind = FindStreamRecordKind(id)) return kind->name + std::string(" record");
    return "record " + (id >= kFirstApiId ? Hex(id) : std::to_string(id));
}
}  // namespace

CaptureFileReader::CaptureFileReader() = default;

CaptureFileReader::~CaptureFileReader() { Close(); }

void CaptureFileReader::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    window_ = nullptr;
    windowOffset_ = windowSize_ = 0;
    fileSize_ = position_ = index_ = stopOffset_ = 0;
    open_ = stopped_ = false;
    stopReason_.clear();
}

bool CaptureFileReader::Open(const std::string& path, std::string& error) {
    Close();
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::setvbuf(file_, nullptr, _IONBF, 0);  // reads go through buffer_ in large pieces
    const bool sized = _fseeki64(file_, 0, SEEK_END) == 0;
    const long long size = sized ? _ftelli64(file_) : -1;
    if (size < 0 || _fseeki64(file_, 0, SEEK_SET) != 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        Close();
        return false;
    }
    fileSize_ = static_cast<std::uint64_t>(size);
    buffer_.resize(kBufferSize);
    window_ = buffer_.data();
    open_ = true;
    return true;
}

void CaptureFileReader::OpenMemory(const std::uint8_t* data, std::size_t size) {
    Close();
    window_ = data;
    windowSize_ = size;
    fileSize_ = size;
    open_ = true;
}

bool CaptureFileReader::Stop(std::uint64_t offset, std::string reason) {
    stopped_ = true;
    stopOffset_ = offset;
    stopReason_ = std::move(reason);
    return false;
}

bool CaptureFileReader::Fill(std::size_t size) {
    const std::uint64_t end = windowOffset_ + windowSize_;
    if (position_ >= windowOffset_ && position_ + size <= end) return true;
    if (!file_ || size > buffer_.size()) return false;
    std::size_t keep = 0;
    if (position_ >= windowOffset_ && position_ < end) {
        keep = static_cast<std::size_t>(end - position_);
        std::memmove(buffer_.data(), buffer_.data() + (position_ - windowOffset_), keep);
    } else if (position_ != end && _fseeki64(file_, static_cast<long long>(position_), SEEK_SET) != 0) {
        return false;
    }
    window_ = buffer_.data();
    windowOffset_ = position_;
    windowSize_ = keep;
    while (windowSize_ < size) {
        const std::size_t got = std::fread(buffer_.data() + windowSize_, 1, buffer_.size() - windowSize_, file_);
        if (got == 0) return false;
        windowSize_ += got;
    }
    return true;
}

bool CaptureFileReader::Take(std::uint8_t* out, std::uint32_t size) {
    while (size > 0) {
        const std::uint64_t end = windowOffset_ + windowSize_;
        if (position_ >= windowOffset_ && position_ < end) {
            const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, end - position_));
            CopyBytes(out, Peek(), n);  // mostly small payloads, for which msvcrt's memcpy is slow
            position_ += n;
            out += n;
            size -= n;
            continue;
        }
        if (!file_) return false;
        if (size >= buffer_.size() / 2) {
            // Straight into the record: copying a large block through the buffer would double the work.
            if (position_ != end && _fseeki64(file_, static_cast<long long>(position_), SEEK_SET) != 0) return false;
            if (std::fread(out, 1, size, file_) != size) return false;
            position_ += size;
            windowOffset_ = position_;
            windowSize_ = 0;
            return true;
        }
        if (!Fill(size)) return false;
    }
    return true;
}

bool CaptureFileReader::CheckHeader(std::uint64_t offset, std::uint32_t id, std::uint32_t payloadSize) {
    if (index_ == 0 && (id != kFormatVersionRecord || payloadSize != sizeof(FormatVersionPayload)))
        return Stop(offset, "not a capture: it does not begin with a format version record");
    if (id >= kFirstApiId) return true;
    const StreamRecordKind* kind = FindStreamRecordKind(id);
    // A kind this reader does not know (a newer recorder's): its size is all it needs to go on.
    if (!kind) return true;
    if (payloadSize < kind->minSize || payloadSize > kind->maxSize) {
        const std::string expected = kind->minSize == kind->maxSize ? std::to_string(kind->minSize)
                                                                     : "at least " + std::to_string(kind->minSize);
        return Stop(offset, "corrupt: " + RecordName(id) + " (" + std::to_string(id) + ") has " +
                                std::to_string(payloadSize) + " payload bytes, expected " + expected);
    }
    return true;
}

bool CaptureFileReader::Next(CaptureRecord& record) {
    if (stopped_ || !open_) return false;
    const std::uint64_t offset = position_;
    if (offset == fileSize_) {
        if (index_ == 0) return Stop(offset, "not a capture: the file is empty");
        stopped_ = true;  // clean end
        stopOffset_ = offset;
        return false;
    }
    const std::uint64_t remaining = fileSize_ - offset;
    if (remaining < sizeof(RecordHeader))
        return Stop(offset, "truncated: " + std::to_string(remaining) + " bytes where a 16-byte record header should be");
    if (!Fill(sizeof(RecordHeader))) return Stop(offset, "read error");
    RecordHeader header{};
    std::memcpy(&header, Peek(), sizeof header);
    if (header.payloadSize > remaining - sizeof header)
        return Stop(offset, "truncated: " + RecordName(header.id) + " declares " + std::to_string(header.payloadSize) +
                                " payload bytes, " + std::to_string(remaining - sizeof header) + " remain");
    if (!CheckHeader(offset, header.id, header.payloadSize)) return false;

    std::uint32_t payloadSize = header.payloadSize;
    if (header.id == kAliasMarkerRecord) {
        // The marked record lies within the marker's declared size, so it is in the file: check now
        // that the marker tells the truth about it, and hand it out as the next record.
        constexpr std::size_t kLook = sizeof(RecordHeader) + sizeof(AliasMarkerPayload) + sizeof(RecordHeader);
        if (!Fill(kLook)) return Stop(offset, "read error");
        AliasMarkerPayload marker{};
        RecordHeader marked{};
        std::memcpy(&marker, Peek() + sizeof(RecordHeader), sizeof marker);
        std::memcpy(&marked, Peek() + sizeof(RecordHeader) + sizeof marker, sizeof marked);
        if (marker.targetApiId < kFirstApiId)
            return Stop(offset, "corrupt: alias marker names " + Hex(marker.targetApiId) + ", which is not an API id");
        if (marked.id != marker.targetApiId)
            return Stop(offset, "corrupt: alias marker names " + Hex(marker.targetApiId) + " but the record after it is " +
                                    RecordName(marked.id));
        if (marked.payloadSize != header.payloadSize - AliasMarkerPayload::DeclaredSize(0))
            return Stop(offset, "corrupt: alias marker covers " + std::to_string(header.payloadSize - AliasMarkerPayload::DeclaredSize(0)) +
                                    " payload bytes but the record after it has " + std::to_string(marked.payloadSize));
        payloadSize = sizeof(AliasMarkerPayload);
    }

    const std::uint32_t kept = std::min(payloadSize, payloadLimit_);
    try {
        record.payload.resize(kept);
    } catch (const std::bad_alloc&) {
        return Stop(offset, RecordName(header.id) + " of " + std::to_string(kept) + " bytes is too large to hold in memory");
    }
    Skip(sizeof header);
    if (!Take(record.payload.data(), kept)) return Stop(offset, "read error");
    Skip(payloadSize - kept);
    record.offset = offset;
    record.id = header.id;
    record.payloadSize = payloadSize;
    record.timeStamp = header.timeStamp;
    ++index_;
    return true;
}

}  // namespace kestrel
