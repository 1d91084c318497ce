// kestrel: captures what an application asks of OpenGL, and reads captures back.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "controller/Commands.h"

namespace {
void Usage() {
    std::fprintf(stderr,
                 "usage: kestrel capture [options] -- APP.exe [ARGS...]   capture an application\n"
                 "       kestrel dump FILE [--frames A-B] [--grep NAME] [--blobs]   one line per record\n"
                 "       kestrel stats FILE [--top N] [--clock-hz HZ]       frame times, calls by thread, bytes by kind\n"
                 "       kestrel replay FILE [--frames A-B] [--images DIR] [--loop N] [--benchmark]   draw it again\n"
                 "       kestrel report FILE [--out FILE.html] [--images DIR] [--frames A-B]   a page to look at\n"
                 "       kestrel help stats                                 what stats shows\n"
                 "       kestrel help capture                               the capture options\n"
                 "       kestrel help report                                what the report page shows\n");
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Usage();
        return 2;
    }
    const std::string command = argv[1];
    const std::vector<std::string> words(argv + 2, argv + argc);
    if (command == "capture") return kestrel::RunCapture(words);
    if (command == "dump") return kestrel::RunDump(words);
    if (command == "stats") return kestrel::RunStats(words);
    if (command == "replay") return kestrel::RunReplay(words);
    if (command == "report") return kestrel::RunReport(words);
    if (command == "help" || command == "--help" || command == "-h") {
        if (!words.empty() && words[0] == "capture") return kestrel::RunCapture({"--help"});
        if (!words.empty() && words[0] == "stats") return kestrel::RunStats({"--help"});
        if (!words.empty() && words[0] == "replay") return kestrel::RunReplay({"--help"});
        if (!words.empty() && words[0] == "report") return kestrel::RunReport({"--help"});
        Usage();
        return 0;
    }
    std::fprintf(stderr, "kestrel: unknown command '%s'\n", argv[1]);
    Usage();
    return 2;
}
