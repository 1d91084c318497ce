#pragma once
#include <windows.h>

#include <cstdint>
#include <thread>

#include "stream/RingBuffer.h"

namespace kestrel::testing {

// The controlling process's side of a ring, created on a thread of its own. The reader's mutex
// belongs to the thread that creates the ring: a writer on that same thread would find the mutex its
// own and take the reader for gone. Here the reader stays until End, when the thread ends and
// abandons the mutex, as a controlling process that dies does.
class ReaderThread {
public:
    ReaderThread(RingBuffer& ring, uint32_t capacity, const char* name)
        : opened_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), end_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = std::thread([this, &ring, capacity, name] {
            openResult_ = ring.Open(1, capacity, name);
            SetEvent(opened_);
            WaitForSingleObject(end_, INFINITE);
        });
        WaitForSingleObject(opened_, INFINITE);
    }
    ~ReaderThread() {
        End();
        CloseHandle(opened_);
        CloseHandle(end_);
    }
    ReaderThread(const ReaderThread&) = delete;
    ReaderThread& operator=(const ReaderThread&) = delete;

    // The ring's Open result.
    uint32_t OpenResult() const { return openResult_; }
    void End() {
        if (!thread_.joinable()) return;
        SetEvent(end_);
        thread_.join();
    }

private:
    HANDLE opened_;
    HANDLE end_;
    uint32_t openResult_ = 1;
    std::thread thread_;
};

}  // namespace kestrel::testing
