#include "controller/stats/FrameTimes.h"

#include <algorithm>

namespace kestrel {

std::int64_t TicksBetween(std::int64_t from, std::int64_t to) {
    // Unsigned, so that a damaged capture's time stamps cannot overflow the difference.
    return to < from ? 0 : static_cast<std::int64_t>(static_cast<std::uint64_t>(to) - static_cast<std::uint64_t>(from));
}

FrameTimes::FrameTimes(const std::vector<std::int64_t>& ends, std::size_t worstListed) {
    if (ends.size() < 2) return;
    std::vector<Frame> all;
    all.reserve(ends.size() - 1);
    double sum = 0;
    for (std::size_t i = 1; i < ends.size(); ++i) {
        const std::int64_t ticks = TicksBetween(ends[i - 1], ends[i]);
        all.push_back({i + 1, ticks});
        sum += static_cast<double>(ticks);
    }
    const std::size_t n = all.size();
    mean_ = sum / static_cast<double>(n);

    sorted_.reserve(n);
    for (const Frame& frame : all) sorted_.push_back(frame.ticks);
    std::sort(sorted_.begin(), sorted_.end());
    median_ = n % 2 ? static_cast<double>(sorted_[n / 2])
                    : (static_cast<double>(sorted_[n / 2 - 1]) + static_cast<double>(sorted_[n / 2])) / 2;

    const std::size_t listed = std::min(worstListed, n);
    std::partial_sort(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(listed), all.end(),
                      [](const Frame& a, const Frame& b) { return a.ticks != b.ticks ? a.ticks > b.ticks : a.number < b.number; });
    worst_.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(listed));
}

std::int64_t FrameTimes::Percentile(unsigned percent) const {
    if (sorted_.empty()) return 0;
    percent = std::min(percent, 100u);
    // Rank ceil(percent × n / 100), counted from 1; at least the shortest frame.
    const std::size_t rank = std::max<std::size_t>(1, (percent * sorted_.size() + 99) / 100);
    return sorted_[rank - 1];
}

}  // namespace kestrel
