// Compressed captures: the drainer's zstd frames read back as the stream that went in, a file cut at
// any point reads to its last whole frame and no further, a record cut short is left out, and the
// level the drainer lowers while it falls behind is noted where the reader finds it.
#include <windows.h>

#include <gtest/gtest.h>
#include <zstd.h>

#include <algorithm>
#include <random>

#include "CaptureBuilder.h"
#include "ReadBack.h"
#include "controller/capture/AdaptiveLevel.h"
#include "controller/capture/StreamCounter.h"
#include "controller/capture/ZstdCaptureWriter.h"
#include "controller/reading/ZstdLevelNote.h"

namespace kestrel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Small calls between blocks from empty to several MiB, the largest beyond what the writer holds back.
CaptureBuilder Mixed(unsigned seed) {
    std::mt19937 random(seed);
    CaptureBuilder b;
    b.Opening();
    const std::uint32_t sizes[] = {0, 17, 4093, 70000, (1u << 20) + 5, 5u << 20};
    for (int round = 0; round < 60; ++round) {
        if (round % 6 == 5) {
            Payload payload;
            const std::uint32_t size = sizes[random() % 6];
            for (std::uint32_t i = 0; i < size; ++i) payload.U8(static_cast<std::uint8_t>(i % 251 == 0 ? random() : i));
            b.ClientMemory(0x1000, round, 0, payload.bytes());
        } else {
            b.Call("glEnable", Payload().U32(0x0B71 + round % 3));
        }
    }
    return b;
}

// The stream drained in pieces of random size as a drainer hands them over, rounds ending now and then.
struct Drain {
    std::uint32_t largestPiece = 300000;
    std::uint64_t stopAt = ~0ull;            // the stream's bytes handed over, at most
    std::function<double(int round)> fill;  // the share of the ring still unread after a round
};

class TempPath {
public:
    TempPath() {
        char folder[MAX_PATH], name[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        GetTempFileNameA(folder, "kzs", 0, name);
        path_ = name;
    }
    ~TempPath() { DeleteFileA(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

Bytes FileBytes(const std::string& path) {
    Bytes bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    std::uint8_t block[1 << 16];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) bytes.insert(bytes.end(), block, block + n);
    std::fclose(file);
    return bytes;
}

Bytes WriteCompressed(const Bytes& stream, const Drain& drain, int level = 3, unsigned seed = 1) {
    TempPath temp;
    std::FILE* file = std::fopen(temp.path().c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (!file) return {};
    std::setvbuf(file, nullptr, _IONBF, 0);
    std::mt19937 random(seed);
    StreamCounter counter;
    ZstdCaptureWriter writer(level);
    writer.Begin(file);
    const std::uint64_t end = std::min<std::uint64_t>(stream.size(), drain.stopAt);
    std::uint32_t now = 1000;
    int round = 0;
    for (std::uint64_t at = 0; at < end;) {
        const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(1 + random() % drain.largestPiece, end - at));
        const std::uint32_t kept = counter.Feed(stream.data() + at, n);
        writer.Write(stream.data() + at, kept, counter.wholeBytes());
        at += n;
        if (random() % 3 == 0) writer.EndOfDrain(drain.fill ? drain.fill(round++) : 0.0, now += 150);
    }
    EXPECT_TRUE(writer.Finish());
    std::fclose(file);
    return FileBytes(temp.path());
}

void ExpectSameRecords(const ReadResult& read, const ReadResult& expected, std::size_t count) {
    ASSERT_EQ(read.records.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(read.records[i].offset, expected.records[i].offset) << i;
        ASSERT_EQ(read.records[i].id, expected.records[i].id) << i;
        ASSERT_EQ(read.records[i].timeStamp, expected.records[i].timeStamp) << i;
        ASSERT_TRUE(read.records[i].payload == expected.records[i].payload) << "record " << i;
    }
}

// Where each zstd frame of the file ends, and how much of the stream lies in the frames up to there.
struct FrameEnd {
    std::uint64_t fileEnd;
    std::uint64_t streamEnd;
};

std::vector<FrameEnd> FrameEnds(const Bytes& file) {
    std::vector<FrameEnd> ends;
    ZSTD_DCtx* context = ZSTD_createDCtx();
    Bytes content(16u << 20);
    std::uint64_t at = 0, stream = 0;
    while (at < file.size()) {
        const std::size_t size = ZSTD_findFrameCompressedSize(file.data() + at, file.size() - at);
        EXPECT_FALSE(ZSTD_isError(size)) << ZSTD_getErrorName(size);
        if (ZSTD_isError(size)) break;
        const std::size_t got = ZSTD_decompressDCtx(context, content.data(), content.size(), file.data() + at, size);
        EXPECT_FALSE(ZSTD_isError(got)) << ZSTD_getErrorName(got);
        at += size;
        stream += ZSTD_isError(got) ? 0 : got;
        ends.push_back({at, stream});
    }
    ZSTD_freeDCtx(context);
    return ends;
}

TEST(CompressedCapture, ReadsBackTheStreamThatWentIn) {
    const CaptureBuilder b = Mixed(3);
    const Bytes file = WriteCompressed(b.bytes(), {});
    ASSERT_FALSE(file.empty());
    EXPECT_LT(file.size(), b.size() / 4);
    const ReadResult raw = ReadAll(b.bytes());
    ASSERT_TRUE(raw.complete);
    // The frames' contents end to end are the stream, byte for byte.
    std::vector<FrameEnd> ends = FrameEnds(file);
    ASSERT_FALSE(ends.empty());
    EXPECT_EQ(ends.back().fileEnd, file.size());
    EXPECT_EQ(ends.back().streamEnd, b.size());

    for (std::uint32_t limit : {CaptureFileReader::kKeepAll, 0u, 100u, 3u << 20}) {
        SCOPED_TRACE(limit);
        const ReadResult fromMemory = ReadAll(file.data(), file.size(), limit);
        const ReadResult rawLimited = ReadAll(b.bytes().data(), b.size(), limit);
        EXPECT_TRUE(fromMemory.complete) << fromMemory.reason;
        EXPECT_EQ(fromMemory.stopOffset, b.size());
        ExpectSameRecords(fromMemory, rawLimited, rawLimited.records.size());
    }
    TempPath temp;
    std::FILE* out = std::fopen(temp.path().c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    CaptureFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(temp.path(), error)) << error;
    ReadResult fromFile;
    CaptureRecord record;
    while (reader.Next(record)) fromFile.records.push_back(record);
    EXPECT_TRUE(reader.Complete()) << reader.stopReason();
    ExpectSameRecords(fromFile, raw, raw.records.size());
    const CaptureFileForm form = reader.form();
    EXPECT_TRUE(form.compressed);
    EXPECT_EQ(form.fileBytes, file.size());
    EXPECT_EQ(form.streamBytes, b.size());
    EXPECT_EQ(form.levels, std::vector<int>{3});
}

TEST(CompressedCapture, AFileCutAnywhereReadsToItsLastWholeFrameAndNoFurther) {
    const CaptureBuilder b = Mixed(5);
    const Bytes file = WriteCompressed(b.bytes(), {});
    const ReadResult raw = ReadAll(b.bytes());
    const std::vector<FrameEnd> ends = FrameEnds(file);
    ASSERT_GT(ends.size(), 4u);
    std::mt19937 random(11);
    std::vector<std::uint64_t> cuts;
    for (int i = 0; i < 10; ++i) cuts.push_back(1 + random() % (file.size() - 1));
    for (const FrameEnd& end : ends) cuts.push_back(end.fileEnd);  // exactly between two frames
    for (std::uint64_t cut : cuts) {
        SCOPED_TRACE(cut);
        std::uint64_t whole = 0;
        bool atFrameEnd = false;
        for (const FrameEnd& end : ends) {
            if (end.fileEnd > cut) break;
            whole = end.streamEnd;
            atFrameEnd = end.fileEnd == cut;
        }
        std::size_t expected = 0;
        while (expected < raw.records.size() && raw.records[expected].End() <= whole) ++expected;
        const ReadResult read = ReadAll(file.data(), static_cast<std::size_t>(cut));
        ExpectSameRecords(read, raw, expected);
        EXPECT_EQ(read.stopOffset, expected ? raw.records[expected - 1].End() : 0);
        // Frames end between records except inside a large one: a cut there leaves whole records only.
        const bool clean = atFrameEnd && whole > 0 && read.stopOffset == whole;
        EXPECT_EQ(read.complete, clean) << read.reason;
        if (!clean && whole > 0) {
            EXPECT_NE(read.reason.find("truncated"), std::string::npos) << read.reason;
        }
        if (!atFrameEnd) {
            EXPECT_NE(read.reason.find("truncated: the file ends"), std::string::npos) << read.reason;
        }
    }
    // A damaged frame stops the reader at the end of the last good one, and says so.
    Bytes damaged = file;
    const FrameEnd& before = ends[ends.size() / 2];
    damaged[static_cast<std::size_t>(before.fileEnd + 40)] ^= 0x5A;
    const ReadResult read = ReadAll(damaged);
    EXPECT_FALSE(read.complete);
    EXPECT_NE(read.reason.find("corrupt: zstd frame"), std::string::npos) << read.reason;
    EXPECT_LE(read.stopOffset, before.streamEnd);
    EXPECT_GE(read.records.size(), 1u);
}

// The recorder's process ended inside a record: the file still reads whole, without that record.
TEST(CompressedCapture, ARecordCutShortIsLeftOut) {
    struct Case {
        const char* name;
        std::uint32_t lastPayload;  // bytes of the record that is cut short
    };
    const Case cases[] = {{"held back until whole", 3000}, {"larger than what is held back", 6u << 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureBuilder b = Mixed(7);
        const std::size_t whole = b.recordStarts().size();
        b.ClientMemory(0x2000, 1, 0, Bytes(c.lastPayload, 0x33));
        const ReadResult raw = ReadAll(b.bytes());
        Drain drain;
        drain.stopAt = b.size() - 10;
        const Bytes file = WriteCompressed(b.bytes(), drain);
        const ReadResult read = ReadAll(file);
        EXPECT_TRUE(read.complete) << read.reason;
        ExpectSameRecords(read, raw, whole);
        EXPECT_EQ(read.stopOffset, b.recordStarts()[whole]);
    }
}

TEST(CompressedCapture, LevelsLoweredWhileBehindAreNotedAndTheirFramesRead) {
    const CaptureBuilder b = Mixed(9);
    Drain drain;
    drain.largestPiece = 60000;
    // Far behind for a while, then the ring stays nearly empty.
    drain.fill = [](int round) { return round < 12 ? 0.9 : 0.0; };
    const Bytes file = WriteCompressed(b.bytes(), drain);
    const ReadResult raw = ReadAll(b.bytes());
    const ReadResult read = ReadAll(file);
    EXPECT_TRUE(read.complete) << read.reason;
    ExpectSameRecords(read, raw, raw.records.size());
    CaptureFileReader reader;
    reader.OpenMemory(file.data(), file.size());
    CaptureRecord record;
    while (reader.Next(record)) {}
    // Frames are noted as they are written: down the steps to stored blocks, then up again.
    const std::vector<int> levels = reader.form().levels;
    const auto lowest = std::min_element(levels.begin(), levels.end());
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels.front(), 3);
    EXPECT_EQ(*lowest, kStoredLevel);
    EXPECT_TRUE(std::is_sorted(levels.begin(), lowest + 1, std::greater<int>()));
    EXPECT_TRUE(std::is_sorted(lowest, levels.end()));
    EXPECT_GT(levels.end() - lowest, 1);
    EXPECT_EQ(std::adjacent_find(levels.begin(), levels.end()), levels.end());
}

TEST(AdaptiveLevel, StepsDownWhileBehindAndUpOnceCalm) {
    struct Step {
        double fill;
        std::uint32_t ms;
    };
    struct Case {
        const char* name;
        int chosen;
        std::vector<Step> steps;
        int level;
    };
    const Case cases[] = {
        {"keeping up", 3, {{0.1, 0}, {0.2, 500}, {0.0, 1000}}, 3},
        {"behind once", 3, {{0.3, 0}}, 1},
        {"behind but settling", 3, {{0.4, 0}, {0.3, 50}}, 1},
        {"behind and filling further", 3, {{0.3, 0}, {0.4, 50}}, -1},
        {"behind for long", 3, {{0.3, 0}, {0.3, 100}, {0.3, 200}, {0.3, 300}, {0.3, 400}, {0.3, 500}}, kStoredLevel},
        {"far behind stores at once", 3, {{0.5, 0}}, kStoredLevel},
        {"far behind, then calm, climbs a step", 3, {{0.9, 0}, {0.01, 100}, {0.01, 2100}}, -5},
        {"calm not long enough", 3, {{0.3, 0}, {0.01, 100}, {0.01, 2000}}, 1},
        {"calm long enough", 3, {{0.3, 0}, {0.01, 100}, {0.01, 2100}}, 3},
        {"calm broken", 3, {{0.3, 0}, {0.01, 100}, {0.1, 1000}, {0.01, 1200}, {0.01, 3000}}, 1},
        {"never above the chosen", 1, {{0.0, 0}, {0.0, 5000}, {0.0, 10000}}, 1},
        {"a low chosen level goes to stored", -5, {{0.9, 0}}, kStoredLevel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AdaptiveLevel level(c.chosen);
        for (const Step& step : c.steps) level.AfterDrain(step.fill, 10000 + step.ms);
        EXPECT_EQ(level.level(), c.level);
    }
}

}  // namespace
}  // namespace kestrel::test
