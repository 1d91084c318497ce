// The capture reader: whole captures, damaged captures stopped at the first bad record with the
// reason, and files read through its buffer the same as memory.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "CaptureBuilder.h"
#include "ReadBack.h"
#include "stream/StreamRecordId.h"

namespace kestrel::test {
namespace {

// One of each kind of record; the record indexes below refer to it.
enum : std::size_t { kOpening = 0, kSwitch = 4, kEnable = 5, kMarker = 6, kMarked = 7, kMemory = 8, kDrawable = 9, kGen = 10, kSwap = 11, kRecordCount = 12 };

// Of a process with pointers this wide: its addresses and handles are as wide.
CaptureBuilder Sample(std::uint32_t pointerBits = 32) {
    CaptureBuilder b(pointerBits);
    const std::int32_t rect[4] = {0, 0, 640, 480};
    b.Opening()
        .ThreadSwitch(36, 0x10000)
        .Call("glEnable", Payload().U32(0x0B71))
        .AliasCall("glBeginQuery", Payload().U32(0x8914).U32(7))
        .ClientMemory(0x00A41000, 0, 0, std::vector<std::uint8_t>(48, 0xAB))
        .Drawable(0x100AC, 0x1F010042, rect, 0, 1)
        .Call("glGenTextures", Payload().I32(2).Address(0x0012FF00, pointerBits).U32(1).U32(2))
        .Call("wglSwapBuffers", Payload().Address(0x1F010042, pointerBits).U32(1));
    return b;
}

void SetU32(std::vector<std::uint8_t>& bytes, std::uint64_t at, std::uint32_t value) {
    std::memcpy(&bytes[static_cast<std::size_t>(at)], &value, 4);
}

// Records handed out lie end to end from the first byte, up to where the reader stopped.
void ExpectContiguous(const ReadResult& read) {
    std::uint64_t at = 0;
    for (const CaptureRecord& record : read.records) {
        ASSERT_EQ(record.offset, at);
        at = record.End();
    }
    EXPECT_EQ(read.stopOffset, at);
}

TEST(CaptureReader, ReadsEveryRecordOfAWholeCapture) {
    const CaptureBuilder b = Sample();
    const ReadResult read = ReadAll(b.bytes());
    EXPECT_TRUE(read.complete) << read.reason;
    EXPECT_EQ(read.stopOffset, b.size());
    ASSERT_EQ(read.records.size(), std::size_t{kRecordCount});
    ExpectContiguous(read);
    const std::uint32_t ids[kRecordCount] = {kFormatVersionRecord, kRecorderVersionRecord, kApiTypeRecord, kSystemDescriptionRecord,
                                             kThreadSwitchRecord, CaptureBuilder::ApiId("glEnable"), kAliasMarkerRecord,
                                             CaptureBuilder::AliasTarget("glBeginQuery"), kClientMemoryBlockRecord, 120,
                                             CaptureBuilder::ApiId("glGenTextures"), CaptureBuilder::ApiId("wglSwapBuffers")};
    for (std::size_t i = 0; i < kRecordCount; ++i) {
        EXPECT_EQ(read.records[i].id, ids[i]) << i;
        EXPECT_EQ(read.records[i].offset, b.recordStarts()[i]) << i;
        EXPECT_EQ(read.records[i].timeStamp, 1000 + 10 * static_cast<std::int64_t>(i)) << i;
        EXPECT_EQ(read.records[i].payload.size(), read.records[i].payloadSize) << i;
    }
    // The marker carries its own 8 bytes; the record it covers comes next with its own payload.
    EXPECT_EQ(read.records[kMarker].payloadSize, 8u);
    EXPECT_EQ(read.records[kMarked].payloadSize, 8u);
    EXPECT_EQ(read.records[kMemory].payloadSize, 12u + 48u);
    EXPECT_EQ(read.records[kGen].payload[8], 1u);
}

TEST(CaptureReader, KeepsOnlyThePayloadBytesAskedFor) {
    const CaptureBuilder b = Sample();
    const ReadResult full = ReadAll(b.bytes());
    for (std::uint32_t limit : {0u, 4u, 13u}) {
        const ReadResult read = ReadAll(b.bytes().data(), b.size(), limit);
        EXPECT_TRUE(read.complete) << read.reason;
        ASSERT_EQ(read.records.size(), full.records.size());
        for (std::size_t i = 0; i < read.records.size(); ++i) {
            const CaptureRecord& kept = read.records[i];
            const CaptureRecord& whole = full.records[i];
            EXPECT_EQ(kept.payloadSize, whole.payloadSize);
            ASSERT_EQ(kept.payload.size(), std::min(limit, whole.payloadSize));
            EXPECT_TRUE(std::equal(kept.payload.begin(), kept.payload.end(), whole.payload.begin()));
        }
    }
}

struct Damage {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&, const CaptureBuilder&)> apply;
    std::size_t stopRecord;  // the first record not handed out; its start is where the reader stops
    const char* reason;
};

TEST(CaptureReader, StopsAtTheStartOfTheFirstBadRecordAndSaysWhy) {
    using Bytes = std::vector<std::uint8_t>;
    auto start = [](const CaptureBuilder& b, std::size_t record) { return b.recordStarts()[record]; };
    auto cut = [](Bytes& bytes, std::uint64_t at) { bytes.resize(static_cast<std::size_t>(at)); };
    const Damage damages[] = {
        {"cut inside a header", [&](Bytes& x, const CaptureBuilder& b) { cut(x, start(b, kEnable) + 7); }, kEnable, "truncated: 7 bytes"},
        {"cut inside a payload", [&](Bytes& x, const CaptureBuilder& b) { cut(x, start(b, kGen) + 20); }, kGen, "truncated"},
        {"cut inside the marked record", [&](Bytes& x, const CaptureBuilder& b) { cut(x, start(b, kMarked) + 18); }, kMarker, "truncated"},
        {"cut between marker and record", [&](Bytes& x, const CaptureBuilder& b) { cut(x, start(b, kMarked)); }, kMarker, "truncated"},
        {"size beyond the file", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, kEnable) + 4, 0xFFFFFFF0u); }, kEnable, "declares 4294967280 payload bytes"},
        {"not a capture", [&](Bytes& x, const CaptureBuilder&) { SetU32(x, 0, 0x40000048u); }, kOpening, "not a capture"},
        {"format record of 8 bytes", [&](Bytes& x, const CaptureBuilder&) { SetU32(x, 4, 8); }, kOpening, "not a capture"},
        {"thread switch of 12 bytes", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, kSwitch) + 4, 12); }, kSwitch, "thread switch record (104) has 12 payload bytes, expected 8"},
        {"system description of 259 bytes", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, 3) + 4, 259); }, 3, "expected 260"},
        {"client memory without its header", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, kMemory) + 4, 11); }, kMemory, "expected at least 12"},
        {"drawable of 91 bytes", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, kDrawable) + 4, 91); }, kDrawable, "expected at least 92"},
        {"marker shorter than its own part", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, kMarker) + 4, 20); }, kMarker, "expected at least 24"},
        {"marker names a stream record", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, kMarker) + 16, kThreadSwitchRecord); }, kMarker, "not an API id"},
        {"marker names another function", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, kMarker) + 16, CaptureBuilder::ApiId("glEnable")); }, kMarker, "but the record after it is"},
        {"marker covers more than its record", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, kMarker) + 4, 24 + 8 + 4); }, kMarker, "covers 12 payload bytes but the record after it has 8"},
        {"marked record is a stream record", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, kMarked), kThreadSwitchRecord); }, kMarker, "the record after it is thread switch record"},
        {"empty file", [&](Bytes& x, const CaptureBuilder&) { x.clear(); }, kOpening, "empty"},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        const CaptureBuilder b = Sample();
        std::vector<std::uint8_t> bytes = b.bytes();
        damage.apply(bytes, b);
        const ReadResult read = ReadAll(bytes);
        EXPECT_FALSE(read.complete);
        EXPECT_EQ(read.stopOffset, b.recordStarts()[damage.stopRecord]);
        EXPECT_NE(read.reason.find(damage.reason), std::string::npos) << read.reason;
        EXPECT_EQ(read.records.size(), damage.stopRecord);
        ExpectContiguous(read);
    }
}

// The API type record names the process's width: from it on, the records that hold addresses and
// handles are read at that width; a width that no process has stops the reader there.
TEST(CaptureReader, ReadsTheStreamRecordsOfEachProcessWidthAtItsSize) {
    for (std::uint32_t bits : {32u, 64u}) {
        SCOPED_TRACE(bits);
        const CaptureBuilder b = Sample(bits);
        const ReadResult read = ReadAll(b.bytes());
        EXPECT_TRUE(read.complete) << read.reason;
        ASSERT_EQ(read.records.size(), std::size_t{kRecordCount});
        EXPECT_EQ(read.records[1].pointerBits, 32u);  // before the API type record
        for (std::size_t i = 2; i < kRecordCount; ++i) EXPECT_EQ(read.records[i].pointerBits, bits) << i;
        const std::uint32_t wider = bits == 64 ? 4 : 0;
        EXPECT_EQ(read.records[kSwitch].payloadSize, 8u + wider);
        EXPECT_EQ(read.records[kMemory].payloadSize, 12u + wider + 48u);
        EXPECT_EQ(read.records[kDrawable].payloadSize, 92u + 2 * wider);
        ExpectContiguous(read);
    }
    using Bytes = std::vector<std::uint8_t>;
    auto start = [](const CaptureBuilder& b, std::size_t record) { return b.recordStarts()[record]; };
    const Damage damages[] = {
        {"no such width", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, 2) + 20, 48); }, 2,
         "unknown process width: the API type record says 48-bit pointers; kestrel reads captures of 32-bit and 64-bit processes"},
        {"32-bit thread switch", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, kSwitch) + 4, 8); }, kSwitch,
         "thread switch record (104) has 8 payload bytes, expected 12"},
        {"drawable of 99 bytes", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, kDrawable) + 4, 99); }, kDrawable,
         "expected at least 100"},
        {"client memory without its header", [&](Bytes& x, const CaptureBuilder& b) { SetU32(x, start(b, kMemory) + 4, 15); }, kMemory,
         "expected at least 16"},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        const CaptureBuilder b = Sample(64);
        std::vector<std::uint8_t> bytes = b.bytes();
        damage.apply(bytes, b);
        const ReadResult read = ReadAll(bytes);
        EXPECT_FALSE(read.complete);
        EXPECT_EQ(read.stopOffset, b.recordStarts()[damage.stopRecord]);
        EXPECT_NE(read.reason.find(damage.reason), std::string::npos) << read.reason;
        EXPECT_EQ(read.records.size(), damage.stopRecord);
    }
}

// A stream record of a kind the reader does not know is handed out by its size and reading goes on;
// its size must still fit in the file.
TEST(CaptureReader, SkipsUnknownStreamRecordsByTheirSize) {
    for (std::uint32_t id : {57u, 0x3FFFFFFFu}) {
        SCOPED_TRACE(id);
        const CaptureBuilder b = Sample();
        std::vector<std::uint8_t> bytes = b.bytes();
        SetU32(bytes, static_cast<std::size_t>(b.recordStarts()[kSwitch]), id);
        const ReadResult read = ReadAll(bytes);
        EXPECT_TRUE(read.complete) << read.reason;
        ASSERT_EQ(read.records.size(), kRecordCount);
        EXPECT_EQ(read.records[kSwitch].id, id);
        EXPECT_EQ(read.records[kSwitch].payloadSize, 8u);
        EXPECT_EQ(read.records[kSwitch + 1].offset, b.recordStarts()[kSwitch + 1]);

        SetU32(bytes, static_cast<std::size_t>(b.recordStarts()[kSwitch]) + 4, 0x7FFFFFF0u);
        const ReadResult cut = ReadAll(bytes);
        EXPECT_FALSE(cut.complete);
        EXPECT_EQ(cut.stopOffset, b.recordStarts()[kSwitch]);
    }
}

TEST(CaptureReader, ACaptureCutAtARecordBoundaryEndsCleanlyThere) {
    const CaptureBuilder b = Sample();
    for (std::size_t unit = 1; unit < b.unitStarts().size(); ++unit) {
        std::vector<std::uint8_t> bytes(b.bytes().begin(), b.bytes().begin() + static_cast<std::ptrdiff_t>(b.unitStarts()[unit]));
        const ReadResult read = ReadAll(bytes);
        EXPECT_TRUE(read.complete) << unit << ": " << read.reason;
        EXPECT_EQ(read.stopOffset, bytes.size());
    }
}

// A file of its own in the temporary folder, removed again at the end of the test.
class TempFile {
public:
    TempFile() {
        char folder[MAX_PATH], name[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        GetTempFileNameA(folder, "kcp", 0, name);
        path_ = name;
    }
    ~TempFile() { DeleteFileA(path_.c_str()); }
    void Write(const std::vector<std::uint8_t>& bytes) const {
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
        std::fclose(file);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST(CaptureReader, ReadsAFileThroughItsBufferAsItReadsMemory) {
    // Payloads from empty to several MiB, so that records straddle every refill of the 4 MiB
    // buffer and the large ones are read past it.
    std::mt19937 random(7);
    CaptureBuilder b;
    b.Opening();
    const std::uint32_t sizes[] = {0, 1, 15, 16, 17, 4093, 70000, (2u << 20) - 3, (2u << 20) + 5, 3u << 20, 5u << 20};
    for (int round = 0; round < 40; ++round) {
        const std::uint32_t size = round % 4 == 3 ? sizes[random() % 11] : random() % 300;
        Payload payload;
        for (std::uint32_t i = 0; i < size; ++i) payload.U8(static_cast<std::uint8_t>(random()));
        b.ClientMemory(0x1000, round, 0, payload.bytes());
    }
    TempFile file;
    file.Write(b.bytes());

    for (std::uint32_t limit : {CaptureFileReader::kKeepAll, 0u, 100u, 3u << 20}) {
        SCOPED_TRACE(limit);
        const ReadResult fromMemory = ReadAll(b.bytes().data(), b.size(), limit);
        CaptureFileReader reader;
        std::string error;
        ASSERT_TRUE(reader.Open(file.path(), error)) << error;
        reader.SetPayloadLimit(limit);
        EXPECT_EQ(reader.fileSize(), b.size());
        CaptureRecord record;
        std::size_t n = 0;
        for (; reader.Next(record); ++n) {
            ASSERT_LT(n, fromMemory.records.size());
            const CaptureRecord& expected = fromMemory.records[n];
            ASSERT_EQ(record.offset, expected.offset);
            ASSERT_EQ(record.payloadSize, expected.payloadSize);
            ASSERT_EQ(record.timeStamp, expected.timeStamp);
            ASSERT_TRUE(record.payload == expected.payload) << "record " << n;
        }
        EXPECT_EQ(n, fromMemory.records.size());
        EXPECT_TRUE(reader.Complete()) << reader.stopReason();
        EXPECT_EQ(reader.stopOffset(), b.size());
    }
}

TEST(CaptureReader, ReadsATruncatedFileUpToItsLastWholeRecord) {
    const CaptureBuilder b = Sample();
    std::vector<std::uint8_t> bytes = b.bytes();
    bytes.resize(static_cast<std::size_t>(b.recordStarts()[kGen] + 5));
    TempFile file;
    file.Write(bytes);
    CaptureFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(file.path(), error)) << error;
    CaptureRecord record;
    std::size_t n = 0;
    while (reader.Next(record)) ++n;
    EXPECT_EQ(n, std::size_t{kGen});
    EXPECT_FALSE(reader.Complete());
    EXPECT_EQ(reader.stopOffset(), b.recordStarts()[kGen]);
    EXPECT_EQ(reader.recordsRead(), n);
    EXPECT_FALSE(reader.Next(record));  // stays stopped
}

TEST(CaptureReader, AMissingFileIsAnErrorThatNamesIt) {
    CaptureFileReader reader;
    std::string error;
    EXPECT_FALSE(reader.Open("Z:\\no\\such\\capture.kcap", error));
    EXPECT_NE(error.find("cannot open Z:\\no\\such\\capture.kcap"), std::string::npos) << error;
    CaptureRecord record;
    EXPECT_FALSE(reader.Next(record));
}

}  // namespace
}  // namespace kestrel::test
