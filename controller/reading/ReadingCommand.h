// What `kestrel dump` and `kestrel stats` share: their exit codes and how they end a reading.
#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "controller/reading/CaptureFileReader.h"
#include "controller/reading/TextOutput.h"

namespace kestrel {

constexpr int kExitRead = 0;
constexpr int kExitCannotOpen = 1;  // also when the output cannot be written
constexpr int kExitUsage = 2;
constexpr int kExitDamaged = 3;  // truncated or corrupt: read up to the last whole record

// A count in decimal digits only, at most `max`.
bool ParseCount(const std::string& text, std::uint64_t max, std::uint64_t& value);

// "A-B", "A" (one frame) or "A-" (from A on); frames count from 1.
bool ParseFrameRange(const std::string& text, std::uint64_t& first, std::uint64_t& last);

// A word that is not an option names the capture file; there is one.
bool TakeCaptureFile(const std::string& word, std::string& path, std::string& error);
bool CaptureFileGiven(const std::string& path, std::string& error);

// One line on stderr, "kestrel COMMAND: MESSAGE".
void ReportError(const char* command, const std::string& message);
// Why the output could not be written; a pipe whose reader has gone (| head) shows as EINVAL here.
std::string OutputError(const TextOutput& out);
// After the last record: says on stderr where and why the reader stopped, if it did not reach the
// end cleanly, and gives the exit code for it.
int FinishReading(const char* command, const std::string& path, const CaptureFileReader& reader);

// The start every reading command shares: its options parsed, its help shown when asked, its capture
// file opened. Nothing when the reading may begin; otherwise the exit code to end with.
template <class Options>
std::optional<int> StartReading(const char* command, const std::vector<std::string>& words, Options& options,
                                CaptureFileReader& reader) {
    std::string error;
    if (!options.Parse(words, error)) {
        ReportError(command, error + " (see kestrel " + command + " --help)");
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(Options::Usage(), stdout);
        return kExitRead;
    }
    if (!reader.Open(options.path, error)) {
        ReportError(command, error);
        return kExitCannotOpen;
    }
    return std::nullopt;
}

}  // namespace kestrel
