// Reads a capture held in memory the way the kestrel command reads a file, for the tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "controller/reading/CaptureFileReader.h"
#include "controller/stats/CaptureStatistics.h"
#include "controller/dump/DumpOptions.h"

namespace kestrel::test {

struct ReadResult {
    std::vector<CaptureRecord> records;
    bool complete = false;
    std::uint64_t stopOffset = 0;
    std::string reason;
};

ReadResult ReadAll(const std::uint8_t* data, std::size_t size, std::uint32_t payloadLimit = CaptureFileReader::kKeepAll);
inline ReadResult ReadAll(const std::vector<std::uint8_t>& bytes) { return ReadAll(bytes.data(), bytes.size()); }

// The dump's lines, without their line ends.
std::vector<std::string> DumpLines(const std::vector<std::uint8_t>& capture, const DumpOptions& options = {});
// A dump line without its index, time stamp and thread columns.
std::string Body(const std::string& line);
// The thread column of a dump line ("-" before the first thread switch).
std::string ThreadColumn(const std::string& line);

CaptureStatistics StatsOf(const std::vector<std::uint8_t>& capture);

}  // namespace kestrel::test
