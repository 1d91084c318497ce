#include "CaptureBuilder.h"

#include <gtest/gtest.h>

#include <cstring>

#include "gen/ApiDescription.h"
#include "stream/StreamRecordId.h"

namespace kestrel::test {

Payload& Payload::Raw(const void* data, std::size_t size) {
    if (size == 0) return *this;
    const std::size_t end = bytes_.size();
    bytes_.resize(end + size);  // rather than insert, which GCC 12 misreads as an overflow here
    std::memcpy(bytes_.data() + end, data, size);
    return *this;
}

Payload& Payload::Text(const std::string& text, std::size_t size) {
    const std::size_t length = size && text.size() >= size ? size - 1 : text.size();  // cut to fit with its zero
    Raw(text.data(), length);
    U8(0);
    if (size > length + 1) Fill(size - length - 1, 0);
    return *this;
}

Payload& Payload::Fill(std::size_t size, std::uint8_t value) {
    bytes_.insert(bytes_.end(), size, value);
    return *this;
}

std::uint32_t CaptureBuilder::ApiId(const std::string& name) {
    for (const description::ApiDescription& api : description::kApis)
        if (name == api.name) return api.apiId;
    ADD_FAILURE() << "no API id for " << name;
    return 0;
}

std::uint32_t CaptureBuilder::AliasNumber(const std::string& name) {
    for (const description::AliasDescription& alias : description::kAliases)
        if (name == alias.name) return alias.number;
    ADD_FAILURE() << "no alias named " << name;
    return 0;
}

std::uint32_t CaptureBuilder::AliasTarget(const std::string& name) {
    const description::AliasDescription* alias = description::FindAlias(AliasNumber(name));
    return alias ? alias->targetApiId : 0;
}

void CaptureBuilder::Header(std::uint32_t id, std::uint32_t payloadSize) {
    recordStarts_.push_back(bytes_.size());
    if (!inUnit_) unitStarts_.push_back(bytes_.size());
    const std::int64_t time = time_;
    time_ += 10;
    std::uint8_t header[16];
    std::memcpy(header, &id, 4);
    std::memcpy(header + 4, &payloadSize, 4);
    std::memcpy(header + 8, &time, 8);
    bytes_.insert(bytes_.end(), header, header + 16);
}

CaptureBuilder& CaptureBuilder::RawRecord(std::uint32_t id, std::uint32_t declaredSize,
                                          const std::vector<std::uint8_t>& bytes) {
    Header(id, declaredSize);
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

CaptureBuilder& CaptureBuilder::Record(std::uint32_t id, const Payload& payload) {
    return RawRecord(id, static_cast<std::uint32_t>(payload.bytes().size()), payload.bytes());
}

CaptureBuilder& CaptureBuilder::Opening(const std::string& system) {
    Record(kFormatVersionRecord, Payload().U32(0x00010002));
    Record(kRecorderVersionRecord, Payload().U32(0x01060100).U32(0));
    Record(kApiTypeRecord, Payload().U32(2).U32(pointerBits_));
    return Record(kSystemDescriptionRecord, Payload().Text(system, 260));
}

CaptureBuilder& CaptureBuilder::ThreadSwitch(std::uint32_t thread, std::uint64_t context) {
    return Record(kThreadSwitchRecord, Payload().U32(thread).Address(context, pointerBits_));
}

CaptureBuilder& CaptureBuilder::Call(const std::string& name, const Payload& payload) {
    return Record(ApiId(name), payload);
}

CaptureBuilder& CaptureBuilder::AliasCall(const std::string& aliasName, const Payload& payload) {
    return MarkedCall(AliasTarget(aliasName), AliasNumber(aliasName), payload);
}

CaptureBuilder& CaptureBuilder::MarkedCall(std::uint32_t target, std::uint32_t aliasNumber, const Payload& payload) {
    const auto size = static_cast<std::uint32_t>(payload.bytes().size());
    Record(kAliasMarkerRecord, Payload().U32(target).U32(aliasNumber));
    // The marker's header declares its 8 bytes and the whole record that follows.
    const std::uint32_t declared = size + 24;
    std::memcpy(&bytes_[recordStarts_.back() + 4], &declared, 4);
    inUnit_ = true;
    Record(target, payload);
    inUnit_ = false;
    return *this;
}

CaptureBuilder& CaptureBuilder::ClientMemory(std::uint64_t address, std::uint32_t offset, std::uint32_t flags,
                                             const std::vector<std::uint8_t>& bytes) {
    return Record(kClientMemoryBlockRecord,
                  Payload().Address(address, pointerBits_).U32(offset).U32(flags).Raw(bytes.data(), bytes.size()));
}

Payload CaptureBuilder::DrawablePayload(std::uint64_t window, std::uint64_t dc, const std::int32_t (&rect)[4],
                                        std::uint32_t kind, std::uint32_t changes, const std::string& face,
                                        std::uint32_t pointerBits) {
    Payload payload;
    payload.Address(window, pointerBits).Address(dc, pointerBits).I32(rect[0]).I32(rect[1]).I32(rect[2]).I32(rect[3]).U32(kind);
    payload.I32(-16).Fill(24, 0).Text(face, 32);  // LOGFONTA: height, the other fields, face name
    payload.U32(changes);
    return payload;
}

CaptureBuilder& CaptureBuilder::Drawable(std::uint64_t window, std::uint64_t dc, const std::int32_t (&rect)[4],
                                         std::uint32_t kind, std::uint32_t changes, const std::string& face) {
    return Record(120, DrawablePayload(window, dc, rect, kind, changes, face, pointerBits_));
}

}  // namespace kestrel::test
