#include "controller/reading/CaptureFileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "controller/reading/StreamRecordKind.h"
#include "controller/reading/ZstdFrameReader.h"
#include "controller/reading/ZstdLevelNote.h"
#include "stream/AliasMarkerPayload.h"
#include "stream/ApiTypePayload.h"
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

// A compressed capture begins with a zstd frame or a skippable one (the writer's level note); a raw
// one with its format version record, whose id is neither.
bool StartsCompressed(const std::uint8_t* bytes, std::size_t size) {
    if (size < 4) return false;
    std::uint32_t magic = 0;
    std::memcpy(&magic, bytes, 4);
    return magic == kZstdFrameMagic || (magic & kSkippableMagicMask) == kSkippableMagic;
}
}  // namespace

CaptureFileReader::CaptureFileReader() = default;

CaptureFileReader::~CaptureFileReader() { Close(); }

void CaptureFileReader::Close() {
    zstd_.reset();
    if (file_) std::fclose(file_);
    file_ = nullptr;
    sourcePosition_ = streamEnd_ = 0;
    endKnown_ = false;
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
    std::uint8_t first[4] = {};
    const std::size_t got = std::fread(first, 1, sizeof first, file_);
    if (_fseeki64(file_, 0, SEEK_SET) != 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        Close();
        return false;
    }
    if (StartsCompressed(first, got)) {
        StartCompressed(nullptr, 0);
    } else {
        endKnown_ = true;
        streamEnd_ = fileSize_;
    }
    return true;
}

void CaptureFileReader::StartCompressed(const std::uint8_t* memory, std::size_t size) {
    zstd_ = std::make_unique<ZstdFrameReader>(file_, memory, size);
    buffer_.resize(kBufferSize);
    window_ = buffer_.data();
    windowOffset_ = windowSize_ = 0;
}

CaptureFileForm CaptureFileReader::form() const {
    CaptureFileForm form;
    form.compressed = zstd_ != nullptr;
    form.fileBytes = fileSize_;
    form.streamBytes = endKnown_ ? streamEnd_ : sourcePosition_;
    if (zstd_) form.levels = zstd_->levels();
    return form;
}

std::size_t CaptureFileReader::ReadSource(std::uint8_t* out, std::size_t size) {
    const std::size_t got = zstd_ ? zstd_->Read(out, size) : std::fread(out, 1, size, file_);
    sourcePosition_ += got;
    if (zstd_ && got < size) {
        endKnown_ = true;
        streamEnd_ = sourcePosition_;
    }
    return got;
}

bool CaptureFileReader::SeekSource(std::uint64_t position) {
    if (position == sourcePosition_) return true;
    if (!zstd_) {
        if (_fseeki64(file_, static_cast<long long>(position), SEEK_SET) != 0) return false;
        sourcePosition_ = position;
        return true;
    }
    // Frames are read in order only: what is skipped is decompressed and passed over.
    std::uint8_t scratch[64 << 10];
    while (sourcePosition_ < position) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof scratch, position - sourcePosition_));
        if (ReadSource(scratch, n) != n) return false;
    }
    return sourcePosition_ == position;
}

std::uint64_t CaptureFileReader::Remaining(std::uint64_t offset, std::uint64_t wanted) {
    if (!endKnown_) {
        // The stream's size shows only at its end: look as far ahead as the buffer reaches.
        Fill(static_cast<std::size_t>(std::min<std::uint64_t>(wanted, buffer_.size())));
        if (!endKnown_) return wanted;
    }
    return streamEnd_ > offset ? streamEnd_ - offset : 0;
}

bool CaptureFileReader::SourceFailed(std::uint64_t offset, std::uint32_t id, std::uint32_t payloadSize) {
    if (zstd_ && !zstd_->problem().empty()) return Stop(offset, zstd_->problem());
    if (!endKnown_) return Stop(offset, "read error");
    const std::uint64_t remaining = streamEnd_ > offset + sizeof(RecordHeader) ? streamEnd_ - offset - sizeof(RecordHeader) : 0;
    return Stop(offset, "truncated: " + RecordName(id) + " declares " + std::to_string(payloadSize) + " payload bytes, " +
                            std::to_string(remaining) + " remain");
}

void CaptureFileReader::OpenMemory(const std::uint8_t* data, std::size_t size) {
    Close();
    fileSize_ = size;
    open_ = true;
    if (StartsCompressed(data, size)) {
        StartCompressed(data, size);
        return;
    }
    window_ = data;
    windowSize_ = size;
    endKnown_ = true;
    streamEnd_ = size;
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
    if ((!file_ && !zstd_) || size > buffer_.size()) return false;
    std::size_t keep = 0;
    if (position_ >= windowOffset_ && position_ < end) {
        keep = static_cast<std::size_t>(end - position_);
        std::memmove(buffer_.data(), buffer_.data() + (position_ - windowOffset_), keep);
    } else if (!SeekSource(position_)) {
        return false;
    }
    window_ = buffer_.data();
    windowOffset_ = position_;
    windowSize_ = keep;
    while (windowSize_ < size) {
        const std::size_t got = ReadSource(buffer_.data() + windowSize_, buffer_.size() - windowSize_);
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
        if (!file_ && !zstd_) return false;
        if (size >= buffer_.size() / 2) {
            // Straight into the record: copying a large block through the buffer would double the work.
            if (!SeekSource(position_)) return false;
            if (ReadSource(out, size) != size) return false;
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
    const StreamRecordKind* kind = FindStreamRecordKind(id, pointerBits_);
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
    const std::uint64_t remaining = Remaining(offset, sizeof(RecordHeader));
    // A compressed file that was cut or damaged ends its stream early, maybe between two records.
    const bool cut = zstd_ && !zstd_->problem().empty();
    if (remaining == 0) {
        if (cut) return Stop(offset, zstd_->problem());
        if (index_ == 0) return Stop(offset, "not a capture: the file is empty");
        stopped_ = true;  // clean end
        stopOffset_ = offset;
        return false;
    }
    if (remaining < sizeof(RecordHeader))
        return Stop(offset, cut ? zstd_->problem()
                                : "truncated: " + std::to_string(remaining) + " bytes where a 16-byte record header should be");
    if (!Fill(sizeof(RecordHeader))) return Stop(offset, "read error");
    RecordHeader header{};
    std::memcpy(&header, Peek(), sizeof header);
    if (header.payloadSize > Remaining(offset, sizeof header + std::uint64_t{header.payloadSize}) - sizeof header)
        return SourceFailed(offset, header.id, header.payloadSize);
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

    std::uint32_t pointerBits = pointerBits_;
    if (header.id == kApiTypeRecord) {
        // Its second word says how wide the process's pointers are; whatever the payload limit, it
        // is read here (the header check has made sure the payload is all there).
        if (!Fill(sizeof header + sizeof(ApiTypePayload))) return Stop(offset, "read error");
        ApiTypePayload type{};
        std::memcpy(&type, Peek() + sizeof header, sizeof type);
        if (!IsKnownPointerBits(type.pointerBits))
            return Stop(offset, "unknown process width: the API type record says " + std::to_string(type.pointerBits) +
                                    "-bit pointers; kestrel reads captures of 32-bit and 64-bit processes");
        pointerBits = type.pointerBits;
    }

    const std::uint32_t kept = std::min(payloadSize, payloadLimit_);
    try {
        record.payload.resize(kept);
    } catch (const std::bad_alloc&) {
        return Stop(offset, RecordName(header.id) + " of " + std::to_string(kept) + " bytes is too large to hold in memory");
    }
    Skip(sizeof header);
    if (!Take(record.payload.data(), kept)) return SourceFailed(offset, header.id, header.payloadSize);
    Skip(payloadSize - kept);
    // The end of the stream is known only once reached: a record is handed out once all of it was there.
    if (zstd_ && position_ > windowOffset_ + windowSize_) {
        if (!SeekSource(position_)) return SourceFailed(offset, header.id, header.payloadSize);
        windowOffset_ = position_;
        windowSize_ = 0;
    }
    pointerBits_ = pointerBits;
    record.offset = offset;
    record.id = header.id;
    record.payloadSize = payloadSize;
    record.timeStamp = header.timeStamp;
    record.pointerBits = pointerBits_;
    ++index_;
    return true;
}

}  // namespace kestrel
