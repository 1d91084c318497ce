// Builds small capture files in memory for the reader, dump and stats tests: the record framing
// is simple enough to write by hand, and the tests then know where every record starts.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::test {

// A payload written value by value, packed and little-endian like the recorder's.
class Payload {
public:
    Payload& U8(std::uint8_t value) { return Raw(&value, 1); }
    Payload& U16(std::uint16_t value) { return Raw(&value, 2); }
    Payload& U32(std::uint32_t value) { return Raw(&value, 4); }
    Payload& I32(std::int32_t value) { return Raw(&value, 4); }
    Payload& U64(std::uint64_t value) { return Raw(&value, 8); }
    Payload& F32(float value) { return Raw(&value, 4); }
    Payload& F64(double value) { return Raw(&value, 8); }
    // A pointer, handle or pointer-sized integer of a process with pointers this wide (32 or 64).
    Payload& Address(std::uint64_t value, std::uint32_t pointerBits) {
        return pointerBits == 64 ? U64(value) : U32(static_cast<std::uint32_t>(value));
    }
    // The text and its zero, cut or padded with zeros to `size` bytes when size is given.
    Payload& Text(const std::string& text, std::size_t size = 0);
    Payload& Fill(std::size_t size, std::uint8_t value);
    Payload& Raw(const void* data, std::size_t size);
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

class CaptureBuilder {
public:
    // A capture of a process with pointers this wide: its API type record says so, and the stream
    // records that hold addresses and handles have them at that width.
    explicit CaptureBuilder(std::uint32_t pointerBits = 32) : pointerBits_(pointerBits) {}
    std::uint32_t pointerBits() const { return pointerBits_; }
    // The four opening records, as the recorder writes them when a capture starts.
    CaptureBuilder& Opening(const std::string& system = "Windows 10 | Test Adapter");
    CaptureBuilder& Record(std::uint32_t id, const Payload& payload);
    // The time stamp of the next record; the ones after it follow 10 ticks apart as before.
    CaptureBuilder& At(std::int64_t time) {
        time_ = time;
        return *this;
    }
    // A record whose header declares `declaredSize` but that carries the given bytes.
    CaptureBuilder& RawRecord(std::uint32_t id, std::uint32_t declaredSize, const std::vector<std::uint8_t>& bytes);
    CaptureBuilder& ThreadSwitch(std::uint32_t thread, std::uint64_t context);
    CaptureBuilder& Call(const std::string& name, const Payload& payload = {});
    // The alias marker and the record of the alias's target that it announces.
    CaptureBuilder& AliasCall(const std::string& aliasName, const Payload& payload);
    // A marker with any alias number ahead of a record of the target.
    CaptureBuilder& MarkedCall(std::uint32_t target, std::uint32_t aliasNumber, const Payload& payload);
    CaptureBuilder& ClientMemory(std::uint64_t address, std::uint32_t offset, std::uint32_t flags,
                                 const std::vector<std::uint8_t>& bytes);
    // A drawable record with the given rectangle, kind and change flags and a font of that face.
    CaptureBuilder& Drawable(std::uint64_t window, std::uint64_t dc, const std::int32_t (&rect)[4], std::uint32_t kind,
                             std::uint32_t changes, const std::string& face = "Arial");
    static Payload DrawablePayload(std::uint64_t window, std::uint64_t dc, const std::int32_t (&rect)[4], std::uint32_t kind,
                                   std::uint32_t changes, const std::string& face = "Arial", std::uint32_t pointerBits = 32);

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::size_t size() const { return bytes_.size(); }
    // Where each record starts, in order.
    const std::vector<std::uint64_t>& recordStarts() const { return recordStarts_; }
    // Where each unit starts: a record, or an alias marker with the record that it marks, which a
    // reader must take or refuse together.
    const std::vector<std::uint64_t>& unitStarts() const { return unitStarts_; }
    std::int64_t nextTime() const { return time_; }

    static std::uint32_t ApiId(const std::string& name);  // fails the test for an unknown name
    static std::uint32_t AliasNumber(const std::string& name);
    static std::uint32_t AliasTarget(const std::string& name);

private:
    void Header(std::uint32_t id, std::uint32_t payloadSize);

    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint64_t> recordStarts_;
    std::vector<std::uint64_t> unitStarts_;
    std::int64_t time_ = 1000;
    bool inUnit_ = false;
    std::uint32_t pointerBits_;
};

}  // namespace kestrel::test
