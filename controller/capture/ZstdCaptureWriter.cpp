#include "controller/capture/ZstdCaptureWriter.h"

#include <algorithm>

namespace kestrel {

void ZstdCaptureWriter::Compress(const std::uint8_t* data, std::size_t size) {
    // Whole records end a frame after them once it is full; a large record is cut into frames.
    while (size > 0 && !frames_.failed()) {
        const std::uint64_t room = kFrameBytes - frames_.frameContent();
        const std::size_t n = !inLarge_ || size < room ? size : static_cast<std::size_t>(room);
        frames_.Write(data, n);
        if (frames_.frameContent() >= kFrameBytes) frames_.EndFrame();
        data += n;
        size -= n;
    }
}

void ZstdCaptureWriter::Write(const std::uint8_t* data, std::uint32_t size, std::uint64_t wholeEnd) {
    std::uint64_t start = stream_;
    stream_ += size;
    if (inLarge_) {
        if (wholeEnd <= largeRecord_) {
            Compress(data, size);
            written_ = stream_;
            return;
        }
        const auto n = static_cast<std::uint32_t>(wholeEnd - start);
        Compress(data, n);
        inLarge_ = false;
        written_ = start = wholeEnd;
        data += n;
        size -= n;
    }
    // tail_ holds the stream from written_ to start.
    if (wholeEnd > written_) {
        Compress(tail_.data(), tail_.size());
        tail_.clear();
        const auto n = static_cast<std::uint32_t>(wholeEnd - start);
        Compress(data, n);
        written_ = wholeEnd;
        data += n;
        size -= n;
    }
    if (tail_.empty() && size > kHoldBack) {
        // A large record from its start: straight into frames of its own, without the copy.
        frames_.EndFrame();
        largeFile_ = frames_.fileBytes();
        largeRecord_ = written_;
        inLarge_ = true;
        Compress(data, size);
        written_ = stream_;
        return;
    }
    tail_.insert(tail_.end(), data, data + size);
    if (tail_.size() > kHoldBack) {
        // A frame boundary where the record starts: if the record is never whole, the file goes back to it.
        frames_.EndFrame();
        largeFile_ = frames_.fileBytes();
        largeRecord_ = written_;
        inLarge_ = true;
        Compress(tail_.data(), tail_.size());
        tail_.clear();
        written_ = stream_;
    }
}

void ZstdCaptureWriter::EndOfDrain(double ringFill, std::uint32_t nowMs) {
    level_.AfterDrain(ringFill, nowMs);
    frames_.SetLevel(level_.level());
    lowest_ = std::min(lowest_, level_.level());
    frames_.EndFrame();
}

bool ZstdCaptureWriter::Finish() {
    if (inLarge_) frames_.CutBackTo(largeFile_);
    inLarge_ = false;
    tail_.clear();
    frames_.EndFrame();
    return !frames_.failed();
}

}  // namespace kestrel
