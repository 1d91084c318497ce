// Several writer threads in one process push more than 1 GiB of records of mixed sizes through a
// 1 MiB ring; the test process drains it and checks every byte of every record.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "stream/CaptureStream.h"
#include "stream/RecordHeader.h"
#include "stream/RingBuffer.h"
#include "stream/RingReader.h"
#include "tests/stream/StressPlan.h"
#include "tests/stream/support/SelfProcess.h"
#include "tests/stream/support/UniqueName.h"
#include "tests/support/ProcessTreeJob.h"

namespace kestrel {
namespace {

using testing::StressPlan;

constexpr uint32_t kThreads = 4;
constexpr uint64_t kTotalBytes = 1ull << 30;

int RunWriterProcess(const char* ringName) {
    StressPlan plan(kThreads, kTotalBytes);
    CaptureStream stream;
    stream.Init(ringName, 2, StressPlan::kRingCapacity);
    std::vector<std::thread> threads;
    std::atomic<uint32_t> failures{0};
    for (uint32_t t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (uint32_t seq = 0; seq < plan.Records(t); ++seq) {
                uint32_t size = plan.PayloadSize(t, seq);
                const uint32_t ids[2] = {t, seq};
                uint8_t head[CaptureStream::kHeaderRoom + sizeof ids];  // header and ids in one ring write
                std::memcpy(head + CaptureStream::kHeaderRoom, ids, sizeof ids);
                stream.AcquireLock();
                uint32_t result = stream.WriteRecord(kFirstApiId + t, size, head, sizeof ids);
                result |= stream.WriteBytes(size - sizeof(ids), plan.Body(t, seq));
                stream.ReleaseLock();
                if (result != 0) ++failures;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    return failures == 0 ? 0 : 3;
}

// Follows the drained bytes record by record, in whatever pieces they arrive.
class StressChecker {
public:
    explicit StressChecker(const StressPlan& plan) : plan_(plan), next_(plan.Threads(), 0) {}

    void Feed(const uint8_t* p, uint32_t n) {
        bytes_ += n;
        while (n > 0 && error_.empty()) {
            uint32_t k;
            if (headerFill_ < sizeof(RecordHeader)) {
                k = std::min<uint32_t>(sizeof(RecordHeader) - headerFill_, n);
                std::memcpy(headerBytes_ + headerFill_, p, k);
                headerFill_ += k;
                if (headerFill_ == sizeof(RecordHeader)) OnHeader();
            } else {
                k = std::min(header_.payloadSize - payloadDone_, n);
                OnPayload(p, k);
                payloadDone_ += k;
                if (payloadDone_ == header_.payloadSize) OnRecordEnd();
            }
            p += k;
            n -= k;
        }
    }

    bool Complete() const {
        for (uint32_t t = 0; t < plan_.Threads(); ++t) {
            if (next_[t] != plan_.Records(t)) return false;
        }
        return headerFill_ == 0;
    }
    const std::string& Error() const { return error_; }
    uint64_t Bytes() const { return bytes_; }

private:
    static constexpr uint32_t kOpeningIds[4] = {200, 110, 201, 204};
    static constexpr uint32_t kOpeningSizes[4] = {4, 8, 8, 260};

    void Fail(const std::string& what) {
        error_ = what + " (record " + std::to_string(records_) + ", stream byte " + std::to_string(bytes_) + ")";
    }

    void OnHeader() {
        std::memcpy(&header_, headerBytes_, sizeof(header_));
        payloadDone_ = 0;
        if (header_.timeStamp < lastStamp_) return Fail("time stamp went back");
        lastStamp_ = header_.timeStamp;
        if (records_ < 4) {
            if (header_.id != kOpeningIds[records_] || header_.payloadSize != kOpeningSizes[records_]) {
                return Fail("opening record " + std::to_string(header_.id));
            }
        } else {
            thread_ = header_.id - kFirstApiId;
            if (header_.id < kFirstApiId || thread_ >= plan_.Threads()) return Fail("unknown id");
            seq_ = next_[thread_];
            if (seq_ >= plan_.Records(thread_)) return Fail("more records than written");
            if (header_.payloadSize != plan_.PayloadSize(thread_, seq_)) return Fail("payload size");
        }
        if (header_.payloadSize == 0) OnRecordEnd();
    }

    void OnPayload(const uint8_t* p, uint32_t k) {
        if (records_ < 4) {
            std::memcpy(opening_ + payloadDone_, p, k);
            return;
        }
        uint32_t at = payloadDone_;
        uint32_t ids[2] = {thread_, seq_};
        for (; at < StressPlan::kIdsSize && k > 0; ++at, ++p, --k) {
            if (*p != reinterpret_cast<const uint8_t*>(ids)[at]) return Fail("thread or sequence number");
        }
        if (k > 0 && std::memcmp(p, plan_.Body(thread_, seq_) + (at - StressPlan::kIdsSize), k) != 0) {
            Fail("payload bytes");
        }
    }

    void OnRecordEnd() {
        if (records_ < 4) {
            uint32_t words[2];
            std::memcpy(words, opening_, sizeof(words));
            bool ok = records_ == 0   ? words[0] == 0x00010002
                      : records_ == 1 ? words[0] == 0x01060100 && words[1] == 0
                      : records_ == 2 ? words[0] == 2 && words[1] == sizeof(void*) * 8
                                      : std::memchr(opening_, 0, 260) != nullptr;
            if (!ok) return Fail("opening record contents");
        } else {
            ++next_[thread_];
        }
        ++records_;
        headerFill_ = 0;
    }

    const StressPlan& plan_;
    std::vector<uint32_t> next_;  // per thread: the sequence number its next record must carry
    std::string error_;
    uint64_t bytes_ = 0;
    uint64_t records_ = 0;
    uint8_t headerBytes_[sizeof(RecordHeader)];
    uint32_t headerFill_ = 0;
    RecordHeader header_{};
    uint32_t payloadDone_ = 0;
    uint32_t thread_ = 0, seq_ = 0;
    int64_t lastStamp_ = 0;
    uint8_t opening_[260];
};

TEST(StreamStress, WriterThreadsInOneProcessAndADrainingReaderInAnotherLoseNothing) {
    StressPlan plan(kThreads, kTotalBytes);
    ASSERT_GE(plan.StreamBytes(), kTotalBytes);
    std::string name = testing::UniqueName("stress");
    RingBuffer ring;
    ASSERT_EQ(0u, ring.Open(1, StressPlan::kRingCapacity, name.c_str()));
    RingReader reader(ring, StressPlan::kRingCapacity / 4, StressPlan::kRingCapacity / 8);
    StressChecker checker(plan);

    auto start = std::chrono::steady_clock::now();
    testing::SelfProcess writer({"--stress-writer", name});
    ASSERT_TRUE(writer.Started());
    auto deadline = start + std::chrono::seconds(180);
    while (checker.Error().empty() && !checker.Complete() && std::chrono::steady_clock::now() < deadline) {
        uint32_t got = reader.DrainOnce([&](const uint8_t* p, uint32_t n) { checker.Feed(p, n); }, 5);
        if (got == 0 && writer.HasExited() && ring.GetUsedSize() == 0) break;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    ASSERT_EQ("", checker.Error());
    EXPECT_TRUE(checker.Complete()) << "records were lost";
    EXPECT_EQ(0, writer.Wait(30000));
    EXPECT_EQ(344 + plan.StreamBytes(), checker.Bytes());
    EXPECT_EQ(0u, ring.GetUsedSize());
    std::printf("%.0f MiB in %.1f s\n", checker.Bytes() / 1048576.0, seconds);
}

}  // namespace
}  // namespace kestrel

int main(int argc, char** argv) {
    EndStartedProcessesWithThisOne();
    if (argc == 3 && std::strcmp(argv[1], "--stress-writer") == 0) return kestrel::RunWriterProcess(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
