// The shared-memory ring: offsets and contents after each kind of write and consume, the lock word,
// an unmapped ring, and a writer that waits for the reader on another thread or in another process.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "stream/CaptureStream.h"
#include "stream/RecordHeader.h"
#include "stream/RingBuffer.h"
#include "stream/RingReader.h"
#include "tests/stream/support/BytePattern.h"
#include "tests/stream/support/RingHeaderView.h"
#include "tests/stream/support/SelfProcess.h"
#include "tests/stream/support/UniqueName.h"
#include "tests/support/ProcessTreeJob.h"

namespace kestrel {
namespace {

using testing::PatternByte;
using testing::PatternBytes;
using testing::RingHeaderView;
using testing::SelfProcess;
using testing::UniqueName;

// ---- Offsets and contents: each case runs its operations on a new 16-byte ring ----

constexpr uint32_t kSmall = 16;

struct Op {
    char kind;  // 'W' write the next n stream bytes, 'C' consume n, 'R' read: the run must be the unread bytes
    uint32_t n;
};

struct RingState {
    uint32_t read, write, wrapped, used, free;
};

struct RingCase {
    const char* name;
    std::vector<Op> ops;
    RingState expected;
};

void PrintTo(const RingCase& c, std::ostream* os) { *os << c.name; }

const RingCase kRingCases[] = {
    {"NewRing", {}, {0, 0, 0, 0, 16}},
    {"WriteInside", {{'W', 5}, {'R', 0}}, {0, 5, 0, 5, 11}},
    {"ExactFillOfEmptyRingAtOffsetZero", {{'W', 16}, {'R', 0}}, {0, 16, 0, 16, 0}},
    {"WriteEndingExactlyAtTheEnd", {{'W', 12}, {'C', 4}, {'W', 4}, {'R', 0}}, {4, 16, 0, 12, 4}},
    {"WriteAfterEndingAtTheEndStartsAtZero", {{'W', 12}, {'C', 4}, {'W', 4}, {'W', 3}}, {4, 3, 1, 15, 1}},
    {"WriteAcrossTheEnd", {{'W', 12}, {'C', 8}, {'W', 10}}, {8, 6, 1, 14, 2}},
    {"UnwrapCopyThenContiguousRead", {{'W', 12}, {'C', 8}, {'W', 10}, {'R', 0}}, {8, 6, 0, 14, 2}},
    {"LargestWriteWithUnreadDataLeavesOneByte", {{'W', 12}, {'C', 8}, {'W', 11}, {'R', 0}}, {8, 7, 0, 15, 1}},
    {"HeadWriteBelowReadOffsetWrapsAgain", {{'W', 12}, {'C', 8}, {'W', 6}, {'R', 0}, {'W', 3}}, {8, 5, 1, 13, 3}},
    {"ConsumeEverything", {{'W', 12}, {'C', 8}, {'W', 10}, {'C', 14}}, {0, 0, 0, 0, 16}},
    {"ConsumeMoreThanUsed", {{'W', 5}, {'C', 9}}, {0, 0, 0, 0, 16}},
    {"ConsumePart", {{'W', 10}, {'C', 3}, {'R', 0}}, {3, 10, 0, 7, 9}},
    {"ConsumeAcrossTheEnd", {{'W', 12}, {'C', 8}, {'W', 10}, {'C', 10}, {'R', 0}}, {2, 6, 0, 4, 12}},
    {"ConsumeExactlyToTheEnd", {{'W', 12}, {'C', 8}, {'W', 10}, {'C', 8}, {'R', 0}}, {0, 6, 0, 6, 10}},
    {"ConsumeAcrossTheEndAfterUnwrap", {{'W', 12}, {'C', 8}, {'W', 10}, {'R', 0}, {'C', 9}, {'R', 0}}, {1, 6, 0, 5, 11}},
};

class RingCases : public ::testing::TestWithParam<RingCase> {};

TEST_P(RingCases, OffsetsAndUnreadBytes) {
    const RingCase& c = GetParam();
    std::string name = UniqueName("ring");
    RingBuffer ring;
    ASSERT_EQ(0u, ring.Open(1, kSmall, name.c_str()));
    RingHeaderView header(name.c_str());
    ASSERT_TRUE(header.Valid());

    std::deque<uint8_t> unread;  // what a reader must still get, in order
    uint64_t written = 0;
    for (const Op& op : c.ops) {
        SCOPED_TRACE(::testing::Message() << op.kind << op.n);
        if (op.kind == 'W') {
            std::vector<uint8_t> bytes = PatternBytes(written, op.n);
            ring.Lock();
            ASSERT_EQ(op.n, ring.Write(bytes.data(), op.n));
            ring.Unlock();
            unread.insert(unread.end(), bytes.begin(), bytes.end());
            written += op.n;
        } else if (op.kind == 'C') {
            ring.Consume(op.n);
            unread.erase(unread.begin(), unread.begin() + std::min<size_t>(op.n, unread.size()));
        } else {
            const uint8_t* begin = ring.GetReadPointer();
            const uint8_t* end = ring.GetReadEnd();
            ASSERT_EQ(unread.size(), static_cast<size_t>(end - begin));
            EXPECT_TRUE(std::equal(unread.begin(), unread.end(), begin));
        }
        ASSERT_EQ(unread.size(), ring.GetUsedSize());
    }
    RingState actual{header->readOffset, header->writeOffset, header->wrapped, ring.GetUsedSize(), ring.GetFreeSize()};
    EXPECT_EQ(c.expected.read, actual.read);
    EXPECT_EQ(c.expected.write, actual.write);
    EXPECT_EQ(c.expected.wrapped, actual.wrapped);
    EXPECT_EQ(c.expected.used, actual.used);
    EXPECT_EQ(c.expected.free, actual.free);
    EXPECT_EQ(kSmall, ring.GetCapacity());
    EXPECT_EQ(0u, header.LockWord());
}

INSTANTIATE_TEST_SUITE_P(Ring, RingCases, ::testing::ValuesIn(kRingCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Used and free sizes for every order of the two offsets ----

struct OffsetCase {
    uint32_t read, write, used, free;
};

TEST(RingSizes, UsedAndFreeInEveryOrderOfTheOffsets) {
    const OffsetCase cases[] = {
        {0, 0, 0, 16},   // equal: empty
        {7, 7, 0, 16},   // equal away from 0: empty
        {3, 10, 7, 9},   // write ahead
        {10, 3, 9, 7},   // write behind: the unread data wraps
        {15, 0, 1, 15},  // write at 0, read at the last byte
        {0, 16, 16, 0},  // write ended exactly at the end of a full ring
        {5, 16, 11, 5},  // write at the end, read inside
    };
    std::string name = UniqueName("sizes");
    RingBuffer ring;
    ASSERT_EQ(0u, ring.Open(1, kSmall, name.c_str()));
    RingHeaderView header(name.c_str());
    for (const OffsetCase& c : cases) {
        header->readOffset = c.read;
        header->writeOffset = c.write;
        EXPECT_EQ(c.used, ring.GetUsedSize()) << "read " << c.read << " write " << c.write;
        EXPECT_EQ(c.free, ring.GetFreeSize()) << "read " << c.read << " write " << c.write;
    }
}

// ---- An unmapped ring ----

// The reader takes wrapped data as the run up to the ring's end and then the head, never through the
// unwrap area: the writer marks the ring wrapped again with every write below readOffset, so reading
// through the unwrap area copied the whole head again on every round, with lockWord held.
TEST(RingReaderRuns, WrappedDataComesInTwoRunsWithoutTheUnwrapCopy) {
    std::string name = UniqueName("runs");
    RingBuffer ring;
    ASSERT_EQ(0u, ring.Open(1, kSmall, name.c_str()));
    RingReader reader(ring);
    std::vector<uint8_t> first = PatternBytes(0, 12), second = PatternBytes(12, 10);
    ring.Lock();
    ASSERT_EQ(12u, ring.Write(first.data(), 12));
    ring.Unlock();
    reader.Release(8);
    ring.Lock();
    ASSERT_EQ(10u, ring.Write(second.data(), 10));  // 8 bytes up to the end, 6 at the start
    ring.Unlock();

    std::vector<std::vector<uint8_t>> runs;
    EXPECT_EQ(14u, reader.DrainOnce([&](const uint8_t* p, uint32_t n) { runs.emplace_back(p, p + n); }, 0));
    ASSERT_EQ(2u, runs.size());
    EXPECT_EQ(PatternBytes(8, 8), runs[0]);
    EXPECT_EQ(PatternBytes(16, 6), runs[1]);
    EXPECT_EQ(0u, ring.GetUsedSize());

    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    ASSERT_NE(nullptr, mapping);
    auto* view = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 28 + 2 * kSmall));
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(std::vector<uint8_t>(kSmall, 0), std::vector<uint8_t>(view + 28 + kSmall, view + 28 + 2 * kSmall))
        << "the unwrap area was written";
    UnmapViewOfFile(view);
    CloseHandle(mapping);
}

// A reader that keeps the ring short hands every unread byte over in stream order and leaves the
// ring empty with both offsets at 0, so that the writer goes on at the ring's start.
struct ShortRingCase {
    const char* name;
    uint32_t capacity;
    uint32_t holdLimit;
    std::vector<Op> ops;  // 'W' and 'C' only
};

void PrintTo(const ShortRingCase& c, std::ostream* os) { *os << c.name; }

const ShortRingCase kShortRingCases[] = {
    {"SmallRestTakenWhole", 64, 1u << 20, {{'W', 40}, {'C', 10}}},
    {"WrappedRestInOrder", 64, 1u << 20, {{'W', 50}, {'C', 40}, {'W', 30}}},
    {"LargeUnreadCopiedOutFirst", 256u << 10, 1u << 20, {{'W', 200u << 10}, {'C', 1000}}},
    {"LargeWrappedUnread", 256u << 10, 1u << 20, {{'W', 200u << 10}, {'C', 150u << 10}, {'W', 150u << 10}}},
    {"MoreThanTheHoldLimitFromTheRing", 256u << 10, 100u << 10, {{'W', 200u << 10}, {'C', 7}}},
};

class RingReaderShort : public ::testing::TestWithParam<ShortRingCase> {};

TEST_P(RingReaderShort, HandsEveryByteInOrderAndEmptiesTheRing) {
    const ShortRingCase& c = GetParam();
    std::string name = UniqueName("short");
    RingBuffer ring;
    ASSERT_EQ(0u, ring.Open(1, c.capacity, name.c_str()));
    RingHeaderView header(name.c_str());
    RingReader reader(ring, 64u << 10);
    reader.KeepRingShort(c.holdLimit);
    uint32_t written = 0, consumed = 0;
    for (const Op& op : c.ops) {
        if (op.kind == 'W') {
            std::vector<uint8_t> bytes = PatternBytes(written, op.n);
            ring.Lock();
            ASSERT_EQ(op.n, ring.Write(bytes.data(), op.n));
            ring.Unlock();
            written += op.n;
        } else {
            reader.Release(op.n);
            consumed += op.n;
        }
    }
    std::vector<uint8_t> received;
    EXPECT_EQ(written - consumed,
              reader.DrainOnce([&](const uint8_t* p, uint32_t n) { received.insert(received.end(), p, p + n); }, 0));
    EXPECT_EQ(PatternBytes(consumed, written - consumed), received);
    EXPECT_EQ(0u, header->readOffset);
    EXPECT_EQ(0u, header->writeOffset);
    EXPECT_EQ(0u, header->wrapped);
    EXPECT_EQ(0u, header.LockWord());
}

INSTANTIATE_TEST_SUITE_P(Ring, RingReaderShort, ::testing::ValuesIn(kShortRingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RingUnmapped, EveryOperationReturnsZeroWithoutWaiting) {
    RingBuffer ring;
    std::string name = UniqueName("absent");
    EXPECT_EQ(RingBuffer::kNoMapping, ring.Open(0, kSmall, name.c_str()));
    EXPECT_FALSE(ring.IsMapped());
    uint8_t bytes[kSmall * 2] = {};
    EXPECT_EQ(0u, ring.Write(bytes, 4));
    EXPECT_EQ(0u, ring.Write(bytes, sizeof(bytes)));  // larger than any ring: must not wait either
    EXPECT_EQ(0u, ring.GetCapacity());
    EXPECT_EQ(0u, ring.GetUsedSize());
    EXPECT_EQ(0u, ring.GetFreeSize());
    EXPECT_EQ(nullptr, ring.GetReadPointer());
    EXPECT_EQ(nullptr, ring.GetReadEnd());
    EXPECT_EQ(0u, ring.IsLocked());
    EXPECT_EQ(1u, ring.Lock());
    ring.Unlock();
    ring.Consume(4);
    ring.Close();
}

TEST(RingUnmapped, OpeningWithAnotherCapacityThanTheCreatorsLeavesItUnmapped) {
    std::string name = UniqueName("capacity");
    RingBuffer creator;
    ASSERT_EQ(0u, creator.Open(1, 4096, name.c_str()));
    RingBuffer smaller;
    EXPECT_NE(0u, smaller.Open(0, 1024, name.c_str()));
    EXPECT_FALSE(smaller.IsMapped());
    uint8_t bytes[8] = {};
    EXPECT_EQ(0u, smaller.Write(bytes, sizeof(bytes)));
    RingBuffer same;
    EXPECT_EQ(0u, same.Open(0, 4096, name.c_str()));
    creator.Close();  // a closed ring has capacity 0: nobody opens it any more
    RingBuffer late;
    EXPECT_NE(0u, late.Open(0, 4096, name.c_str()));
}

// ---- The lock word ----

class RingLock : public ::testing::TestWithParam<uint32_t> {};

TEST_P(RingLock, SpinsOnAHeldWordUntilItBecomesZero) {
    const uint32_t held = GetParam();
    std::string name = UniqueName("lock");
    RingBuffer ring;
    ASSERT_EQ(0u, ring.Open(1, kSmall, name.c_str()));
    RingHeaderView header(name.c_str());
    header.SetLockWord(held);
    if (held != kRingLocked) {
        ring.Unlock();  // frees only the held value, from either side; a foreign value stays
        ASSERT_EQ(held, header.LockWord());
    }

    EXPECT_FALSE(ring.TryLock());
    std::atomic<bool> taken{false};
    std::thread locker([&] {
        ring.Lock();
        taken = true;
    });
    Sleep(50);
    EXPECT_FALSE(taken) << "Lock took a word that held " << std::hex << held;
    EXPECT_EQ(held, header.LockWord());
    header.SetLockWord(0);
    locker.join();
    EXPECT_TRUE(taken);
    EXPECT_EQ(kRingLocked, header.LockWord());
    EXPECT_EQ(1u, ring.IsLocked());
    ring.Unlock();
    EXPECT_EQ(0u, header.LockWord());
    EXPECT_TRUE(ring.TryLock());
    EXPECT_EQ(kRingLocked, header.LockWord());
}

INSTANTIATE_TEST_SUITE_P(Ring, RingLock, ::testing::Values(0x1234u, kRingLocked),
                         [](const auto& info) { return info.param == kRingLocked ? "Own" : "Foreign"; });

// ---- A writer that waits for the reader on another thread or in another process ----

constexpr uint32_t kKiB = 1024;

struct WaitCase {
    const char* name;
    uint32_t capacity;
    uint32_t prefill;     // written and partly consumed by the reader side before the writer starts
    uint32_t preconsume;
    bool viaStream;       // through a CaptureStream: opening records, then one record with writes as payload
    std::vector<uint32_t> writes;
    uint32_t usedWhenWaiting;  // what the ring holds when the writer first asks for room
};

void PrintTo(const WaitCase& c, std::ostream* os) { *os << c.name; }

constexpr uint32_t kOpeningSize = 344;

const WaitCase kWaitCases[] = {
    {"WaitsForRoom", 64 * kKiB, 0, 0, false, {48 * kKiB, 32 * kKiB}, 48 * kKiB},
    // Taking the last free byte would make writeOffset equal readOffset: the ring would read as empty.
    {"ExactFillWithUnreadDataWaits", 64 * kKiB, 40 * kKiB, 8 * kKiB, false, {32 * kKiB}, 32 * kKiB},
    // A piece of exactly the capacity passes once the reader has emptied the ring to offset 0.
    {"CapacitySizedPiecesPassOneByOne", 64 * kKiB, 0, 0, false, {64 * kKiB, 64 * kKiB, 64 * kKiB}, 64 * kKiB},
    {"PayloadLargerThanTheRingPassesInPieces", 64 * kKiB, 0, 0, true, {3 * 64 * kKiB + 32 * kKiB}, kOpeningSize + 16},
};

constexpr uint32_t kPayloadId = kFirstApiId + 7;

// The writer's side of a case; byte k of what it writes is PatternByte(prefill + k).
int RunWriter(const WaitCase& c, const std::string& name) {
    uint64_t position = c.prefill;
    if (c.viaStream) {
        uint32_t total = 0;
        for (uint32_t n : c.writes) total += n;
        CaptureStream stream;
        stream.Init(name.c_str(), 2, c.capacity);
        stream.AcquireLock();
        uint32_t result = stream.WriteRecordHeader(kPayloadId, total);
        for (uint32_t n : c.writes) {
            std::vector<uint8_t> bytes = PatternBytes(position, n);
            result |= stream.WriteBytes(n, bytes.data());
            position += n;
        }
        stream.ReleaseLock();
        return result == 0 ? 0 : 3;
    }
    RingBuffer ring;
    if (ring.Open(0, c.capacity, name.c_str()) != 0) return 2;
    ring.Lock();
    for (uint32_t n : c.writes) {
        std::vector<uint8_t> bytes = PatternBytes(position, n);
        if (ring.Write(bytes.data(), n) != n) return 3;
        position += n;
    }
    ring.Unlock();
    return 0;
}

enum class WriterIn { kThread, kProcess };

class RingWriterWaits : public ::testing::TestWithParam<std::tuple<WaitCase, WriterIn>> {};

TEST_P(RingWriterWaits, ForTheReaderAndLosesNothing) {
    const WaitCase& c = std::get<0>(GetParam());
    size_t caseIndex = 0;
    while (std::strcmp(kWaitCases[caseIndex].name, c.name) != 0) ++caseIndex;
    std::string name = UniqueName("wait");
    RingBuffer ring;
    ASSERT_EQ(0u, ring.Open(1, c.capacity, name.c_str()));
    RingHeaderView header(name.c_str());
    RingReader reader(ring, c.capacity / 4);

    std::vector<uint8_t> prefill = PatternBytes(0, c.prefill);
    ring.Lock();
    ASSERT_EQ(c.prefill, ring.Write(prefill.data(), c.prefill));
    ring.Unlock();
    reader.Release(c.preconsume);
    WaitForSingleObject(ring.DumpedEvent(), 0);  // our own Release's signal is not the writer's business

    std::thread thread;
    std::unique_ptr<SelfProcess> process;
    int threadResult = -1;
    if (std::get<1>(GetParam()) == WriterIn::kThread) {
        thread = std::thread([&] { threadResult = RunWriter(c, name); });
    } else {
        process = std::make_unique<SelfProcess>(std::vector<std::string>{"--writer", std::to_string(caseIndex), name});
        ASSERT_TRUE(process->Started());
    }

    // The writer asks for room, holding neither the lock word nor more than the ring had room for.
    if (!reader.WaitForWriter(20000)) {
        std::fprintf(stderr, "the writer never asked for room\n");
        ExitProcess(1);  // a writer thread stuck in the ring cannot be joined
    }
    EXPECT_EQ(c.usedWhenWaiting, ring.GetUsedSize());
    EXPECT_EQ(0u, header.LockWord());
    SetEvent(ring.FullEvent());  // give the signal back to the drain loop below

    std::vector<uint8_t> received;
    uint64_t expectedSize = c.prefill - c.preconsume + (c.viaStream ? kOpeningSize + 16 : 0);
    for (uint32_t n : c.writes) expectedSize += n;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (received.size() < expectedSize && std::chrono::steady_clock::now() < deadline) {
        reader.DrainOnce([&](const uint8_t* p, uint32_t n) { received.insert(received.end(), p, p + n); }, 10);
    }
    if (received.size() < expectedSize) {
        std::fprintf(stderr, "received %u of %u bytes\n", unsigned(received.size()), unsigned(expectedSize));
        ExitProcess(1);
    }
    if (thread.joinable()) thread.join();
    int result = process ? process->Wait(20000) : threadResult;
    EXPECT_EQ(0, result);
    EXPECT_EQ(0u, ring.GetUsedSize());
    ASSERT_EQ(expectedSize, received.size());

    size_t at = 0;
    if (c.viaStream) {  // opening records, then one header, then the payload
        uint32_t ids[4];
        for (uint32_t& id : ids) {
            RecordHeader h;
            std::memcpy(&h, &received[at], sizeof(h));
            id = h.id;
            at += sizeof(h) + h.payloadSize;
        }
        EXPECT_EQ((std::vector<uint32_t>{200, 110, 201, 204}), std::vector<uint32_t>(ids, ids + 4));
        ASSERT_EQ(kOpeningSize, at);
        RecordHeader h;
        std::memcpy(&h, &received[at], sizeof(h));
        EXPECT_EQ(kPayloadId, h.id);
        EXPECT_EQ(expectedSize - kOpeningSize - 16, h.payloadSize);
        at += sizeof(h);
    }
    for (uint64_t position = c.preconsume; at < received.size(); ++at, ++position) {
        if (received[at] != PatternByte(position)) {
            ADD_FAILURE() << "byte " << at << " of the drained stream is wrong";
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Ring, RingWriterWaits,
                         ::testing::Combine(::testing::ValuesIn(kWaitCases),
                                            ::testing::Values(WriterIn::kThread, WriterIn::kProcess)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == WriterIn::kThread ? "_Thread" : "_Process");
                         });

}  // namespace
}  // namespace kestrel

int main(int argc, char** argv) {
    EndStartedProcessesWithThisOne();
    if (argc == 4 && std::strcmp(argv[1], "--writer") == 0) {
        return kestrel::RunWriter(kestrel::kWaitCases[std::atoi(argv[2])], argv[3]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
