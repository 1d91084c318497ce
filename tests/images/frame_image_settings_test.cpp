// The image settings of a capture, the frame-image step, and when the triggers take an image.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "images/FrameImageSettings.h"
#include "images/ImageTriggers.h"
#include "tests/images/TempFolder.h"
#include "tests/support/PngDecoder.h"

using kestrel::CaptureSettings;
using kestrel::FrameImageSettings;

namespace {
CaptureSettings WithFolder(const std::string& folder) {
    CaptureSettings settings{};
    std::memcpy(settings.imageFolder, folder.c_str(), folder.size() + 1);
    return settings;
}
}  // namespace

TEST(FrameImageSettings, FolderGetsOneBackslashAndNamesStartWithTheCaptureNamesLastPart) {
    struct Case { const char* folder; const char* captureName; const char* pathPrefix; };
    const Case cases[] = {
        {"C:\\img", "x", "C:\\img\\x_"},
        {"C:\\img\\", "Local\\gears-12", "C:\\img\\gears-12_"},
        {"D:\\a\\b", "Local\\deep\\name", "D:\\a\\b\\name_"},
        {"E:\\f", "ends-with\\", "E:\\f\\_"},
    };
    for (const Case& c : cases) {
        const auto images = FrameImageSettings::Create(WithFolder(c.folder), c.captureName);
        ASSERT_NE(images, nullptr) << c.folder;
        EXPECT_STREQ(images->pathPrefix(), c.pathPrefix) << c.folder << " " << c.captureName;
        EXPECT_EQ(images->image, nullptr);
        EXPECT_EQ(images->width, 0u);
    }
    // The longest capture name there is still gets its "_".
    const std::string longest(259, 'n');
    const auto images = FrameImageSettings::Create(WithFolder("C:\\i"), longest.c_str());
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(std::string(images->namePrefix), longest + "_");
}

// Folder, backslash and NUL must fit 260 bytes; a folder that does not turns images off.
TEST(FrameImageSettings, AFolderTooLongForItsFieldTurnsImagesOff) {
    EXPECT_NE(FrameImageSettings::Create(WithFolder(std::string(258, 'd')), "x"), nullptr);
    EXPECT_NE(FrameImageSettings::Create(WithFolder(std::string(258, 'd') + "\\"), "x"), nullptr);
    EXPECT_EQ(FrameImageSettings::Create(WithFolder(std::string(259, 'd')), "x"), nullptr);
    CaptureSettings unterminated{};
    std::memset(unterminated.imageFolder, 'd', sizeof unterminated.imageFolder);
    EXPECT_EQ(FrameImageSettings::Create(unterminated, "x"), nullptr);
}

TEST(FrameImageSettings, TheImageObjectIsReplacedOnlyWhenTheSizeChanges) {
    auto images = FrameImageSettings::Create(WithFolder("C:\\i"), "x");
    images->SetUpFrame(64, 48);
    const kestrel::BaseImageInterface* first = images->image.get();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->width, 64u);
    images->SetUpFrame(64, 48);
    EXPECT_EQ(images->image.get(), first);
    images->SetUpFrame(64, 49);
    ASSERT_NE(images->image, nullptr);
    EXPECT_EQ(images->image->height, 49u);
    EXPECT_EQ(images->width, 64u);
    EXPECT_EQ(images->height, 49u);
}

// The step hands the pixels over; only the save flag writes the frame's file.
TEST(FrameImageSettings, TheStepSavesTheFramesFileOnlyWithTheSaveFlag) {
    TempFolder folder("step");
    std::vector<std::uint8_t> pixels(3 * 2 * 4, 0x40);
    pixels[0] = 0x11;  // blue of the top-left pixel
    for (const std::uint32_t saveFlag : {0u, 1u}) {
        CaptureSettings settings = WithFolder(folder.path());
        settings.imagesByFrame = saveFlag;
        auto images = FrameImageSettings::Create(settings, "Local\\cap");
        EXPECT_EQ(images->Step(7, pixels.data(), 12), 0u) << "no image object before the first frame set-up";
        images->SetUpFrame(3, 2);
        EXPECT_EQ(images->Step(7, nullptr, 12), 0u);
        EXPECT_EQ(images->Step(7, pixels.data(), 12), 1u);
        EXPECT_EQ(images->image->pixels, pixels.data());
        EXPECT_EQ(folder.Exists("cap_0007.png"), saveFlag != 0) << saveFlag;
    }
    const DecodedPng png = DecodePng(folder.path() + "cap_0007.png");
    ASSERT_EQ(png.error, "");
    EXPECT_EQ(png.width, 3u);
    EXPECT_EQ(png.rgb[2], 0x11);
}

// Frame mode: never at imageFirstFrame itself, then every imageInterval frames up to imageLimit
// images and none after the capture's last frame; draw mode turns it off. Draw mode: only frame 1,
// only with imageFirstFrame 0, every imageInterval-th draw counted from the first. All of it in
// unsigned 32-bit arithmetic.
TEST(ImageTriggers, FramesAndDrawsThatTakeImages) {
    struct Case {
        const char* what;
        std::uint32_t byFrame, byDraw, interval, first, limit;
        std::uint32_t from, to;  // frames (frame mode) or draws of frame 1 (draw mode) looked at
        std::vector<std::uint32_t> taken;
        std::uint32_t lastFrame = 0;  // the capture's last frame, 0 for none
    };
    const Case frameCases[] = {
        {"every frame", 1, 0, 1, 0, 0xFFFFFFFF, 1, 5, {1, 2, 3, 4, 5}},
        {"first 10, every 5, limit 3", 1, 0, 5, 10, 3, 1, 40, {15, 20, 25}},
        {"limit 0", 1, 0, 1, 0, 0, 1, 5, {}},
        {"interval 0", 1, 0, 0, 0, 100, 1, 5, {}},
        {"draw mode on", 1, 1, 1, 0, 100, 1, 5, {}},
        {"frame mode off", 0, 0, 1, 0, 100, 1, 5, {}},
        {"first frame at the top of the range", 1, 0, 1, 0xFFFFFFFE, 100, 0xFFFFFFFC, 0xFFFFFFFF, {0xFFFFFFFF}},
        {"capture ends after frame 3", 1, 0, 1, 0, 100, 1, 8, {1, 2, 3}, 3},
        {"capture ends after frame 12, every 5", 1, 0, 5, 0, 100, 1, 30, {5, 10}, 12},
    };
    for (const Case& c : frameCases) {
        CaptureSettings s{};
        s.imagesByFrame = c.byFrame, s.imagesByDraw = c.byDraw, s.imageInterval = c.interval;
        s.imageFirstFrame = c.first, s.imageLimit = c.limit, s.lastFrame = c.lastFrame;
        std::vector<std::uint32_t> taken;
        std::uint32_t imagesTaken = 0;
        for (std::uint32_t frame = c.from;; ++frame) {
            if (kestrel::FrameImageDue(s, frame, imagesTaken)) {
                taken.push_back(frame);
                ++imagesTaken;
            }
            if (frame == c.to) break;
        }
        EXPECT_EQ(taken, c.taken) << c.what;
    }

    const Case drawCases[] = {
        {"every third draw", 0, 1, 3, 0, 0, 0, 9, {0, 3, 6, 9}},
        {"every draw, save flag off", 0, 1, 1, 0, 0, 0, 2, {0, 1, 2}},
        {"first frame 1", 1, 1, 1, 1, 0, 0, 3, {}},
        {"interval 0", 1, 1, 0, 0, 0, 0, 3, {}},
        {"draw count near the top of the range", 1, 1, 2, 0, 0, 0xFFFFFFFD, 0xFFFFFFFF, {0xFFFFFFFE}},
    };
    for (const Case& c : drawCases) {
        CaptureSettings s{};
        s.imagesByFrame = c.byFrame, s.imagesByDraw = c.byDraw, s.imageInterval = c.interval;
        s.imageFirstFrame = c.first, s.imageLimit = c.limit;
        std::vector<std::uint32_t> taken;
        for (std::uint32_t draws = c.from;; ++draws) {
            if (kestrel::DrawImageDue(s, 1, draws)) taken.push_back(draws);
            EXPECT_FALSE(kestrel::DrawImageDue(s, 2, draws)) << c.what << ": only the first frame";
            if (draws == c.to) break;
        }
        EXPECT_EQ(taken, c.taken) << c.what;
    }
}
