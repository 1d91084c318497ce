// The stream writer on a ring created by the test in the controlling process's place.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "environment/ApiTypeName.h"
#include "environment/SystemDescription.h"
#include "stream/CaptureStream.h"
#include "stream/RecordHeader.h"
#include "stream/RingBuffer.h"
#include "tests/stream/support/ReaderThread.h"
#include "tests/stream/support/RingHeaderView.h"
#include "tests/stream/support/UniqueName.h"

namespace kestrel {
namespace {

using testing::ReaderThread;
using testing::RingHeaderView;
using testing::UniqueName;

constexpr uint32_t kCapacity = 64 * 1024;

struct ParsedRecord {
    RecordHeader header;
    std::vector<uint8_t> payload;
};

// Steps through the ring's unread bytes by the payload sizes alone, as a reader of the stream does.
std::vector<ParsedRecord> ParseUnread(RingBuffer& ring) {
    std::vector<ParsedRecord> records;
    const uint8_t* p = ring.GetReadPointer();
    const uint8_t* end = ring.GetReadEnd();
    while (end - p >= static_cast<ptrdiff_t>(sizeof(RecordHeader))) {
        ParsedRecord r;
        std::memcpy(&r.header, p, sizeof(r.header));
        p += sizeof(r.header);
        if (end - p < static_cast<ptrdiff_t>(r.header.payloadSize)) break;
        r.payload.assign(p, p + r.header.payloadSize);
        p += r.header.payloadSize;
        records.push_back(r);
    }
    EXPECT_EQ(end, p) << "the unread bytes do not end on a record boundary";
    return records;
}

int64_t Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

class CaptureStreamTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0u, ring.Open(1, kCapacity, name.c_str())); }
    std::string name = UniqueName("stream");
    RingBuffer ring;  // the controlling process's side
};

TEST_F(CaptureStreamTest, InitLeavesExactlyTheFourOpeningRecordsInTheRing) {
    int64_t before = Now();
    CaptureStream stream;
    EXPECT_EQ(0u, stream.Init(name.c_str(), kApiTypeOpenGL, kCapacity));
    int64_t after = Now();
    ASSERT_EQ(344u, ring.GetUsedSize());

    std::vector<ParsedRecord> records = ParseUnread(ring);
    ASSERT_EQ(4u, records.size());
    struct Expected {
        uint32_t id;
        std::vector<uint8_t> payload;  // little-endian, as the controlling process reads it
    };
    const Expected expected[] = {
        {200, {0x02, 0x00, 0x01, 0x00}},
        {110, {0x00, 0x01, 0x06, 0x01, 0, 0, 0, 0}},
        {201, {0x02, 0, 0, 0, static_cast<uint8_t>(sizeof(void*) * 8), 0, 0, 0}},  // the process's pointer width
    };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(expected[i].id, records[i].header.id);
        EXPECT_EQ(expected[i].payload, records[i].payload) << "record " << expected[i].id;
    }
    EXPECT_EQ(204u, records[3].header.id);
    ASSERT_EQ(260u, records[3].payload.size());
    char description[kSystemDescriptionSize];
    SystemDescription(description);
    const char* text = reinterpret_cast<const char*>(records[3].payload.data());
    ASSERT_LT(strnlen(text, 260), 260u);
    EXPECT_STREQ(description, text);

    int64_t previous = before;
    for (const ParsedRecord& r : records) {
        EXPECT_LE(previous, r.header.timeStamp);
        previous = r.header.timeStamp;
    }
    EXPECT_LE(previous, after);
    EXPECT_EQ(0u, ring.IsLocked());
}

TEST_F(CaptureStreamTest, PayloadBlocksFollowTheirHeaderAndEmptyWritesAddNothing) {
    CaptureStream stream;
    stream.Init(name.c_str(), kApiTypeOpenGL, kCapacity);
    ring.Consume(ring.GetUsedSize());
    const uint8_t first[4] = {1, 2, 3, 4};
    const uint8_t second[6] = {5, 6, 7, 8, 9, 10};
    stream.AcquireLock();
    EXPECT_EQ(0u, stream.WriteRecordHeader(kFirstApiId + 1, 10));
    EXPECT_EQ(0u, stream.WriteBytes(4, first));
    EXPECT_EQ(0u, stream.WriteBytes(0, second));
    EXPECT_EQ(0u, stream.WriteBytes(6, nullptr));
    EXPECT_EQ(0u, stream.WriteBytes(6, second));
    EXPECT_EQ(0u, stream.WriteRecordHeader(kFirstApiId + 2, 0));
    stream.ReleaseLock();

    ASSERT_EQ(16u + 10 + 16, ring.GetUsedSize());
    std::vector<ParsedRecord> records = ParseUnread(ring);
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(kFirstApiId + 1, records[0].header.id);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), records[0].payload);
    EXPECT_EQ(kFirstApiId + 2, records[1].header.id);
    EXPECT_TRUE(records[1].payload.empty());
}

// Two processes that write into one ring each have a stream (and a clock) of their own: their time
// stamps still follow stream order where they take turns at the ring. The turns are taken by one
// thread here, so that there are many of them however busy the machine is.
TEST(CaptureStreamSharedRing, TimeStampsOfTwoWritersFollowStreamOrder) {
    constexpr uint32_t kRingBytes = 16u << 20;
    constexpr uint32_t kRecords = 600000;  // headers only: 9.6 MB, no reader needed
    std::string name = UniqueName("shared");
    RingBuffer ring;
    ASSERT_EQ(0u, ring.Open(1, kRingBytes, name.c_str()));
    CaptureStream streams[2];
    for (CaptureStream& stream : streams) stream.Init(name.c_str(), kApiTypeOpenGL, kRingBytes);
    uint32_t writer = 0;
    for (uint32_t i = 0; i < kRecords; ++i) {
        if (i % 7 == 0 || i % 11 == 0) writer ^= 1;  // runs of one to seven records each
        streams[writer].AcquireLock();
        streams[writer].WriteRecordHeader(kFirstApiId + 1 + writer, 0);
        streams[writer].ReleaseLock();
    }

    std::vector<ParsedRecord> records = ParseUnread(ring);
    ASSERT_EQ(2 * 4 + kRecords, records.size());
    uint32_t outOfOrder = 0;
    for (size_t i = 1; i < records.size(); ++i) {
        if (records[i].header.timeStamp < records[i - 1].header.timeStamp) ++outOfOrder;
    }
    EXPECT_EQ(0u, outOfOrder);
}

TEST(CaptureStreamWithoutRing, InitSucceedsAndEveryWriteComesBackShort) {
    CaptureStream stream;
    const uint8_t bytes[4] = {};
    EXPECT_EQ(CaptureStream::kShortWrite, stream.WriteRecordHeader(kFirstApiId, 4));  // before Init
    stream.AcquireLock();
    stream.ReleaseLock();

    std::string name = UniqueName("nobody");
    EXPECT_EQ(0u, stream.Init(name.c_str(), kApiTypeOpenGL, kCapacity));
    stream.AcquireLock();
    EXPECT_EQ(CaptureStream::kShortWrite, stream.WriteRecordHeader(kFirstApiId, 4));
    EXPECT_EQ(CaptureStream::kShortWrite, stream.WriteBytes(4, bytes));
    EXPECT_EQ(0u, stream.WriteBytes(0, bytes));
    stream.ReleaseLock();
}

TEST_F(CaptureStreamTest, ShutdownReleaseFreesTheLocksOfAThreadThatEnded) {
    CaptureStream stream;
    stream.Init(name.c_str(), kApiTypeOpenGL, kCapacity);
    RingHeaderView header(name.c_str());
    std::thread([&] { stream.AcquireLock(); }).join();
    ASSERT_EQ(kRingLocked, header.LockWord());

    stream.ReleaseLocksForShutdown();
    EXPECT_EQ(0u, header.LockWord());
    // The stream lock is free too: another thread gets both at once.
    HANDLE acquired = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread other([&] {
        stream.AcquireLock();
        SetEvent(acquired);
    });
    bool gotIt = WaitForSingleObject(acquired, 10000) == WAIT_OBJECT_0;
    EXPECT_TRUE(gotIt) << "the stream lock stayed held";
    if (!gotIt) stream.ReleaseLocksForShutdown();
    other.join();
    EXPECT_EQ(kRingLocked, header.LockWord());
    stream.ReleaseLock();
    EXPECT_EQ(0u, header.LockWord());
    CloseHandle(acquired);
}

// A writer that waits for room gives lockWord up to the reader, but the stream stays its own: another
// thread that takes lockWord meanwhile must not write in the middle of its record.
TEST_F(CaptureStreamTest, AWriterWaitingForRoomKeepsTheOtherThreadsOut) {
    CaptureStream stream;
    stream.Init(name.c_str(), kApiTypeOpenGL, kCapacity);
    RingHeaderView header(name.c_str());
    ring.Consume(ring.GetUsedSize());
    std::vector<uint8_t> big(kCapacity / 2, 0xAB);
    stream.AcquireLock();
    ASSERT_EQ(0u, stream.WriteRecordHeader(kFirstApiId + 1, static_cast<uint32_t>(big.size())));
    ASSERT_EQ(0u, stream.WriteBytes(static_cast<uint32_t>(big.size()), big.data()));
    stream.ReleaseLock();

    std::atomic<int> inside{0}, overlaps{0};
    auto writer = [&](uint32_t id) {
        stream.AcquireLock();
        if (inside.fetch_add(1) != 0) ++overlaps;
        uint8_t record[CaptureStream::kHeaderRoom + 4] = {};
        stream.WriteRecord(kFirstApiId + id, 4 + static_cast<uint32_t>(big.size()), record, 4);
        stream.WriteBytes(static_cast<uint32_t>(big.size()), big.data());  // waits for room
        inside.fetch_sub(1);
        stream.ReleaseLock();
    };
    std::thread first(writer, 2);
    const uint32_t firstHead = sizeof(RecordHeader) + 4;
    // The first has written its head and waits for room, without lockWord.
    while (ring.GetUsedSize() != sizeof(RecordHeader) + big.size() + firstHead || header.LockWord() != 0) Sleep(1);
    std::thread second(writer, 3);
    Sleep(200);  // second takes lockWord again and again, and must find the stream owned
    std::vector<uint8_t> stream_bytes;
    const size_t expected = 3 * (sizeof(RecordHeader) + big.size()) + 2 * 4;
    for (int round = 0; stream_bytes.size() < expected && round < 2000; ++round) {
        ring.Lock();
        stream_bytes.insert(stream_bytes.end(), ring.GetReadPointer(), ring.GetReadEnd());
        ring.Consume(ring.GetUsedSize());
        ring.Unlock();
        Sleep(5);
    }
    first.join();
    second.join();
    EXPECT_EQ(0, overlaps.load());
    ASSERT_EQ(expected, stream_bytes.size());
    // Records one after another: the big one, then the first's and the second's whole.
    std::vector<uint32_t> ids;
    for (size_t at = 0; at + sizeof(RecordHeader) <= stream_bytes.size();) {
        RecordHeader h;
        std::memcpy(&h, stream_bytes.data() + at, sizeof h);
        ids.push_back(h.id);
        at += sizeof h + h.payloadSize;
    }
    EXPECT_EQ((std::vector<uint32_t>{kFirstApiId + 1, kFirstApiId + 2, kFirstApiId + 3}), ids);
}

// A reader that died while it held lockWord never frees it: the writers must go on, one at a time,
// with every write short, instead of spinning forever.
TEST(CaptureStreamOrphaned, AReaderThatDiedHoldingTheLockWordNeitherHangsNorUnleashesTheWriters) {
    std::string name = UniqueName("deadreader");
    RingBuffer reader;
    ReaderThread readerThread(reader, kCapacity, name.c_str());
    ASSERT_EQ(0u, readerThread.OpenResult());
    readerThread.End();
    CaptureStream stream;
    stream.Init(name.c_str(), kApiTypeOpenGL, kCapacity);
    RingHeaderView header(name.c_str());
    header.SetLockWord(kRingLocked);

    std::atomic<int> inside{0}, overlaps{0}, written{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < 3; ++t) {
        writers.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                stream.AcquireLock();
                if (inside.fetch_add(1) != 0) ++overlaps;
                uint8_t record[CaptureStream::kHeaderRoom + 8] = {};
                if (stream.WriteRecord(kFirstApiId, 8, record, 8) == 0) ++written;
                inside.fetch_sub(1);
                stream.ReleaseLock();
            }
        });
    }
    for (std::thread& w : writers) w.join();
    EXPECT_EQ(0, overlaps.load());
    EXPECT_EQ(0, written.load()) << "nobody drains the ring any more";
    EXPECT_EQ(kRingLocked, header.LockWord()) << "the dead reader's hold is left as it was";
}

// The reader ends while one writer waits for room and others wait for the stream: the waiting writer
// takes lockWord back by force, so lockWord alone can no longer keep the threads apart. They must
// still come one at a time, and none may hang.
TEST(CaptureStreamOrphaned, AReaderThatEndsWhileAWriterWaitsForRoomLeavesTheWritersOneAtATime) {
    std::string name = UniqueName("endingreader");
    RingBuffer reader;
    ReaderThread readerThread(reader, kCapacity, name.c_str());
    ASSERT_EQ(0u, readerThread.OpenResult());
    CaptureStream stream;
    stream.Init(name.c_str(), kApiTypeOpenGL, kCapacity);
    RingHeaderView header(name.c_str());

    std::atomic<int> inside{0}, overlaps{0};
    auto enter = [&] {
        stream.AcquireLock();
        if (inside.fetch_add(1) != 0) ++overlaps;
    };
    auto leave = [&] {
        inside.fetch_sub(1);
        stream.ReleaseLock();
    };
    std::vector<uint8_t> big(kCapacity, 0x11);
    std::thread waiter([&] {
        enter();
        stream.WriteRecordHeader(kFirstApiId, static_cast<uint32_t>(big.size()));
        stream.WriteBytes(kCapacity / 2, big.data());
        stream.WriteBytes(kCapacity / 2, big.data());  // no room: waits for a reader that never drains
        leave();
    });
    while (reader.GetUsedSize() < kCapacity / 2 || header.LockWord() != 0) Sleep(1);
    std::vector<std::thread> others;
    for (int t = 0; t < 3; ++t) {
        others.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                enter();
                uint8_t record[CaptureStream::kHeaderRoom + 8] = {};
                stream.WriteRecord(kFirstApiId + 1, 8, record, 8);
                leave();
            }
        });
    }
    Sleep(100);
    readerThread.End();
    waiter.join();
    for (std::thread& t : others) t.join();
    EXPECT_EQ(0, overlaps.load());
}

}  // namespace
}  // namespace kestrel
