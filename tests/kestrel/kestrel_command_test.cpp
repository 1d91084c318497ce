// The kestrel command end to end: capture a program, read the capture back, refuse bad input.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "controller/reading/CaptureFileReader.h"
#include "gen/ApiTable.h"
#include "tests/fixtures/BufferDrawData.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Folders.h"
#include "tests/support/PngDecoder.h"

namespace {
const std::string kKestrel = KESTREL_EXE;
const std::string kFixtures = KESTREL_FIXTURE_DIR;
const std::string kGlfwExamples = KESTREL_GLFW_EXAMPLES;

std::string Kestrel(const std::string& arguments, DWORD* exitCode, DWORD timeoutMs = kHangMs) {
    ChildResult result = RunChild("\"" + kKestrel + "\" " + arguments, timeoutMs);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut) << arguments;
    *exitCode = result.exitCode;
    return result.output;
}

std::string TempPath(const char* name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "kestrel-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::size_t CountContaining(const std::vector<std::string>& lines, const std::string& part) {
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

// The application's folder holds no trace of the run.
void ExpectFolderClean() {
    for (const char* name : {"opengl32.dll", "opengl32.dll.kestrel-placed", "opengl32.dll.kestrel-saved"})
        EXPECT_EQ(GetFileAttributesA((kFixtures + "/" + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
}
}  // namespace

TEST(KestrelCommand, CapturesFramesAndThreadsThatDumpAndStatsAgreeOn) {
    const std::string capture = TempPath("e2e.kcap");
    DWORD code = 1;
    const std::string out = Kestrel("capture --quiet --out \"" + capture + "\" -- \"" + kFixtures +
                                    "/capture_app.exe\" --calls 2 --threads 2 --frames 4 --exit-code 5",
                                &code);
    EXPECT_EQ(code, 5u) << "kestrel exits with the application's exit code\n" << out;
    ExpectFolderClean();

    const std::string dump = Kestrel("dump \"" + capture + "\"", &code);
    EXPECT_EQ(code, 0u) << dump;
    const std::vector<std::string> lines = Lines(dump);
    ASSERT_GT(lines.size(), 10u);
    for (const char* opening : {"format version", "recorder version", "API type", "system description"})
        EXPECT_EQ(CountContaining({lines.begin(), lines.begin() + 4}, opening), 1u) << opening << "\n" << dump;
    EXPECT_EQ(CountContaining(lines, "glGetError"), 6u) << dump;
    EXPECT_EQ(CountContaining(lines, "wglSwapBuffers"), 4u) << dump;
    EXPECT_GE(CountContaining(lines, "thread switch"), 3u) << dump;
    EXPECT_EQ(CountContaining(lines, "glClear(0x4000)"), 4u) << dump;
    // Each frame in the program's order: clear colour, clear, swap.
    std::vector<std::string> frameCalls;
    for (const std::string& line : lines)
        for (const char* name : {"glClearColor(", "glClear(", "wglSwapBuffers("})
            if (line.find(name) != std::string::npos) frameCalls.push_back(name);
    ASSERT_EQ(frameCalls.size(), 12u) << dump;
    for (std::size_t i = 0; i < frameCalls.size(); ++i)
        EXPECT_EQ(frameCalls[i], (i % 3 == 0 ? "glClearColor(" : i % 3 == 1 ? "glClear(" : "wglSwapBuffers(")) << i;

    const std::string stats = Kestrel("stats \"" + capture + "\"", &code);
    EXPECT_EQ(code, 0u) << stats;
    EXPECT_NE(stats.find("frames       4;"), std::string::npos) << stats;
    EXPECT_NE(stats.find("threads      3"), std::string::npos) << stats;
    DeleteFileA(capture.c_str());
}

// A program whose vertices reach the GL only through mapped buffer ranges: every frame's vertices
// are in the capture, in the record of the unmap that handed them over.
TEST(KestrelCommand, VerticesWrittenThroughMappedBuffersAreInTheCapture) {
    constexpr int kFrames = 3;
    const std::string capture = TempPath("buffers.kcap");
    DWORD code = 1;
    const std::string out = Kestrel("capture --quiet --out \"" + capture + "\" -- \"" + kFixtures +
                                        "/buffer_draw_app.exe\" --frames " + std::to_string(kFrames),
                                    &code);
    ASSERT_EQ(code, 0u) << "the program draws right under capture\n" << out;
    ExpectFolderClean();

    kestrel::CaptureFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(capture, error)) << error;
    std::vector<std::vector<std::uint8_t>> unmapped;
    int draws = 0, indexUploads = 0;
    kestrel::CaptureRecord record;
    while (reader.Next(record)) {
        if (record.id == kestrel::api::glUnmapBufferARB && record.payload.size() > 5)
            unmapped.emplace_back(record.payload.begin() + 5, record.payload.end());
        // The indices are in the element buffer: the draw records the offset again, not indices.
        if (record.id == kestrel::api::glDrawElements) {
            ++draws;
            EXPECT_EQ(record.payload.size(), 12 + 2 * sizeof(void*));  // the indices pointer and the offset
        }
        // target, size, data, usage: the size and the data pointer at the program's width
        const std::size_t uploadFixed = 8 + 2 * sizeof(void*);
        if (record.id == kestrel::api::glBufferDataARB && record.payload.size() == uploadFixed + 6) {
            const std::uint8_t indices[6] = {0, 0, 1, 0, 2, 0};
            EXPECT_EQ(std::memcmp(record.payload.data() + uploadFixed, indices, 6), 0);
            ++indexUploads;
        }
    }
    EXPECT_TRUE(reader.Complete());
    EXPECT_EQ(draws, kFrames);
    EXPECT_EQ(indexUploads, 1);
    ASSERT_EQ(unmapped.size(), static_cast<std::size_t>(kFrames));
    for (int frame = 0; frame < kFrames; ++frame) {
        float expected[kBufferDrawVertices * 2];
        for (int v = 0; v < kBufferDrawVertices; ++v)
            for (int axis = 0; axis < 2; ++axis) expected[v * 2 + axis] = BufferDrawCoordinate(frame, v, axis);
        ASSERT_EQ(unmapped[frame].size(), kBufferDrawBytes) << "frame " << frame;
        EXPECT_EQ(std::memcmp(unmapped[frame].data(), expected, kBufferDrawBytes), 0) << "frame " << frame;
    }
    DeleteFileA(capture.c_str());
}

TEST(KestrelCommand, ACrashingApplicationLeavesAReadableCaptureAndItsFolderRestored) {
    const std::string capture = TempPath("crash.kcap");
    DWORD code = 0;
    const std::string out = Kestrel("capture --quiet --out \"" + capture + "\" -- \"" + kFixtures +
                                    "/capture_app.exe\" --frames 2 --crash",
                                &code);
    EXPECT_NE(code, 0u) << out;
    ExpectFolderClean();
    const std::string dump = Kestrel("dump \"" + capture + "\"", &code);
    EXPECT_EQ(CountContaining(Lines(dump), "wglSwapBuffers"), 2u) << dump;
    DeleteFileA(capture.c_str());
}

TEST(KestrelCommand, BadInputGetsOneLineAndANonZeroCode) {
    const std::string app = "\"" + kFixtures + "/capture_app.exe\"";
    const std::string notProgram = TempPath("not-a-program.exe");
    HANDLE f = CreateFileA(notProgram.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, "MZ this is text", 15, &written, nullptr);
    CloseHandle(f);
    struct Case { std::string arguments; const char* says; };
    const Case cases[] = {
        {"capture -- Z:/no/such/app.exe", "not found"},
        {"capture -- \"" + notProgram + "\"", "not a"},
        {"capture --out Z:/no/such/folder/x.kcap -- " + app, "cannot write"},
        {"capture --ring-mib 0 -- " + app, "--ring-mib"},
        {"capture --fps-limit -3 -- " + app, "--fps-limit"},
        {"capture --hook-mode 2 -- " + app, "--hook-mode"},
        {"capture --bogus -- " + app, "unknown option"},
        {"capture --images-by-draw -- " + app, "--images-by-draw needs --images-every"},
        {"capture --images-every 1 --images-dir Z:/" + std::string(300, 'd') + " -- " + app, "longer than 258"},
        {"capture --ring-mib 8", "no application"},
        {"dump Z:/no/such/file.kcap", "cannot open"},
        {"frobnicate", "unknown command"},
    };
    for (const Case& c : cases) {
        DWORD code = 0;
        const std::string out = Kestrel(c.arguments, &code);
        EXPECT_NE(code, 0u) << c.arguments;
        EXPECT_NE(out.find(c.says), std::string::npos) << c.arguments << "\n" << out;
        ExpectFolderClean();
    }
    DeleteFileA(notProgram.c_str());
}

// A file with the headers of a program for an ARM64 machine: all the capture needs to look at.
std::string ArmProgram() {
    const std::string path = TempPath("arm64.exe");
    std::vector<std::uint8_t> bytes(0x200, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = 0x40;  // e_lfanew
    const std::uint8_t signature[] = {'P', 'E', 0, 0, 0x64, 0xAA, 0, 0};  // machine 0xAA64, no sections
    std::memcpy(bytes.data() + 0x40, signature, sizeof signature);
    bytes[0x40 + 4 + 18] = 0x22;  // characteristics: executable, large address aware
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    return path;
}

// A run that captured nothing never passes for a capture: it says why, leaves no capture file and
// ends with a code of kestrel's own; a capture ends with the program's own code.
TEST(KestrelCommand, EveryRunSaysWhetherItCapturedAndWhyNot) {
    const std::string app = "\"" + kFixtures + "/capture_app.exe\"";
    const std::string arm = ArmProgram();
    struct Case {
        const char* what;
        std::string arguments;
        DWORD code;
        const char* says;
        bool file;  // a capture file is left
        bool only32 = false;  // a 64-bit program's address space is too large to crowd
    } cases[] = {
        {"a ring too large for a 32-bit program", "--ring-mib 384 -- " + app + " --calls 2 --no-window", 2,
         "--ring-mib takes a whole number from 1 to 256", false},
        {"a program for neither width", "-- \"" + arm + "\"", 2, "is a program for ARM64", false},
        {"a program without OpenGL", "-- \"" + kFixtures + "/no_gl_app.exe\"", 70, "never loaded opengl32.dll", false},
        {"a program that ends at once", "-- " + app, 71, "ended before its first OpenGL call", false},
        {"a capture that cannot start", "--ring-mib 256 -- " + app + " --crowd-address-space --calls 2 --no-window", 72,
         "its capture could not start", false, true},
        {"a capture", "-- " + app + " --calls 2 --no-window --exit-code 5", 5, "records", true},
    };
    for (const Case& c : cases) {
        if (c.only32 && sizeof(void*) != 4) continue;
        const std::string capture = TempPath("verdict.kcap");
        DeleteFileA(capture.c_str());
        DWORD code = 0;
        const std::string out = Kestrel("capture --quiet --out \"" + capture + "\" " + c.arguments, &code);
        EXPECT_EQ(code, c.code) << c.what << "\n" << out;
        EXPECT_NE(out.find(c.says), std::string::npos) << c.what << "\n" << out;
        EXPECT_EQ(out.find("NOT CAPTURED") != std::string::npos, c.code >= 70) << c.what << "\n" << out;
        EXPECT_EQ(GetFileAttributesA(capture.c_str()) != INVALID_FILE_ATTRIBUTES, c.file) << c.what;
        DeleteFileA(capture.c_str());
        ExpectFolderClean();
    }
    DeleteFileA(arm.c_str());
}

TEST(KestrelCommand, ASecondCaptureWhileOneRunsIsRefused) {
    // The session channel of a running capture, held open by this test.
    HANDLE session = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4376, "Local\\TRK_CaptureSessionMemory");
    ASSERT_NE(session, nullptr);
    DWORD code = 0;
    const std::string out = Kestrel("capture -- \"" + kFixtures + "/capture_app.exe\"", &code);
    CloseHandle(session);
    EXPECT_NE(code, 0u);
    EXPECT_NE(out.find("already running"), std::string::npos) << out;
    ExpectFolderClean();
}

// A third-party program (glfw's gears, which runs until its window is closed) captured with images
// every second frame up to three: kestrel creates the folder given, the images are named after the
// capture, decode, show the gears rather than a blank buffer, and the run says how many and where.
TEST(KestrelCommand, FrameImagesOfAGlfwExampleLandInTheFolderGivenAndTheRunSaysWhere) {
    const std::string appFolder = TempPath("gears-app");
    CreateDirectoryA(appFolder.c_str(), nullptr);
    const std::string gears = appFolder + "\\gears.exe";
    ASSERT_TRUE(CopyFileA((kGlfwExamples + "/gears.exe").c_str(), gears.c_str(), FALSE)) << "scripts/setup.sh builds it";
    const std::string imageRoot = TempPath("gears-images");
    const std::string images = imageRoot + "\\nested\\deeper";
    const std::string capture = TempPath("gears.kcap");

    ChildResult result;
    std::thread runner([&] {
        result = RunChild("\"" + kKestrel + "\" capture --quiet --images-every 2 --images-limit 3 --images-dir \"" + images +
                              "\" --out \"" + capture + "\" -- \"" + gears + "\"");
    });
    // Once the images are there, the window is closed as a user would; gears then exits by itself.
    HWND window = nullptr;
    for (DWORD waited = 0; waited < kHangMs; waited += 100) {
        window = FindWindowA(nullptr, "Gears");
        if (window && FilesIn(images, "*.png").size() >= 3) break;
        Sleep(100);
    }
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
    runner.join();
    ASSERT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut) << result.output;
    EXPECT_EQ(result.exitCode, 0u) << result.output;

    const std::vector<std::string> files = FilesIn(images, "*.png");
    ASSERT_EQ(files.size(), 3u) << result.output;
    // gears-<kestrel's process id>_<frame>.png, frames 2, 4 and 6.
    const std::string prefix = files[0].substr(0, files[0].find('_') + 1);
    EXPECT_EQ(prefix.rfind("gears-", 0), 0u) << files[0];
    EXPECT_EQ(files, (std::vector<std::string>{prefix + "0002.png", prefix + "0004.png", prefix + "0006.png"}));
    for (const std::string& name : files) {
        const DecodedPng png = DecodePng(images + "\\" + name);
        ASSERT_EQ(png.error, "") << name;
        EXPECT_EQ(png.width, 300u) << name;
        EXPECT_EQ(png.height, 300u) << name;
        std::set<std::uint32_t> colours;
        for (std::size_t i = 0; i + 2 < png.rgb.size(); i += 3)
            colours.insert(png.rgb[i] | png.rgb[i + 1] << 8 | static_cast<std::uint32_t>(png.rgb[i + 2]) << 16);
        EXPECT_GT(colours.size(), 8u) << name << " is not the drawn frame";
    }
    EXPECT_NE(result.output.find("3 frame images -> " + images + "\\" + prefix + "*.png"), std::string::npos)
        << result.output;
    EXPECT_EQ(GetFileAttributesA((appFolder + "\\opengl32.dll").c_str()), INVALID_FILE_ATTRIBUTES);

    RemoveFolder(images);
    RemoveFolder(imageRoot + "\\nested");
    RemoveFolder(imageRoot);
    RemoveFolder(appFolder);
    DeleteFileA(capture.c_str());
}
