#include "controller/reading/RecordLayout.h"

#include <algorithm>
#include <cstring>

#include "controller/reading/PayloadLayout.h"

namespace kestrel {

namespace {
using description::BlockDescription;
using description::BlockSize;
using description::FieldDescription;
using description::ValueKind;

// What a block's own rule asks for; the rest of the payload is settled by the caller.
std::uint64_t Wanted(const BlockDescription& block, const RecordView& record, const FieldDescription* fields) {
    if (block.whenField >= 0 && RecordLayout::FieldValue(record, fields, static_cast<unsigned>(block.whenField)) == 0) return 0;
    switch (block.size) {
    case BlockSize::Bytes:
        return block.bytes;
    case BlockSize::Field:
        return RecordLayout::FieldValue(record, fields, static_cast<unsigned>(block.sizeField)) * block.bytes;
    case BlockSize::Rest:
        break;
    }
    return 0;
}
}  // namespace

std::uint64_t RecordLayout::FieldValue(const RecordView& record, const FieldDescription* fields, unsigned index) {
    const FieldDescription& field = fields[index];
    const FieldPlace place = PlaceOf(fields, index, record.pointerBits);
    const unsigned width = place.width < 8 ? place.width : 8;
    if (!record.Has(place.offset, width)) return 0;
    std::uint64_t value = 0;
    std::memcpy(&value, record.data + place.offset, width);  // little-endian, like the capture
    if (field.kind == ValueKind::SignedInt && width < 8 && (value >> (width * 8 - 1)) & 1) return 0;
    if (field.kind == ValueKind::SignedInt && width == 8 && static_cast<std::int64_t>(value) < 0) return 0;
    return value;
}

bool RecordLayout::IsEnum(const description::EnumWhen* when, const RecordView& record,
                          const FieldDescription* fields) {
    if (!when) return false;
    const FieldPlace selector = PlaceOf(fields, when->selector, record.pointerBits);
    if (!record.Has(selector.offset, selector.width)) return false;
    const std::uint64_t value = FieldValue(record, fields, when->selector);
    return std::binary_search(when->values, when->values + when->count, value);
}

unsigned RecordLayout::Blocks(const description::ApiDescription& api, const RecordView& record,
                              const FieldDescription* fields, BlockSpan (&spans)[kMaxSpans]) {
    unsigned count = 0;
    std::uint32_t at = FixedSizeOf(api, record.pointerBits);
    if (record.payloadSize <= at) return 0;
    for (unsigned i = 0; i < api.blockCount && count < kMaxSpans - 1; ++i) {
        const BlockDescription& block = api.block[i];
        const std::uint32_t left = record.payloadSize - at;
        std::uint64_t size = Wanted(block, record, fields);
        if (block.size == BlockSize::Rest) {
            // What the blocks after it leave.
            const bool present = block.whenField < 0 || FieldValue(record, fields, static_cast<unsigned>(block.whenField)) != 0;
            std::uint64_t after = 0;
            for (unsigned j = i + 1; j < api.blockCount; ++j) after += Wanted(api.block[j], record, fields);
            size = present && left > after ? left - after : 0;
        }
        size = std::min<std::uint64_t>(size, left);
        if (size == 0) continue;
        spans[count++] = {&block, at, static_cast<std::uint32_t>(size)};
        at += static_cast<std::uint32_t>(size);
    }
    if (at < record.payloadSize) spans[count++] = {nullptr, at, record.payloadSize - at};
    return count;
}

}  // namespace kestrel
