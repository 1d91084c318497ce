// kestrel dump and kestrel stats as a user runs them: what they print, their one-line errors and
// their exit codes, for whole, damaged and missing capture files and for bad options.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "CaptureBuilder.h"
#include "tests/support/ChildProcess.h"

namespace kestrel::test {
namespace {

class TempCapture {
public:
    explicit TempCapture(const std::vector<std::uint8_t>& bytes) {
        char folder[MAX_PATH], name[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        GetTempFileNameA(folder, "kcd", 0, name);
        path_ = name;
        std::FILE* file = std::fopen(name, "wb");
        if (file) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
    }
    ~TempCapture() { DeleteFileA(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::size_t Lines(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

struct CommandCase {
    const char* name;
    std::string arguments;
    DWORD exitCode;
    std::vector<std::string> says;  // parts of what it prints
    std::size_t lines;              // lines printed; 0 for any number
};

TEST(ReadCommands, PrintWhatTheyReadAndExitWithTheirCode) {
    CaptureBuilder b;
    b.Opening().ThreadSwitch(36, 0x10000).Call("glEnable", Payload().U32(0x0B71));
    b.Call("glClear", Payload().U32(0x4100)).Call("wglSwapBuffers", Payload().U32(0xD1).U32(1)).Call("glFinish");
    const TempCapture whole(b.bytes());
    std::vector<std::uint8_t> cut = b.bytes();
    cut.resize(static_cast<std::size_t>(b.recordStarts()[7] + 3));
    const TempCapture truncated(cut);
    const TempCapture empty({});
    const std::string stop = "stopped at byte " + std::to_string(b.recordStarts()[7]) + " of " + std::to_string(cut.size()) +
                             " after 7 records: truncated";
    const std::string kestrel = std::string("\"") + KESTREL_EXE + "\" ";
    const std::string quoted = "\"" + whole.path() + "\"";
    const std::string page = whole.path() + ".html", cutPage = truncated.path() + ".html";

    const CommandCase cases[] = {
        {"dump", "dump " + quoted, 0, {"glEnable(GL_DEPTH_TEST)", "glClear(0x4100)", "wglSwapBuffers(0xD1) = 1"}, 9},
        {"dump of frame 2", "dump " + quoted + " --frames 2", 0, {"glFinish()"}, 1},
        {"dump by name", "dump --grep=glClear " + quoted, 0, {"glClear(0x4100)"}, 1},
        {"stats", "stats " + quoted, 0, {"records      9 (4 calls, 5 stream records)", "frames       1; calls per frame: min 3"}, 0},
        {"dump of a truncated capture", "dump \"" + truncated.path() + "\"", 3, {"glClear(0x4100)", "kestrel dump: ", stop}, 8},
        // Frame 1 runs from the first record to the swap, 7 records later, 10 ticks apart.
        {"stats with a clock rate", "stats " + quoted + " --clock-hz 1000", 0, {"duration     0.080 s at 1000 ticks/s (--clock-hz)", "first frame  70.000 ms from the start"}, 0},
        {"stats help", "help stats", 0, {"usage: kestrel stats FILE", "--clock-hz"}, 0},
        {"stats of a truncated capture", "stats \"" + truncated.path() + "\"", 3, {"records      7 (2 calls", stop}, 0},
        {"dump of an empty file", "dump \"" + empty.path() + "\"", 3, {"not a capture: the file is empty"}, 1},
        {"dump of a missing file", "dump Z:\\no\\such.kcap", 1, {"kestrel dump: cannot open Z:\\no\\such.kcap"}, 1},
        {"stats of a missing file", "stats Z:\\no\\such.kcap", 1, {"kestrel stats: cannot open Z:\\no\\such.kcap"}, 1},
        {"unknown option", "dump " + quoted + " --colour", 2, {"kestrel dump: unknown option --colour"}, 1},
        {"no file", "dump", 2, {"kestrel dump: no capture file given"}, 1},
        {"frames the wrong way round", "dump " + quoted + " --frames 3-1", 2, {"--frames takes"}, 1},
        {"a top of nothing", "stats " + quoted + " --top 0", 2, {"kestrel stats: --top takes"}, 1},
        {"dump help", "dump --help", 0, {"usage: kestrel dump FILE"}, 0},
        // The capture began with the context already current, so its calls have none to replay on.
        {"replay", "replay " + quoted, 0, {"replayed 1 calls, 3 not replayed", "not replayed: glClear x 1 (made with no context current)"}, 0},
        {"replay of a truncated capture", "replay \"" + truncated.path() + "\"", 3, {"kestrel replay: ", stop, "replayed up to the end of frame 0"}, 0},
        {"replay of a missing file", "replay Z:\\no\\such.kcap", 1, {"kestrel replay: cannot open Z:\\no\\such.kcap"}, 1},
        {"replay loops of nothing", "replay " + quoted + " --loop 0", 2, {"kestrel replay: --loop takes"}, 1},
        {"replay help", "help replay", 0, {"usage: kestrel replay FILE", "--check-errors"}, 0},
        {"report", "report " + quoted + " --out \"" + page + "\"", 0, {"kestrel: 1 frames, ", "calls of 1 frames listed (every frame)", page}, 0},
        {"report of a truncated capture", "report \"" + truncated.path() + "\" --out \"" + cutPage + "\"", 3, {"kestrel report: ", stop}, 0},
        {"report help", "help report", 0, {"usage: kestrel report FILE", "--frames A-B"}, 0},
        {"report of frames the wrong way round", "report " + quoted + " --frames 3-1", 2, {"kestrel report: --frames takes"}, 1},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ChildResult run = RunChild(kestrel + c.arguments);
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        for (const std::string& part : c.says) EXPECT_NE(run.output.find(part), std::string::npos) << part << " in\n" << run.output;
        if (c.lines) {
            EXPECT_EQ(Lines(run.output), c.lines) << run.output;
        }
    }
    EXPECT_TRUE(DeleteFileA(page.c_str())) << "the report wrote no page";
    EXPECT_TRUE(DeleteFileA(cutPage.c_str())) << "a damaged capture's page is written too";
}

}  // namespace
}  // namespace kestrel::test
