#include "controller/reading/StreamTracker.h"

#include <cstring>

#include "stream/RecordHeader.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

namespace {
struct SwapIds {
    std::uint32_t ids[3] = {};
    SwapIds() {
        static const char* const kNames[] = {"wglSwapBuffers", "wglSwapLayerBuffers", "wglSwapMultipleBuffers"};
        for (unsigned i = 0; i < description::kApiCount; ++i)
            for (unsigned n = 0; n < 3; ++n)
                if (std::strcmp(description::kApis[i].name, kNames[n]) == 0) ids[n] = description::kApis[i].apiId;
    }
};
}  // namespace

StreamTracker::StreamTracker() { IsSwapId(0); }  // looks the ids up before the first record

bool StreamTracker::IsSwapId(std::uint32_t id) {
    static const SwapIds swaps;
    return id != 0 && (id == swaps.ids[0] || id == swaps.ids[1] || id == swaps.ids[2]);
}

void StreamTracker::Advance(const RecordView& record) {
    frame_ = nextFrame_;
    isCall_ = record.id >= kFirstApiId;
    endsFrame_ = (isCall_ && IsSwapId(record.id)) || record.id == kFrameEndRecord;
    if (endsFrame_) ++nextFrame_;

    alias_ = nullptr;
    if (announced_ && record.id == announcedTarget_) alias_ = announced_;
    announced_ = nullptr;
    announcedTarget_ = 0;

    if (record.id == kThreadSwitchRecord && record.Has(0, 4 + record.AddressSize())) {
        hasThread_ = true;
        thread_ = record.U32(0);
        context_ = record.Address(4);
    } else if (record.id == kAliasMarkerRecord && record.Has(0, 8)) {
        // Only an alias that records as the marker's target is believed.
        const description::AliasDescription* alias = description::FindAlias(record.U32(4));
        if (alias && alias->targetApiId == record.U32(0)) {
            announced_ = alias;
            announcedTarget_ = alias->targetApiId;
        }
    }
}

}  // namespace kestrel

