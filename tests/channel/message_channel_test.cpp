#include "channel/MessageChannel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "tests/channel/SharedView.h"
#include "tests/channel/UniqueName.h"

using namespace kestrel;

namespace {

std::string ClientEventName(const std::string& base, const char* kind, const MessageChannel& client) {
    char name[400];
    std::snprintf(name, sizeof name, "%s_EVENT_CLIENT_%s__PROCID_0X%08X_INSTPTR_0X%08X", base.c_str(), kind,
                  static_cast<unsigned>(GetCurrentProcessId()),
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(&client)));
    return name;
}

bool EventExists(const std::string& name) {
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str());
    if (!event) return false;
    CloseHandle(event);
    return true;
}

void Signal(const std::string& name) {
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr) << name;
    SetEvent(event);
    CloseHandle(event);
}

// A server and a client on a fresh mailbox, and the test's own view of that mailbox.
class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(server.open(MessageChannel::kServer, name.c_str()), kChannelOk);
        ASSERT_EQ(client.open(MessageChannel::kClient, name.c_str()), kChannelOk);
        ASSERT_TRUE(box.open(name));
    }

    std::string name = UniqueName("channel");
    MessageChannel server;
    MessageChannel client;
    SharedView<ChannelMailbox> box;
    std::uint8_t buffer[MessageChannel::kMaxPayload] = {};
    std::uint32_t size = 0;
    std::uint32_t tag = 0;
};

TEST(MessageChannelOpen, ClientNeedsAServerAndARetryWorksOnceThereIsOne) {
    const std::string name = UniqueName("late");
    MessageChannel client;
    EXPECT_EQ(client.open(MessageChannel::kClient, name.c_str()), kChannelNoMapping);
    std::uint8_t byte = 1;
    EXPECT_EQ(client.send(&byte, 1, 0), kChannelNoMapping);

    MessageChannel server;
    ASSERT_EQ(server.open(MessageChannel::kServer, name.c_str()), kChannelOk);
    ASSERT_EQ(client.open(MessageChannel::kClient, name.c_str()), kChannelOk);
    ASSERT_EQ(client.send(&byte, 1, 9), kChannelOk);
    std::uint8_t buffer[MessageChannel::kMaxPayload];
    std::uint32_t size = 0, tag = 0;
    ASSERT_EQ(server.receive(buffer, &size, &tag), kChannelOk);
    EXPECT_EQ(tag, 9u);
}

TEST(MessageChannelOpen, FailsWithTwoWhenTheNameBelongsToAnotherKindOfObject) {
    const std::string name = UniqueName("taken");
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr);
    for (std::uint32_t role : {MessageChannel::kServer, MessageChannel::kClient}) {
        MessageChannel channel;
        EXPECT_EQ(channel.open(role, name.c_str()), kChannelNoMapping) << "role " << role;
        EXPECT_FALSE(channel.isOpen());
    }
    CloseHandle(event);
}

TEST(MessageChannelOpen, BaseNameIsCutTo259Characters) {
    const std::string name = "Local\\" + std::string(300, 'n');
    MessageChannel channel;
    channel.open(MessageChannel::kServer, name.c_str());
    EXPECT_EQ(std::string(channel.baseName()), name.substr(0, 259));
}

TEST(MessageChannelKey, HashesEachCharacterAsSigned) {
    const struct {
        const char* text;
        std::uint32_t key;
    } cases[] = {
        {"", 0},
        {"a", 97},
        {"ab", 97u * 65599u + 98u},
        {"\xC3", 0xFFFFFFC3u},  // -61
        {"Z\x80", 90u * 65599u - 128u},
        {"Local\\TRK_CaptureSessionMemory_EVENT_SERVER_RECEIVE", 0xDD4121D7u},  // wraps many times
    };
    for (const auto& c : cases) EXPECT_EQ(MessageChannel::Key(c.text), c.key) << c.text;
}

TEST_F(ChannelTest, EventsBearTheirNames) {
    EXPECT_TRUE(EventExists(name + "_EVENT_SERVER_RECEIVE"));
    EXPECT_TRUE(EventExists(name + "_EVENT_SERVER_ABORT_RECEIVE"));
    EXPECT_EQ(std::string(client.receiveEventName()), ClientEventName(name, "RECEIVE", client));
    EXPECT_TRUE(EventExists(ClientEventName(name, "RECEIVE", client)));
    EXPECT_TRUE(EventExists(ClientEventName(name, "ABORT_RECEIVE", client)));
    EXPECT_EQ(client.key(), MessageChannel::Key(ClientEventName(name, "RECEIVE", client).c_str()));
}

TEST_F(ChannelTest, AbortEventsFoundByNameEndTheReceive) {
    Signal(name + "_EVENT_SERVER_ABORT_RECEIVE");
    EXPECT_EQ(server.receive(buffer, &size, &tag), kChannelAborted);
    Signal(ClientEventName(name, "ABORT_RECEIVE", client));
    EXPECT_EQ(client.receive(buffer, &size, &tag), kChannelAborted);
}

TEST_F(ChannelTest, ExchangeRunsTheMailboxThroughItsStates) {
    const char request[] = "request";
    ASSERT_EQ(client.send(request, sizeof request, 77), kChannelOk);
    EXPECT_EQ(box->state, 1);
    EXPECT_EQ(box->lock, 1u);  // held until the reply has been read
    EXPECT_EQ(box->tag, 77u);
    EXPECT_EQ(box->payloadSize, sizeof request);
    EXPECT_STREQ(box->replyEventName, client.receiveEventName());
    EXPECT_EQ(box->clientKey, client.key());

    ASSERT_EQ(server.receive(buffer, &size, &tag), kChannelOk);
    EXPECT_EQ(box->state, 3);
    EXPECT_EQ(size, sizeof request);
    EXPECT_EQ(tag, 77u);
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer), request);

    const char reply[] = "the reply";
    ASSERT_EQ(server.send(reply, sizeof reply, tag), kChannelOk);
    EXPECT_EQ(box->state, 2);
    EXPECT_EQ(box->lock, 1u);

    std::uint32_t clientTag = 12345;
    ASSERT_EQ(client.receive(buffer, &size, &clientTag), kChannelOk);
    EXPECT_EQ(box->state, 0);
    EXPECT_EQ(box->lock, 0u);
    EXPECT_EQ(size, sizeof reply);
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer), reply);
    EXPECT_EQ(clientTag, 12345u);  // a client gets no tag
}

TEST_F(ChannelTest, ClientSendIntoABusyMailboxGivesSevenAndLeavesItAlone) {
    for (std::uint8_t state : {1, 2, 3}) {
        box->state = state;
        box->tag = 5;
        box->payload[0] = 0xEE;
        const std::uint8_t request = 1;
        EXPECT_EQ(client.send(&request, 1, 6), kChannelMailboxBusy) << "state " << int(state);
        EXPECT_EQ(box->lock, 0u) << "the lock must be given back";
        EXPECT_EQ(box->state, state);
        EXPECT_EQ(box->tag, 5u);
        EXPECT_EQ(box->payload[0], 0xEE);
    }
}

TEST_F(ChannelTest, ServerRepliesOnlyFromEmptyOrTakenState) {
    const struct {
        std::uint8_t state;
        std::uint32_t result;
    } cases[] = {{0, kChannelOk}, {1, kChannelMailboxBusy}, {2, kChannelMailboxBusy}, {3, kChannelOk}};
    for (const auto& c : cases) {
        box->state = c.state;
        const std::uint8_t reply = 4;
        EXPECT_EQ(server.send(&reply, 1, 0), c.result) << "state " << int(c.state);
        EXPECT_EQ(box->state, c.result == kChannelOk ? 2 : c.state);
    }
}

TEST_F(ChannelTest, PayloadLargerThanTheMailboxIsNotSent) {
    static std::uint8_t big[MessageChannel::kMaxPayload + 1];
    EXPECT_EQ(client.send(big, sizeof big, 1), kChannelMailboxBusy);
    EXPECT_EQ(box->lock, 0u);
    EXPECT_EQ(box->state, 0);
    EXPECT_EQ(server.send(big, sizeof big, 1), kChannelMailboxBusy);
    EXPECT_EQ(box->state, 0);
}

TEST_F(ChannelTest, ReceiveNeverCopiesMoreThanTheMailboxHolds) {
    for (std::uint32_t claimed : {MessageChannel::kMaxPayload + 1, MessageChannel::kMaxPayload + 8, 0x7FFFFFFFu}) {
        const std::uint8_t request = 1;
        ASSERT_EQ(client.send(&request, 1, 1), kChannelOk);
        box->payloadSize = claimed;  // a broken peer
        std::uint8_t guarded[MessageChannel::kMaxPayload + 16];
        std::memset(guarded, 0x5A, sizeof guarded);
        ASSERT_EQ(server.receive(guarded, &size, &tag), kChannelOk);
        EXPECT_EQ(size, MessageChannel::kMaxPayload);
        for (std::size_t i = MessageChannel::kMaxPayload; i < sizeof guarded; ++i) ASSERT_EQ(guarded[i], 0x5A) << claimed;
        ASSERT_EQ(server.send(&request, 1, 1), kChannelOk);
        ASSERT_EQ(client.receive(guarded, &size, nullptr), kChannelOk);
    }
}

TEST_F(ChannelTest, AbortEndsAPendingReceiveWithFive) {
    for (MessageChannel* end : {&server, &client}) {
        std::uint32_t result = 0;
        std::thread waiter([&] { result = end->receive(buffer, &size, &tag); });
        Sleep(50);  // most likely inside the wait by now; either way the abort must end it
        end->abort();
        waiter.join();
        EXPECT_EQ(result, kChannelAborted);
    }
}

TEST_F(ChannelTest, AbortBeforeReceiveEndsOnlyTheNextOne) {
    server.abort();
    EXPECT_EQ(server.receive(buffer, &size, &tag), kChannelAborted);
    const std::uint8_t request = 3;
    ASSERT_EQ(client.send(&request, 1, 8), kChannelOk);
    ASSERT_EQ(server.receive(buffer, &size, &tag), kChannelOk);
    EXPECT_EQ(tag, 8u);
}

TEST_F(ChannelTest, SecondClientWaitsUntilTheFirstHasReadItsReply) {
    MessageChannel second;
    ASSERT_EQ(second.open(MessageChannel::kClient, name.c_str()), kChannelOk);
    ASSERT_NE(second.key(), client.key());

    const std::uint8_t first = 1;
    ASSERT_EQ(client.send(&first, 1, 1), kChannelOk);
    ASSERT_EQ(server.receive(buffer, &size, &tag), kChannelOk);
    ASSERT_EQ(tag, 1u);

    std::atomic<bool> posted{false};
    std::uint32_t secondSend = 99, secondReceive = 99;
    std::uint8_t secondReply[MessageChannel::kMaxPayload] = {};
    std::thread other([&] {
        const std::uint8_t request = 2;
        secondSend = second.send(&request, 1, 2);
        posted = true;
        std::uint32_t replySize = 0;
        secondReceive = second.receive(secondReply, &replySize, nullptr);
    });
    Sleep(200);  // gives a faulty send every chance to post over the first exchange
    EXPECT_FALSE(posted);
    EXPECT_EQ(box->state, 3);
    EXPECT_EQ(box->tag, 1u);

    const std::uint8_t firstReply = 101;
    ASSERT_EQ(server.send(&firstReply, 1, tag), kChannelOk);
    ASSERT_EQ(client.receive(buffer, &size, nullptr), kChannelOk);
    EXPECT_EQ(buffer[0], 101);

    ASSERT_EQ(server.receive(buffer, &size, &tag), kChannelOk);
    EXPECT_EQ(tag, 2u);
    EXPECT_EQ(buffer[0], 2);
    const std::uint8_t secondReplyByte = 102;
    ASSERT_EQ(server.send(&secondReplyByte, 1, tag), kChannelOk);
    other.join();
    EXPECT_EQ(secondSend, kChannelOk);
    EXPECT_EQ(secondReceive, kChannelOk);
    EXPECT_EQ(secondReply[0], 102);
    EXPECT_EQ(box->lock, 0u);
}

TEST_F(ChannelTest, ManyClientsAtOnceEachGetTheirOwnReplies) {
    constexpr int kClients = 4, kExchanges = 200;
    std::atomic<bool> serving{true};
    std::thread echo([&] {
        std::uint8_t message[MessageChannel::kMaxPayload];
        std::uint32_t length = 0, from = 0;
        while (serving && server.receive(message, &length, &from) == kChannelOk) server.send(message, length, from);
    });
    std::atomic<int> mismatches{0}, failures{0};
    std::thread clients[kClients];
    for (int c = 0; c < kClients; ++c) {
        clients[c] = std::thread([&, c] {
            MessageChannel own;
            if (own.open(MessageChannel::kClient, name.c_str()) != kChannelOk) {
                ++failures;
                return;
            }
            for (int i = 0; i < kExchanges; ++i) {
                const std::uint32_t request[2] = {static_cast<std::uint32_t>(c), static_cast<std::uint32_t>(i)};
                std::uint32_t reply[MessageChannel::kMaxPayload / 4] = {};
                std::uint32_t length = 0;
                if (own.exchange(request, sizeof request, c, reply, &length) != kChannelOk) ++failures;
                else if (length != sizeof request || std::memcmp(reply, request, sizeof request) != 0) ++mismatches;
            }
        });
    }
    for (auto& t : clients) t.join();
    serving = false;
    server.abort();
    echo.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(box->lock, 0u);
    EXPECT_EQ(box->state, 0);
}

TEST_F(ChannelTest, CloseLetsTheObjectOpenAgain) {
    client.close();
    EXPECT_FALSE(client.isOpen());
    ASSERT_EQ(client.open(MessageChannel::kClient, name.c_str()), kChannelOk);
    const std::uint8_t request = 7;
    std::uint8_t reply[MessageChannel::kMaxPayload];
    std::thread answer([&] {
        std::uint8_t message[MessageChannel::kMaxPayload];
        std::uint32_t length = 0, from = 0;
        if (server.receive(message, &length, &from) == kChannelOk) server.send(message, length, from);
    });
    std::uint32_t length = 0;
    EXPECT_EQ(client.exchange(&request, 1, 1, reply, &length), kChannelOk);
    answer.join();
    EXPECT_EQ(reply[0], 7);
}

}  // namespace
