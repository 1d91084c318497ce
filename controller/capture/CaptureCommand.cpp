// kestrel capture: runs an application with the recorder as its opengl32.dll, serves the capture
// session and writes the drained record stream, unchanged, into the capture file.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ctime>
#include <thread>

#include "channel/StatsHeader.h"
#include "controller/capture/AppLauncher.h"
#include "controller/capture/CaptureOptions.h"
#include "controller/capture/CaptureVerdict.h"
#include "controller/Commands.h"
#include "controller/capture/FrameImageFiles.h"
#include "controller/capture/ProcessCaptureFile.h"
#include "controller/capture/ProcessStopper.h"
#include "controller/capture/ProgramImage.h"
#include "controller/capture/RecorderPlacement.h"
#include "controller/capture/RingDrainer.h"
#include "controller/capture/SessionServer.h"
#include "controller/capture/StreamCounter.h"

namespace kestrel {

namespace {
std::atomic<bool> g_interrupted{false};
std::atomic<bool> g_consoleClosing{false};
HANDLE g_captureWritten = nullptr;  // set once every file is written and the folder put back

BOOL WINAPI OnConsoleControl(DWORD event) {
    const bool closing = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    if (closing) g_consoleClosing = true;
    g_interrupted = true;
    // The main loop stops the application, writes what the rings hold and puts the folder back. After
    // a close the system ends kestrel when this handler returns, so it waits for that work first.
    if (closing && g_captureWritten) WaitForSingleObject(g_captureWritten, 4500);
    return TRUE;
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

#ifdef _WIN64
constexpr const char* kOwnWidth = "x86_64";
#else
constexpr const char* kOwnWidth = "i686";
#endif

// The recorder of this build's width lies beside kestrel.exe; the other width's build puts its own in a
// folder named after that width there, so one kestrel serves programs of either width.
std::string RecorderBesideUs(const char* width) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    folder = folder.substr(0, folder.find_last_of("\\/") + 1);
    if (std::strcmp(width, kOwnWidth) != 0) folder += std::string(width) + "\\";
    return folder + "GLKESTREL.dll";
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

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of("\\/")); }

// Each --child program gets the recorder of its own width beside it; one in the application's folder of
// the same width already has it, one there of the other width cannot (a folder holds one opengl32.dll).
bool PlaceForChildren(const CaptureOptions& options, const std::string& application,
                      std::vector<std::unique_ptr<RecorderPlacement>>& placements, std::string& error) {
    const ProgramImage parent = ReadProgramImage(application);
    std::vector<std::pair<std::string, std::uint16_t>> placed{{FolderOf(application), parent.machine}};
    for (const std::string& given : options.children) {
        const std::string child = FullPath(given);
        const ProgramImage image = ReadProgramImage(child);
        if (!image.valid || image.isDll) {
            error = "--child " + child + " is not a Windows program";
            return false;
        }
        if (!image.RecorderWidth()) {
            error = "--child " + child + " is a program for " + image.MachineName() +
                    "; kestrel captures 32-bit (i686) and 64-bit (x86-64) programs";
            return false;
        }
        const auto same = std::find_if(placed.begin(), placed.end(), [&](const auto& folder) {
            return lstrcmpiA(folder.first.c_str(), FolderOf(child).c_str()) == 0;
        });
        if (same != placed.end() && same->second == image.machine) continue;
        if (same != placed.end()) {
            error = "--child " + child + " is of the other width than a program in its folder, which holds one "
                    "opengl32.dll; put it in a folder of its own";
            return false;
        }
        placed.emplace_back(FolderOf(child), image.machine);
        placements.push_back(std::make_unique<RecorderPlacement>());
        if (!placements.back()->Place(child, RecorderBesideUs(image.RecorderWidth()), error)) return false;
    }
    return true;
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
    s.lastFrame = options.stopAfterFrames;
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
    if (image.valid && !image.isDll && !image.RecorderWidth())
        return Fail(application + " is a program for " + image.MachineName() +
                    "; kestrel captures 32-bit (i686) and 64-bit (x86-64) programs");
    if (!AppLauncher::CheckApplication(application, error)) return Fail(error);
    const std::string applicationFolder = application.substr(0, application.find_last_of("\\/"));
    const char* width = image.RecorderWidth() ? image.RecorderWidth() : kOwnWidth;
    const std::string recorder = options.recorder.empty() ? RecorderBesideUs(width) : FullPath(options.recorder);
    if (GetFileAttributesA(recorder.c_str()) == INVALID_FILE_ATTRIBUTES)
        return Fail("recorder not found: " + recorder + " (the " + width + " build's recorder, for this program's width)");
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
    ProcessCaptureFile::Unbuffered(file);

    SessionServer server;
    if (!server.Start(PolicyFrom(options, application, imageFolder), error)) {
        std::fclose(file);
        DeleteFileA(output.c_str());
        return Fail(error);
    }
    RecorderPlacement placement;
    std::vector<std::unique_ptr<RecorderPlacement>> childPlacements;
    if (!placement.Place(application, recorder, error) || !PlaceForChildren(options, application, childPlacements, error)) {
        childPlacements.clear();  // before the program's: a child of the same name saw its override set
        placement.Restore();
        std::fclose(file);
        DeleteFileA(output.c_str());
        return Fail(error);
    }
    g_captureWritten = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    // The progress line rewrites itself, which only makes sense on a terminal.
    const bool showProgress = !options.quiet && GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_CHAR;

    AppLauncher launcher;
    if (!launcher.Launch(application, options.arguments, error)) {
        childPlacements.clear();  // before the program's: a child of the same name saw its override set
        placement.Restore();
        std::fclose(file);
        DeleteFileA(output.c_str());
        return Fail(error);
    }

    // One capture file per registered process: the launched program's under the name given, a
    // child's beside it. Each is drained from its registration on, whatever else happens.
    std::vector<std::unique_ptr<ProcessCaptureFile>> captures;
    ProcessCaptureFile* mainCapture = nullptr;
    auto takeNewSessions = [&] {
        while (captures.size() < server.sessionCount()) {
            ProcessSession* session = server.session(captures.size());
            auto capture = std::make_unique<ProcessCaptureFile>();
            if (!mainCapture && session->processId() == launcher.processId()) {
                capture->Adopt(file, output);
                mainCapture = capture.get();
            } else {
                std::string openError;
                if (!capture->Open(ProcessCaptureFile::ChildPath(output, session->processId()), openError))
                    std::fprintf(stderr, "\nkestrel: %s; process %u is drained but not written\n", openError.c_str(),
                                 session->processId());
            }
            if (options.stopAfterFrames) capture->SetFrameLimit(options.stopAfterFrames);
            if (options.compress) capture->Compress(options.compressLevel);
            capture->Start(*session);
            captures.push_back(std::move(capture));
        }
    };
    // Stopping asks every captured process's windows to close, then ends what outlives the grace.
    enum class Ending { kExited, kFrameLimit, kInterrupted };
    Ending ending = Ending::kExited;
    ProcessStopper launchedStopper;
    std::vector<std::unique_ptr<ProcessStopper>> stoppers;
    auto beginStop = [&](Ending why) {
        if (ending != Ending::kExited) return;
        ending = why;
        const DWORD grace = g_consoleClosing ? 500 : ProcessStopper::kGraceMs;
        launchedStopper.Begin(launcher.process(), launcher.processId(), grace);
        for (const auto& capture : captures) {
            ProcessSession* session = capture->session();
            if (!session || !session->process || session->processId() == launcher.processId()) continue;
            stoppers.push_back(std::make_unique<ProcessStopper>());
            stoppers.back()->Begin(session->process, session->processId(), grace);
        }
    };
    auto everyProcessEnded = [&] {
        if (!launcher.Finished(0)) return false;
        for (const auto& capture : captures)
            if (capture->session() && !capture->session()->Ended()) return false;
        return server.sessionCount() == captures.size();
    };

    const DWORD start = GetTickCount();
    DWORD lastShown = start;
    std::uint64_t lastBytes = 0;
    // A program that imports opengl32.dll loads the recorder at its start; one that loads it later is
    // looked for among its modules until it registers.
    bool recorderLoaded = image.importsOpenGL;
    for (;;) {
        takeNewSessions();
        if (everyProcessEnded()) break;
        launcher.Finished(50);
        if (!recorderLoaded && !mainCapture && !launcher.Finished(0))
            recorderLoaded = LoadedRecorder(launcher.processId(), applicationFolder);
        if (g_interrupted && ending == Ending::kExited) {
            std::fprintf(stderr, "\nkestrel: interrupted; stopping %s\n", application.c_str());
            beginStop(Ending::kInterrupted);
        }
        if (mainCapture && mainCapture->limitReached()) beginStop(Ending::kFrameLimit);
        launchedStopper.Poll();
        for (const auto& stopper : stoppers) stopper->Poll();
        const DWORD now = GetTickCount();
        if (showProgress && now - lastShown >= 500) {
            std::uint64_t bytes = 0;
            for (const auto& capture : captures) bytes += capture->counter().bytes();
            const double rate = static_cast<double>(bytes - lastBytes) / 1e3 / (now - lastShown);
            std::string line;
            if (mainCapture) {
                // The frame as the recorder publishes it; the calls of the last frame as the stream shows
                // them, since the published call counter restarts at every frame end.
                const StatsHeader* stats = mainCapture->session()->stats.header();
                const std::uint32_t frame = stats ? stats->frame : mainCapture->counter().frames() + 1;
                char text[96];
                std::snprintf(text, sizeof text, "frame %u | %u calls in the last frame", frame,
                              mainCapture->counter().callsInLastFrame());
                line = text;
            }
            for (const auto& capture : captures) {
                if (capture.get() == mainCapture) continue;
                char text[64];
                std::snprintf(text, sizeof text, "%sprocess %u: frame %u", line.empty() ? "" : " | ",
                              capture->session()->processId(), capture->counter().frames() + 1);
                line += text;
            }
            std::fprintf(stderr, "\r%s | %.1f MB | %.1f MB/s   ", line.c_str(), static_cast<double>(bytes) / 1e6, rate);
            lastShown = now;
            lastBytes = bytes;
        }
    }
    // Each recorder reports its finish before its process is gone; whatever it wrote is in its ring.
    takeNewSessions();
    bool writeFailed = false;
    for (const auto& capture : captures) writeFailed |= !capture->Finish();
    server.Stop();
    childPlacements.clear();
    placement.Restore();
    if (!mainCapture && std::fclose(file) != 0) writeFailed = true;
    SetEvent(g_captureWritten);
    const DWORD exitCode = launcher.ExitCode();
    const double seconds = (GetTickCount() - start) / 1000.0;
    if (showProgress) std::fputc('\n', stderr);
    if (writeFailed) std::fprintf(stderr, "kestrel: writing a capture file failed; that capture is incomplete\n");
    CaptureFacts facts;
    facts.registered = mainCapture != nullptr;
    facts.recorderLoaded = recorderLoaded || facts.registered;
    facts.started = mainCapture && mainCapture->session()->ready;
    facts.wroteRecords = mainCapture && mainCapture->counter().records() > 0;
    facts.ringMiB = options.ringMiB;
    const CaptureVerdict verdict = JudgeCapture(facts, application);
    const bool outright = launchedStopper.terminated();
    switch (ending) {
        case Ending::kExited:
            std::printf("kestrel: %s exited with code %lu after %.1f s\n", application.c_str(), exitCode, seconds);
            break;
        case Ending::kFrameLimit:
            std::printf("kestrel: stopped %s after frame %u, %s, after %.1f s\n", application.c_str(),
                        options.stopAfterFrames, outright ? "ended outright when its windows stayed open" : "its windows closed",
                        seconds);
            break;
        case Ending::kInterrupted:
            std::printf("kestrel: interrupted; %s %s after %.1f s\n", application.c_str(),
                        outright ? "was ended outright" : "closed its windows", seconds);
            break;
    }
    if (!verdict.captured) {
        // Never an empty capture that looks like a capture: the file is removed, and the code is ours.
        DeleteFileA(output.c_str());
        std::fprintf(stderr, "kestrel: NOT CAPTURED: %s (exit code %d)\n", verdict.message.c_str(), verdict.exitCode);
        return verdict.exitCode;
    }
    for (const auto& capture : captures) {
        const StreamCounter& c = capture->counter();
        std::string who;
        if (capture.get() != mainCapture)
            who = "process " + std::to_string(capture->session()->processId()) + " (" +
                  capture->session()->registration.fileName + "): ";
        std::string form;
        if (const ZstdCaptureWriter* zstd = capture->compression()) {
            char text[96];
            std::snprintf(text, sizeof text, " (zstd, %.2f MB", static_cast<double>(zstd->fileBytes()) / 1e6);
            form = text;
            if (zstd->lowestLevel() != zstd->chosenLevel())
                form += zstd->lowestLevel() == kStoredLevel ? "; stored uncompressed while compression fell behind"
                                                            : "; level lowered to " + std::to_string(zstd->lowestLevel()) +
                                                                  " while compression fell behind";
            form += ")";
        }
        std::printf("kestrel: %s%llu records, %.2f MB, %u frames -> %s%s\n", who.c_str(),
                    static_cast<unsigned long long>(c.records()), static_cast<double>(c.wholeBytes()) / 1e6, c.frames(),
                    capture->path().empty() ? "(not written)" : capture->path().c_str(), form.c_str());
        if (capture->cutBytes() > 0)
            std::printf("kestrel: %sthe last record was cut short when the process ended; its %llu bytes were left out\n",
                        who.c_str(), static_cast<unsigned long long>(capture->cutBytes()));
    }
    if (images) {
        // A frame is one swap (or single-buffered flush) of one window: a program with several windows
        // has a frame, and an image, per window presented.
        const std::string prefix = CaptureBaseName(application) + "_";
        const std::uint32_t held = mainCapture ? mainCapture->counter().frames() : 0;
        const ImageFiles files = TakeStockOfImages(imageFolder, prefix, runStart, held);
        std::printf("kestrel: %u frame image%s -> %s%s*.png\n", files.frames, files.frames == 1 ? "" : "s",
                    imageFolder.c_str(), prefix.c_str());
        if (files.finals > 0)
            std::printf("kestrel: %u final image%s (drawn after the last frame end, never presented) -> %s%sfinal*.png\n",
                        files.finals, files.finals == 1 ? "" : "s", imageFolder.c_str(), prefix.c_str());
        if (files.removed > 0)
            std::printf("kestrel: removed %u image%s of frames after the capture's last frame\n", files.removed,
                        files.removed == 1 ? "" : "s");
    }
    switch (ending) {
        case Ending::kFrameLimit: return 0;  // the capture holds what was asked for
        case Ending::kInterrupted: return 130;
        default: return static_cast<int>(exitCode);
    }
}

}  // namespace kestrel
