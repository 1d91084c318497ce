// A third-party program captured end to end: glfw's wave example draws a grid from client memory
// (vertex and colour arrays, client indices) every frame. `kestrel capture` runs it, the test closes
// its window after a few frames, and the capture must hold the vertices of every draw exactly and
// the window's drawable.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "controller/CaptureFileReader.h"
#include "gen/ApiTable.h"
#include "stream/DrawablePayload.h"
#include "stream/StreamRecordId.h"
#include "tests/support/ChildProcess.h"

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
        for (int i = 0; i < 600 && !window; ++i) {
            window = FindWindowA(nullptr, "Wave Simulation");
            if (!window) Sleep(100);
        }
        if (!window) return;
        run.windowSeen = true;
        // A few frames, however slowly this machine draws: the capture file is read as it grows.
        for (int i = 0; i < 1200 && DrawsSoFar(capture) < 3; ++i) Sleep(100);
        PostMessageA(window, WM_CLOSE, 0, 0);
    });
    run.kestrel = RunChild("\"" KESTREL_EXE "\" capture --quiet --out \"" + capture + "\" -- \"" + program + "\"", 180000);
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

    std::uint32_t vertexPointer = 0, colourPointer = 0, draws = 0, windowDrawables = 0, contexts = 0;
    std::vector<const kestrel::CaptureRecord*> dumps;  // since the last call record
    for (const kestrel::CaptureRecord& r : records) {
        if (r.id == kestrel::kDrawableRecord) {
            const std::uint32_t window = U32(r.payload, 0);
            windowDrawables += window != 0 && window != 0xFFFFFFFFu;
            continue;
        }
        if (r.id == kestrel::kClientMemoryBlockRecord) {
            dumps.push_back(&r);
            continue;
        }
        if (r.id < 0x40000000u) continue;
        if (r.id == api::wglCreateContext || r.id == api::wglCreateContextAttribsARB) ++contexts;
        if (r.id == api::glVertexPointer) vertexPointer = U32(r.payload, 12);
        if (r.id == api::glColorPointer) colourPointer = U32(r.payload, 12);
        if (r.id == api::glDrawElements) {
            SCOPED_TRACE("draw " + std::to_string(draws));
            ++draws;
            // The indices are in client memory: the record carries all of them.
            const std::uint32_t count = U32(r.payload, 4);
            ASSERT_EQ(U32(r.payload, 8), 0x1405u);
            ASSERT_EQ(r.payload.size(), 16u + count * 4u);
            std::uint32_t low = 0xFFFFFFFFu, high = 0;
            for (std::uint32_t i = 0; i < count; ++i) {
                const std::uint32_t index = U32(r.payload, 16 + 4 * i);
                low = index < low ? index : low;
                high = index > high ? index : high;
            }
            // One block per enabled array, colour before vertex, each exactly the vertices reached.
            ASSERT_EQ(dumps.size(), 2u);
            const std::uint32_t stride = 24, element = 12;  // x, y, z, r, g, b floats
            const std::uint32_t expectedAddress[2] = {colourPointer, vertexPointer};
            for (int k = 0; k < 2; ++k) {
                const std::vector<std::uint8_t>& dump = dumps[static_cast<std::size_t>(k)]->payload;
                EXPECT_EQ(U32(dump, 0), expectedAddress[k]);
                EXPECT_EQ(U32(dump, 4), low * stride);
                EXPECT_EQ(U32(dump, 8), 0u);
                EXPECT_EQ(dump.size(), 12u + (high - low) * stride + element);
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

}  // namespace
