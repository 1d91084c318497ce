#include "controller/report/ReportOptions.h"

#include "controller/reading/OptionWords.h"
#include "controller/reading/ReadingCommand.h"

namespace kestrel {

const char* ReportOptions::Usage() {
    return "usage: kestrel report FILE [--out FILE.html] [--images DIR] [--frames A-B] [--clock-hz HZ]\n"
           "  writes one HTML page that any browser opens from disk (nothing is fetched): the frame times as a\n"
           "  chart (median and 99th percentile marked, slow frames coloured; hover for a frame's figures, click\n"
           "  to select it), the frame images, the selected frame's calls as dump shows them, grouped by the\n"
           "  application's debug groups, draws highlighted, with a filter box and the data each call carried;\n"
           "  and the capture's figures as stats gives them (calls and bytes by function and kind, threads,\n"
           "  contexts, system, pointer width).\n"
           "  --out FILE.html  the page to write (default: the capture's name with .html)\n"
           "  --images DIR     the frame images' folder (default: the capture's own folder). Images are the\n"
           "                   files NAME_NNNN.png for frame NNNN: those named after the capture (as replay --images\n"
           "                   writes them), else the recorder's APP-ID_NNNN.png written while the capture ran.\n"
           "                   They are embedded in the page up to 6 MB in all, else linked by a relative path:\n"
           "                   keep them beside the page then.\n"
           "  --frames A-B     list the calls of frames A to B (also A, or A-). By default a short capture lists\n"
           "                   every frame's calls, a long one those of its slowest frames and two frames either\n"
           "                   side; the page says which. Lists stop at 100,000 calls in all and 20,000 a frame.\n"
           "  --clock-hz HZ    the capturing machine's counter rate (default: this machine's, as stats)\n"
           "  A damaged capture is reported up to its last whole record, and the page says where it stopped\n"
           "  (exit code 3, as dump and stats).\n";
}

bool ReportOptions::Parse(const std::vector<std::string>& words, std::string& error) {
    OptionWords option(words, error);
    while (option.Next()) {
        if (option.Is("--help") || option.Is("-h")) {
            help = true;
        } else if (option.Is("--out")) {
            if (!option.TakeValue(out)) return false;
        } else if (option.Is("--images")) {
            if (!option.TakeValue(images)) return false;
        } else if (option.Is("--frames")) {
            if (!option.TakeFrameRange(firstFrame, lastFrame)) return false;
            framesGiven = true;
        } else if (option.Is("--clock-hz")) {
            if (!option.TakeCount(kMaxClockHz, clockHz, "ticks per second")) return false;
        } else if (!option.TakeCaptureFile(path)) {
            return false;
        }
    }
    return help || CaptureFileGiven(path, error);
}

std::string ReportOptions::OutputPath() const {
    if (!out.empty()) return out;
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t dot = path.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? path.substr(0, dot) : path) + ".html";
}

}  // namespace kestrel
