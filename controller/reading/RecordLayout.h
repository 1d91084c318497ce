// Where the parts of a call record lie, by its description: the value of a field, whether a value
// is an enum by its record's parameter name, and the blocks after the fixed part.
#pragma once
#include <cstdint>

#include "controller/reading/RecordView.h"
#include "gen/ApiDescription.h"

namespace kestrel {

struct BlockSpan {
    const description::BlockDescription* block;  // null for bytes that no block describes
    std::uint32_t offset;
    std::uint32_t size;  // in the payload; the bytes at hand may be fewer
};

class RecordLayout {
public:
    static constexpr unsigned kMaxSpans = 8;
    // A field's value as an unsigned number; 0 when it is not at hand, or is a negative count.
    static std::uint64_t FieldValue(const RecordView& record, const description::FieldDescription* fields,
                                    unsigned index);
    // Whether a value that is an enum only for some parameter names is one in this record.
    static bool IsEnum(const description::EnumWhen* when, const RecordView& record,
                       const description::FieldDescription* fields);
    // The blocks after the fixed part that hold bytes, in payload order, then any bytes left over.
    // Returns their number.
    static unsigned Blocks(const description::ApiDescription& api, const RecordView& record,
                           const description::FieldDescription* fields, BlockSpan (&spans)[kMaxSpans]);
};

}  // namespace kestrel
