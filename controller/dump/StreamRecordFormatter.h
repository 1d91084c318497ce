// The stream's own records on one line: the opening records, thread switches, alias markers,
// client memory blocks and drawables, decoded field by field.
#pragma once
#include <cstdint>

#include "controller/reading/RecordView.h"
#include "controller/reading/TextOutput.h"

namespace kestrel {

class StreamRecordFormatter {
public:
    // Writes the line without its end; returns where raw bytes (memory, pixels) start in the
    // payload, or the payload's size when there are none.
    static std::uint32_t Append(TextOutput& out, const RecordView& record);
};

}  // namespace kestrel
