#include "controller/report/FrameLoads.h"

#include "controller/report/CallRole.h"
#include "stream/RecordHeader.h"

namespace kestrel {

void FrameLoads::Add(const RecordView& record, const StreamTracker& tracker) {
    const std::size_t frame = static_cast<std::size_t>(tracker.frame());
    if (draws_.size() < frame) {
        draws_.resize(frame, 0);
        bytes_.resize(frame, 0);
    }
    bytes_[frame - 1] += sizeof(RecordHeader) + std::uint64_t{record.payloadSize};
    if (tracker.isCall() && RoleOfCall(record.id) == CallRole::Draw) ++draws_[frame - 1];
}

}  // namespace kestrel
