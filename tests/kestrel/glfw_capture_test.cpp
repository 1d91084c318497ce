// A third-party program captured end to end: glfw's wave example draws a grid from client memory
// (vertex and colour arrays, client indices) every frame. `kestrel capture` runs it, the test closes
// its window after a few frames, and the capture must hold the vertices of every draw exactly and
// the window's drawable.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "controller/reading/CaptureFileReader.h"
#include "gen/ApiDescription.h"
#include "gen/ApiTable.h"
#include "stream/DrawablePayload.h"
#include "stream/PointerWidth.h"
#include "stream/StreamRecordId.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Folders.h"
#include "tests/support/PngDecoder.h"

namespace {

namespace api = kestrel::api;

std::string TempPath(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "kestrel-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

std::uint32_t U32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t value = 0;
    if (at + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

// A pointer-sized field, at the width of the process this test (and the program it captures) runs as.
std::uint64_t Addr(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint64_t value = 0;
    if (at + kestrel::kPointerBytes <= bytes.size()) std::memcpy(&value, bytes.data() + at, kestrel::kPointerBytes);
    return value;
}

std::uint32_t DrawsSoFar(const std::string& capture) {
    kestrel::CaptureFileReader reader;
    std::string error;
    if (!reader.Open(capture, error)) return 0;
    std::uint32_t draws = 0;
    kestrel::CaptureRecord record;
    while (reader.Next(record)) draws += record.id == api::glDrawElements;
    return draws;
}

// Runs the example under capture and closes its window once it has drawn for a while.
struct WaveRun {
    ChildResult kestrel;
    bool windowSeen = false;
};

WaveRun CaptureWave(const std::string& program, const std::string& capture) {
    WaveRun run;
    std::thread closer([&run, &capture] {
        HWND window = nullptr;
        for (DWORD waited = 0; waited < kHangMs && !window; waited += 100) {
            window = FindWindowA(nullptr, "Wave Simulation");
            if (!window) Sleep(100);
        }
        if (!window) return;
        run.windowSeen = true;
        // A few frames, however slowly this machine draws: the capture file is read as it grows.
        for (DWORD waited = 0; waited < kHangMs && DrawsSoFar(capture) < 3; waited += 100) Sleep(100);
        PostMessageA(window, WM_CLOSE, 0, 0);
    });
    run.kestrel = RunChild("\"" KESTREL_EXE "\" capture --quiet --out \"" + capture + "\" -- \"" + program + "\"");
    closer.join();
    return run;
}

TEST(GlfwCapture, EveryDrawOfTheWaveExampleCarriesExactlyTheVerticesItReaches) {
    // A copy of its own: the recorder is placed beside the program for the run.
    const std::string folder = TempPath("wave");
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string program = folder + "\\wave.exe";
    ASSERT_TRUE(CopyFileA(KESTREL_GLFW_EXAMPLES "/wave.exe", program.c_str(), FALSE)) << "glfw's examples are missing";
    const std::string capture = TempPath("wave.kcap");

    const WaveRun run = CaptureWave(program, capture);
    ASSERT_TRUE(run.kestrel.started);
    ASSERT_TRUE(run.windowSeen) << run.kestrel.output;
    ASSERT_FALSE(run.kestrel.timedOut);
    EXPECT_EQ(run.kestrel.exitCode, 0u) << run.kestrel.output;

    kestrel::CaptureFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(capture, error)) << error;
    std::vector<kestrel::CaptureRecord> records;
    kestrel::CaptureRecord record;
    while (reader.Next(record)) records.push_back(record);
    EXPECT_TRUE(reader.Complete());

    std::uint64_t vertexPointer = 0, colourPointer = 0;
    std::uint32_t draws = 0, windowDrawables = 0, contexts = 0;
    constexpr std::uint64_t kNoWindow = kestrel::kNoWindow;
    constexpr std::uint32_t kHead = sizeof(kestrel::ClientMemoryHead), kAt = offsetof(kestrel::ClientMemoryHead, offset);
    std::vector<const kestrel::CaptureRecord*> dumps;  // since the last call record
    for (const kestrel::CaptureRecord& r : records) {
        if (r.id == kestrel::kDrawableRecord) {
            const std::uint64_t window = Addr(r.payload, 0);
            windowDrawables += window != 0 && window != kNoWindow;
            continue;
        }
        if (r.id == kestrel::kClientMemoryBlockRecord) {
            dumps.push_back(&r);
            continue;
        }
        if (r.id < 0x40000000u) continue;
        if (r.id == api::wglCreateContext || r.id == api::wglCreateContextAttribsARB) ++contexts;
        if (r.id == api::glVertexPointer) vertexPointer = Addr(r.payload, 12);
        if (r.id == api::glColorPointer) colourPointer = Addr(r.payload, 12);
        if (r.id == api::glDrawElements) {
            SCOPED_TRACE("draw " + std::to_string(draws));
            ++draws;
            // The indices are in client memory: the record carries all of them.
            const std::uint32_t count = U32(r.payload, 4);
            ASSERT_EQ(U32(r.payload, 8), 0x1405u);
            const std::uint32_t indicesAt = 12 + kestrel::kPointerBytes;
            ASSERT_EQ(r.payload.size(), indicesAt + count * 4u);
            std::uint32_t low = 0xFFFFFFFFu, high = 0;
            for (std::uint32_t i = 0; i < count; ++i) {
                const std::uint32_t index = U32(r.payload, indicesAt + 4 * i);
                low = index < low ? index : low;
                high = index > high ? index : high;
            }
            // One block per enabled array, colour before vertex, each exactly the vertices reached.
            ASSERT_EQ(dumps.size(), 2u);
            const std::uint32_t stride = 24, element = 12;  // x, y, z, r, g, b floats
            const std::uint64_t expectedAddress[2] = {colourPointer, vertexPointer};
            for (int k = 0; k < 2; ++k) {
                const std::vector<std::uint8_t>& dump = dumps[static_cast<std::size_t>(k)]->payload;
                EXPECT_EQ(Addr(dump, 0), expectedAddress[k]);
                EXPECT_EQ(U32(dump, kAt), low * stride);
                EXPECT_EQ(U32(dump, kAt + 4), 0u);
                EXPECT_EQ(dump.size(), kHead + (high - low) * stride + element);
            }
        }
        dumps.clear();
    }
    EXPECT_GE(draws, 2u) << "the example drew too few frames";
    EXPECT_NE(vertexPointer, 0u);
    EXPECT_NE(colourPointer, 0u);
    EXPECT_EQ(colourPointer, vertexPointer + 12) << "the colours follow the positions in one vertex";
    EXPECT_GE(windowDrawables, 1u) << "the window's device context is described";
    EXPECT_GE(contexts, 1u);

    DeleteFileA(capture.c_str());
    DeleteFileA(program.c_str());
    RemoveDirectoryA(folder.c_str());
}

// Asks every glfw window to repaint, again and again while it lives: a program that draws only when
// its window needs it then draws frame after frame.
class Repainter {
public:
    Repainter() : thread_([this] {
        while (!stop_) {
            EnumWindows(Repaint, 0);
            Sleep(50);
        }
    }) {}
    ~Repainter() {
        stop_ = true;
        thread_.join();
    }

private:
    static BOOL CALLBACK Repaint(HWND window, LPARAM) {
        char name[16] = {};
        if (GetClassNameA(window, name, sizeof name) && std::strcmp(name, "GLFW30") == 0)
            InvalidateRect(window, nullptr, FALSE);
        return TRUE;
    }

    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The frame images of a folder by the frame number that ends their names (_NNNN.png); final images
// (_final.png) are not frame images.
std::map<std::uint32_t, std::string> ImagesByFrame(const std::string& folder) {
    std::map<std::uint32_t, std::string> images;
    for (const std::string& name : FilesIn(folder, "*.png")) {
        const std::size_t underscore = name.rfind('_');
        if (underscore != std::string::npos && std::isdigit(static_cast<unsigned char>(name[underscore + 1])))
            images[std::stoul(name.substr(underscore + 1))] = folder + "\\" + name;
    }
    return images;
}

// What the program saw when it read its picture back, as its own PNG holds it (RGBA), against one of
// our final images (RGB): the same size and the same colours.
void ExpectSamePicture(const std::string& own, const std::string& final) {
    const DecodedPng program = DecodePng(own);
    ASSERT_EQ(program.error, "") << own;
    const DecodedPng image = DecodePng(final);
    ASSERT_EQ(image.error, "") << final;
    ASSERT_EQ(image.width, program.width) << final;
    ASSERT_EQ(image.height, program.height) << final;
    std::uint32_t differing = 0;
    for (std::size_t i = 0; i < image.rgb.size(); ++i) differing += image.rgb[i] != program.rgb[i];
    EXPECT_EQ(differing, 0u) << final << " differs from " << own << " in " << differing << " colour bytes";
    std::uint32_t lit = 0;
    for (const std::uint8_t byte : program.rgb) lit += byte != program.rgb[0];
    EXPECT_GT(lit, 0u) << own << " is of one colour: the program drew nothing";
}

// The capture replayed with images: every call is re-issued (or left out as a read-back) and each of
// its frames is, byte for byte, the image the recorder saved of the same frame.
void ExpectReplayDrawsTheCapturedFrames(const std::string& capture, const std::string& captured,
                                        const std::string& replayed, std::uint32_t frames) {
    const ChildResult run = RunChild("\"" KESTREL_EXE "\" replay \"" + capture + "\" --images \"" + replayed + "\"");
    ASSERT_TRUE(run.started);
    ASSERT_FALSE(run.timedOut) << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find(" calls, 0 not replayed"), std::string::npos) << run.output;
    const auto recorder = ImagesByFrame(captured);
    const auto replay = ImagesByFrame(replayed);
    // None after the capture's last frame, though the program draws on while it is being closed.
    ASSERT_EQ(recorder.size(), frames);
    ASSERT_EQ(replay.size(), frames) << run.output;
    for (const auto& [frame, path] : replay) {
        ASSERT_TRUE(recorder.count(frame)) << "frame " << frame;
        const std::string image = FileBytes(path);
        EXPECT_FALSE(image.empty()) << path;
        EXPECT_TRUE(image == FileBytes(recorder.at(frame))) << "frame " << frame << " differs: " << path;
    }
}

// Every example the setup builds, captured for a few dozen frames by --stop-after-frames (or to its
// own end): each capture reads back whole, names only known functions, and holds the frames, threads
// and contexts that the program makes. glfw makes a hidden helper context of its own first, to load
// the pixel-format extensions, so a program with one window has two contexts. Replayed, each capture
// draws the frames the program drew. The offscreen example swaps once before it draws, reads its
// picture back and saves it as offscreen.png: the recorder's final image and the replay's are that
// picture.
TEST(GlfwCapture, EveryExampleCapturesWholeWithItsFramesThreadsAndContextsAndReplaysPixelForPixel) {
    // The 64-bit examples run natively and take 30 frames in less time than 24 take under emulation.
    constexpr std::uint32_t kFrames = sizeof(void*) == 8 ? 30 : 24;
    struct Example {
        const char* name;
        std::uint32_t frames;    // swaps in the capture
        std::uint32_t threads;   // threads that made calls
        std::uint32_t contexts;  // created
        bool savesItsPicture = false;  // as offscreen.png in its current folder
    } examples[] = {
        {"boing", kFrames, 1, 2},
        {"gears", kFrames, 1, 2},
        {"heightmap", kFrames, 1, 2},
        {"offscreen", 1, 1, 2, true},  // draws once into a hidden window, saves it and ends
        {"particles", kFrames, 1, 2},  // its physics thread makes no OpenGL call
        {"sharing", kFrames, 1, 3},    // two windows, the second sharing the first's objects
        {"simple", kFrames, 1, 2},
        {"splitview", kFrames, 1, 2},  // draws only when its window needs it: see Repainter
        {"wave", kFrames, 1, 2},
    };
    for (const Example& example : examples) {
        SCOPED_TRACE(example.name);
        const std::string folder = TempPath(std::string("example-") + example.name);
        CreateDirectoryA(folder.c_str(), nullptr);
        const std::string program = folder + "\\" + example.name + ".exe";
        ASSERT_TRUE(CopyFileA((std::string(KESTREL_GLFW_EXAMPLES "/") + example.name + ".exe").c_str(), program.c_str(), FALSE));
        const std::string capture = folder + "\\capture.kcap";
        const std::string captured = folder + "\\captured", replayed = folder + "\\replayed";
        Repainter repainter;
        // The program's own files go to its folder, which the test removes.
        char previous[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, previous);
        SetCurrentDirectoryA(folder.c_str());
        const ChildResult run = RunChild("\"" KESTREL_EXE "\" capture --quiet --stop-after-frames " + std::to_string(kFrames) +
                                             " --images-every 1 --images-dir \"" + captured + "\" --out \"" + capture +
                                             "\" -- \"" + program + "\"");
        SetCurrentDirectoryA(previous);
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut) << run.output;
        EXPECT_EQ(run.exitCode, 0u) << run.output;

        kestrel::CaptureFileReader reader;
        std::string error;
        ASSERT_TRUE(reader.Open(capture, error)) << error;
        std::uint32_t swaps = 0, contexts = 0, unknown = 0;
        std::set<std::uint32_t> threads;
        std::uint32_t thread = 0;
        bool called = false;
        kestrel::CaptureRecord record;
        while (reader.Next(record)) {
            if (record.id == kestrel::kThreadSwitchRecord) {
                if (called) threads.insert(thread);
                thread = U32(record.payload, 0);
                called = false;
                continue;
            }
            if (record.id < 0x40000000u) continue;
            called = true;
            unknown += kestrel::description::FindApi(record.id) == nullptr;
            swaps += record.id == api::wglSwapBuffers || record.id == api::wglSwapLayerBuffers;
            contexts += record.id == api::wglCreateContext || record.id == api::wglCreateContextAttribsARB;
        }
        if (called) threads.insert(thread);
        EXPECT_TRUE(reader.Complete()) << reader.stopReason();
        EXPECT_EQ(unknown, 0u);
        EXPECT_EQ(swaps, example.frames);
        EXPECT_EQ(threads.size(), example.threads);
        EXPECT_EQ(contexts, example.contexts);
        // The capture names the program's width, as this test was built for it.
        const ChildResult stats = RunChild("\"" KESTREL_EXE "\" stats \"" + capture + "\"", 180000);
        char width[32];
        std::snprintf(width, sizeof width, "process      %u-bit", static_cast<unsigned>(sizeof(void*) * 8));
        EXPECT_NE(stats.output.find(width), std::string::npos) << stats.output;
        ExpectReplayDrawsTheCapturedFrames(capture, captured, replayed, example.frames);
        const std::vector<std::string> recorderFinals = FilesIn(captured, "*_final*.png");
        const std::vector<std::string> replayFinals = FilesIn(replayed, "*_final*.png");
        if (example.savesItsPicture) {
            EXPECT_NE(run.output.find("kestrel: 1 final image"), std::string::npos) << run.output;
            ASSERT_EQ(recorderFinals.size(), 1u);
            ASSERT_EQ(replayFinals, std::vector<std::string>{"capture_final.png"});
            ExpectSamePicture(folder + "\\offscreen.png", captured + "\\" + recorderFinals[0]);
            ExpectSamePicture(folder + "\\offscreen.png", replayed + "\\" + replayFinals[0]);
        } else {
            // Stopped at a frame end, or ended after one: nothing was drawn after the last.
            EXPECT_TRUE(recorderFinals.empty()) << recorderFinals.front();
            EXPECT_TRUE(replayFinals.empty()) << replayFinals.front();
        }
        RemoveFolder(captured);
        RemoveFolder(replayed);
        RemoveFolder(folder);
    }
}

}  // namespace
