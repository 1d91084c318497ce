#include "controller/capture/ProcessCaptureFile.h"

#include <io.h>

#include <algorithm>

namespace kestrel {

ProcessCaptureFile::~ProcessCaptureFile() { Finish(); }

bool ProcessCaptureFile::Open(const std::string& path, std::string& error) {
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error = "cannot write the capture file " + path;
        return false;
    }
    Unbuffered(file_);
    return true;
}

void ProcessCaptureFile::Unbuffered(std::FILE* file) {
    // Each drained piece goes to the file at once: if kestrel itself is killed, the file holds
    // everything drained until then. The pieces are large when much is captured.
    std::setvbuf(file, nullptr, _IONBF, 0);
}

void ProcessCaptureFile::Adopt(std::FILE* file, const std::string& path) {
    file_ = file;
    path_ = path;
}

void ProcessCaptureFile::Start(ProcessSession& session) {
    if (started_) return;
    session_ = &session;
    started_ = true;
    if (!session.ringReady) return;
    if (!file_) zstd_.reset();
    if (zstd_) zstd_->Begin(file_);
    RingBuffer& ring = session.ring;
    // Compression happens here, on the drainer's thread, never on the application's.
    drainer_.Start(ring, [this](const std::uint8_t* data, std::uint32_t size) {
        const std::uint32_t kept = counter_.Feed(data, size);
        if (!file_ || kept == 0) return;
        if (zstd_)
            zstd_->Write(data, kept, counter_.wholeBytes());
        else if (std::fwrite(data, 1, kept, file_) != kept)
            writeFailed_ = true;
    }, 5, session.process, [this, &ring](std::uint32_t handed) {
        if (!zstd_) return;
        // What piled up while the last round was written, or since: a writer held at a full ring
        // refills it only after the round, so the round's own size tells best how far behind it is.
        const std::uint32_t capacity = ring.GetCapacity();
        const std::uint32_t backlog = std::max(handed, ring.GetUsedSize());
        zstd_->EndOfDrain(capacity ? static_cast<double>(backlog) / capacity : 0.0, GetTickCount());
    });
}

bool ProcessCaptureFile::Finish() {
    if (finished_) return !writeFailed_;
    drainer_.Stop();
    finished_ = true;
    // A process that died inside a record left its start in the ring: the file ends at the last
    // whole record instead.
    cutBytes_ = counter_.bytes() - counter_.wholeBytes();
    if (file_ && zstd_) {
        if (!zstd_->Finish()) writeFailed_ = true;
    } else if (file_ && cutBytes_ > 0) {
        std::fflush(file_);
        if (_chsize_s(_fileno(file_), static_cast<long long>(counter_.wholeBytes())) != 0) writeFailed_ = true;
    }
    if (file_ && std::fclose(file_) != 0) writeFailed_ = true;
    file_ = nullptr;
    return !writeFailed_;
}

std::string ProcessCaptureFile::ChildPath(const std::string& firstPath, std::uint32_t processId) {
    const std::size_t slash = firstPath.find_last_of("\\/");
    const std::size_t dot = firstPath.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExtension ? firstPath.substr(0, dot) : firstPath;
    return stem + "-" + std::to_string(processId) + (hasExtension ? firstPath.substr(dot) : std::string());
}

}  // namespace kestrel
