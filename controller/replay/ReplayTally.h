// What a replay did: calls re-issued, read-backs left out, and the calls it could not re-issue,
// by name, with the reason.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kestrel::replay {

struct ReplayTally {
    struct Left {
        std::uint64_t count = 0;
        std::string reason;
    };
    std::uint64_t replayed = 0;
    std::uint64_t queries = 0;
    std::map<std::string, Left> notReplayed;
    std::uint64_t framesPresented = 0;
    std::uint64_t imagesSaved = 0;
    std::uint64_t finalImagesSaved = 0;  // of surfaces drawn into after their last frame end
    std::uint64_t lastFrame = 0;  // the last frame that ended
    // With errors checked: the answers compared, and the first ones that differed.
    struct ErrorDifference {
        std::uint64_t record = 0;
        std::uint64_t frame = 0;
        std::uint32_t captured = 0;
        std::uint32_t replayed = 0;
    };
    std::uint64_t errorsChecked = 0;
    std::uint64_t errorsDiffering = 0;
    std::vector<ErrorDifference> firstDifferences;  // at most kDifferencesKept
    static constexpr std::size_t kDifferencesKept = 10;

    std::uint64_t notReplayedCalls() const {
        std::uint64_t total = 0;
        for (const auto& [name, left] : notReplayed) total += left.count;
        return total;
    }
};

}  // namespace kestrel::replay
