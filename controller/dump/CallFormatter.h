// A recorded call on one line: the function, its fixed-part arguments decoded by the description of
// its API id, the result, and its data block by size (a string by its text).
#pragma once
#include <cstdint>

#include "controller/reading/RecordView.h"
#include "controller/reading/TextOutput.h"
#include "gen/ApiDescription.h"

namespace kestrel {

class CallFormatter {
public:
    // Longest string of a data block shown on the line.
    static constexpr unsigned kStringLimit = 96;
    // Writes the line without its end. `alias` is the entry point that made the record, when an
    // alias marker announced it. Returns where the block's bytes start in the payload, or the
    // payload's size when there are none.
    static std::uint32_t Append(TextOutput& out, const RecordView& record, const description::AliasDescription* alias);
};

}  // namespace kestrel
