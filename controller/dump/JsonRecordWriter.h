// A record as one JSON object on one line, for scripts: its number, time stamp and thread, then for
// a call the function, its arguments by name (enums by name, numbers as numbers, the rest as the
// text dump writes them), the result and its data block by length and hash, or in base64.
#pragma once
#include <cstdint>

#include "controller/reading/RecordView.h"
#include "controller/reading/StreamTracker.h"
#include "controller/reading/TextOutput.h"

namespace kestrel {

class JsonRecordWriter {
public:
    // The record must be kept whole: the hash covers every byte of its data block.
    static void Append(TextOutput& out, const RecordView& record, const StreamTracker& tracker, std::uint64_t index,
                       bool base64);
    // FNV-1a, 64 bits: enough to tell blocks apart and to match them across captures.
    static std::uint64_t Hash(const std::uint8_t* bytes, std::size_t size);
    // Between quotes, with JSON's escapes; bytes above 0x7F as \u00XX, so the line stays ASCII.
    static void String(TextOutput& out, const std::uint8_t* bytes, std::size_t size);
};

}  // namespace kestrel
