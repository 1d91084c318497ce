// The thread id and TLS slots read from the thread environment block agree with the system's own
// functions on every thread, for low slots and for expansion slots.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <vector>

#include "interposer/ThreadEnvironment.h"

namespace kestrel {
namespace {

TEST(ThreadEnvironment, AgreesWithTheSystemOnEveryThreadAndSlot) {
    // Enough slots to pass the 64 that the block holds itself.
    std::vector<DWORD> slots;
    for (int i = 0; i < 80; ++i) {
        DWORD slot = TlsAlloc();
        ASSERT_NE(TLS_OUT_OF_INDEXES, slot);
        slots.push_back(slot);
    }
    ASSERT_GE(slots.back(), kTebTlsSlotCount);

    auto check = [&](int thread) {
        EXPECT_EQ(GetCurrentThreadId(), CurrentThreadId());
        for (size_t i = 0; i < slots.size(); ++i) {
            void* value = reinterpret_cast<void*>(static_cast<uintptr_t>(thread * 1000 + i + 1));
            TlsSetValue(slots[i], value);
            EXPECT_EQ(value, TlsSlotValue(slots[i])) << "slot " << slots[i] << " on thread " << thread;
        }
    };
    check(0);
    std::vector<std::thread> threads;
    for (int t = 1; t <= 3; ++t) threads.emplace_back(check, t);
    for (std::thread& thread : threads) thread.join();
    for (size_t i = 0; i < slots.size(); ++i)  // the other threads' values did not land here
        EXPECT_EQ(reinterpret_cast<void*>(static_cast<uintptr_t>(i + 1)), TlsSlotValue(slots[i]));
    for (DWORD slot : slots) TlsFree(slot);
}

}  // namespace
}  // namespace kestrel
