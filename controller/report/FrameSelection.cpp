#include "controller/report/FrameSelection.h"

#include <algorithm>
#include <set>

#include "controller/stats/FrameTimes.h"

namespace kestrel {

namespace {
std::string Number(std::uint64_t value) {
    std::string digits = std::to_string(value), grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}
}  // namespace

FrameSelection FrameSelection::Choose(const std::vector<std::uint64_t>& callsPerFrame,
                                      const std::vector<std::int64_t>& frameEnds, bool rangeGiven, std::uint64_t first,
                                      std::uint64_t last) {
    FrameSelection selection;
    const std::uint64_t count = callsPerFrame.size();
    auto cost = [&](std::uint64_t frame) { return std::min(callsPerFrame[frame - 1], kFrameCallLimit); };
    std::uint64_t spent = 0;
    const std::string budget = " (the lists stop at " + Number(kCallBudget) + " calls in all)";

    if (rangeGiven) {
        std::uint64_t frame = first;
        for (; frame <= std::min(last, count); ++frame) {
            if (spent + cost(frame) > kCallBudget && !selection.frames_.empty()) break;
            spent += cost(frame);
            selection.frames_.push_back(frame);
        }
        const std::string asked = "frames " + Number(first) + (last == first ? "" : last == UINT64_MAX ? " on" : " to " + Number(last));
        if (selection.frames_.empty())
            selection.why_ = "none: the capture has " + Number(count) + " frames and " + asked + " were asked for";
        else if (frame <= std::min(last, count))
            selection.why_ = "frames " + Number(first) + " to " + Number(frame - 1) + " of the " + asked + " asked for" + budget;
        else
            selection.why_ = asked + ", as asked";
        return selection;
    }

    std::uint64_t all = 0;
    for (std::uint64_t frame = 1; frame <= count; ++frame) all += cost(frame);
    if (all <= kCallBudget) {
        for (std::uint64_t frame = 1; frame <= count; ++frame) selection.frames_.push_back(frame);
        selection.why_ = "every frame";
        return selection;
    }
    const FrameTimes times(frameEnds, kSlowFrames);
    std::set<std::uint64_t> chosen;
    std::string slow;
    for (const FrameTimes::Frame& worst : times.worst()) {
        std::set<std::uint64_t> around;
        std::uint64_t extra = 0;
        for (std::uint64_t frame = worst.number > kWindow ? worst.number - kWindow : 1;
             frame <= std::min(count, worst.number + kWindow); ++frame)
            if (!chosen.count(frame) && around.insert(frame).second) extra += cost(frame);
        if (spent + extra > kCallBudget) break;
        spent += extra;
        chosen.insert(around.begin(), around.end());
        slow += (slow.empty() ? "" : ", ") + Number(worst.number);
    }
    selection.frames_.assign(chosen.begin(), chosen.end());
    selection.why_ = selection.frames_.empty()
                         ? "none: even the slowest frame has more calls than a page can list" + budget
                         : "the slowest frames (" + slow + ") with " + std::to_string(kWindow) + " frames either side";
    return selection;
}

}  // namespace kestrel
