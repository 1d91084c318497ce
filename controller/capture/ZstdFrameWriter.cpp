#include "controller/capture/ZstdFrameWriter.h"

#include <io.h>
#include <zstd.h>

#include <cstring>

namespace kestrel {

namespace {
// Output is gathered and written in large pieces: the file is unbuffered.
constexpr std::size_t kOutSize = 1u << 20;
// Stored frames: no content size, a 128 KiB window (descriptor exponent 7) and raw blocks of at most
// that size, so that any decoder reads them with little memory.
constexpr std::size_t kStoredBlock = 128u << 10;
constexpr std::size_t kDirectBlock = 32u << 10;
constexpr std::uint8_t kStoredHeader[6] = {0x28, 0xB5, 0x2F, 0xFD, 0x00, 7 << 3};

void BlockHeader(std::uint8_t* out, std::size_t size, bool last) {
    const auto value = static_cast<std::uint32_t>(size << 3 | (last ? 1u : 0u));  // block type 0: raw
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
    out[2] = static_cast<std::uint8_t>(value >> 16);
}
}  // namespace

ZstdFrameWriter::ZstdFrameWriter() : context_(ZSTD_createCCtx()), out_(kOutSize) {}

ZstdFrameWriter::~ZstdFrameWriter() { ZSTD_freeCCtx(context_); }

void ZstdFrameWriter::Begin(std::FILE* file, int level) {
    file_ = file;
    nextLevel_ = level;
    failed_ = context_ == nullptr;
}

void ZstdFrameWriter::Append(const void* data, std::size_t size) {
    std::memcpy(out_.data() + outFill_, data, size);
    outFill_ += size;
}

bool ZstdFrameWriter::Flush() {
    if (outFill_ > 0 && !failed_) {
        if (std::fwrite(out_.data(), 1, outFill_, file_) != outFill_) failed_ = true;
        fileBytes_ += outFill_;
    }
    outFill_ = 0;
    return !failed_;
}

bool ZstdFrameWriter::OpenFrame() {
    frameLevel_ = nextLevel_;
    if (!noted_ || notedLevel_ != frameLevel_) {
        std::uint8_t note[kLevelNoteSize];
        ZstdLevelNote::Write(note, frameLevel_);
        Append(note, sizeof note);
        noted_ = true;
        notedLevel_ = frameLevel_;
    }
    if (frameLevel_ == kStoredLevel) {
        Append(kStoredHeader, sizeof kStoredHeader);
    } else {
        ZSTD_CCtx_reset(context_, ZSTD_reset_session_only);
        // A checksum lets the zstd tool and the reader tell a damaged frame from a whole one.
        if (ZSTD_isError(ZSTD_CCtx_setParameter(context_, ZSTD_c_compressionLevel, frameLevel_)) ||
            ZSTD_isError(ZSTD_CCtx_setParameter(context_, ZSTD_c_checksumFlag, 1)))
            failed_ = true;
    }
    frameOpen_ = true;
    frameContent_ = 0;
    return !failed_;
}

bool ZstdFrameWriter::Write(const std::uint8_t* data, std::size_t size) {
    if (failed_ || size == 0) return !failed_;
    if (!frameOpen_ && !OpenFrame()) return false;
    frameContent_ += size;
    return frameLevel_ == kStoredLevel ? WriteStored(data, size) : Compress(data, size, false);
}

bool ZstdFrameWriter::WriteStored(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const std::size_t n = size < kStoredBlock ? size : kStoredBlock;
        if (outFill_ + 3 + n > out_.size() && !Flush()) return false;
        std::uint8_t header[3];
        BlockHeader(header, n, false);
        Append(header, 3);
        if (n >= kDirectBlock) {
            // Large blocks go to the file straight from the ring: stored frames must cost no more
            // than the raw stream, which is what they fall back to.
            if (!Flush()) return false;
            if (std::fwrite(data, 1, n, file_) != n) return !(failed_ = true);
            fileBytes_ += n;
        } else {
            Append(data, n);
        }
        data += n;
        size -= n;
    }
    return true;
}

bool ZstdFrameWriter::Compress(const std::uint8_t* data, std::size_t size, bool end) {
    ZSTD_inBuffer in{data, size, 0};
    for (;;) {
        ZSTD_outBuffer out{out_.data(), out_.size(), outFill_};
        const std::size_t left = ZSTD_compressStream2(context_, &out, &in, end ? ZSTD_e_end : ZSTD_e_continue);
        outFill_ = out.pos;
        if (ZSTD_isError(left)) return !(failed_ = true);
        if (outFill_ == out_.size() && !Flush()) return false;
        if (end ? left == 0 : in.pos == in.size) return true;
    }
}

bool ZstdFrameWriter::EndFrame() {
    if (!frameOpen_ || failed_) return Flush();
    frameOpen_ = false;
    frameContent_ = 0;
    if (frameLevel_ == kStoredLevel) {
        if (outFill_ + 3 > out_.size() && !Flush()) return false;
        std::uint8_t header[3];
        BlockHeader(header, 0, true);
        Append(header, 3);
    } else if (!Compress(nullptr, 0, true)) {
        return false;
    }
    return Flush();
}

bool ZstdFrameWriter::CutBackTo(std::uint64_t offset) {
    outFill_ = 0;
    frameOpen_ = false;
    frameContent_ = 0;
    if (failed_ || offset > fileBytes_) return false;
    // The note before the forgotten frame may be gone with it: note the level again.
    noted_ = false;
    std::fflush(file_);
    if (_chsize_s(_fileno(file_), static_cast<long long>(offset)) != 0 ||
        _fseeki64(file_, static_cast<long long>(offset), SEEK_SET) != 0)
        return !(failed_ = true);
    fileBytes_ = offset;
    return true;
}

}  // namespace kestrel
