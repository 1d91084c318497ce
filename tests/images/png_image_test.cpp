// PNG image files: what the writer produces, read by a reader that shares nothing with it, and what
// the image's own load gives back.
#include <gtest/gtest.h>

#include <windows.h>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "images/ImageFileName.h"
#include "images/PNG32ImageInterface.h"
#include "tests/images/TempFolder.h"
#include "tests/support/PngDecoder.h"

using kestrel::PNG32ImageInterface;

namespace {
// Pixels in blue, green, red, fourth-byte order that differ in every channel from column to column
// and row to row; the fourth byte must never reach the file.
std::vector<std::uint8_t> Pattern(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
            p[0] = static_cast<std::uint8_t>(x * 29 + y);       // blue
            p[1] = static_cast<std::uint8_t>(y * 53 + 7);       // green
            p[2] = static_cast<std::uint8_t>(255 - x * 3 - y);  // red
            p[3] = static_cast<std::uint8_t>(x ^ y);            // ignored
        }
    return pixels;
}
}  // namespace

// Rows stored top-down (positive stride) or bottom-up (negative stride, as a GL read-back is): the file
// shows the top row first either way, in red, green, blue.
TEST(PNGImage, SavesExactlyThePixelsInBothRowOrders) {
    TempFolder folder("png-save");
    struct Case { std::uint32_t width, height; bool bottomUp; };
    const Case cases[] = {{1, 1, false}, {7, 5, true}, {161, 97, true}, {300, 2, false}};
    int index = 0;
    for (const Case& c : cases) {
        std::vector<std::uint8_t> stored = Pattern(c.width, c.height);
        const std::int64_t row = 4 * static_cast<std::int64_t>(c.width);
        // Bottom-up: the image's top row is the buffer's last.
        PNG32ImageInterface image(c.width, c.height);
        if (c.bottomUp) image.Attach(stored.data() + row * (c.height - 1), -row);
        else image.Attach(stored.data(), row);
        ASSERT_EQ(image.save((folder.path() + "x_").c_str(), ++index, -1), 0u);

        char name[32];
        std::snprintf(name, sizeof name, "x_%.4d.png", index);
        const DecodedPng png = DecodePng(folder.path() + name);
        ASSERT_EQ(png.error, "") << name;
        ASSERT_EQ(png.width, c.width);
        ASSERT_EQ(png.height, c.height);
        for (std::uint32_t y = 0; y < c.height; ++y)
            for (std::uint32_t x = 0; x < c.width; ++x) {
                const std::uint32_t storedRow = c.bottomUp ? c.height - 1 - y : y;
                const std::uint8_t* want = &stored[(static_cast<std::size_t>(storedRow) * c.width + x) * 4];
                const std::uint8_t* got = &png.rgb[(static_cast<std::size_t>(y) * c.width + x) * 3];
                ASSERT_EQ(got[0], want[2]) << name << " red at " << x << "," << y;
                ASSERT_EQ(got[1], want[1]) << name << " green at " << x << "," << y;
                ASSERT_EQ(got[2], want[0]) << name << " blue at " << x << "," << y;
            }
        // The pixels stay the caller's.
        EXPECT_EQ(image.ownsPixels, 0u);
    }
}

TEST(PNGImage, LoadGivesBackWhatWasSavedAsOwnedTopDownPixels) {
    TempFolder folder("png-load");
    const std::uint32_t width = 13, height = 6;
    std::vector<std::uint8_t> stored = Pattern(width, height);
    PNG32ImageInterface saved(width, height);
    saved.Attach(stored.data(), 4 * width);
    ASSERT_EQ(saved.save((folder.path() + "y_").c_str(), 3, 2), 0u);

    PNG32ImageInterface loaded(1, 1);
    ASSERT_EQ(loaded.load((folder.path() + "y_").c_str(), 3, 2), 0u);
    EXPECT_EQ(loaded.width, width);
    EXPECT_EQ(loaded.height, height);
    EXPECT_EQ(loaded.stride, 4 * static_cast<std::int64_t>(width));
    EXPECT_NE(loaded.ownsPixels, 0u);
    for (std::size_t i = 0; i < stored.size(); i += 4) {
        ASSERT_EQ(loaded.pixels[i], stored[i]) << i;
        ASSERT_EQ(loaded.pixels[i + 1], stored[i + 1]) << i;
        ASSERT_EQ(loaded.pixels[i + 2], stored[i + 2]) << i;
        ASSERT_EQ(loaded.pixels[i + 3], 255) << "an RGB file has no fourth byte: it reads as opaque";
    }
}

TEST(PNGImage, FileNamesCarryTheIndexInFourDigitsAndTheSubIndexWhenNotNegative) {
    struct Case { int index, subIndex; const char* name; };
    const Case cases[] = {
        {7, -1, "C:\\img\\x_0007.png"}, {12345, -1, "C:\\img\\x_12345.png"},
        {1, 0, "C:\\img\\x_0001_0.png"}, {42, 17, "C:\\img\\x_0042_17.png"},
    };
    for (const Case& c : cases) {
        char name[64];
        ASSERT_TRUE(kestrel::FormatImageFileName(name, sizeof name, "C:\\img\\x_", c.index, c.subIndex, ".png"));
        EXPECT_STREQ(name, c.name);
    }
    char small[12];
    EXPECT_FALSE(kestrel::FormatImageFileName(small, sizeof small, "C:\\img\\x_", 7, -1, ".png"));

    // Final images: no frame number, so that no frame image's name is ever one of theirs.
    struct Final { std::uint32_t ordinal; const char* name; };
    for (const Final& f : {Final{1, "C:\\img\\x_final.png"}, Final{2, "C:\\img\\x_final_2.png"}}) {
        char name[64];
        ASSERT_TRUE(kestrel::FormatFinalImageFileName(name, sizeof name, "C:\\img\\x_", f.ordinal, ".png"));
        EXPECT_STREQ(name, f.name);
    }
    EXPECT_FALSE(kestrel::FormatFinalImageFileName(small, sizeof small, "C:\\img\\x_", 1, ".png"));
}

// A file that cannot be created or read loses that image only, with a code that says why; a failed
// load leaves the image as it was.
TEST(PNGImage, FailuresGiveTheirCodesAndLeaveTheImageAlone) {
    TempFolder folder("png-fail");
    std::vector<std::uint8_t> stored = Pattern(4, 4);
    PNG32ImageInterface image(4, 4);
    image.Attach(stored.data(), 16);
    EXPECT_EQ(image.save((folder.path() + "no-such-folder\\x_").c_str(), 1, -1), 2u);
    EXPECT_EQ(image.load((folder.path() + "missing_").c_str(), 1, -1), 2u);

    ASSERT_EQ(image.save((folder.path() + "good_").c_str(), 1, -1), 0u);
    std::ifstream in(folder.path() + "good_0001.png", std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    // A byte of the compressed image data: the chunk's CRC no longer matches.
    const std::size_t flip = whole.find("IDAT") + 6;
    ASSERT_LT(flip, whole.size());
    struct Case { const char* prefix; std::string content; };
    const Case cases[] = {
        {"text_", "this is not a PNG file at all"},
        {"cut_", whole.substr(0, whole.size() / 2)},
        {"flipped_", whole.substr(0, flip) + static_cast<char>(whole[flip] ^ 0x55) + whole.substr(flip + 1)},
    };
    for (const Case& c : cases) {
        std::ofstream(folder.path() + c.prefix + "0001.png", std::ios::binary) << c.content;
        EXPECT_EQ(image.load((folder.path() + c.prefix).c_str(), 1, -1), 4u) << c.prefix;
        EXPECT_EQ(image.pixels, stored.data()) << c.prefix;
        EXPECT_EQ(image.width, 4u) << c.prefix;
        EXPECT_EQ(image.ownsPixels, 0u) << c.prefix;
    }
}
