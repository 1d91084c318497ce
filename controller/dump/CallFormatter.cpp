#include "controller/dump/CallFormatter.h"

#include <cstring>

#include "controller/reading/PayloadLayout.h"
#include "controller/reading/ValueFormatter.h"

namespace kestrel {

namespace {
using description::ApiDescription;
using description::FieldDescription;
using description::ValueKind;

void AppendField(TextOutput& out, const RecordView& record, const ApiDescription& api, unsigned index) {
    const FieldDescription& field = api.fields[index];
    const FieldPlace place = PlaceOf(api, index, record.pointerBits);
    const unsigned count = field.count ? field.count : 1;
    if (!record.Has(place.offset, place.width * count)) {
        out << '?';  // the payload ends before this field
        return;
    }
    const std::uint8_t* at = record.data + place.offset;
    if (count > 1) out << '{';
    for (unsigned i = 0; i < count; ++i) {
        if (i) out << ", ";
        ValueFormatter::Append(out, field.kind, place.width, at + i * place.width, api.name, field.name);
    }
    if (count > 1) out << '}';
}
}  // namespace

std::uint32_t CallFormatter::Append(TextOutput& out, const RecordView& record,
                                    const description::AliasDescription* alias) {
    const ApiDescription* api = description::FindApi(record.id);
    if (!api) {
        out << "unknown API id ";
        out.Hex(record.id, 8);
        out << " [";
        out.Unsigned(record.payloadSize);
        out << " bytes]";
        return 0;
    }
    out << (alias ? alias->name : api->name) << '(';
    const std::uint32_t fixed = FixedSizeOf(*api, record.pointerBits);
    const description::BlockDescription* block = record.payloadSize > fixed ? api->block : nullptr;
    const bool isString = block && block->elementKind == ValueKind::Char;
    const std::uint32_t blockKept = record.kept > fixed ? record.kept - fixed : 0;
    const std::uint8_t* blockBytes = blockKept ? record.data + fixed : record.data;
    int result = -1;
    bool first = true, blockIsArgument = false;
    for (unsigned i = 0; i < api->fieldCount; ++i) {
        const FieldDescription& field = api->fields[i];
        if (field.isResult) {
            result = static_cast<int>(i);
            continue;
        }
        if (!first) out << ", ";
        first = false;
        AppendField(out, record, *api, i);
        if (block && std::strcmp(field.name, block->source) == 0) blockIsArgument = true;
    }
    if (isString && !blockIsArgument) {
        // The string stands for an argument whose address the record does not keep.
        if (!first) out << ", ";
        out.Quoted(blockBytes, blockKept, kStringLimit);
    }
    out << ')';
    if (result >= 0) {
        out << " = ";
        AppendField(out, record, *api, static_cast<unsigned>(result));
    }
    if (alias) out << " (as " << api->name << ')';

    if (record.payloadSize < fixed) {
        out << " [payload ";
        out.Unsigned(record.payloadSize);
        out << " of ";
        out.Unsigned(fixed);
        out << " bytes]";
        return record.payloadSize;
    }
    if (record.payloadSize == fixed) return fixed;
    if (isString) {
        if (blockIsArgument) {
            out << ' ' << block->source << '=';
            out.Quoted(blockBytes, blockKept, kStringLimit);
        }
        return fixed;
    }
    const std::uint32_t extra = record.payloadSize - fixed;
    out << " [" << (block ? block->source : "data") << ": ";
    out.Unsigned(extra);
    out << (extra == 1 ? " byte]" : " bytes]");
    return fixed;
}

}  // namespace kestrel
