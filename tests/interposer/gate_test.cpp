// The call gate on a capturer whose recording is observed instead of written.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "capture/BaseCapturer.h"
#include "interposer/ThreadDepthTable.h"

using kestrel::BaseCapturer;
using kestrel::ThreadDepthBlock;
using kestrel::ThreadDepthTable;

namespace {

class GateProbe : public BaseCapturer {
public:
    std::atomic<int> binds{0};
    std::atomic<int> outermostEnters{0};
    std::atomic<int> outermostLeaves{0};
    DWORD bindDelayMs = 0;

    std::uint32_t BindRealLibrary() override {
        Sleep(bindDelayMs);
        ++binds;
        return 1;
    }
    std::uint32_t OnShutdown() override { return 1; }
    std::uint32_t BeginRecord(std::uint32_t, std::uint32_t) override { return 0; }
    std::uint32_t WriteData(std::uint32_t, const void*) override { return 0; }
    void OnOutermostEnter() override { ++outermostEnters; }
    void OnOutermostLeave() override { ++outermostLeaves; }

    // As after a successful start-up, on the block the test created for this process.
    void StartRunning() {
        startedOnce_ = 1;
        running_ = 1;
        threadDepths_.Open(GetCurrentProcessId());
    }
};

// The controlling process's duty, done by the test: the block exists before the first call.
class DepthBlockFixture : public ::testing::Test {
protected:
    void SetUp() override {
        block_ = ThreadDepthTable::CreateBlock(GetCurrentProcessId());
        ASSERT_NE(block_, nullptr);
    }
    void TearDown() override { CloseHandle(block_); }
    HANDLE block_ = nullptr;
};

}  // namespace

using Gate = DepthBlockFixture;

TEST_F(Gate, OnlyTheOutermostCallOfAThreadIsRecorded) {
    GateProbe gate;
    gate.StartRunning();
    gate.EnterCall();
    EXPECT_TRUE(gate.ShouldRecord());
    gate.EnterCall();  // a call made by the real library or a recorder meanwhile
    EXPECT_FALSE(gate.ShouldRecord());
    EXPECT_TRUE(gate.ShouldRecordOrLeave()) << "a nested call leaves the gate itself";
    EXPECT_EQ(gate.outermostEnters, 1);
    EXPECT_EQ(gate.outermostLeaves, 0);
    EXPECT_TRUE(gate.ShouldRecord());
    EXPECT_EQ(gate.callsInFrame(), 2u);
    gate.LeaveCall();
    EXPECT_EQ(gate.outermostLeaves, 1);
    EXPECT_EQ(gate.threadDepths().depth(GetCurrentThreadId()), 0);
}

TEST_F(Gate, DepthRaisedByAnotherModuleSharingTheBlockIsHonoured) {
    GateProbe gate;
    gate.StartRunning();
    ThreadDepthTable otherModule;
    ASSERT_TRUE(otherModule.Open(GetCurrentProcessId()));
    EXPECT_EQ(otherModule.enter(GetCurrentThreadId()), 1);
    gate.EnterCall();
    EXPECT_FALSE(gate.ShouldRecord());
    EXPECT_EQ(gate.outermostEnters, 0);
    gate.LeaveCall();
    EXPECT_EQ(gate.outermostLeaves, 0);
    EXPECT_EQ(otherModule.leave(GetCurrentThreadId()), 0);
}

TEST_F(Gate, NothingIsTrackedWhileNoCaptureRuns) {
    GateProbe gate;  // start-up finds no controlling process
    gate.EnterCall();
    EXPECT_EQ(gate.binds, 1) << "binding runs even when the capture cannot be set up";
    EXPECT_FALSE(gate.running());
    EXPECT_FALSE(gate.ShouldRecord());
    EXPECT_EQ(gate.hookMode(), 1u);
    gate.LeaveCall();
    EXPECT_EQ(gate.outermostEnters, 0);
    ThreadDepthTable view;
    ASSERT_TRUE(view.Open(GetCurrentProcessId()));
    EXPECT_EQ(view.depth(GetCurrentThreadId()), 0) << "the gate must not touch the table without a capture";
}

TEST(GateStartUp, RunsExactlyOnceWhileEveryOtherThreadWaits) {
    GateProbe gate;
    gate.bindDelayMs = 100;
    constexpr int kThreads = 8;
    std::atomic<int> ready{0};
    std::vector<int> bindsSeen(kThreads, -1);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            ++ready;
            while (ready < kThreads) {}
            gate.EnterCall();
            bindsSeen[i] = gate.binds;
            gate.LeaveCall();
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(gate.binds, 1);
    for (int seen : bindsSeen) EXPECT_EQ(seen, 1) << "a thread passed the gate before start-up had finished";
}

// The block holds 127 threads; later threads must never write past its 1,025 bytes and still have
// their nesting told apart.
TEST(ThreadDepthTableBound, ThreadsPastTheBlocksEntriesKeepDepthsOfTheirOwn) {
    // A larger mapping than the real one, so that a write past the block would be seen.
    char name[64];
    std::snprintf(name, sizeof name, kestrel::kThreadDepthBlockFormat, static_cast<int>(GetCurrentProcessId()));
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name);
    ASSERT_NE(mapping, nullptr);
    auto* bytes = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 4096));
    ASSERT_NE(bytes, nullptr);
    std::memset(bytes + 1024, 0xAB, 4096 - 1024);

    ThreadDepthTable table;
    ASSERT_TRUE(table.Open(GetCurrentProcessId()));
    constexpr int kThreads = 140;
    std::atomic<int> wrong{0};
    std::atomic<int> done{0};
    std::vector<std::thread> threads;
    // All threads live at once, so that no thread id is reused.
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            const DWORD id = GetCurrentThreadId();
            if (table.enter(id) != 1 || table.enter(id) != 2 || table.depth(id) != 2) ++wrong;
            if (table.leave(id) != 1 || table.leave(id) != 0) ++wrong;
            ++done;
            while (done < kThreads) Sleep(1);
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong, 0);
    for (int i = 1024; i < 4096; ++i) ASSERT_EQ(bytes[i], 0xAB) << "byte " << i << " written past the block";
    auto* block = reinterpret_cast<ThreadDepthBlock*>(bytes);
    for (const auto& entry : block->entries) EXPECT_NE(entry.threadId, 0u);
    EXPECT_EQ(table.OverflowThreads(), static_cast<std::size_t>(kThreads - ThreadDepthBlock::kEntries));
    table.Close();
    UnmapViewOfFile(bytes);
    CloseHandle(mapping);
}
