// The calls of the chosen frames as the page lists them, written as JSON while the capture is read:
// for each frame its calls, each as one array
//   [record number, thread, the call as dump shows it, data bytes, data kind, role, group name]
// where the data bytes are those the call carried behind its fixed part together with the client
// memory blocks recorded for it, the kind indexes the data kinds of the statistics, the role is a
// CallRole, and a group name follows for the start of a debug group whose record carries one (the
// recorder keeps only the message's address: the page then names the group by the call).
#pragma once
#include <cstdint>
#include <vector>

#include "controller/reading/RecordView.h"
#include "controller/reading/StreamTracker.h"
#include "controller/reading/TextOutput.h"

namespace kestrel {

class FrameCallLists {
public:
    // The JSON grows no further than this; frames after it are listed as far as they got.
    static constexpr std::size_t kTextLimit = 12u << 20;

    // `frames` in frame order; each lists at most `callLimit` calls.
    FrameCallLists(std::vector<std::uint64_t> frames, std::uint64_t callLimit);
    // Each record in order; false once the records are past the last frame listed.
    bool Add(const RecordView& record);
    // The JSON object, frames by number; valid after the last Add.
    std::string_view Finish();

    // Bytes of each payload that the lists look at: the reader need not keep more.
    static std::uint32_t PayloadNeeded();

private:
    void Call(const RecordView& record);

    std::vector<std::uint64_t> frames_;
    std::uint64_t callLimit_;
    std::size_t next_ = 0;  // the next frame of frames_ to start
    std::uint64_t current_ = 0;  // the frame being listed, or the last one listed
    bool inFrame_ = false;
    bool finished_ = false;
    std::uint64_t listed_ = 0;  // calls of the current frame
    std::uint64_t index_ = 0;   // record number, as dump counts
    std::uint64_t pendingMemory_ = 0;  // client memory bytes recorded ahead of the next call
    StreamTracker tracker_;
    TextOutput out_;
    TextOutput line_;
};

}  // namespace kestrel
