// Layout of the per-process thread-depth block "Local\TRKSM_IL_<pid>", shared with every module
// that opens it by name.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kestrel {

#pragma pack(push, 1)
struct ThreadDepthEntry {
    std::uint32_t threadId;  // 0 ends the list
    std::int32_t depth;
};

struct ThreadDepthBlock {
    static constexpr std::uint32_t kEntries = 127;
    static constexpr std::uint32_t kSize = 1025;  // the creator maps one byte more than the entries use

    std::uint32_t lock;
    std::uint32_t lastThread;
    ThreadDepthEntry entries[kEntries];
};
#pragma pack(pop)

static_assert(sizeof(ThreadDepthEntry) == 8);
static_assert(offsetof(ThreadDepthBlock, lock) == 0);
static_assert(offsetof(ThreadDepthBlock, lastThread) == 4);
static_assert(offsetof(ThreadDepthBlock, entries) == 8);
static_assert(sizeof(ThreadDepthBlock) == 1024);

// "Local\TRKSM_IL_%d"
constexpr const char* kThreadDepthBlockFormat = "Local\\TRKSM_IL_%d";

}  // namespace kestrel
