#include "ReadBack.h"

#include <sstream>

#include "controller/dump/RecordDumper.h"
#include "controller/reading/TextOutput.h"

namespace kestrel::test {

namespace {
constexpr std::size_t kColumns = 8 + 2 + 14 + 2 + 6 + 2;
}

ReadResult ReadAll(const std::uint8_t* data, std::size_t size, std::uint32_t payloadLimit) {
    ReadResult result;
    CaptureFileReader reader;
    reader.OpenMemory(data, size);
    reader.SetPayloadLimit(payloadLimit);
    CaptureRecord record;
    while (reader.Next(record)) result.records.push_back(record);
    result.complete = reader.Complete();
    result.stopOffset = reader.stopOffset();
    result.reason = reader.stopReason();
    return result;
}

std::vector<std::string> DumpLines(const std::vector<std::uint8_t>& capture, const DumpOptions& options) {
    CaptureFileReader reader;
    reader.OpenMemory(capture.data(), capture.size());
    reader.SetPayloadLimit(RecordDumper::PayloadNeeded(options));
    TextOutput out;
    RecordDumper dumper(options, out);
    CaptureRecord record;
    while (reader.Next(record) && dumper.Add(RecordView::Of(record))) {
    }
    std::vector<std::string> lines;
    std::istringstream text{std::string(out.text())};
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

std::string Body(const std::string& line) { return line.size() > kColumns ? line.substr(kColumns) : ""; }

std::string ThreadColumn(const std::string& line) {
    std::istringstream columns(line);
    std::string index, time, thread;
    columns >> index >> time >> thread;
    return thread;
}

CaptureStatistics StatsOf(const std::vector<std::uint8_t>& capture) {
    CaptureStatistics stats;
    CaptureFileReader reader;
    reader.OpenMemory(capture.data(), capture.size());
    CaptureRecord record;
    while (reader.Next(record)) stats.Add(RecordView::Of(record));
    return stats;
}

}  // namespace kestrel::test
