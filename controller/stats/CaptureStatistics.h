// Figures of a capture gathered record by record: sizes, frames with their calls and end times,
// threads and their calls, contexts, the bytes of each kind of data, and how often each function
// was called and how many bytes its records take.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "controller/stats/DataVolume.h"
#include "controller/reading/RecordView.h"
#include "controller/reading/StreamTracker.h"

namespace kestrel {

class CaptureStatistics {
public:
    struct Tally {
        std::string name;
        std::uint64_t count = 0;
        std::uint64_t bytes = 0;  // headers included, and the alias marker ahead of a record
    };
    struct ThreadCalls {
        std::uint32_t thread = 0;
        std::uint64_t calls = 0;
    };
    struct Spread {
        std::uint64_t min = 0;
        double median = 0;
        std::uint64_t max = 0;
    };

    CaptureStatistics();
    void Add(const RecordView& record);

    std::uint64_t records() const { return records_; }
    std::uint64_t bytes() const { return bytes_; }
    std::uint64_t calls() const { return calls_; }
    // Frames ended by a swap call; the calls after the last swap belong to no finished frame.
    std::uint64_t frames() const { return callsPerFrame_.size(); }
    std::uint64_t callsAfterLastSwap() const { return callsInFrame_; }
    const std::vector<std::uint64_t>& callsPerFrame() const { return callsPerFrame_; }
    // The time stamp of the swap that ended each finished frame.
    const std::vector<std::int64_t>& frameEnds() const { return frameEnds_; }
    Spread CallsPerFrameSpread() const;  // zeros without a finished frame
    std::int64_t firstTimeStamp() const { return firstTime_; }
    std::int64_t lastTimeStamp() const { return lastTime_; }
    // In the order of their first appearance.
    const std::vector<std::uint32_t>& threads() const { return threads_.order; }
    // Calls made by each thread, the threads in the order of their first appearance.
    std::vector<ThreadCalls> CallsByThread() const;
    // Calls that came before any thread switch named their thread.
    std::uint64_t callsWithoutThread() const { return callsWithoutThread_; }
    const std::vector<std::uint64_t>& contexts() const { return contexts_.order; }
    // The recorded process's pointer width, from the capture's API type record.
    std::uint32_t pointerBits() const { return pointerBits_; }
    // Functions under the name the application called, most first; ties by name.
    std::vector<Tally> TopByCount(std::size_t n) const;
    std::vector<Tally> TopByBytes(std::size_t n) const;
    // The stream's own records by kind, in the order of their first appearance.
    const std::vector<Tally>& streamRecords() const { return streamRecords_; }
    const DataVolume& volume() const { return volume_; }

private:
    template <class T>
    struct DistinctValues {
        std::vector<T> order;
        std::unordered_map<T, std::size_t> index;
        // The value's position in `order`.
        std::size_t Add(T value) {
            const auto [at, added] = index.emplace(value, order.size());
            if (added) order.push_back(value);
            return at->second;
        }
    };
    static constexpr std::size_t kNoThread = static_cast<std::size_t>(-1);
    Tally& FunctionTally(const RecordView& record);
    void NoteMakeCurrent(const RecordView& record);
    std::vector<Tally> Top(std::size_t n, std::uint64_t Tally::*by) const;

    StreamTracker tracker_;
    std::uint64_t records_ = 0;
    std::uint64_t bytes_ = 0;
    std::uint64_t calls_ = 0;
    std::uint64_t callsInFrame_ = 0;
    std::vector<std::uint64_t> callsPerFrame_;
    std::vector<std::int64_t> frameEnds_;
    std::int64_t firstTime_ = 0;
    std::int64_t lastTime_ = 0;
    std::uint64_t markerBytes_ = 0;  // of the alias marker just read, added to the record it marks
    DistinctValues<std::uint32_t> threads_;
    std::vector<std::uint64_t> threadCalls_;  // by position in threads_
    std::size_t currentThread_ = kNoThread;
    std::uint64_t callsWithoutThread_ = 0;
    DistinctValues<std::uint64_t> contexts_;  // handles: 64 bits wide in a 64-bit capture
    std::unordered_map<std::uint64_t, Tally> functions_;  // by alias number + 1 (or 0) and API id
    std::vector<Tally> streamRecords_;
    std::unordered_map<std::uint32_t, std::size_t> streamRecordIndex_;  // by id
    DataVolume volume_;
    std::uint32_t pointerBits_ = 32;
};

}  // namespace kestrel
