#include "controller/report/FrameCallLists.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "controller/dump/CallFormatter.h"
#include "controller/dump/DumpOptions.h"
#include "controller/dump/RecordDumper.h"
#include "controller/reading/PayloadLayout.h"
#include "controller/reading/StreamRecordKind.h"
#include "controller/report/CallRole.h"
#include "controller/report/PageJson.h"
#include "controller/stats/DataVolume.h"
#include "gen/ApiDescription.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

FrameCallLists::FrameCallLists(std::vector<std::uint64_t> frames, std::uint64_t callLimit)
    : frames_(std::move(frames)), callLimit_(callLimit) {
    out_ << '{';
}

std::uint32_t FrameCallLists::PayloadNeeded() {
    static const std::uint32_t needed = RecordDumper::PayloadNeeded(DumpOptions{});
    return needed;
}

bool FrameCallLists::Add(const RecordView& record) {
    ++index_;
    tracker_.Advance(record);
    const std::uint64_t frame = tracker_.frame();
    if (inFrame_ && frame != current_) {
        out_ << "]";
        inFrame_ = false;
    }
    if (!inFrame_) {
        while (next_ < frames_.size() && frames_[next_] < frame) ++next_;
        if (next_ >= frames_.size()) return false;
        if (frames_[next_] != frame) return true;
        ++next_;
        if (out_.text().size() >= kTextLimit) return true;  // the frame is not listed
        out_ << (current_ ? ",\"" : "\"");
        out_.Unsigned(frame);
        out_ << "\":[";
        current_ = frame;
        inFrame_ = true;
        listed_ = 0;
        pendingMemory_ = 0;
    }
    if (record.id == kClientMemoryBlockRecord) {
        const std::uint32_t head = ClientMemoryHeaderSize(record.pointerBits);
        if (record.payloadSize > head) pendingMemory_ += record.payloadSize - head;
        return true;
    }
    if (!tracker_.isCall()) return true;
    if (listed_ < callLimit_ && out_.text().size() < kTextLimit) Call(record);
    pendingMemory_ = 0;
    return true;
}

void FrameCallLists::Call(const RecordView& record) {
    out_ << (listed_++ ? ",[" : "[");
    out_.Unsigned(index_ - 1);
    out_ << ',';
    if (tracker_.hasThread())
        out_.Unsigned(tracker_.thread());
    else
        out_ << "null";
    out_ << ',';
    line_.Clear();
    CallFormatter::Append(line_, record, tracker_.alias());
    PageJsonString(out_, line_.text());

    const description::ApiDescription* api = description::FindApi(record.id);
    const std::uint32_t fixed = api ? FixedSizeOf(*api, record.pointerBits) : record.payloadSize;
    const std::uint64_t own = record.payloadSize > fixed ? record.payloadSize - fixed : 0;
    DataKind kind = DataVolume::KindOfCallData(record.id);
    if (pendingMemory_ > 0 && (kind == DataKind::Calls || own == 0)) kind = DataKind::ClientArrays;
    out_ << ',';
    out_.Unsigned(own + pendingMemory_);
    out_ << ',';
    out_.Unsigned(static_cast<unsigned>(kind));
    const CallRole role = RoleOfCall(record.id);
    out_ << ',';
    out_.Unsigned(static_cast<unsigned>(role));
    const std::uint32_t kept = record.kept > fixed ? record.kept - fixed : 0;
    if (role == CallRole::PushGroup && kept > 0) {
        // The group's name, where the record carries it: its string block, up to its zero.
        const std::uint8_t* text = record.data + fixed;
        const void* zero = std::memchr(text, 0, kept);
        const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - text) : kept;
        out_ << ',';
        PageJsonString(out_, std::string_view(reinterpret_cast<const char*>(text), std::min<std::size_t>(length, CallFormatter::kStringLimit)));
    }
    out_ << ']';
}

std::string_view FrameCallLists::Finish() {
    if (!finished_) {
        if (inFrame_) out_ << "]";
        out_ << '}';
        finished_ = true;
        inFrame_ = false;
    }
    return out_.text();
}

}  // namespace kestrel
