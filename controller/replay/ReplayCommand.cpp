// kestrel replay: draws a capture again, pass after pass, and says what it could not re-issue.
#include <windows.h>

#include <cstdio>
#include <string>

#include "controller/Commands.h"
#include "controller/capture/FrameImageFiles.h"
#include "controller/reading/CaptureFileReader.h"
#include "controller/reading/ReadingCommand.h"
#include "controller/replay/ReplayOptions.h"
#include "controller/replay/Replayer.h"

namespace kestrel {

namespace {
constexpr const char* kCommand = "replay";
constexpr int kExitNoOpenGL = 4;

// The capture's file name without its folder and extension: the images' name start.
std::string CaptureName(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name.empty() ? "replay" : name;
}

void Report(const ReplayOptions& options, const replay::ReplayTally& tally, double seconds) {
    std::printf("replayed %llu calls, %llu not replayed\n", static_cast<unsigned long long>(tally.replayed),
                static_cast<unsigned long long>(tally.notReplayedCalls()));
    std::printf("%llu read-backs left out, %llu frames presented", static_cast<unsigned long long>(tally.queries),
                static_cast<unsigned long long>(tally.framesPresented));
    if (!options.images.empty())
        std::printf(", %llu images -> %s\\%s_*.png", static_cast<unsigned long long>(tally.imagesSaved),
                    options.images.c_str(), CaptureName(options.path).c_str());
    std::printf("\n");
    if (tally.finalImagesSaved > 0)
        std::printf("%llu final image%s (drawn after the last frame end) -> %s\\%s_final*.png\n",
                    static_cast<unsigned long long>(tally.finalImagesSaved), tally.finalImagesSaved == 1 ? "" : "s",
                    options.images.c_str(), CaptureName(options.path).c_str());
    for (const auto& [name, left] : tally.notReplayed)
        std::printf("  not replayed: %s x %llu (%s)\n", name.c_str(), static_cast<unsigned long long>(left.count),
                    left.reason.c_str());
    if (options.checkErrors) {
        std::printf("checked %llu glGetError answers: %llu differ from the capture's\n",
                    static_cast<unsigned long long>(tally.errorsChecked),
                    static_cast<unsigned long long>(tally.errorsDiffering));
        for (const auto& difference : tally.firstDifferences)
            std::printf("  record %llu (frame %llu): captured 0x%04X, replayed 0x%04X\n",
                        static_cast<unsigned long long>(difference.record),
                        static_cast<unsigned long long>(difference.frame), difference.captured, difference.replayed);
    }
    if (options.benchmark && seconds > 0)
        std::printf("benchmark: %llu frames in %.3f s: %.2f frames per second\n",
                    static_cast<unsigned long long>(tally.framesPresented), seconds,
                    static_cast<double>(tally.framesPresented) / seconds);
}
}  // namespace

int RunReplay(const std::vector<std::string>& words) {
    ReplayOptions options;
    std::string error;
    if (!options.Parse(words, error)) {
        ReportError(kCommand, error + " (see kestrel replay --help)");
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(ReplayOptions::Usage(), stdout);
        return kExitRead;
    }
    replay::ReplaySettings settings;
    settings.firstFrame = options.firstFrame;
    settings.lastFrame = options.lastFrame;
    settings.checkErrors = options.checkErrors;
    if (!options.images.empty()) {
        if (!CreateFolderPath(options.images)) {
            ReportError(kCommand, "cannot create the image folder " + options.images);
            return kExitCannotOpen;
        }
        settings.imagePrefix = options.images + "\\" + CaptureName(options.path) + "_";
    }
    replay::ReplayTally tally;
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    std::int64_t ticks = 0;
    int exitCode = kExitRead;
    for (std::uint64_t pass = 0; pass < options.loops && exitCode == kExitRead; ++pass) {
        CaptureFileReader reader;
        if (!reader.Open(options.path, error)) {
            ReportError(kCommand, error);
            return kExitCannotOpen;
        }
        replay::Replayer replayer(settings, tally);
        if (!replayer.ready()) {
            ReportError(kCommand, "the system OpenGL (opengl32.dll) cannot be loaded");
            return kExitNoOpenGL;
        }
        const std::int64_t start = replay::Ticks();
        CaptureRecord record;
        bool ended = false;
        while (!ended && reader.Next(record)) {
            switch (replayer.Replay(record)) {
            case replay::Replayer::Step::Continue:
                break;
            case replay::Replayer::Step::Done:
                ended = true;
                break;
            case replay::Replayer::Step::Damaged:
                ReportError(kCommand, options.path + ": " + replayer.error());
                exitCode = kExitDamaged;
                ended = true;
                break;
            }
        }
        if (!ended) exitCode = FinishReading(kCommand, options.path, reader);
        // Only a capture replayed to its end has an end to take final images at.
        if (!ended && exitCode == kExitRead) replayer.SaveFinalImages();
        ticks += replayer.rangeTicks(start);
        if (exitCode != kExitRead)
            ReportError(kCommand, "replayed up to the end of frame " + std::to_string(tally.lastFrame) +
                                      ", the last whole frame before the damage");
    }
    Report(options, tally, frequency.QuadPart ? static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart) : 0);
    return exitCode;
}

}  // namespace kestrel
