// A capture as Chrome trace-event JSON, which Perfetto and the browser's trace viewer open: a track
// per thread with an instant event per call, and a "frames" track with one slice per frame, from
// swap to swap, carrying its call count. Time stamps are microseconds from the first record.
#pragma once
#include <cstdint>
#include <set>

#include "controller/reading/RecordView.h"
#include "controller/reading/StreamTracker.h"
#include "controller/reading/TextOutput.h"

namespace kestrel {

class ChromeTraceWriter {
public:
    // Beyond this many call events a trace is too large for the viewers; frames stay whole.
    static constexpr std::uint64_t kCallEventLimit = 1000000;

    ChromeTraceWriter(TextOutput& out, double ticksPerSecond, std::uint64_t callEventLimit = kCallEventLimit);
    // Each record in order, after the tracker has advanced over it.
    void Add(const RecordView& record, const StreamTracker& tracker);
    // Closes the trace; a capped trace ends with a note that says so.
    void Finish();

    std::uint64_t frames() const { return frames_; }
    std::size_t threads() const { return threads_.size(); }
    std::uint64_t callEvents() const { return callEvents_; }
    bool capped() const { return calls_ > callEvents_; }

private:
    double Microseconds(std::int64_t timeStamp) const;
    void BeginEvent();
    // The slice of the frame that ends at `at`.
    void FrameSlice(double at);
    void NameThread(std::uint32_t thread);
    void Time(double microseconds);

    TextOutput& out_;
    double ticksPerMicrosecond_;
    std::uint64_t callEventLimit_;
    bool started_ = false;
    bool firstEvent_ = true;
    std::int64_t origin_ = 0;
    double frameStart_ = 0;
    double last_ = 0;
    std::uint64_t frames_ = 0;
    std::uint64_t callsInFrame_ = 0;
    std::uint64_t calls_ = 0;
    std::uint64_t callEvents_ = 0;
    std::set<std::uint32_t> threads_;
};

}  // namespace kestrel
