#include "controller/replay/ReplayOptions.h"

#include "controller/reading/OptionWords.h"
#include "controller/reading/ReadingCommand.h"

namespace kestrel {

const char* ReplayOptions::Usage() {
    return "usage: kestrel replay FILE [--frames A-B] [--images FOLDER] [--loop N] [--benchmark] [--check-errors]\n"
           "  draws the capture again with the system OpenGL, in windows of the captured sizes\n"
           "  --frames A-B      replay everything before frame A unseen, then present frames A to B (also A,\n"
           "                    or A- for A to the end); frame 1 ends at the first swap (or, in a\n"
           "                    single-buffered window, the first glFlush or glFinish after drawing)\n"
           "  --images FOLDER   save each presented frame as FOLDER\\<capture name>_<frame>.png, created when\n"
           "                    missing; the frame numbers are those of the capture's own frame images. A\n"
           "                    capture replayed to its end also gives each window drawn into since its last\n"
           "                    frame end a final image, <capture name>_final.png (_final_2.png and on for\n"
           "                    further windows, in the order first read), as the recorder names its own\n"
           "  --loop N          replay it N times over, each time from a fresh start (default 1)\n"
           "  --benchmark       report the frames per second of the presented frames (no images)\n"
           "  --check-errors    ask glGetError wherever the application did (other read-backs are left out)\n"
           "                    and report the answers that differ from the captured ones\n"
           "exit code: 0 replayed, 1 the file cannot be read, 2 bad options, 3 the capture is cut short or\n"
           "damaged (replayed up to its last whole record), 4 the system OpenGL cannot be loaded\n";
}

bool ReplayOptions::Parse(const std::vector<std::string>& words, std::string& error) {
    OptionWords option(words, error);
    while (option.Next()) {
        if (option.Is("--help") || option.Is("-h")) {
            help = true;
        } else if (option.Is("--frames")) {
            if (!option.TakeFrameRange(firstFrame, lastFrame)) return false;
        } else if (option.Is("--images")) {
            if (!option.TakeValue(images, "a folder")) return false;
        } else if (option.Is("--loop")) {
            if (!option.TakeCount(1000000, loops, "a count")) return false;
        } else if (option.IsFlag("--benchmark")) {
            benchmark = true;
        } else if (option.IsFlag("--check-errors")) {
            checkErrors = true;
        } else if (!option.TakeCaptureFile(path)) {
            return false;
        }
    }
    if (benchmark && !images.empty()) {
        error = "--benchmark measures the frames alone: leave out --images";
        return false;
    }
    return help || CaptureFileGiven(path, error);
}

}  // namespace kestrel
