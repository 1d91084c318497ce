// Frame images of a real program under capture: each PNG holds exactly what the program read from
// its back buffer just before that frame's swap (or right after that draw), the triggers choose the
// frames and draws they should, and the program's read state and current context survive them.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gen/ApiTable.h"
#include "tests/images/TempFolder.h"
#include "tests/support/PngDecoder.h"
#include "tests/support/TestController.h"
#include "tests/support/TruthFrame.h"

namespace {
const std::string kApp = TestController::FixturePath("image_app.exe");
constexpr std::uint32_t kNoLimit = 0xFFFFFFFF;

struct ImageRun {
    TestController controller;
    TempFolder folder;
    TestController::Run run;

    ImageRun(const std::string& name, std::uint32_t first, std::uint32_t interval, std::uint32_t limit,
             std::uint32_t byDraw = 0, std::uint32_t byFrame = 1)
        : folder(name) {
        kestrel::CaptureSettings& s = controller.policy.settings;
        s.imagesByFrame = byFrame;
        s.imagesByDraw = byDraw;
        s.imageFirstFrame = first;
        s.imageInterval = interval;
        s.imageLimit = limit;
        std::snprintf(s.imageFolder, sizeof s.imageFolder, "%s", folder.path().c_str());
    }

    void Run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--out", folder.path()});
        run = controller.RunApp(kApp, arguments);
    }

    // What every image file name of the capture starts with: the capture name's last part and "_".
    std::string Prefix() const {
        const std::string& base = controller.policy.baseName;
        return base.substr(base.find_last_of('\\') + 1) + "_";
    }

    // The frame numbers of the image files the capture wrote, in ascending order.
    std::vector<std::uint32_t> ImageFrames() const {
        std::vector<std::uint32_t> frames;
        WIN32_FIND_DATAA found{};
        const HANDLE search = FindFirstFileA((folder.path() + Prefix() + "*.png").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return frames;
        do {
            const std::string name = found.cFileName;
            const std::string number = name.substr(Prefix().size(), name.size() - Prefix().size() - 4);
            EXPECT_EQ(number.size(), 4u) << name << ": four digits";
            frames.push_back(static_cast<std::uint32_t>(std::stoul(number)));
        } while (FindNextFileA(search, &found));
        FindClose(search);
        std::sort(frames.begin(), frames.end());
        return frames;
    }

    std::string ImagePath(std::uint32_t frame) const {
        char number[16];
        std::snprintf(number, sizeof number, "%.4u.png", frame);
        return folder.path() + Prefix() + number;
    }
};

// The PNG against the program's own read-back, to the byte: same size, the same red, green and blue
// in every pixel.
void ExpectImageIsTruth(const std::string& png, const std::string& truthFile) {
    TruthFrame truth;
    ASSERT_TRUE(truth.Read(truthFile)) << truthFile;
    const DecodedPng image = DecodePng(png);
    ASSERT_EQ(image.error, "") << png;
    ASSERT_EQ(image.width, truth.width) << png;
    ASSERT_EQ(image.height, truth.height) << png;
    std::size_t differing = 0;
    for (std::uint32_t y = 0; y < truth.height; ++y)
        for (std::uint32_t x = 0; x < truth.width; ++x)
            if (std::memcmp(&image.rgb[(static_cast<std::size_t>(y) * truth.width + x) * 3], truth.FromTop(x, y), 3) != 0)
                ++differing;
    EXPECT_EQ(differing, 0u) << png << " against " << truthFile;
}

std::size_t CountId(const std::vector<kestrel::CaptureRecord>& records, std::uint32_t id) {
    return static_cast<std::size_t>(
        std::count_if(records.begin(), records.end(), [id](const kestrel::CaptureRecord& r) { return r.id == id; }));
}

void ExpectCleanRun(const ImageRun& r) {
    ASSERT_TRUE(r.run.started) << r.run.error;
    EXPECT_FALSE(r.run.timedOut);
    EXPECT_EQ(r.run.exitCode, 0u) << "image_app checks its read state and current context after every swap";
}
}  // namespace

// Every frame, with the window resized between two images: each image is its frame's truth, in the
// size of its own client area; the read-back itself never reaches the capture.
TEST(FrameImages, EachImageIsWhatTheProgramReadBeforeItsSwapAndFollowsAResize) {
    ImageRun r("every-frame", 0, 1, kNoLimit);
    r.Run({"--frames", "4", "--resize-at", "3", "120", "80"});
    ExpectCleanRun(r);
    ASSERT_EQ(r.ImageFrames(), (std::vector<std::uint32_t>{1, 2, 3, 4}));
    for (std::uint32_t frame = 1; frame <= 4; ++frame)
        ExpectImageIsTruth(r.ImagePath(frame), r.folder.path() + "frame_" + std::to_string(frame) + ".truth");
    EXPECT_EQ(DecodePng(r.ImagePath(2)).width, 161u);
    EXPECT_EQ(DecodePng(r.ImagePath(3)).width, 120u);
    EXPECT_EQ(DecodePng(r.ImagePath(3)).height, 80u);

    // The program's own reads only: one glReadPixels and two glReadBuffer per frame.
    const auto records = r.controller.Records();
    EXPECT_EQ(CountId(records, kestrel::api::wglSwapBuffers), 4u);
    EXPECT_EQ(CountId(records, kestrel::api::glReadPixels), 4u);
    EXPECT_EQ(CountId(records, kestrel::api::glReadBuffer), 8u);
}

// No image at imageFirstFrame itself; the first at first + interval, then every interval frames
// until the limit.
TEST(FrameImages, FirstFrameIntervalAndLimitChooseTheFrames) {
    struct Case {
        std::uint32_t first, interval, limit, frames;
        std::vector<std::uint32_t> images;
    };
    const Case cases[] = {
        {2, 3, 2, 12, {5, 8}},
        {0, 2, kNoLimit, 5, {2, 4}},
        {5, 1, kNoLimit, 5, {}},
        {0, 0, kNoLimit, 3, {}},
    };
    int n = 0;
    for (const Case& c : cases) {
        ImageRun r("rules-" + std::to_string(++n), c.first, c.interval, c.limit);
        r.Run({"--frames", std::to_string(c.frames)});
        ExpectCleanRun(r);
        EXPECT_EQ(r.ImageFrames(), c.images) << "first " << c.first << " interval " << c.interval << " limit " << c.limit;
        for (std::uint32_t frame : c.images)
            ExpectImageIsTruth(r.ImagePath(frame), r.folder.path() + "frame_" + std::to_string(frame) + ".truth");
    }
}

// The swapped window is not the current context's, or no context is current: the image is still the
// swapped window's frame, read through its own context, and the program's current context (or none)
// and both contexts' read state come back.
TEST(FrameImages, TheSwappedWindowIsReadWhateverContextIsCurrent) {
    for (const char* mode : {"--other-window", "--release"}) {
        ImageRun r(std::string("context") + mode, 0, 1, kNoLimit);
        r.Run({"--frames", "2", mode});
        ExpectCleanRun(r);
        ASSERT_EQ(r.ImageFrames(), (std::vector<std::uint32_t>{1, 2})) << mode;
        for (std::uint32_t frame = 1; frame <= 2; ++frame)
            ExpectImageIsTruth(r.ImagePath(frame), r.folder.path() + "frame_" + std::to_string(frame) + ".truth");
    }
}

// Draw mode: images of the first frame only, every interval-th draw counted from the first, all under
// frame number 1, so the file holds the last one taken; the save flag decides whether any is written.
TEST(FrameImages, DrawModeWritesTheFirstFramesImagesUnderFrameOne) {
    struct Case {
        std::uint32_t interval, byFrame;
        bool arrayElement;
        int lastImageDraw;  // -1: no file
    };
    // Five draws in each of three frames: with interval 2 images after draws 0, 2, 4; with 3 after 0, 3.
    // A glArrayElement after draw 0 is a draw as well: then images after draws 0, 1 and 3.
    const Case cases[] = {{2, 1, false, 4}, {3, 1, false, 3}, {1, 0, false, -1}, {2, 1, true, 3}};
    int n = 0;
    for (const Case& c : cases) {
        ImageRun r("draws-" + std::to_string(++n), 0, c.interval, kNoLimit, 1, c.byFrame);
        std::vector<std::string> arguments = {"--frames", "3", "--draws", "5"};
        if (c.arrayElement) arguments.push_back("--array-element");
        r.Run(arguments);
        ExpectCleanRun(r);
        if (c.lastImageDraw < 0) {
            EXPECT_EQ(r.ImageFrames(), std::vector<std::uint32_t>{}) << "no save flag, no file";
            continue;
        }
        ASSERT_EQ(r.ImageFrames(), std::vector<std::uint32_t>{1}) << "interval " << c.interval;
        ExpectImageIsTruth(r.ImagePath(1), r.folder.path() + "draw_" + std::to_string(c.lastImageDraw) + ".truth");
    }
}

// A folder that cannot hold its backslash in the settings field turns images off; the capture runs.
TEST(FrameImages, AFolderTooLongForItsFieldLeavesTheCaptureRunning) {
    ImageRun r("too-long", 0, 1, kNoLimit);
    std::fill_n(r.controller.policy.settings.imageFolder, 259, 'd');
    r.controller.policy.settings.imageFolder[259] = '\0';
    r.Run({"--frames", "2"});
    ExpectCleanRun(r);
    EXPECT_EQ(r.controller.server().readyCount(), 1);
    EXPECT_EQ(r.controller.server().finishedCount(), 1);
    EXPECT_EQ(CountId(r.controller.Records(), kestrel::api::wglSwapBuffers), 2u);
    EXPECT_EQ(r.ImageFrames(), std::vector<std::uint32_t>{});
}
