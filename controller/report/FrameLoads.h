// What each frame of a capture asked for, beside the calls and end times that the statistics keep:
// its draws and the bytes of its records (calls, their data and the stream's records among them).
#pragma once
#include <cstdint>
#include <vector>

#include "controller/reading/RecordView.h"
#include "controller/reading/StreamTracker.h"

namespace kestrel {

class FrameLoads {
public:
    // Each record in order, after the tracker has advanced over it.
    void Add(const RecordView& record, const StreamTracker& tracker);

    // By frame, frame 1 first; a frame not yet ended by a swap has its entry too.
    const std::vector<std::uint32_t>& draws() const { return draws_; }
    const std::vector<std::uint64_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint32_t> draws_;
    std::vector<std::uint64_t> bytes_;
};

}  // namespace kestrel
