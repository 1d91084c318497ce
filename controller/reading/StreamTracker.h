// What the records before a record say about it: the frame it belongs to, the thread that made it
// (from the latest thread switch) and the alias that an alias marker announced for it.
#pragma once
#include <cstdint>

#include "controller/reading/RecordView.h"
#include "gen/ApiDescription.h"

namespace kestrel {

class StreamTracker {
public:
    StreamTracker();
    // Called for every record in order; the accessors then describe that record.
    void Advance(const RecordView& record);

    // Frames are ended by the swap calls and by the frame end records that follow the flush of a
    // single-buffered window; frame 1 holds everything before the first end, and a record that ends
    // a frame belongs to it.
    std::uint64_t frame() const { return frame_; }
    std::uint64_t framesEnded() const { return nextFrame_ - 1; }
    bool endsFrame() const { return endsFrame_; }
    bool isCall() const { return isCall_; }
    bool hasThread() const { return hasThread_; }
    std::uint32_t thread() const { return thread_; }
    std::uint64_t context() const { return context_; }
    // The entry point that made this record, when the marker before it named one; else null.
    const description::AliasDescription* alias() const { return alias_; }

    static bool IsSwapId(std::uint32_t id);

private:
    std::uint64_t frame_ = 1;
    std::uint64_t nextFrame_ = 1;
    bool endsFrame_ = false;
    bool isCall_ = false;
    bool hasThread_ = false;
    std::uint32_t thread_ = 0;
    std::uint64_t context_ = 0;
    const description::AliasDescription* alias_ = nullptr;
    const description::AliasDescription* announced_ = nullptr;  // by the marker just read
    std::uint32_t announcedTarget_ = 0;
};

}  // namespace kestrel
