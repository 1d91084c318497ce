#include "controller/dump/JsonRecordWriter.h"

#include <cstring>
#include <string_view>

#include "controller/reading/PayloadLayout.h"
#include "controller/reading/StreamRecordKind.h"
#include "controller/reading/ValueFormatter.h"
#include "gen/ApiDescription.h"
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
           const char* function, const char* parameter) {
    scratch.Clear();
    ValueFormatter::Append(scratch, kind, width, at, function, parameter);
    const std::string_view text = scratch.text();
    if (IsJsonNumber(text)) {
        out << text;
    } else {
        JsonRecordWriter::String(out, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
}

void Field(TextOutput& out, TextOutput& scratch, const RecordView& record, const ApiDescription& api, unsigned index) {
    const FieldDescription& field = api.fields[index];
    const FieldPlace place = PlaceOf(api, index, record.pointerBits);
    const unsigned count = field.count ? field.count : 1;
    if (!record.Has(place.offset, place.width * count)) {
        out << "null";  // the payload ends before this field
        return;
    }
    if (count > 1) out << '[';
    for (unsigned i = 0; i < count; ++i) {
        if (i) out << ',';
        Value(out, scratch, field.kind, place.width, record.data + place.offset + i * place.width, api.name, field.name);
    }
    if (count > 1) out << ']';
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
    out << ",\"function\":\"" << (tracker.alias() ? tracker.alias()->name : api->name) << '"';
    if (tracker.alias()) out << ",\"recordedAs\":\"" << api->name << '"';
    out << ",\"args\":{";
    int result = -1;
    bool first = true;
    for (unsigned i = 0; i < api->fieldCount; ++i) {
        const FieldDescription& field = api->fields[i];
        if (field.isResult) {
            result = static_cast<int>(i);
            continue;
        }
        if (!first) out << ',';
        first = false;
        out << '"' << field.name << "\":";
        Field(out, scratch, record, *api, i);
    }
    out << '}';
    if (result >= 0) {
        out << ",\"result\":";
        Field(out, scratch, record, *api, static_cast<unsigned>(result));
    }
    const std::uint32_t fixed = FixedSizeOf(*api, record.pointerBits);
    if (record.payloadSize <= fixed) return;
    const std::uint32_t size = record.payloadSize - fixed;
    const std::uint8_t* bytes = record.data + fixed;
    const bool whole = record.kept == record.payloadSize;
    out << ",\"data\":{\"source\":\"" << (api->block ? api->block->source : "data") << "\",\"bytes\":";
    out.Unsigned(size);
    if (whole && api->block && api->block->elementKind == ValueKind::Char) {
        const void* end = std::memchr(bytes, 0, size);
        out << ",\"text\":";
        JsonRecordWriter::String(out, bytes, end ? static_cast<const std::uint8_t*>(end) - bytes : size);
    }
    if (whole) {
        out << ",\"fnv1a64\":\"";
        out.Hex(JsonRecordWriter::Hash(bytes, size), 16);
        out << '"';
        if (base64) {
            out << ",\"base64\":";
            Base64(out, bytes, size);
        }
    }
    out << '}';
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
    }
    out << '}';
}

}  // namespace kestrel
