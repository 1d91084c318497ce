#include "channel/ChannelServerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "tests/channel/UniqueName.h"

using namespace kestrel;

namespace {

// Replies with the message itself and remembers the serving thread.
class EchoHandler : public ChannelHandler {
public:
    void OnMessage(MessageChannel& channel, const std::uint8_t* message, std::uint32_t size, std::uint32_t tag) override {
        threadId = GetCurrentThreadId();
        lastTag = tag;
        channel.send(message, size, tag);
    }
    std::atomic<DWORD> threadId{0};
    std::atomic<std::uint32_t> lastTag{0};
};

// Never comes back from a message until released: a thread that cannot end by itself.
class StuckHandler : public ChannelHandler {
public:
    StuckHandler() : entered(CreateEventA(nullptr, TRUE, FALSE, nullptr)), release(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~StuckHandler() override {
        CloseHandle(entered);
        CloseHandle(release);
    }
    void OnMessage(MessageChannel&, const std::uint8_t*, std::uint32_t, std::uint32_t) override {
        threadId = GetCurrentThreadId();
        SetEvent(entered);
        WaitForSingleObject(release, INFINITE);
    }
    HANDLE entered;
    HANDLE release;
    std::atomic<DWORD> threadId{0};
};

HANDLE OpenServingThread(DWORD id) { return OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, id); }

TEST(ChannelServerThread, ServesRequestsOnItsOwnThreadWithTheirTags) {
    const std::string name = UniqueName("serve");
    EchoHandler handler;
    ChannelServerThread server;
    ASSERT_EQ(server.start(handler, name.c_str()), 0u);
    EXPECT_TRUE(server.running());
    ASSERT_NE(server.channel(), nullptr);
    EXPECT_EQ(server.channel()->role(), MessageChannel::kServer);

    MessageChannel client;
    ASSERT_EQ(client.open(MessageChannel::kClient, name.c_str()), kChannelOk);
    for (std::uint32_t i = 1; i <= 3; ++i) {
        std::uint8_t reply[MessageChannel::kMaxPayload] = {};
        std::uint32_t size = 0;
        const std::uint32_t request = 1000 + i;
        ASSERT_EQ(client.exchange(&request, sizeof request, i, reply, &size), kChannelOk);
        EXPECT_EQ(size, sizeof request);
        EXPECT_EQ(*reinterpret_cast<std::uint32_t*>(reply), request);
        EXPECT_EQ(handler.lastTag, i);
    }
    EXPECT_NE(handler.threadId, GetCurrentThreadId());
    EXPECT_EQ(server.stop(), 0u);
}

TEST(ChannelServerThread, StartFailsWithOneWhileAChannelExistsOrCannotBeOpened) {
    EchoHandler handler;
    ChannelServerThread server;
    const std::string name = UniqueName("twice");
    ASSERT_EQ(server.start(handler, name.c_str()), 0u);
    EXPECT_EQ(server.start(handler, UniqueName("other").c_str()), ChannelServerThread::kStartFailed);
    server.stop();
    EXPECT_EQ(server.channel(), nullptr);
    EXPECT_EQ(server.start(handler, name.c_str()), 0u) << "a stopped server may start again";
    server.stop();

    const std::string taken = UniqueName("taken");
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, taken.c_str());
    EXPECT_EQ(server.start(handler, taken.c_str()), ChannelServerThread::kStartFailed);
    EXPECT_FALSE(server.running());
    EXPECT_EQ(server.channel(), nullptr);
    CloseHandle(event);
}

TEST(ChannelServerThread, StopAbortsTheWaitingThreadWhichEndsByItself) {
    const std::string name = UniqueName("stop");
    EchoHandler handler;
    ChannelServerThread server;
    ASSERT_EQ(server.start(handler, name.c_str()), 0u);
    MessageChannel client;
    ASSERT_EQ(client.open(MessageChannel::kClient, name.c_str()), kChannelOk);
    std::uint8_t reply[MessageChannel::kMaxPayload];
    std::uint32_t size = 0;
    const std::uint8_t request = 1;
    ASSERT_EQ(client.exchange(&request, 1, 1, reply, &size), kChannelOk);
    HANDLE thread = OpenServingThread(handler.threadId);
    ASSERT_NE(thread, nullptr);

    EXPECT_EQ(server.stop(), 0u);
    EXPECT_FALSE(server.running());
    EXPECT_EQ(server.channel(), nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(thread);
}

TEST(ChannelServerThread, AThreadThatDoesNotEndWithinThreeSecondsIsTerminated) {
    const std::string name = UniqueName("stuck");
    StuckHandler handler;
    ChannelServerThread server;
    ASSERT_EQ(server.start(handler, name.c_str()), 0u);
    MessageChannel client;
    ASSERT_EQ(client.open(MessageChannel::kClient, name.c_str()), kChannelOk);
    const std::uint8_t request = 1;
    ASSERT_EQ(client.send(&request, 1, 1), kChannelOk);
    ASSERT_EQ(WaitForSingleObject(handler.entered, 30000), WAIT_OBJECT_0);
    HANDLE thread = OpenServingThread(handler.threadId);
    ASSERT_NE(thread, nullptr);

    const DWORD before = GetTickCount();
    EXPECT_EQ(server.stop(), ChannelServerThread::kTerminatedExitCode);
    // Only a lower bound, and a loose one: stop must have given the thread its time first.
    EXPECT_GE(GetTickCount() - before, 2000u);
    EXPECT_EQ(server.channel(), nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 259u);
    CloseHandle(thread);
}

TEST(ChannelServerThread, StopOfANeverStartedServerIsHarmless) {
    ChannelServerThread server;
    EXPECT_EQ(server.stop(), 0u);
    EXPECT_FALSE(server.running());
}

}  // namespace
