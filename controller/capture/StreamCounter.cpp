#include "controller/capture/StreamCounter.h"

#include <cstring>

#include "gen/ApiTable.h"
#include "stream/AliasMarkerPayload.h"
#include "stream/RecordHeader.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

std::uint32_t StreamCounter::Feed(const std::uint8_t* data, std::uint32_t size) {
    if (limitReached_) return 0;
    const std::uint32_t given = size;
    while (size > 0) {
        if (payloadLeft_ > 0) {
            const std::uint32_t skip = payloadLeft_ < size ? static_cast<std::uint32_t>(payloadLeft_) : size;
            payloadLeft_ -= skip;
            data += skip;
            size -= skip;
        } else {
            const std::uint32_t take = sizeof header_ - headerFill_ < size ? sizeof header_ - headerFill_ : size;
            std::memcpy(header_ + headerFill_, data, take);
            headerFill_ += take;
            data += take;
            size -= take;
            if (headerFill_ == sizeof header_) OnHeader();
        }
        if (payloadLeft_ == 0 && headerFill_ == 0) {
            wholeBytes_ = bytes_ + (given - size);
            // The last frame's closing record is whole: nothing after it belongs to the stream.
            if (frameLimit_ != 0 && frames_ >= frameLimit_) {
                limitReached_ = true;
                break;
            }
        }
    }
    bytes_ += given - size;
    return given - size;
}

void StreamCounter::OnHeader() {
    RecordHeader header{};
    std::memcpy(&header, header_, sizeof header);
    headerFill_ = 0;
    payloadLeft_ = header.payloadSize;
    ++records_;
    // An alias marker's size also covers the record it marks, which is counted on its own.
    if (header.id == kAliasMarkerRecord && header.payloadSize >= AliasMarkerPayload::DeclaredSize(0))
        payloadLeft_ = sizeof(AliasMarkerPayload);
    // A single-buffered window's frame ends with the record after its glFlush or glFinish.
    const bool frameEnd = header.id == kFrameEndRecord || header.id == api::wglSwapBuffers ||
                          header.id == api::wglSwapLayerBuffers || header.id == api::wglSwapMultipleBuffers;
    if (header.id >= kFirstApiId) ++callsThisFrame_;
    if (frameEnd) {
        ++frames_;
        lastFrameCalls_ = callsThisFrame_;
        callsThisFrame_ = 0;
    }
}

}  // namespace kestrel
