// kestrel stats: the figures of a capture and the report that shows them.
#include <gtest/gtest.h>

#include <algorithm>

#include "CaptureBuilder.h"
#include "ReadBack.h"
#include "controller/StatsReport.h"
#include "controller/TextOutput.h"

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
    EXPECT_EQ(stats.contexts(), (std::vector<std::uint32_t>{0x100, 0x300, 0x200}));
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

TEST(Stats, TheReportShowsTheFigures) {
    const CaptureBuilder b = TwoThreads();
    TextOutput out;
    StatsReport::Write(out, "two.kcap", StatsOf(b.bytes()), 2);
    const std::string_view text = out.text();
    const std::string expected[] = {
        "capture      two.kcap\n",
        "records      " + std::to_string(b.recordStarts().size()) + " (17 calls, 9 stream records), " + std::to_string(b.size()) + " bytes\n",
        "frames       3; calls per frame: min 3, median 5, max 7; 2 calls after the last swap\n",
        "threads      2: 10, 20\n",
        "contexts     3: 0x100, 0x300, 0x200\n",
        "           3  thread switch (72 bytes)\n",
        "top functions by count:\n           6  glVertex3f\n           3  wglSwapBuffers\ntop functions by bytes:\n         168  glVertex3f\n          72  wglSwapBuffers\n",
    };
    for (const std::string& line : expected) EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;
}

TEST(Stats, TheReportOfACaptureWithoutCalls) {
    CaptureBuilder b;
    b.Opening();
    TextOutput out;
    StatsReport::Write(out, "empty.kcap", StatsOf(b.bytes()), 10);
    EXPECT_NE(out.text().find("frames       0; 0 calls and no swap\n"), std::string::npos) << out.text();
    EXPECT_NE(out.text().find("threads      0\n"), std::string::npos) << out.text();
    EXPECT_NE(out.text().find("top functions by count:\n  (no calls)\n"), std::string::npos) << out.text();
}

}  // namespace
}  // namespace kestrel::test
