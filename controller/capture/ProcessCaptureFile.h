// The capture file of one registered process: its ring drained, on a thread of its own, into its
// own file, counted as it goes, and cut after the last frame asked for.
#pragma once
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "controller/capture/ProcessSession.h"
#include "controller/capture/RingDrainer.h"
#include "controller/capture/StreamCounter.h"
#include "controller/capture/ZstdCaptureWriter.h"

namespace kestrel {

class ProcessCaptureFile {
public:
    ProcessCaptureFile() = default;
    ~ProcessCaptureFile();
    ProcessCaptureFile(const ProcessCaptureFile&) = delete;
    ProcessCaptureFile& operator=(const ProcessCaptureFile&) = delete;

    // Opens the file for writing; false with a message when it cannot be written.
    bool Open(const std::string& path, std::string& error);
    // Takes an already open file (the launched program's, opened before it started).
    void Adopt(std::FILE* file, const std::string& path);
    void SetFrameLimit(std::uint32_t frames) { counter_.SetFrameLimit(frames); }
    // Writes zstd frames starting at this level instead of the raw stream; before Start.
    void Compress(int level) { zstd_ = std::make_unique<ZstdCaptureWriter>(level); }
    // The compressed form's writer, or null for the raw stream.
    const ZstdCaptureWriter* compression() const { return zstd_.get(); }

    // Drains the process's ring from now on. Without a file the ring is still drained, so that the
    // process never waits for room that nobody makes.
    void Start(ProcessSession& session);
    // Drains what is left, ends the thread and closes the file. Returns false when writing failed.
    bool Finish();

    const std::string& path() const { return path_; }
    const StreamCounter& counter() const { return counter_; }
    bool started() const { return started_; }
    bool limitReached() const { return counter_.limitReached(); }
    bool hasFile() const { return file_ != nullptr || finished_; }
    ProcessSession* session() const { return session_; }

    // Bytes of a record cut short at the end, left out of the file.
    std::uint64_t cutBytes() const { return cutBytes_; }
    static void Unbuffered(std::FILE* file);

    // Where a later process's capture goes: "<name>-<process id><extension>" beside the first.
    static std::string ChildPath(const std::string& firstPath, std::uint32_t processId);

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    StreamCounter counter_;
    RingDrainer drainer_;
    std::unique_ptr<ZstdCaptureWriter> zstd_;
    ProcessSession* session_ = nullptr;
    std::atomic<bool> writeFailed_{false};
    std::uint64_t cutBytes_ = 0;
    bool started_ = false;
    bool finished_ = false;
};

}  // namespace kestrel
