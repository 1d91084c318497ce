#include "controller/dump/CallFormatter.h"

#include <cstring>
#include <string_view>

#include "controller/reading/PayloadLayout.h"
#include "controller/reading/RecordLayout.h"
#include "controller/reading/ValueFormatter.h"

namespace kestrel {

namespace {
using description::ApiDescription;
using description::BlockDescription;
using description::FieldDescription;
using description::ValueKind;

// Most values of a block shown on the line; a longer block is shown by its size.
constexpr std::uint32_t kBlockValueLimit = 16;

void AppendValues(TextOutput& out, const RecordView& record, std::uint32_t offset, unsigned count, ValueKind kind,
                  unsigned width, bool asEnum, const char* function, const char* name) {
    if (count > 1) out << '{';
    for (unsigned i = 0; i < count; ++i) {
        if (i) out << ", ";
        const std::uint8_t* at = record.data + offset + i * width;
        if (asEnum)
            ValueFormatter::AppendAsEnum(out, kind, width, at, function, name);
        else
            ValueFormatter::Append(out, kind, width, at, function, name);
    }
    if (count > 1) out << '}';
}

void AppendField(TextOutput& out, const RecordView& record, const FieldDescription* fields, unsigned index,
                 const char* function) {
    const FieldDescription& field = fields[index];
    const FieldPlace place = PlaceOf(fields, index, record.pointerBits);
    const unsigned count = field.count ? field.count : 1;
    if (!record.Has(place.offset, place.width * count)) {
        out << '?';  // the payload ends before this field
        return;
    }
    const char* dot = std::strchr(field.name, '.');
    AppendValues(out, record, place.offset, count, field.kind, place.width,
                 RecordLayout::IsEnum(field.enumWhen, record, fields), function, dot ? dot + 1 : field.name);
}

// The part of a member's name before its dot: the structure it belongs to.
std::string_view Owner(const char* name) {
    const char* dot = std::strchr(name, '.');
    return dot ? std::string_view(name, static_cast<std::size_t>(dot - name)) : std::string_view();
}

// The bytes of a span at hand: a dump keeps only the start of long payloads.
std::uint32_t Available(const RecordView& record, const BlockSpan& span) {
    if (record.kept <= span.offset) return 0;
    return record.kept - span.offset < span.size ? record.kept - span.offset : span.size;
}

bool IsField(const FieldDescription* fields, unsigned count, const char* name) {
    for (unsigned i = 0; i < count; ++i)
        if (std::strcmp(fields[i].name, name) == 0) return true;
    return false;
}

void AppendBlock(TextOutput& out, const RecordView& record, const FieldDescription* fields, const BlockSpan& span,
                 const char* function) {
    const BlockDescription* block = span.block;
    const char* name = block ? block->source : "data";
    const bool whole = record.Has(span.offset, span.size);
    if (block && block->elementKind == ValueKind::Char) {
        out << ' ' << name << '=';
        out.Quoted(record.data + span.offset, Available(record, span), CallFormatter::kStringLimit);
        return;
    }
    const unsigned width = block ? block->elementWidth : 1;
    if (block && block->elementKind != ValueKind::Bytes && whole && span.size % width == 0 &&
        span.size / width <= kBlockValueLimit) {
        // Few values, such as a query's answer or names made: shown as what they are.
        out << ' ' << name << '=';
        const unsigned count = span.size / width;
        if (count == 1) out << '{';
        AppendValues(out, record, span.offset, count, block->elementKind, width,
                     RecordLayout::IsEnum(block->enumWhen, record, fields), function, name);
        if (count == 1) out << '}';
        return;
    }
    out << " [" << name << ": ";
    out.Unsigned(span.size);
    out << (span.size == 1 ? " byte]" : " bytes]");
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
    const char* function = alias ? alias->name : api->name;
    const FieldDescription* fields = description::FieldsOf(*api, alias);
    out << function << '(';
    const std::uint32_t fixed = FixedSizeOf(*api, record.pointerBits);
    BlockSpan spans[RecordLayout::kMaxSpans];
    const unsigned spanCount = record.payloadSize > fixed ? RecordLayout::Blocks(*api, record, fields, spans) : 0;
    int result = -1;
    bool first = true;
    for (unsigned i = 0; i < api->fieldCount; ++i) {
        const FieldDescription& field = fields[i];
        if (field.isResult) {
            result = static_cast<int>(i);
            continue;
        }
        if (field.parameter < 0) continue;  // a value the recorder adds: after the call, by name
        const std::string_view owner = Owner(field.name);
        const bool opens = !owner.empty() && (i == 0 || Owner(fields[i - 1].name) != owner);
        const bool closes = !owner.empty() && (i + 1 == api->fieldCount || Owner(fields[i + 1].name) != owner);
        if (!first) out << ", ";
        first = false;
        if (opens) out << '{';
        if (!owner.empty()) out << (field.name + owner.size() + 1) << '=';
        AppendField(out, record, fields, i, function);
        if (closes) out << '}';
    }
    // A string that stands for an argument whose address the record does not keep.
    const BlockSpan* argument = nullptr;
    for (unsigned i = 0; i < spanCount; ++i)
        if (spans[i].block && spans[i].block->elementKind == ValueKind::Char &&
            !IsField(fields, api->fieldCount, spans[i].block->source))
            argument = &spans[i];
    if (argument) {
        if (!first) out << ", ";
        out.Quoted(record.data + argument->offset, Available(record, *argument), kStringLimit);
    }
    out << ')';
    if (result >= 0) {
        out << " = ";
        AppendField(out, record, fields, static_cast<unsigned>(result), function);
    }
    for (unsigned i = 0; i < api->fieldCount; ++i) {
        if (fields[i].isResult || fields[i].parameter >= 0) continue;
        out << ' ' << fields[i].name << '=';
        AppendField(out, record, fields, i, function);
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
    for (unsigned i = 0; i < spanCount; ++i)
        if (&spans[i] != argument) AppendBlock(out, record, fields, spans[i], function);
    return fixed;
}

}  // namespace kestrel
