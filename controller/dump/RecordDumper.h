// Turns the records of a capture, in order, into the dump's lines:
//   INDEX  TIME STAMP  THREAD  what the record says
// with the raw bytes of data blocks under a line when asked for.
#pragma once
#include <cstdint>

#include "controller/dump/DumpOptions.h"
#include "controller/reading/RecordView.h"
#include "controller/reading/StreamTracker.h"
#include "controller/reading/TextOutput.h"

namespace kestrel {

class RecordDumper {
public:
    RecordDumper(const DumpOptions& options, TextOutput& out);
    // False once the records are past the last frame asked for, so that the rest need not be read.
    bool Add(const RecordView& record);
    std::uint64_t recordsSeen() const { return index_; }
    std::uint64_t linesWritten() const { return lines_; }

    // Bytes of each payload that the dump looks at: the reader need not keep more.
    static std::uint32_t PayloadNeeded(const DumpOptions& options);

private:
    bool Matches(const RecordView& record) const;

    const DumpOptions& options_;
    TextOutput& out_;
    StreamTracker tracker_;
    std::uint64_t index_ = 0;
    std::uint64_t lines_ = 0;
};

}  // namespace kestrel
