// kestrel stats: the figures of a capture and the report that shows them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "CaptureBuilder.h"
#include "ReadBack.h"
#include "controller/capture/StreamCounter.h"
#include "controller/reading/ZstdLevelNote.h"
#include "controller/stats/FrameTimes.h"
#include "controller/stats/StatsOptions.h"
#include "controller/stats/StatsReport.h"
#include "controller/reading/TextOutput.h"
#include "gen/ApiTable.h"
#include "stream/StreamRecordId.h"

namespace kestrel::test {
namespace {

// Two threads and three contexts over three frames of 3, 7 and 5 calls, then 2 calls after the
// last swap.
CaptureBuilder TwoThreads() {
    CaptureBuilder b;
    b.Opening().ThreadSwitch(10, 0x100);
    b.Call("wglMakeCurrent", Payload().U32(0xD1).U32(0x300).U32(1));  // a context bound
    b.Call("wglMakeCurrent", Payload().U32(0xD1).U32(0x400).U32(0));  // a failed bind names none
    b.Call("wglSwapBuffers", Payload().U32(0xD1).U32(1));
    for (int i = 0; i < 6; ++i) b.Call("glVertex3f", Payload().F32(0).F32(1).F32(2));
    b.ThreadSwitch(20, 0).Call("wglSwapBuffers", Payload().U32(0xD2).U32(1));
    b.ThreadSwitch(10, 0x200).AliasCall("glBeginQuery", Payload().U32(0x8914).U32(1));
    b.ClientMemory(0x1000, 0, 0, std::vector<std::uint8_t>(100, 0));
    b.Call("glColor3f", Payload().F32(1).F32(1).F32(1)).Call("glColor3f", Payload().F32(1).F32(1).F32(1));
    b.Call("glFlush").Call("wglSwapBuffers", Payload().U32(0xD1).U32(1));
    b.Call("glFlush").Call("glFinish");
    return b;
}

CaptureBuilder NoSwap() {
    CaptureBuilder b;
    b.Opening().ThreadSwitch(1, 0).Call("glFlush").Call("glFinish");
    return b;
}

TEST(Stats, CountsRecordsFramesThreadsAndContexts) {
    const CaptureBuilder b = TwoThreads();
    const CaptureStatistics stats = StatsOf(b.bytes());
    EXPECT_EQ(stats.records(), b.recordStarts().size());
    EXPECT_EQ(stats.bytes(), b.size());
    EXPECT_EQ(stats.calls(), 17u);
    EXPECT_EQ(stats.frames(), 3u);
    EXPECT_EQ(stats.callsPerFrame(), (std::vector<std::uint64_t>{3, 7, 5}));
    EXPECT_EQ(stats.callsAfterLastSwap(), 2u);
    const CaptureStatistics::Spread spread = stats.CallsPerFrameSpread();
    EXPECT_EQ(spread.min, 3u);
    EXPECT_EQ(spread.median, 5.0);
    EXPECT_EQ(spread.max, 7u);
    EXPECT_EQ(stats.threads(), (std::vector<std::uint32_t>{10, 20}));
    EXPECT_EQ(stats.contexts(), (std::vector<std::uint64_t>{0x100, 0x300, 0x200}));
    EXPECT_EQ(stats.pointerBits(), 32u);
    EXPECT_EQ(stats.firstTimeStamp(), 1000);
    EXPECT_EQ(stats.lastTimeStamp(), b.nextTime() - 10);
}

TEST(Stats, RanksFunctionsByCountAndByBytes) {
    const CaptureStatistics stats = StatsOf(TwoThreads().bytes());
    using Row = std::pair<std::string, std::uint64_t>;
    auto rows = [](const std::vector<CaptureStatistics::Tally>& tallies, bool bytes) {
        std::vector<Row> out;
        for (const auto& t : tallies) out.emplace_back(t.name, bytes ? t.bytes : t.count);
        return out;
    };
    // Ties go by name; an alias call counts under the alias, with its marker's bytes.
    EXPECT_EQ(rows(stats.TopByCount(4), false),
              (std::vector<Row>{{"glVertex3f", 6}, {"wglSwapBuffers", 3}, {"glColor3f", 2}, {"glFlush", 2}}));
    EXPECT_EQ(rows(stats.TopByBytes(3), true),
              (std::vector<Row>{{"glVertex3f", 6 * 28}, {"wglSwapBuffers", 3 * 24}, {"glColor3f", 2 * 28}}));
    const std::vector<CaptureStatistics::Tally> all = stats.TopByCount(100);
    ASSERT_EQ(all.size(), 7u);
    const auto query = std::find_if(all.begin(), all.end(), [](const auto& t) { return t.name == "glBeginQuery"; });
    ASSERT_NE(query, all.end());
    EXPECT_EQ(query->count, 1u);
    EXPECT_EQ(query->bytes, 24u + 16u + 8u);
}

TEST(Stats, TalliesTheStreamRecordsInTheOrderTheyFirstAppear) {
    const CaptureStatistics stats = StatsOf(TwoThreads().bytes());
    std::vector<std::string> names;
    for (const auto& t : stats.streamRecords()) names.push_back(t.name + " " + std::to_string(t.count) + " " + std::to_string(t.bytes));
    EXPECT_EQ(names, (std::vector<std::string>{"format version 1 20", "recorder version 1 24", "API type 1 24",
                                               "system description 1 276", "thread switch 3 72", "alias marker 1 24",
                                               "client memory block 1 128"}));
}

TEST(Stats, CallsPerFrameSpread) {
    struct Case {
        std::vector<int> callsPerFrame;
        std::uint64_t min;
        double median;
        std::uint64_t max;
    };
    const Case cases[] = {{{4}, 4, 4, 4}, {{2, 5}, 2, 3.5, 5}, {{9, 1, 5}, 1, 5, 9}, {{1, 1, 8, 2}, 1, 1.5, 8}, {{}, 0, 0, 0}};
    for (const Case& c : cases) {
        CaptureBuilder b;
        b.Opening();
        for (int calls : c.callsPerFrame) {
            for (int i = 1; i < calls; ++i) b.Call("glFlush");
            b.Call("wglSwapBuffers", Payload().U32(1).U32(1));
        }
        const CaptureStatistics stats = StatsOf(b.bytes());
        EXPECT_EQ(stats.frames(), c.callsPerFrame.size());
        const CaptureStatistics::Spread spread = stats.CallsPerFrameSpread();
        EXPECT_EQ(spread.min, c.min);
        EXPECT_EQ(spread.median, c.median);
        EXPECT_EQ(spread.max, c.max);
    }
}

// Frames of 160, 170 and 500 ticks (16, 17 and 50 ms on a 10 kHz clock) from time stamp 0.
CaptureBuilder ThreeTimedFrames() {
    CaptureBuilder b;
    b.At(0).Opening().ThreadSwitch(7, 0);
    b.At(160).Call("wglSwapBuffers", Payload().U32(0xD1).U32(1));
    b.At(330).Call("wglSwapBuffers", Payload().U32(0xD1).U32(1));
    b.At(400).Call("glFlush").At(830).Call("wglSwapBuffers", Payload().U32(0xD1).U32(1));
    return b;
}

TEST(Stats, FrameEndsAreTheTimeStampsOfTheSwaps) {
    const CaptureStatistics stats = StatsOf(ThreeTimedFrames().bytes());
    EXPECT_EQ(stats.firstTimeStamp(), 0);
    EXPECT_EQ(stats.frameEnds(), (std::vector<std::int64_t>{160, 330, 830}));
    EXPECT_TRUE(StatsOf(NoSwap().bytes()).frameEnds().empty());
}

// A single-buffered window's frames end at the frame end record that follows its flush: stats counts
// them and times them by it, the dump numbers records by them, and the counter that cuts a capture
// after --stop-after-frames keeps the record that ends the last frame and nothing after it.
TEST(Stats, FrameEndRecordsEndFramesForStatsTheDumpAndTheCut) {
    CaptureBuilder b;
    b.Opening().ThreadSwitch(1, 0x100).Call("glFlush");  // set-up: nothing drawn, no frame end
    b.Call("glClear", Payload().U32(0x4000)).Call("glFlush");
    b.At(500).Record(kFrameEndRecord, Payload().U32(0xD1).U32(api::glFlush));
    const std::size_t firstEnd = b.size();
    b.Call("glClear", Payload().U32(0x4000)).Call("glFinish");
    b.At(900).Record(kFrameEndRecord, Payload().U32(0xD1).U32(api::glFinish));
    b.Call("glFlush");

    const CaptureStatistics stats = StatsOf(b.bytes());
    EXPECT_EQ(stats.frames(), 2u);
    EXPECT_EQ(stats.callsPerFrame(), (std::vector<std::uint64_t>{3, 2}));
    EXPECT_EQ(stats.callsAfterLastSwap(), 1u);
    EXPECT_EQ(stats.frameEnds(), (std::vector<std::int64_t>{500, 900}));

    DumpOptions options;
    std::string error;
    ASSERT_TRUE(options.Parse({"capture.kcap", "--frames", "2-2"}, error)) << error;
    std::vector<std::string> lines = DumpLines(b.bytes(), options);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Body(lines[0]).rfind("glClear(", 0), 0u) << lines[0];
    EXPECT_EQ(Body(lines[1]), "glFinish()");
    EXPECT_EQ(Body(lines[2]), "frame end: single-buffered device context 0xD1, after glFinish");

    StreamCounter counter;
    counter.SetFrameLimit(1);
    EXPECT_EQ(counter.Feed(b.bytes().data(), static_cast<std::uint32_t>(b.size())), firstEnd);
    EXPECT_TRUE(counter.limitReached());
    EXPECT_EQ(counter.frames(), 1u);
}

// Swap time stamps: the first at `first`, then one after each of the given frame times.
std::vector<std::int64_t> Ends(std::int64_t first, const std::vector<std::int64_t>& ticks) {
    std::vector<std::int64_t> ends{first};
    for (std::int64_t t : ticks) ends.push_back(ends.back() + t);
    return ends;
}

TEST(Stats, FrameTimesOfAKnownSet) {
    using Worst = std::vector<std::pair<std::uint64_t, std::int64_t>>;  // frame, ticks
    struct Case {
        const char* name;
        std::vector<std::int64_t> ends;
        double mean, median;
        std::int64_t p95, p99;
        Worst worst;
    };
    std::vector<std::int64_t> twentyToOne, oneToHundred;
    for (std::int64_t t = 20; t >= 1; --t) twentyToOne.push_back(t);
    for (std::int64_t t = 1; t <= 100; ++t) oneToHundred.push_back(t);
    const Case cases[] = {
        {"no swap", {}, 0, 0, 0, 0, {}},
        // The first frame runs from the start of the capture, not from a swap.
        {"one swap", {500}, 0, 0, 0, 0, {}},
        {"two swaps", Ends(500, {50}), 50, 50, 50, 50, {{2, 50}}},
        // 95% of 20 is rank 19 exactly; 99% rounds up to the last.
        {"twenty frames, longest first", Ends(7, twentyToOne), 10.5, 10.5, 19, 20, {{2, 20}, {3, 19}, {4, 18}, {5, 17}, {6, 16}}},
        {"a hundred frames", Ends(0, oneToHundred), 50.5, 50.5, 95, 99, {{101, 100}, {100, 99}, {99, 98}, {98, 97}, {97, 96}}},
        {"ties go by frame number", Ends(0, {5, 9, 9, 1}), 6, 7, 9, 9, {{3, 9}, {4, 9}, {2, 5}, {5, 1}}},
        {"an odd count", Ends(0, {3, 1, 2}), 2, 2, 3, 3, {{2, 3}, {4, 2}, {3, 1}}},
        // A damaged capture's swap that lies before the one ahead of it.
        {"a swap back in time", {100, 130, 120, 170}, 80.0 / 3, 30, 50, 50, {{4, 50}, {2, 30}, {3, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FrameTimes times(c.ends, 5);
        EXPECT_EQ(times.frames(), c.ends.empty() ? 0 : c.ends.size() - 1);
        EXPECT_DOUBLE_EQ(times.mean(), c.mean);
        EXPECT_DOUBLE_EQ(times.median(), c.median);
        EXPECT_EQ(times.Percentile(95), c.p95);
        EXPECT_EQ(times.Percentile(99), c.p99);
        Worst worst;
        for (const FrameTimes::Frame& f : times.worst()) worst.emplace_back(f.number, f.ticks);
        EXPECT_EQ(worst, c.worst);
    }
}

TEST(Stats, CountsCallsByThreadAcrossThreadSwitches) {
    struct Case {
        const char* name;
        const char* steps;  // c: a call; a digit: a switch to that thread
        std::uint64_t withoutThread;
        std::vector<std::pair<std::uint32_t, std::uint64_t>> byThread;  // in order of first appearance
    };
    const Case cases[] = {
        {"one thread", "1ccc", 0, {{1, 3}}},
        {"back and forth", "1cc2c1c3ccc2c", 0, {{1, 3}, {2, 2}, {3, 3}}},
        {"a switch to the same thread", "1c1c1c", 0, {{1, 3}}},
        {"a thread without calls", "1c2", 0, {{1, 1}, {2, 0}}},
        {"calls before the first switch", "cc1c", 2, {{1, 1}}},
        {"no switch at all", "ccc", 3, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureBuilder b;
        b.Opening();
        for (const char* step = c.steps; *step; ++step) {
            if (*step == 'c')
                b.Call("glFlush");
            else
                b.ThreadSwitch(static_cast<std::uint32_t>(*step - '0'), 0);
        }
        const CaptureStatistics stats = StatsOf(b.bytes());
        std::vector<std::pair<std::uint32_t, std::uint64_t>> byThread;
        for (const auto& t : stats.CallsByThread()) byThread.emplace_back(t.thread, t.calls);
        EXPECT_EQ(byThread, c.byThread);
        EXPECT_EQ(stats.callsWithoutThread(), c.withoutThread);
    }
}

// The data behind an upload's or an unmap's fixed part is its kind; every other byte of a call is
// the call's.
TEST(Stats, SortsTheBytesOfCallsByKindOfData) {
    struct Case {
        const char* name;
        bool alias;
        std::uint32_t fixed;  // the fixed part's bytes
        std::uint32_t data;   // bytes after it
        DataKind kind;        // of those bytes
    };
    const Case cases[] = {
        {"glBufferData", true, 16, 64, DataKind::BufferData},
        {"glBufferDataARB", false, 16, 0, DataKind::BufferData},  // no data pointer
        {"glNamedBufferSubData", false, 16, 8, DataKind::BufferData},
        {"glNewObjectBufferATI", false, 16, 32, DataKind::BufferData},
        {"glTexImage2D", false, 36, 24, DataKind::TextureData},
        {"glTexImage3D", true, 40, 48, DataKind::TextureData},
        {"glCompressedTexSubImage2D", true, 36, 128, DataKind::TextureData},
        {"glTextureSubImage2D", false, 36, 16, DataKind::TextureData},
        {"glUnmapBuffer", true, 5, 64, DataKind::MappedWrites},
        {"glUnmapNamedBuffer", false, 5, 0, DataKind::MappedWrites},  // a read-only mapping
        {"glUnmapObjectBufferATI", false, 4, 12, DataKind::MappedWrites},
        // Pixels that go to no texture, and the data blocks of other calls, stay with the calls.
        {"glDrawPixels", false, 20, 12, DataKind::Calls},
        {"glUniform4fv", true, 12, 16, DataKind::Calls},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureBuilder b;
        b.Opening().ThreadSwitch(1, 0);
        const std::size_t before = b.size();
        const Payload payload = Payload().Fill(c.fixed + c.data, 0x5A);
        if (c.alias)
            b.AliasCall(c.name, payload);
        else
            b.Call(c.name, payload);
        const std::uint64_t marker = c.alias ? 24 : 0;  // the alias marker counts with the call
        const CaptureStatistics stats = StatsOf(b.bytes());
        const DataVolume& volume = stats.volume();
        for (DataKind kind : {DataKind::BufferData, DataKind::TextureData, DataKind::MappedWrites}) {
            const bool carries = kind == c.kind && c.data > 0;
            EXPECT_EQ(volume[kind].bytes, carries ? c.data : 0u) << DataVolume::Name(kind);
            EXPECT_EQ(volume[kind].records, carries ? 1u : 0u) << DataVolume::Name(kind);
        }
        const std::uint64_t callData = c.kind == DataKind::Calls ? c.data : 0;
        EXPECT_EQ(volume[DataKind::Calls].bytes, marker + 16u + c.fixed + callData);
        EXPECT_EQ(volume[DataKind::Calls].records, 1u);
        EXPECT_EQ(volume[DataKind::StreamRecords].bytes, before);
        EXPECT_EQ(volume[DataKind::ClientArrays].bytes, 0u);
    }
}

// A 64-bit process's pointers, handles and pointer-sized integers are 8 bytes: its fixed parts are
// wider by 4 bytes for each, and its contexts are told apart by all their 64 bits.
TEST(Stats, ACaptureOfA64BitProcessSplitsFixedPartsAndDataAtItsWidth) {
    struct Case {
        const char* name;
        std::uint32_t fixed;  // a 64-bit process's fixed part
        std::uint32_t data;
        DataKind kind;
    };
    const Case cases[] = {
        {"glBufferDataARB", 24, 64, DataKind::BufferData},      // target, size, data pointer, usage
        {"glTexImage2D", 40, 24, DataKind::TextureData},         // eight values and the pixel pointer
        {"glUnmapBufferARB", 5, 32, DataKind::MappedWrites},     // target and result: no pointer
        {"glUniform4fvARB", 16, 16, DataKind::Calls},            // location, count, value pointer
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureBuilder b(64);
        b.Opening().ThreadSwitch(1, 0x100000200).Call(c.name, Payload().Fill(c.fixed + c.data, 0x5A));
        const CaptureStatistics stats = StatsOf(b.bytes());
        EXPECT_EQ(stats.pointerBits(), 64u);
        EXPECT_EQ(stats.contexts(), (std::vector<std::uint64_t>{0x100000200}));
        const DataVolume& volume = stats.volume();
        if (c.kind != DataKind::Calls) {
            EXPECT_EQ(volume[c.kind].bytes, c.data);
        }
        EXPECT_EQ(volume[DataKind::Calls].bytes, 16u + c.fixed + (c.kind == DataKind::Calls ? c.data : 0u));
    }
}

TEST(Stats, AnUploadShorterThanItsFixedPartCarriesNoData) {
    CaptureBuilder b;
    b.Opening().Call("glTexImage2D", Payload().Fill(20, 0));
    const DataVolume& volume = StatsOf(b.bytes()).volume();
    EXPECT_EQ(volume[DataKind::TextureData].bytes, 0u);
    EXPECT_EQ(volume[DataKind::Calls].bytes, 36u);
}

TEST(Stats, TheKindsShareOutEveryByteOfTheCapture) {
    CaptureBuilder b = TwoThreads();
    b.ClientMemory(0x2000, 16, 0, std::vector<std::uint8_t>(40, 1));
    b.Call("glTexSubImage2D", Payload().Fill(36 + 10, 0));
    b.AliasCall("glBufferSubData", Payload().Fill(16 + 6, 0));
    b.Call("glUnmapBufferARB", Payload().Fill(5 + 3, 0));
    const CaptureStatistics stats = StatsOf(b.bytes());
    const DataVolume& volume = stats.volume();
    EXPECT_EQ(volume[DataKind::ClientArrays].bytes, (16u + 12 + 100) + (16u + 12 + 40));
    EXPECT_EQ(volume[DataKind::ClientArrays].records, 2u);
    EXPECT_EQ(volume[DataKind::TextureData].bytes, 10u);
    EXPECT_EQ(volume[DataKind::BufferData].bytes, 6u);
    EXPECT_EQ(volume[DataKind::MappedWrites].bytes, 3u);
    EXPECT_EQ(volume[DataKind::Calls].records, stats.calls());
    std::uint64_t sum = 0;
    for (std::size_t k = 0; k < kDataKinds; ++k) sum += volume[static_cast<DataKind>(k)].bytes;
    EXPECT_EQ(sum, b.size());
    // The two alias markers are the calls'; the other stream records are the opening four and three switches.
    EXPECT_EQ(volume[DataKind::StreamRecords].records, 7u);
    EXPECT_EQ(volume[DataKind::StreamRecords].bytes, 344u + 3 * 24);
}

std::string Report(const CaptureBuilder& b, const StatsReport::Clock& clock, std::size_t top = 2,
                   const CaptureFileForm& form = {false, 1500000, 1500000, {}}) {
    TextOutput out;
    StatsReport::Write(out, "two.kcap", form, StatsOf(b.bytes()), top, clock);
    return std::string(out.text());
}

void ExpectLines(const std::string& text, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;
}

// The whole line of the text that holds `part`, without its line end.
std::string LineWith(const std::string& text, const std::string& part) {
    const std::size_t at = text.find(part);
    if (at == std::string::npos) return {};
    const std::size_t start = text.rfind('\n', at);
    const std::size_t begin = start == std::string::npos ? 0 : start + 1;
    return text.substr(begin, text.find('\n', at) - begin);
}

std::string PaddedNumber(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    return std::string(12 - digits.size(), ' ') + digits;
}

// How the file was written: raw, or zstd with the levels the drainer noted as it kept up.
// A mapped write's bytes are mapped writes; its buffer name and runs count with the stream records.
TEST(Stats, AMappedWritesBytesCountAsMappedWrites) {
    CaptureBuilder b = TwoThreads();
    const CaptureStatistics before = StatsOf(b.bytes());
    b.Record(kMappedWriteRecord, Payload().U32(3).U32(2).U32(0).U32(10).U32(64).U32(6).Fill(16, 7));
    const CaptureStatistics stats = StatsOf(b.bytes());
    const DataVolume& volume = stats.volume();
    EXPECT_EQ(volume[DataKind::MappedWrites].bytes, before.volume()[DataKind::MappedWrites].bytes + 16);
    EXPECT_EQ(volume[DataKind::MappedWrites].records, before.volume()[DataKind::MappedWrites].records + 1);
    EXPECT_EQ(volume[DataKind::StreamRecords].bytes, before.volume()[DataKind::StreamRecords].bytes + 16 + 8 + 16);
    EXPECT_EQ(stats.calls(), before.calls());
}

TEST(Stats, TheFileLineSaysHowTheFileWasWritten) {
    struct Case {
        const char* name;
        CaptureFileForm form;
        const char* line;
    };
    const Case cases[] = {
        {"raw", {false, 7600000, 7600000, {}}, "file         uncompressed record stream, 7.6 MB"},
        {"one level", {true, 700000, 7600000, {3}}, "file         zstd level 3, 0.7 MB for 7.6 MB of stream (10.9x)"},
        {"lowered once", {true, 2000000, 8000000, {3, 1}},
         "file         zstd level 3 -> 1 (adaptive: 1 change, lowest 1), 2.0 MB for 8.0 MB of stream (4.0x)"},
        {"down to stored and back",
         {true, 8000000, 8000000, {3, 1, -1, -5, kStoredLevel, -5}},
         "file         zstd level 3 -> 1 -> -1 -> -5 -> stored -> -5 (adaptive: 5 changes, lowest stored), 8.0 MB for 8.0 MB of stream (1.0x)"},
        {"written by another tool", {true, 1000000, 4000000, {}},
         "file         zstd (no levels noted), 1.0 MB for 4.0 MB of stream (4.0x)"},
    };
    const CaptureBuilder b = TwoThreads();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LineWith(Report(b, {1000, true}, 2, c.form), "file  "), c.line);
    }
}

TEST(Stats, TheReportShowsTheFigures) {
    const CaptureBuilder b = TwoThreads();
    const std::string text = Report(b, {1000, true});
    const CaptureStatistics stats = StatsOf(b.bytes());
    ExpectLines(text, {
        "capture      two.kcap\n",
        "process      32-bit\n",
        "records      " + std::to_string(b.recordStarts().size()) + " (17 calls, 9 stream records), " + std::to_string(b.size()) + " bytes\n",
        "frames       3; calls per frame: min 3, median 5, max 7; 2 calls after the last swap\n",
        "threads      2: 10, 20\n",
        "calls by thread:\n          16   94.1%  thread 10\n           1    5.9%  thread 20\ncontexts",
        "contexts     3: 0x100, 0x300, 0x200\n",
        "bytes by kind:\n" + PaddedNumber(stats.volume()[DataKind::Calls].bytes),
        "           0    0.0%  buffer data (0 uploads)\n",
        "           0       -  frame images (not in the capture: the recorder saves them as PNG files)\n",
        "           3  thread switch (72 bytes)\n",
        "top functions by count:\n           6  glVertex3f\n           3  wglSwapBuffers\ntop functions by bytes:\n         168  glVertex3f\n          72  wglSwapBuffers\n",
    });
    EXPECT_EQ(LineWith(text, "calls (17 calls)").substr(0, 12), PaddedNumber(stats.volume()[DataKind::Calls].bytes));
    EXPECT_EQ(LineWith(text, "client arrays (1 block)").substr(0, 12), PaddedNumber(16 + 12 + 100));
}

TEST(Stats, TheReportGivesTimesInSecondsAndMilliseconds) {
    ExpectLines(Report(ThreeTimedFrames(), {10000, true}),
                {"duration     0.083 s at 10000 ticks/s (--clock-hz)\n", "time stamps  0 to 830\n",
                 "frame times  mean 33.500 ms (29.9 frames/s), median 33.500 ms, 95th percentile 50.000 ms, "
                 "99th percentile 50.000 ms (frames 2 to 3, swap to swap)\n",
                 "worst frames 50.000 ms (frame 3), 17.000 ms (frame 2)\n",
                 "first frame  16.000 ms from the start of the capture to the first swap"});
    ExpectLines(Report(ThreeTimedFrames(), {10000000, false}),
                {"duration     0.000 s at 10000000 ticks/s, this machine's rate (the capture records none",
                 "frame times  mean 0.03"});
    // Without a rate the figures stay in ticks rather than in made-up units.
    ExpectLines(Report(ThreeTimedFrames(), {}),
                {"duration     830 ticks (the capture records no clock rate", "median 335 ticks, 95th percentile 500 ticks",
                 "worst frames 500 ticks (frame 3)", "first frame  160 ticks"});
    CaptureBuilder one;
    one.At(0).Opening().At(90).Call("wglSwapBuffers", Payload().U32(0xD1).U32(1));
    ExpectLines(Report(one, {10000, true}), {"frame times  none from swap to swap: the capture has one frame\n"
                                             "first frame  9.000 ms from the start"});
}

TEST(Stats, TheReportOfACaptureWithoutCalls) {
    CaptureBuilder b;
    b.Opening();
    const std::string text = Report(b, {1000, true}, 10);
    ExpectLines(text, {"frames       0; 0 calls and no swap\n", "frame times  none: no frame was ended by a swap\n",
                       "threads      0\n", "calls by thread:\n  (no calls)\n", "top functions by count:\n  (no calls)\n",
                       "         344  100.0%  other stream records (4 records)\n"});
}

TEST(Stats, TheReportListsTheBusiestThreadsAndSumsTheRest) {
    CaptureBuilder b;
    b.Opening().Call("glFlush");
    for (std::uint32_t thread = 1; thread <= StatsReport::kListedValues + 2; ++thread) {
        b.ThreadSwitch(thread, 0);
        for (std::uint32_t i = 0; i < thread; ++i) b.Call("glFlush");
    }
    const std::string text = Report(b, {1000, true});
    const std::size_t n = StatsReport::kListedValues + 2;
    // Most calls first: the last thread leads, threads 1 and 2 are summed.
    ExpectLines(text, {"calls by thread:\n" + std::string(10, ' ') + std::to_string(n) + " ",
                       "thread 3\n           3    ", "  in 2 more threads\n           1    ", "  before any thread switch\n"});
    EXPECT_EQ(text.find("thread 2\n"), std::string::npos) << text;
}

TEST(Stats, ReadsItsOptions) {
    struct Case {
        std::vector<std::string> words;
        bool ok;
        std::size_t top;
        std::uint64_t clockHz;
        const char* error;
    };
    const Case cases[] = {
        {{"a.kcap"}, true, StatsOptions::kDefaultTop, 0, ""},
        {{"a.kcap", "--clock-hz", "10000000"}, true, StatsOptions::kDefaultTop, 10000000, ""},
        {{"--clock-hz=3579545", "a.kcap", "--top=3"}, true, 3, 3579545, ""},
        {{"a.kcap", "--clock-hz", "0"}, false, 0, 0, "--clock-hz takes ticks per second"},
        {{"a.kcap", "--clock-hz=1e7"}, false, 0, 0, "not '1e7'"},
        {{"a.kcap", "--clock-hz", "100000000001"}, false, 0, 0, "--clock-hz takes"},
        {{"a.kcap", "--clock-hz"}, false, 0, 0, "--clock-hz needs a value"},
        {{"a.kcap", "--top"}, false, 0, 0, "--top needs a value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.back());
        StatsOptions options;
        std::string error;
        EXPECT_EQ(options.Parse(c.words, error), c.ok) << error;
        if (c.ok) {
            EXPECT_EQ(options.top, c.top);
            EXPECT_EQ(options.clockHz, c.clockHz);
            EXPECT_EQ(options.path, "a.kcap");
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
}

}  // namespace
}  // namespace kestrel::test
