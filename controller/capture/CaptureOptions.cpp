#include "controller/capture/CaptureOptions.h"

#include <cerrno>
#include <cstdlib>

namespace kestrel {

namespace {
bool ParseNumber(const std::string& text, std::uint32_t low, std::uint32_t high, std::uint32_t& value) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

struct NumberOption {
    const char* name;
    std::uint32_t CaptureOptions::*field;
    std::uint32_t low, high;
};

// The ring and its unwrap area are mapped in one piece into the 32-bit program, beside its own
// modules and heaps: 256 MiB (a 512 MiB view) is the most that leaves room in a 2 GiB address space.
constexpr std::uint32_t kLargestRingMiB = 256;

const NumberOption kNumberOptions[] = {
    {"--ring-mib", &CaptureOptions::ringMiB, 1, kLargestRingMiB},
    {"--fps-limit", &CaptureOptions::fpsLimit, 0, 1000},
    {"--images-every", &CaptureOptions::imagesEvery, 0, 1000000},
    {"--images-first", &CaptureOptions::imagesFirst, 0, 100000000},
    {"--images-limit", &CaptureOptions::imagesLimit, 0, 100000000},
    {"--hook-mode", &CaptureOptions::hookMode, 0, 1},
    {"--stop-after-frames", &CaptureOptions::stopAfterFrames, 1, 100000000},
};
}  // namespace

const char* CaptureUsage() {
    return "usage: kestrel capture [options] -- APP.exe [ARGS...]\n"
           "  --out FILE            capture file (default: <app>-<date>-<time>.kcap in the current folder)\n"
           "  --ring-mib N          ring buffer size in MiB, 1 to 256 (default 64); the ring is mapped twice over,\n"
           "                        in one piece, into the 32-bit program, so larger rings cannot work\n"
           "  --fps-limit N         hold the application to N frames per second, 0 for none (default 0)\n"
           "  --images-every N      save a frame image every N frames (or draw calls), 0 for none\n"
           "  --images-first N      images start after frame N: the first ends frame N + every (default 0)\n"
           "  --images-limit N      most frame images taken (default: no limit)\n"
           "  --images-dir DIR      folder of the frame images, created when missing (default: the current folder)\n"
           "  --images-by-draw      take images after every N-th draw call of the first frame instead;\n"
           "                        each replaces the last, in <name>_0001.png\n"
           "  --stop-after-frames N once frame N has ended, close the application's windows, give it a few\n"
           "                        seconds, then end it; the capture holds frames 1 to N whole\n"
           "  --hook-mode N         0: real library is OpenGL32.dll, 1: OpenGL32-orig.dll (default 0)\n"
           "  --recorder DLL        the recorder to load (default: the one of the program's width: GLKESTREL.dll\n"
           "                        beside kestrel.exe for its own width, the other's in i686\\ or x86_64\\ there)\n"
           "  --child PROGRAM       a program the application starts from another folder (a 64-bit child of a\n"
           "                        32-bit program or the reverse): the recorder of its width is placed beside\n"
           "                        it too; repeat for more\n"
           "  --compress zstd|none  the file as zstd frames, written by kestrel while it drains the ring (default),\n"
           "                        or the raw record stream; `zstd -d` turns the first into the second, and\n"
           "                        kestrel dump and stats read both\n"
           "  --compress-level N    zstd level to start at, -7 to 19 (default 3); lowered, down to storing the\n"
           "                        data uncompressed, while compression cannot keep up with the application\n"
           "  --quiet               no progress line\n"
           "frames: a frame ends at every swap (wglSwapBuffers, wglSwapLayerBuffers, wglSwapMultipleBuffers) of a\n"
           "double-buffered window; a single-buffered window (no PFD_DOUBLEBUFFER) is never swapped, so there a\n"
           "glFlush or glFinish after at least one draw (a draw call, glClear, glCallList(s)) into it ends the\n"
           "frame, for the frame count, --stop-after-frames, frame images (read from its only buffer after the\n"
           "flush) and kestrel replay alike. Every window counts: a program that presents two windows makes two\n"
           "frames, and two images, a round. Frame images are named <app>-<id>_<frame>.png and none is taken\n"
           "after the capture's last frame. A window drawn into after its last frame end (a program that draws,\n"
           "reads the result back and ends) gets a final image, <app>-<id>_final.png (_final_2.png and on for\n"
           "further windows, in the order first read), read when its context is released or deleted.\n"
           "exit code: the application's own when it was captured; otherwise kestrel's own, with a line that\n"
           "says why: 2 bad options or input, 70 the program never loaded opengl32.dll (the recorder), 71 it\n"
           "ended before its first OpenGL call, 72 the recorder registered but its capture could not start\n"
           "(most often a ring too large for the program's address space)\n"
           "32-bit (i686) and 64-bit (x86-64) programs are captured alike; a program for another machine is refused.\n"
           "Ctrl-C, or closing the console, ends the application as --stop-after-frames does, at once; what the\n"
           "ring holds is written either way. A process the program starts that loads the recorder is captured\n"
           "too, into a file of its own: <out>-<process id>.kcap beside the first. The program and every process\n"
           "it starts end with kestrel, also when kestrel is killed: none outlives it.\n";
}

bool ParseCaptureOptions(const std::vector<std::string>& words, CaptureOptions& options, std::string& error) {
    std::size_t i = 0;
    for (; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--") {
            ++i;
            break;
        }
        auto value = [&](std::string& out) {
            if (i + 1 >= words.size()) {
                error = word + " needs a value";
                return false;
            }
            out = words[++i];
            return true;
        };
        bool known = false;
        for (const NumberOption& option : kNumberOptions) {
            if (word != option.name) continue;
            known = true;
            std::string text;
            if (!value(text)) return false;
            if (!ParseNumber(text, option.low, option.high, options.*option.field)) {
                error = word + " takes a whole number from " + std::to_string(option.low) + " to " +
                        std::to_string(option.high) + ", not '" + text + "'";
                if (option.field == &CaptureOptions::ringMiB)
                    error += ": a larger ring, mapped twice over in one piece, does not fit in a 32-bit program";
                return false;
            }
        }
        if (known) continue;
        if (word == "--out") {
            if (!value(options.output)) return false;
        } else if (word == "--images-dir") {
            if (!value(options.imagesDir)) return false;
        } else if (word == "--recorder") {
            if (!value(options.recorder)) return false;
        } else if (word == "--child") {
            std::string child;
            if (!value(child)) return false;
            options.children.push_back(child);
        } else if (word == "--compress") {
            std::string form;
            if (!value(form)) return false;
            if (form != "zstd" && form != "none") {
                error = "--compress takes zstd or none, not '" + form + "'";
                return false;
            }
            options.compress = form == "zstd";
        } else if (word == "--compress-level") {
            std::string text;
            if (!value(text)) return false;
            const bool negative = !text.empty() && text[0] == '-';
            std::uint32_t magnitude = 0;
            const std::uint32_t most = negative ? -kLowestCompressLevel : kHighestCompressLevel;
            if (!ParseNumber(negative ? text.substr(1) : text, 0, most, magnitude)) {
                error = "--compress-level takes a whole number from " + std::to_string(kLowestCompressLevel) + " to " +
                        std::to_string(kHighestCompressLevel) + ", not '" + text + "'";
                return false;
            }
            options.compressLevel = negative ? -static_cast<int>(magnitude) : static_cast<int>(magnitude);
        } else if (word == "--images-by-draw") {
            options.imagesByDraw = true;
        } else if (word == "--quiet") {
            options.quiet = true;
        } else {
            error = "unknown option '" + word + "'";
            return false;
        }
    }
    if (i >= words.size()) {
        error = "no application given (put it after --)";
        return false;
    }
    options.application = words[i];
    options.arguments.assign(words.begin() + static_cast<std::ptrdiff_t>(i) + 1, words.end());
    if (options.imagesByDraw && options.imagesEvery == 0) {
        error = "--images-by-draw needs --images-every N";
        return false;
    }
    if (options.imagesByDraw && options.imagesFirst != 0) {
        error = "--images-by-draw takes images in the first frame only; drop --images-first";
        return false;
    }
    return true;
}

}  // namespace kestrel
