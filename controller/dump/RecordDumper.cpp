#include "controller/dump/RecordDumper.h"

#include <string_view>

#include "controller/dump/CallFormatter.h"
#include "controller/dump/HexLines.h"
#include "controller/dump/JsonRecordWriter.h"
#include "controller/dump/StreamRecordFormatter.h"
#include "controller/reading/PayloadLayout.h"
#include "controller/reading/StreamRecordKind.h"
#include "stream/RecordHeader.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

namespace {
bool Contains(const char* name, const std::string& part) {
    return name && std::string_view(name).find(part) != std::string_view::npos;
}

// The largest fixed part of any call, and of the stream records that the dump decodes.
std::uint32_t LargestDecodedPart() {
    std::uint32_t largest = DrawableSize(64) + DibSectionSize(64);
    for (const description::ApiDescription& api : description::kApis)
        if (FixedSizeOf(api, 64) > largest) largest = FixedSizeOf(api, 64);
    return largest > 260 ? largest : 260;
}
}  // namespace

RecordDumper::RecordDumper(const DumpOptions& options, TextOutput& out) : options_(options), out_(out) {}

std::uint32_t RecordDumper::PayloadNeeded(const DumpOptions& options) {
    if (options.json) return CaptureFileReader::kKeepAll;  // data blocks are hashed whole
    static const std::uint32_t decoded = LargestDecodedPart();
    const std::uint32_t shown = options.blobs ? options.blobLimit : CallFormatter::kStringLimit + 1;
    return decoded + shown;
}

bool RecordDumper::Matches(const RecordView& record) const {
    if (options_.grep.empty()) return true;
    if (record.id >= kFirstApiId) {
        const description::ApiDescription* api = description::FindApi(record.id);
        if (Contains(api ? api->name : "unknown API id", options_.grep)) return true;
        return tracker_.alias() && Contains(tracker_.alias()->name, options_.grep);
    }
    const StreamRecordKind* kind = FindStreamRecordKind(record.id);
    if (Contains(kind ? kind->name : "unknown record", options_.grep)) return true;
    if (record.id == kAliasMarkerRecord) {
        const description::AliasDescription* alias = description::FindAlias(record.U32(4));
        return alias && Contains(alias->name, options_.grep);
    }
    return false;
}

bool RecordDumper::Add(const RecordView& record) {
    const std::uint64_t index = index_++;
    tracker_.Advance(record);
    if (tracker_.frame() > options_.lastFrame) return false;
    if (tracker_.frame() < options_.firstFrame || !Matches(record)) return true;

    if (options_.json) {
        JsonRecordWriter::Append(out_, record, tracker_, index, options_.blobs);
        out_.EndLine();
        ++lines_;
        return true;
    }
    out_.Padded(index, 8);
    out_ << "  ";
    out_.PaddedSigned(record.timeStamp, 14);
    out_ << "  ";
    if (tracker_.hasThread())
        out_.Padded(tracker_.thread(), 6);
    else
        out_ << "     -";
    out_ << "  ";
    const std::uint32_t blob = record.id >= kFirstApiId ? CallFormatter::Append(out_, record, tracker_.alias())
                                                        : StreamRecordFormatter::Append(out_, record);
    out_.EndLine();
    ++lines_;
    if (options_.blobs && blob < record.payloadSize) {
        const std::uint32_t available = record.kept > blob ? record.kept - blob : 0;
        HexLines::Append(out_, record.data + blob, available, record.payloadSize - blob, options_.blobLimit);
    }
    return true;
}

}  // namespace kestrel
