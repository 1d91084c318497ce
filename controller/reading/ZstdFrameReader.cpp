#include "controller/reading/ZstdFrameReader.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <cstring>

#include "controller/reading/ZstdLevelNote.h"

namespace kestrel {

namespace {
constexpr std::size_t kReadSize = 1u << 20;

std::uint32_t U32(const std::uint8_t* at) {
    std::uint32_t value = 0;
    std::memcpy(&value, at, 4);
    return value;
}
}  // namespace

ZstdFrameReader::ZstdFrameReader(std::FILE* file, const std::uint8_t* memory, std::size_t size)
    : file_(file), memory_(memory), memorySize_(size), context_(ZSTD_createDCtx()) {}

ZstdFrameReader::~ZstdFrameReader() { ZSTD_freeDCtx(context_); }

bool ZstdFrameReader::Stop(std::string problem) {
    ended_ = true;
    problem_ = std::move(problem);
    return false;
}

bool ZstdFrameReader::Hold(std::size_t size) {
    while (heldSize_ < size) {
        if (held_.size() < heldSize_ + kReadSize) held_.resize(heldSize_ + kReadSize);
        std::size_t got = 0;
        if (file_) {
            got = std::fread(held_.data() + heldSize_, 1, kReadSize, file_);
        } else if (memory_) {
            got = memorySize_ - memoryAt_ < kReadSize ? memorySize_ - memoryAt_ : kReadSize;
            std::memcpy(held_.data() + heldSize_, memory_ + memoryAt_, got);
            memoryAt_ += got;
        }
        if (got == 0) return false;
        heldSize_ += got;
    }
    return true;
}

// Drops the first `size` held bytes, which have been dealt with.
void ZstdFrameReader::Consume(std::size_t size) {
    std::memmove(held_.data(), held_.data() + size, heldSize_ - size);
    heldSize_ -= size;
    frameStart_ += size;
}

bool ZstdFrameReader::NextFrame() {
    for (;;) {
        if (!Hold(4)) {
            if (heldSize_ == 0) return false;  // the end, after a whole frame
            return Stop("truncated: the file ends " + std::to_string(heldSize_) + " bytes after its last whole frame");
        }
        const std::uint32_t magic = U32(held_.data());
        if ((magic & kSkippableMagicMask) == kSkippableMagic) {
            const std::uint64_t size = Hold(8) ? 8ull + U32(held_.data() + 4) : 0;
            if (size == 0 || size > kLargestHeldFrame || !Hold(static_cast<std::size_t>(size)))
                return Stop("truncated: the file ends inside a skippable frame at byte " + std::to_string(frameStart_));
            if (const std::optional<int> level = ZstdLevelNote::Read(held_.data(), static_cast<std::size_t>(size)))
                levels_.push_back(*level);
            Consume(static_cast<std::size_t>(size));
            continue;
        }
        if (magic != kZstdFrameMagic) return Stop("corrupt: no zstd frame at byte " + std::to_string(frameStart_));
        // The frame is handed out only once all of it is here: its blocks say where it ends.
        for (;;) {
            const std::size_t size = ZSTD_findFrameCompressedSize(held_.data(), heldSize_);
            if (!ZSTD_isError(size)) {
                frameSize_ = size;
                streaming_ = false;
                break;
            }
            if (ZSTD_getErrorCode(size) != ZSTD_error_srcSize_wrong)
                return Stop("corrupt: zstd frame at byte " + std::to_string(frameStart_) + ": " + ZSTD_getErrorName(size));
            if (heldSize_ >= kLargestHeldFrame) {
                streaming_ = true;
                break;
            }
            if (!Hold(heldSize_ + 1))
                return Stop("truncated: the file ends inside the zstd frame at byte " + std::to_string(frameStart_) + ", " +
                            std::to_string(heldSize_) + " bytes into it");
        }
        ZSTD_DCtx_reset(context_, ZSTD_reset_session_only);
        frameDone_ = 0;
        inFrame_ = true;
        return true;
    }
}

std::size_t ZstdFrameReader::Read(std::uint8_t* out, std::size_t size) {
    std::size_t got = 0;
    while (got < size && !ended_) {
        if (!inFrame_ && !NextFrame()) {
            ended_ = true;
            break;
        }
        if (streaming_ && frameDone_ == heldSize_ && !Hold(heldSize_ + 1)) {
            Stop("truncated: the file ends inside the zstd frame that began before byte " + std::to_string(frameStart_));
            break;
        }
        ZSTD_outBuffer output{out + got, size - got, 0};
        ZSTD_inBuffer input{held_.data(), streaming_ ? heldSize_ : frameSize_, frameDone_};
        const std::size_t left = ZSTD_decompressStream(context_, &output, &input);
        got += output.pos;
        frameDone_ = input.pos;
        if (ZSTD_isError(left)) {
            Stop("corrupt: zstd frame at byte " + std::to_string(frameStart_) + ": " + ZSTD_getErrorName(left));
            break;
        }
        if (left == 0) {
            Consume(frameDone_);
            inFrame_ = false;
        } else if (streaming_ && frameDone_ > kReadSize) {
            // A frame too large to hold keeps only the bytes not yet decompressed.
            Consume(frameDone_);
            frameDone_ = 0;
        } else if (!streaming_ && frameDone_ == frameSize_ && output.pos < output.size) {
            Stop("corrupt: zstd frame at byte " + std::to_string(frameStart_) + " ends before its content does");
            break;
        }
    }
    return got;
}

}  // namespace kestrel
