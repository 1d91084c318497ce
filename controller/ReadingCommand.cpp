#include "controller/ReadingCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kestrel {

void ReportError(const char* command, const std::string& message) {
    std::fflush(stdout);  // so that the line follows what was printed before it
    std::fprintf(stderr, "kestrel %s: %s\n", command, message.c_str());
}

std::string OutputError(const TextOutput& out) {
    if (out.error() == EPIPE || out.error() == EINVAL) return "the output was closed before the end";
    return std::string("cannot write the output: ") + std::strerror(out.error());
}

int FinishReading(const char* command, const std::string& path, const CaptureFileReader& reader) {
    if (reader.Complete()) return kExitRead;
    ReportError(command, path + ": stopped at byte " + std::to_string(reader.stopOffset()) + " of " +
                             std::to_string(reader.fileSize()) + " after " + std::to_string(reader.recordsRead()) +
                             " records: " + reader.stopReason());
    return kExitDamaged;
}

bool TakeCaptureFile(const std::string& word, std::string& path, std::string& error) {
    if (word.size() > 1 && word[0] == '-') {
        error = "unknown option " + word;
        return false;
    }
    if (!path.empty()) {
        error = "one capture file only: '" + path + "' and '" + word + "'";
        return false;
    }
    path = word;
    return true;
}

bool CaptureFileGiven(const std::string& path, std::string& error) {
    if (!path.empty()) return true;
    error = "no capture file given";
    return false;
}

}  // namespace kestrel
