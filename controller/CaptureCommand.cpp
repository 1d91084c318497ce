// kestrel capture: runs an application with the recorder as its opengl32.dll, serves the capture
// session and writes the drained record stream, unchanged, into the capture file.
#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <thread>

#include "channel/StatsHeader.h"
#include "controller/AppLauncher.h"
#include "controller/CaptureOptions.h"
#include "controller/CaptureVerdict.h"
#include "controller/Commands.h"
#include "controller/FrameImageFiles.h"
#include "controller/ProgramImage.h"
#include "controller/RecorderPlacement.h"
#include "controller/RingDrainer.h"
#include "controller/SessionServer.h"
#include "controller/StreamCounter.h"

namespace kestrel {

namespace {
std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD) {
    g_interrupted = true;
    return TRUE;  // the main loop stops the application and puts its folder back
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "kestrel: %s\n", message.c_str());
    return 2;
}

// Whether the program has loaded an opengl32.dll from its own folder: the recorder placed there.
bool LoadedRecorder(DWORD processId, const std::string& folder) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    bool found = false;
    for (BOOL more = Module32First(snapshot, &module); more && !found; more = Module32Next(snapshot, &module)) {
        const std::string path = module.szExePath;
        const std::size_t slash = path.find_last_of("\\/");
        found = lstrcmpiA(module.szModule, "opengl32.dll") == 0 && slash != std::string::npos &&
                lstrcmpiA(path.substr(0, slash).c_str(), folder.c_str()) == 0;
    }
    CloseHandle(snapshot);
    return found;
}

std::string FullPath(const std::string& path) {
    char full[MAX_PATH * 2] = {};
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full) : path;
}

std::string BaseNameWithoutExtension(const std::string& path) {
    std::string name = path.substr(path.find_last_of("\\/") + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string DefaultOutput(const std::string& application) {
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
    return BaseNameWithoutExtension(application) + "-" + stamp + ".kcap";
}

std::string RecorderBesideUs() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/") + 1) + "GLKESTREL.dll";
}

// Unique in the session's namespace; its last part names the frame image files.
std::string CaptureBaseName(const std::string& application) {
    return BaseNameWithoutExtension(application) + "-" + std::to_string(GetCurrentProcessId());
}

// The folder as the recorder gets it: a full path with a trailing backslash.
std::string ImageFolder(const CaptureOptions& options) {
    std::string folder = FullPath(options.imagesDir.empty() ? "." : options.imagesDir);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
}

SessionPolicy PolicyFrom(const CaptureOptions& options, const std::string& application, const std::string& imageFolder) {
    SessionPolicy policy;
    CaptureSettings& s = policy.settings;
    s.hookMode = options.hookMode;
    s.ringBufferMiB = options.ringMiB;
    s.frameRateLimit = options.fpsLimit;
    s.imagesByFrame = options.imagesEvery > 0 ? 1 : 0;
    s.imagesByDraw = options.imagesByDraw ? 1 : 0;
    s.imageInterval = options.imagesEvery;
    s.imageFirstFrame = options.imagesFirst;
    s.imageLimit = options.imagesLimit;
    std::snprintf(s.imageFolder, sizeof s.imageFolder, "%s", imageFolder.c_str());
    policy.baseName = "Local\\" + CaptureBaseName(application);
    policy.instanceId = 1;
    return policy;
}
}  // namespace

int RunCapture(const std::vector<std::string>& words) {
    if (!words.empty() && (words[0] == "--help" || words[0] == "-h")) {
        std::fputs(CaptureUsage(), stdout);
        return 0;
    }
    CaptureOptions options;
    std::string error;
    if (!ParseCaptureOptions(words, options, error)) return Fail(error + " (kestrel help capture)");
    const std::string application = FullPath(options.application);
    const ProgramImage image = ReadProgramImage(application);
    if (image.valid && image.Is64Bit() && !image.isDll) {
        std::fprintf(stderr, "kestrel: NOT CAPTURED: %s is a 64-bit program; the recorder is a 32-bit library and "
                             "cannot be loaded into it (exit code %d)\n", application.c_str(), kSixtyFourBitExit);
        return kSixtyFourBitExit;
    }
    if (!AppLauncher::CheckApplication(application, error)) return Fail(error);
    const std::string applicationFolder = application.substr(0, application.find_last_of("\\/"));
    const std::string recorder = options.recorder.empty() ? RecorderBesideUs() : FullPath(options.recorder);
    if (GetFileAttributesA(recorder.c_str()) == INVALID_FILE_ATTRIBUTES) return Fail("recorder not found: " + recorder);
    // Image files written before this moment are an earlier capture's.
    const FILETIME runStart = ImageTimeFloor();
    const bool images = options.imagesEvery > 0;
    const std::string imageFolder = images ? ImageFolder(options) : std::string();
    if (images) {
        // The recorder holds the folder, its backslash and a NUL in a 260-byte field.
        if (imageFolder.size() + 1 > sizeof(CaptureSettings::imageFolder))
            return Fail("image folder path is longer than 258 characters: " + imageFolder);
        if (!CreateFolderPath(imageFolder)) return Fail("cannot create the image folder " + imageFolder);
    }

    const std::string output = options.output.empty() ? DefaultOutput(application) : options.output;
    std::FILE* file = std::fopen(output.c_str(), "wb");
    if (!file) return Fail("cannot write the capture file " + output);
    std::setvbuf(file, nullptr, _IOFBF, 1 << 20);

    SessionServer server;
    if (!server.Start(PolicyFrom(options, application, imageFolder), error)) {
        std::fclose(file);
        DeleteFileA(output.c_str());
        return Fail(error);
    }
    RecorderPlacement placement;
    if (!placement.Place(application, recorder, error)) {
        std::fclose(file);
        DeleteFileA(output.c_str());
        return Fail(error);
    }
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    // The progress line rewrites itself, which only makes sense on a terminal.
    const bool showProgress = !options.quiet && GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_CHAR;

    AppLauncher launcher;
    if (!launcher.Launch(application, options.arguments, error)) {
        placement.Restore();
        std::fclose(file);
        DeleteFileA(output.c_str());
        return Fail(error);
    }

    StreamCounter counter;
    std::atomic<bool> writeFailed{false};
    RingDrainer drainer;
    bool drainerStarted = false;
    // The ring exists once the recorder has registered; from then on it is drained into the file.
    auto startDrainer = [&] {
        if (drainerStarted || !server.ring()) return;
        drainer.Start(*server.ring(), [&](const std::uint8_t* data, std::uint32_t size) {
            if (std::fwrite(data, 1, size, file) != size) writeFailed = true;
            counter.Feed(data, size);
        });
        drainerStarted = true;
    };
    const DWORD start = GetTickCount();
    DWORD lastShown = start;
    std::uint64_t lastBytes = 0;
    // A program that imports opengl32.dll loads the recorder at its start; one that loads it later is
    // looked for among its modules until it registers.
    bool recorderLoaded = image.importsOpenGL;
    while (!launcher.Finished(50)) {
        if (WaitForSingleObject(server.registeredEvent(), 0) == WAIT_OBJECT_0) startDrainer();
        if (!recorderLoaded && !drainerStarted) recorderLoaded = LoadedRecorder(launcher.processId(), applicationFolder);
        if (g_interrupted) {
            std::fprintf(stderr, "\nkestrel: interrupted; stopping %s\n", application.c_str());
            TerminateProcess(launcher.process(), 130);
        }
        const DWORD now = GetTickCount();
        if (showProgress && now - lastShown >= 500) {
            const double mb = static_cast<double>(counter.bytes()) / 1e6;
            const double rate = static_cast<double>(counter.bytes() - lastBytes) / 1e3 / (now - lastShown);
            // The frame as the recorder publishes it; the calls of the last frame as the stream shows them,
            // since the published call counter restarts at every frame end.
            const StatsHeader* stats = server.stats().header();
            const std::uint32_t frame = stats ? stats->frame : counter.frames() + 1;
            std::fprintf(stderr, "\rframe %u | %u calls in the last frame | %.1f MB | %.1f MB/s   ", frame,
                         counter.callsInLastFrame(), mb, rate);
            lastShown = now;
            lastBytes = counter.bytes();
        }
    }
    // The recorder reports its finish before the process is gone; whatever it wrote is in the ring.
    startDrainer();
    drainer.Stop();
    server.Stop();
    placement.Restore();
    const bool closed = std::fclose(file) == 0;
    const DWORD exitCode = launcher.ExitCode();
    const double seconds = (GetTickCount() - start) / 1000.0;
    if (showProgress) std::fputc('\n', stderr);
    if (writeFailed || !closed) std::fprintf(stderr, "kestrel: writing %s failed; the capture is incomplete\n", output.c_str());
    CaptureFacts facts;
    facts.registered = !server.registrations().empty();
    facts.recorderLoaded = recorderLoaded || facts.registered;
    facts.started = server.readyCount() > 0;
    facts.wroteRecords = counter.records() > 0;
    facts.ringMiB = options.ringMiB;
    const CaptureVerdict verdict = JudgeCapture(facts, application);
    std::printf("kestrel: %s exited with code %lu after %.1f s\n", application.c_str(), exitCode, seconds);
    if (!verdict.captured) {
        // Never an empty capture that looks like a capture: the file is removed, and the code is ours.
        DeleteFileA(output.c_str());
        std::fprintf(stderr, "kestrel: NOT CAPTURED: %s (exit code %d)\n", verdict.message.c_str(), verdict.exitCode);
        return verdict.exitCode;
    }
    std::printf("kestrel: %llu records, %.2f MB, %u frames -> %s\n", static_cast<unsigned long long>(counter.records()),
                static_cast<double>(counter.bytes()) / 1e6, counter.frames(), output.c_str());
    if (images) {
        const std::string prefix = CaptureBaseName(application) + "_";
        const std::uint32_t written = CountImageFiles(imageFolder, prefix, runStart);
        std::printf("kestrel: %u frame image%s -> %s%s*.png\n", written, written == 1 ? "" : "s", imageFolder.c_str(),
                    prefix.c_str());
    }
    return static_cast<int>(exitCode);
}

}  // namespace kestrel
