// The note a compressed capture carries before the frames written at a new level: a zstd skippable
// frame, which every decompressor passes over, so that the concatenated frame contents stay exactly
// the record stream while `kestrel stats` can still tell how the file was written.
#pragma once
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>

namespace kestrel {

// Frames written with their blocks stored as they are, not compressed.
constexpr int kStoredLevel = INT_MIN;

constexpr std::uint32_t kZstdFrameMagic = 0xFD2FB528u;
constexpr std::uint32_t kSkippableMagicMask = 0xFFFFFFF0u;
constexpr std::uint32_t kSkippableMagic = 0x184D2A50u;
// The skippable frame kind (of 16) and the tag that mark a level note.
constexpr std::uint32_t kLevelNoteMagic = 0x184D2A5Bu;
constexpr char kLevelNoteTag[4] = {'K', 'L', 'V', 'L'};
constexpr std::size_t kLevelNoteSize = 16;  // magic, size, tag, level

struct ZstdLevelNote {
    static void Write(std::uint8_t* out, int level) {
        const std::uint32_t magic = kLevelNoteMagic, size = 8;
        const std::int32_t value = level;
        std::memcpy(out, &magic, 4);
        std::memcpy(out + 4, &size, 4);
        std::memcpy(out + 8, kLevelNoteTag, 4);
        std::memcpy(out + 12, &value, 4);
    }
    // The level of a whole skippable frame, if it is a level note.
    static std::optional<int> Read(const std::uint8_t* frame, std::size_t size) {
        std::uint32_t magic = 0, length = 0;
        if (size != kLevelNoteSize) return std::nullopt;
        std::memcpy(&magic, frame, 4);
        std::memcpy(&length, frame + 4, 4);
        if (magic != kLevelNoteMagic || length != 8 || std::memcmp(frame + 8, kLevelNoteTag, 4) != 0) return std::nullopt;
        std::int32_t level = 0;
        std::memcpy(&level, frame + 12, 4);
        return level;
    }
};

}  // namespace kestrel
