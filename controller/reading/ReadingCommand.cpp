#include "controller/reading/ReadingCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kestrel {

bool ParseCount(const std::string& text, std::uint64_t max, std::uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    std::uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (result > (max - digit) / 10) return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

void ReportError(const char* command, const std::string& message) {
    std::fflush(stdout);  // so that the line follows what was printed before it
    std::fprintf(stderr, "kestrel %s: %s\n", command, message.c_str());
}

std::string OutputError(const TextOutput& out) {
    if (out.error() == EPIPE || out.error() == EINVAL) return "the output was closed before the end";
    return std::string("cannot write the output: ") + std::strerror(out.error());
}

bool ParseFrameRange(const std::string& text, std::uint64_t& first, std::uint64_t& last) {
    const std::size_t dash = text.find('-');
    if (!ParseCount(text.substr(0, dash), UINT64_MAX - 1, first) || first == 0) return false;
    if (dash == std::string::npos) {
        last = first;
        return true;
    }
    const std::string end = text.substr(dash + 1);
    if (end.empty()) {
        last = UINT64_MAX;
        return true;
    }
    return ParseCount(end, UINT64_MAX - 1, last) && last >= first;
}

int FinishReading(const char* command, const std::string& path, const CaptureFileReader& reader) {
    if (reader.Complete()) return kExitRead;
    // A compressed file's offsets are those of the record stream inside it.
    const std::string where = reader.compressed()
                                  ? "byte " + std::to_string(reader.stopOffset()) + " of the record stream (a " +
                                        std::to_string(reader.fileSize()) + "-byte zstd file)"
                                  : "byte " + std::to_string(reader.stopOffset()) + " of " + std::to_string(reader.fileSize());
    ReportError(command, path + ": stopped at " + where + " after " + std::to_string(reader.recordsRead()) +
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
