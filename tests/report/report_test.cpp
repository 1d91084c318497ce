// kestrel report's pieces on captures built in memory: which frames it lists, what each listed call
// carries, and which frame images belong to a capture.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CaptureBuilder.h"
#include "controller/reading/CaptureFileReader.h"
#include "controller/report/FrameCallLists.h"
#include "controller/report/FrameImageSet.h"
#include "controller/report/FrameSelection.h"
#include "tests/images/TempFolder.h"

namespace kestrel::test {
namespace {

std::string Lists(const CaptureBuilder& b, std::vector<std::uint64_t> frames, std::uint64_t callLimit, std::uint64_t* read = nullptr) {
    CaptureFileReader reader;
    reader.OpenMemory(b.bytes().data(), b.size());
    reader.SetPayloadLimit(FrameCallLists::PayloadNeeded());
    FrameCallLists lists(std::move(frames), callLimit);
    CaptureRecord record;
    std::uint64_t records = 0;
    while (reader.Next(record) && lists.Add(RecordView::Of(record))) ++records;
    if (read) *read = records;
    return std::string(lists.Finish());
}

// Frame 1: an enable. Frame 2: a debug group holding a uniform lookup whose name could end the
// page's script element and a draw from client memory, then an upload. Frame 3: a clear.
CaptureBuilder ThreeFrames() {
    CaptureBuilder b;
    b.Opening().ThreadSwitch(7, 0x100);
    b.Call("glEnable", Payload().U32(0x0B71)).Call("wglSwapBuffers", Payload().U32(0xD1).U32(1));
    b.Call("glPushDebugGroup", Payload().U32(0x824A).U32(1).I32(-1).U32(0x401000));
    b.Call("glGetUniformLocationARB", Payload().U32(3).U32(0x402000).I32(5).Text("a</script>b"));
    b.ClientMemory(0x1000, 0, 0, std::vector<std::uint8_t>(48, 1));
    b.Call("glDrawArrays", Payload().U32(4).I32(0).I32(3));
    b.Call("glPopDebugGroup");
    b.Call("glBufferSubDataARB", Payload().U32(0x8892).I32(0).I32(100).U32(0).Fill(100, 2));
    b.Call("wglSwapBuffers", Payload().U32(0xD1).U32(1));
    b.Call("glClear", Payload().U32(0x4100)).Call("wglSwapBuffers", Payload().U32(0xD1).U32(1));
    return b;
}

TEST(ReportCallLists, EachListedCallCarriesItsTextDataKindAndRole) {
    const CaptureBuilder b = ThreeFrames();
    std::uint64_t read = 0;
    const std::string json = Lists(b, {2}, 100, &read);
    // Records 0-3 opening, 4 thread switch, 5-6 frame 1; frame 2 starts at record 7. The group's
    // message is not recorded, only its address.
    EXPECT_NE(json.find("[7,7,\"glPushDebugGroup(GL_DEBUG_SOURCE_APPLICATION, 1, -1, 0x"), std::string::npos) << json;
    EXPECT_NE(json.find(")\",0,0,2]"), std::string::npos) << json;
    EXPECT_NE(json.find("\\\"a\\u003c/script\\u003eb\\\"\",12,0,0]"), std::string::npos) << json;  // its string's 12 bytes
    EXPECT_NE(json.find("[10,7,\"glDrawArrays(GL_TRIANGLES, 0, 3)\",48,1,1]"), std::string::npos) << json;  // client arrays, a draw
    EXPECT_NE(json.find("[11,7,\"glPopDebugGroup()\",0,0,3]"), std::string::npos) << json;
    EXPECT_NE(json.find(",100,2,0]"), std::string::npos) << json;  // buffer data
    EXPECT_EQ(json.find("</"), std::string::npos) << "the page's script element would end here";
    EXPECT_EQ(json.rfind("{\"2\":[", 0), 0u) << json;
    EXPECT_EQ(json.find("glEnable"), std::string::npos);
    EXPECT_EQ(json.find("glClear"), std::string::npos) << "frame 3 is not listed";
    EXPECT_LT(read, b.recordStarts().size() - 1) << "the reading stops after the last frame listed";

    // At most the limit of each frame, and frames in order.
    const std::string cut = Lists(b, {1, 3}, 1);
    EXPECT_EQ(cut, "{\"1\":[[5,7,\"glEnable(GL_DEPTH_TEST)\",0,0,0]],\"3\":[[14,7,\"glClear(0x4100)\",0,0,0]]}");
}

TEST(ReportFrameSelection, ListsEveryFrameWithinTheBudgetElseTheSlowestWithTheirNeighboursOrTheRangeAsked) {
    auto ends = [](std::size_t frames, std::uint64_t slow, std::uint64_t slower) {
        std::vector<std::int64_t> times;
        std::int64_t t = 0;
        for (std::uint64_t frame = 1; frame <= frames; ++frame) times.push_back(t += frame == slow ? 500 : frame == slower ? 900 : 100);
        return times;
    };
    struct Case {
        const char* name;
        std::size_t frames;
        std::uint64_t callsPerFrame;
        bool range;
        std::uint64_t first, last;
        std::vector<std::uint64_t> listed;
        const char* why;
    } cases[] = {
        {"short", 5, 100, false, 1, 1, {1, 2, 3, 4, 5}, "every frame"},
        // 100 frames of 5,000 calls: the budget takes the windows of the four slowest (frame 2's has
        // four frames), 95,000 calls; a fifth window would pass it.
        {"long", 100, 5000, false, 1, 1, {1, 2, 3, 4, 38, 39, 40, 41, 42, 48, 49, 50, 51, 52, 58, 59, 60, 61, 62},
         "the slowest frames (40, 50, 2, 60) with 2 frames either side"},
        {"range", 100, 5000, true, 7, 9, {7, 8, 9}, "frames 7 to 9, as asked"},
        {"range beyond the budget", 100, 30000, true, 7, 20, {7, 8, 9, 10, 11},
         "frames 7 to 11 of the frames 7 to 20 asked for (the lists stop at 100,000 calls in all)"},
        {"range past the end", 5, 10, true, 8, UINT64_MAX, {}, "none: the capture has 5 frames and frames 8 on were asked for"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Frame 40 the slowest, then 50; frames 2 and 60 next as the times cycle.
        std::vector<std::int64_t> times = ends(c.frames, 50, 40);
        if (c.frames == 100) {
            times[1] += 50;  // frame 2 lasts 150
            for (std::size_t i = 59; i < 100; ++i) times[i] += 40;  // frame 60 lasts 140
        }
        const FrameSelection selection =
            FrameSelection::Choose(std::vector<std::uint64_t>(c.frames, c.callsPerFrame), times, c.range, c.first, c.last);
        EXPECT_EQ(selection.frames(), c.listed);
        EXPECT_EQ(selection.why(), c.why);
    }
}

void Touch(const std::string& path, const std::string& bytes, int hoursAgo) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (!hoursAgo) return;
    const HANDLE handle = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    ULARGE_INTEGER t{};
    t.LowPart = time.dwLowDateTime;
    t.HighPart = time.dwHighDateTime;
    t.QuadPart -= static_cast<std::uint64_t>(hoursAgo) * 3600 * 10000000ull;
    time.dwLowDateTime = t.LowPart;
    time.dwHighDateTime = t.HighPart;
    SetFileTime(handle, nullptr, nullptr, &time);
    CloseHandle(handle);
}

std::string Json(const FrameImageSet& images, const std::string& page) {
    TextOutput out;
    images.WriteJson(out, page);
    return std::string(out.text());
}

TEST(ReportFrameImages, AreTheCapturesByNameOrByTheTimeTheyWereWritten) {
    const TempFolder folder("report-images");
    const std::string capture = folder.path() + "run.kcap";
    Touch(capture, "x", 0);
    Touch(folder.path() + "app-12_0001.png", "old", 5);    // an earlier capture's
    Touch(folder.path() + "app-34_0002.png", "new!", 0);   // written while this one ran
    Touch(folder.path() + "app-34_0003.png", "new!!", 0);
    Touch(folder.path() + "notes_12.png", "?", 0);          // not a frame image

    FrameImageSet byTime;
    byTime.Find(capture, "");
    EXPECT_EQ(byTime.count(), 2u) << byTime.note();
    EXPECT_TRUE(byTime.Has(2) && byTime.Has(3) && !byTime.Has(1));
    EXPECT_NE(Json(byTime, capture).find("\"frames\":[2,3],\"urls\":[\"data:image/png;base64,bmV3IQ==\",\"data:image/png;base64,bmV3ISE=\"]"),
              std::string::npos) << Json(byTime, capture);

    byTime.KeepUpTo(2);
    EXPECT_TRUE(byTime.Has(2) && !byTime.Has(3)) << "frame 3 is past the capture's end";

    // Named after the capture, as replay --images names them: those, whenever written.
    Touch(folder.path() + "run_0005.png", "r", 9);
    FrameImageSet byName;
    byName.Find(capture, "");
    EXPECT_EQ(byName.count(), 1u);
    EXPECT_TRUE(byName.Has(5)) << byName.note();

    // In another folder with one capture's images only, whose times say nothing.
    const TempFolder other("report-images-given");
    Touch(other.path() + "game-9_0010.png", "g", 30);
    FrameImageSet given;
    given.Find(capture, other.path());
    EXPECT_TRUE(given.Has(10)) << given.note();
    FrameImageSet none;
    none.Find(folder.path() + "elsewhere.kcap", "");
    EXPECT_EQ(none.count(), 0u);
}

}  // namespace
}  // namespace kestrel::test
