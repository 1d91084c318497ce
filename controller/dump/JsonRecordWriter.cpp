#include "controller/dump/JsonRecordWriter.h"

#include <cstring>
#include <string_view>

#include "controller/reading/PayloadLayout.h"
#include "controller/reading/RecordLayout.h"
#include "controller/reading/StreamRecordKind.h"
#include "controller/reading/ValueFormatter.h"
#include "gen/ApiDescription.h"
#include "stream/MappedWritePayload.h"
#include "stream/RecordHeader.h"

namespace kestrel {

namespace {
using description::ApiDescription;
using description::FieldDescription;
using description::ValueKind;

// A JSON number as the text dump writes it: decimal, with an optional fraction and exponent.
bool IsJsonNumber(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-') ++i;
    const std::size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == digits || (text[digits] == '0' && i - digits > 1)) return false;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fraction = ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        if (i == fraction) return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        const std::size_t exponent = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        if (i == exponent) return false;
    }
    return i == text.size();
}

void Value(TextOutput& out, TextOutput& scratch, ValueKind kind, unsigned width, const std::uint8_t* at,
           const char* function, const char* parameter, bool asEnum) {
    scratch.Clear();
    if (asEnum)
        ValueFormatter::AppendAsEnum(scratch, kind, width, at, function, parameter);
    else
        ValueFormatter::Append(scratch, kind, width, at, function, parameter);
    const std::string_view text = scratch.text();
    if (IsJsonNumber(text)) {
        out << text;
    } else {
        JsonRecordWriter::String(out, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
}

void Field(TextOutput& out, TextOutput& scratch, const RecordView& record, const FieldDescription* fields,
           unsigned index, const char* function) {
    const FieldDescription& field = fields[index];
    const FieldPlace place = PlaceOf(fields, index, record.pointerBits);
    const unsigned count = field.count ? field.count : 1;
    if (!record.Has(place.offset, place.width * count)) {
        out << "null";  // the payload ends before this field
        return;
    }
    const char* dot = std::strchr(field.name, '.');
    const bool asEnum = RecordLayout::IsEnum(field.enumWhen, record, fields);
    if (count > 1) out << '[';
    for (unsigned i = 0; i < count; ++i) {
        if (i) out << ',';
        Value(out, scratch, field.kind, place.width, record.data + place.offset + i * place.width, function,
              dot ? dot + 1 : field.name, asEnum);
    }
    if (count > 1) out << ']';
}

// The part of a member's name before its dot: the structure it belongs to.
std::string_view Owner(const char* name) {
    const char* dot = std::strchr(name, '.');
    return dot ? std::string_view(name, static_cast<std::size_t>(dot - name)) : std::string_view();
}

void Base64(TextOutput& out, const std::uint8_t* bytes, std::size_t size) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out << '"';
    for (std::size_t i = 0; i < size; i += 3) {
        const std::uint32_t n = static_cast<std::uint32_t>(bytes[i]) << 16 |
                                (i + 1 < size ? static_cast<std::uint32_t>(bytes[i + 1]) << 8 : 0) |
                                (i + 2 < size ? bytes[i + 2] : 0);
        out << kDigits[n >> 18 & 63] << kDigits[n >> 12 & 63];
        out << (i + 1 < size ? kDigits[n >> 6 & 63] : '=') << (i + 2 < size ? kDigits[n & 63] : '=');
    }
    out << '"';
}

// Most values of a typed block listed under "values".
constexpr std::uint32_t kBlockValueLimit = 256;

void Block(TextOutput& out, TextOutput& scratch, const RecordView& record, const FieldDescription* fields,
           const BlockSpan& span, const char* function, bool base64) {
    const description::BlockDescription* block = span.block;
    const std::uint8_t* bytes = record.data + span.offset;
    const bool whole = record.Has(span.offset, span.size);
    out << "{\"source\":\"" << (block ? block->source : "data") << "\",\"bytes\":";
    out.Unsigned(span.size);
    if (whole && block && block->elementKind == ValueKind::Char) {
        const void* end = std::memchr(bytes, 0, span.size);
        const std::size_t length = end ? static_cast<const std::uint8_t*>(end) - bytes : span.size;
        out << ",\"text\":";
        JsonRecordWriter::String(out, bytes, length);
        if (length + 1 < span.size) {
            // Several strings, each with its NUL.
            out << ",\"strings\":[";
            for (std::size_t at = 0; at < span.size;) {
                const void* stop = std::memchr(bytes + at, 0, span.size - at);
                const std::size_t n = stop ? static_cast<const std::uint8_t*>(stop) - (bytes + at) : span.size - at;
                if (at) out << ',';
                JsonRecordWriter::String(out, bytes + at, n);
                at += n + 1;
            }
            out << ']';
        }
    } else if (whole && block && block->elementKind != ValueKind::Bytes && span.size % block->elementWidth == 0 &&
               span.size / block->elementWidth <= kBlockValueLimit) {
        const bool asEnum = RecordLayout::IsEnum(block->enumWhen, record, fields);
        out << ",\"values\":[";
        for (std::uint32_t i = 0; i < span.size / block->elementWidth; ++i) {
            if (i) out << ',';
            Value(out, scratch, block->elementKind, block->elementWidth, bytes + i * block->elementWidth, function,
                  block->source, asEnum);
        }
        out << ']';
    }
    if (whole) {
        out << ",\"fnv1a64\":\"";
        out.Hex(JsonRecordWriter::Hash(bytes, span.size), 16);
        out << '"';
        if (base64) {
            out << ",\"base64\":";
            Base64(out, bytes, span.size);
        }
    }
    out << '}';
}

// A mapped write: the buffer, its runs, and the bytes of all runs as one block.
void MappedWrite(TextOutput& out, const RecordView& record, bool base64) {
    const std::uint32_t runs = record.U32(4);
    const std::uint64_t head = sizeof(MappedWriteHead) + std::uint64_t{runs} * sizeof(MappedWriteRun);
    out << ",\"buffer\":";
    out.Unsigned(record.U32(0));
    out << ",\"runs\":[";
    for (std::uint32_t i = 0; i < runs && head <= record.payloadSize; ++i) {
        const std::uint32_t at = sizeof(MappedWriteHead) + i * sizeof(MappedWriteRun);
        if (!record.Has(at, sizeof(MappedWriteRun))) break;
        if (i) out << ',';
        out << "{\"offset\":";
        out.Unsigned(record.U32(at));
        out << ",\"length\":";
        out.Unsigned(record.U32(at + 4));
        out << '}';
    }
    out << ']';
    if (head > record.payloadSize) return;
    const auto data = static_cast<std::uint32_t>(head);
    out << ",\"data\":{\"bytes\":";
    out.Unsigned(record.payloadSize - data);
    if (record.Has(data, record.payloadSize - data)) {
        out << ",\"fnv1a64\":\"";
        out.Hex(JsonRecordWriter::Hash(record.data + data, record.payloadSize - data), 16);
        out << '"';
        if (base64) {
            out << ",\"base64\":";
            Base64(out, record.data + data, record.payloadSize - data);
        }
    }
    out << '}';
}

void Call(TextOutput& out, const RecordView& record, const StreamTracker& tracker, bool base64) {
    const ApiDescription* api = description::FindApi(record.id);
    if (!api) {
        out << ",\"record\":\"unknown API id\",\"id\":";
        out.Unsigned(record.id);
        out << ",\"bytes\":";
        out.Unsigned(record.payloadSize);
        return;
    }
    TextOutput scratch;
    const description::AliasDescription* alias = tracker.alias();
    const char* function = alias ? alias->name : api->name;
    const FieldDescription* fields = description::FieldsOf(*api, alias);
    out << ",\"function\":\"" << function << '"';
    if (alias) out << ",\"recordedAs\":\"" << api->name << '"';
    out << ",\"args\":{";
    int result = -1;
    bool first = true;
    for (unsigned i = 0; i < api->fieldCount; ++i) {
        const FieldDescription& field = fields[i];
        if (field.isResult) {
            result = static_cast<int>(i);
            continue;
        }
        // The members of a structure recorded in its pointer's place, as an object of their own.
        const std::string_view owner = Owner(field.name);
        const bool opens = !owner.empty() && (i == 0 || Owner(fields[i - 1].name) != owner);
        const bool closes = !owner.empty() && (i + 1 == api->fieldCount || Owner(fields[i + 1].name) != owner);
        if (!owner.empty() && !opens) {
            out << ',';  // the next member
        } else {
            if (!first) out << ',';
            if (opens) out << '"' << owner << "\":{";
        }
        first = false;
        out << '"' << (owner.empty() ? field.name : field.name + owner.size() + 1) << "\":";
        Field(out, scratch, record, fields, i, function);
        if (closes) out << '}';
    }
    out << '}';
    if (result >= 0) {
        out << ",\"result\":";
        Field(out, scratch, record, fields, static_cast<unsigned>(result), function);
    }
    if (record.payloadSize <= FixedSizeOf(*api, record.pointerBits)) return;
    BlockSpan spans[RecordLayout::kMaxSpans];
    const unsigned count = RecordLayout::Blocks(*api, record, fields, spans);
    if (count == 0) return;
    // One block as an object; a record of several blocks as a list of them in payload order.
    out << ",\"data\":";
    if (count > 1) out << '[';
    for (unsigned i = 0; i < count; ++i) {
        if (i) out << ',';
        Block(out, scratch, record, fields, spans[i], function, base64);
    }
    if (count > 1) out << ']';
}
}  // namespace

std::uint64_t JsonRecordWriter::Hash(const std::uint8_t* bytes, std::size_t size) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001B3ull;
    return hash;
}

void JsonRecordWriter::String(TextOutput& out, const std::uint8_t* bytes, std::size_t size) {
    static const char kHex[] = "0123456789abcdef";
    out << '"';
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t c = bytes[i];
        if (c == '"' || c == '\\') {
            out << '\\' << static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out << static_cast<char>(c);
        } else {
            out << "\\u00" << kHex[c >> 4] << kHex[c & 15];
        }
    }
    out << '"';
}

void JsonRecordWriter::Append(TextOutput& out, const RecordView& record, const StreamTracker& tracker,
                              std::uint64_t index, bool base64) {
    out << "{\"n\":";
    out.Unsigned(index);
    out << ",\"t\":";
    out.Signed(record.timeStamp);
    out << ",\"thread\":";
    if (tracker.hasThread())
        out.Unsigned(tracker.thread());
    else
        out << "null";
    out << ",\"frame\":";
    out.Unsigned(tracker.frame());
    if (record.id >= kFirstApiId) {
        Call(out, record, tracker, base64);
    } else {
        const StreamRecordKind* kind = FindStreamRecordKind(record.id);
        out << ",\"record\":\"" << (kind ? kind->name : "unknown record") << "\",\"id\":";
        out.Unsigned(record.id);
        out << ",\"bytes\":";
        out.Unsigned(record.payloadSize);
        if (record.id == kMappedWriteRecord) MappedWrite(out, record, base64);
    }
    out << '}';
}

}  // namespace kestrel
