#include "channel/InstanceCommandHandler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "channel/ChannelServerThread.h"
#include "channel/InstanceLinks.h"
#include "channel/LinkInstance.h"
#include "channel/QueryInstance.h"
#include "channel/SetInstanceValue.h"
#include "channel/ToggleInstanceFlag.h"
#include "tests/channel/SharedView.h"
#include "tests/channel/UniqueName.h"

using namespace kestrel;

namespace {

using List = std::vector<kestrel::Address>;

// Lets a test know that the serving thread is done with a message, reply or not.
class HandledSignal : public ChannelHandler {
public:
    explicit HandledSignal(ChannelHandler& inner) : inner_(inner), handled(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~HandledSignal() override { CloseHandle(handled); }
    void OnMessage(MessageChannel& channel, const std::uint8_t* message, std::uint32_t size, std::uint32_t tag) override {
        inner_.OnMessage(channel, message, size, tag);
        SetEvent(handled);
    }

private:
    ChannelHandler& inner_;

public:
    HANDLE handled;
};

// The recorder's instance channel as the controlling process sees it.
class InstanceChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        state.capturerAddress = 0x00401000;
        ASSERT_EQ(server.start(signal, name.c_str()), 0u);
        ASSERT_EQ(client.open(MessageChannel::kClient, name.c_str()), kChannelOk);
        ASSERT_TRUE(box.open(name));
    }
    void TearDown() override { server.stop(); }

    // Sends a command and returns the reply's bytes.
    template <typename Command>
    std::vector<std::uint8_t> Ask(const Command& command, std::uint32_t tag = 7) {
        std::uint8_t reply[MessageChannel::kMaxPayload];
        std::uint32_t size = 0;
        EXPECT_EQ(client.exchange(&command, sizeof command, tag, reply, &size), kChannelOk);
        return std::vector<std::uint8_t>(reply, reply + size);
    }

    const std::vector<std::uint8_t> kAccepted{0};
    std::string name = UniqueName("instance");
    InstanceState state;
    InstanceCommandHandler handler{state};
    HandledSignal signal{handler};
    ChannelServerThread server;
    MessageChannel client;
    SharedView<ChannelMailbox> box;
};

// A 32-bit process's address sign-extended, a 64-bit one's whole.
TEST_F(InstanceChannelTest, QueryInstanceReportsTheAddressSignExtended) {
    constexpr bool k64 = sizeof(void*) == 8;
    const struct {
        kestrel::Address address;
        std::uint64_t reported;
    } cases[] = {{0x00401000u, 0x0000000000401000ull},
                 {0x80001000u, k64 ? 0x80001000ull : 0xFFFFFFFF80001000ull},
                 {static_cast<kestrel::Address>(k64 ? 0x00007FF612345000ull : 0x12345000u),
                  k64 ? 0x00007FF612345000ull : 0x12345000ull}};
    for (const auto& c : cases) {
        state.capturerAddress = c.address;
        const auto reply = Ask(QueryInstance{}, 31);
        ASSERT_EQ(reply.size(), 16u);
        EXPECT_EQ(reply[0], 26);
        std::uint64_t reported = 0;
        std::memcpy(&reported, &reply[8], 8);
        EXPECT_EQ(reported, c.reported);
        EXPECT_EQ(box->tag, 31u) << "the reply carries the request's tag";
    }
}

TEST_F(InstanceChannelTest, SetInstanceValueReplacesTheValue) {
    for (std::uint32_t value : {5u, 0xFFFFFFFFu, 0u}) {
        SetInstanceValue command;
        command.value = value;
        EXPECT_EQ(Ask(command), kAccepted);
        EXPECT_EQ(state.instanceValue, value);
    }
}

TEST_F(InstanceChannelTest, ToggleInstanceFlagInvertsOnlyForANonzeroValue) {
    const struct {
        std::uint32_t value;
        std::uint32_t flagAfter;
    } steps[] = {{0, 1}, {1, 0}, {0, 0}, {0x80000000u, 1}, {7, 0}};
    ASSERT_EQ(state.instanceFlag, 1u);
    for (const auto& step : steps) {
        ToggleInstanceFlag command;
        command.value = step.value;
        EXPECT_EQ(Ask(command), kAccepted) << "value " << step.value;
        EXPECT_EQ(state.instanceFlag, step.flagAfter) << "value " << step.value;
    }
}

TEST_F(InstanceChannelTest, LinkInstanceIntoAnEmptyListPutsANullEntryFirst) {
    LinkInstance command;
    command.address = 0x00A01230;
    EXPECT_EQ(Ask(command), kAccepted);
    EXPECT_EQ(state.linkList, (List{0, 0x00A01230}));
    // Whole at the process's width: a 64-bit capturer may lie above 4 GiB.
    const auto high = static_cast<kestrel::Address>(sizeof(void*) == 8 ? 0x00007FF680B00000ull : 0x80B00000u);
    command.address = high;
    EXPECT_EQ(Ask(command), kAccepted);
    EXPECT_EQ(state.linkList, (List{0, 0x00A01230, high}));
}

TEST_F(InstanceChannelTest, UnknownCodeGetsNoReplyAndTheClientEndsItsWaitByAborting) {
    for (std::uint8_t code : {0, 2, 26, 28, 31, 255}) {
        const std::uint8_t command[8] = {code, 0, 0, 0, 1, 0, 0, 0};
        ASSERT_EQ(client.send(command, sizeof command, 3), kChannelOk);
        ASSERT_EQ(WaitForSingleObject(signal.handled, 30000), WAIT_OBJECT_0);
        EXPECT_EQ(box->state, 3) << "code " << int(code) << ": taken, not answered";

        std::uint32_t result = 0;
        std::thread waiting([&] {
            std::uint8_t reply[MessageChannel::kMaxPayload];
            std::uint32_t size = 0;
            result = client.receive(reply, &size, nullptr);
        });
        client.abort();
        waiting.join();
        EXPECT_EQ(result, kChannelAborted);
        // The aborted exchange still owns the mailbox; clear it as a controlling process would have to.
        box->state = 0;
        box->lock = 0;
    }
    EXPECT_EQ(state.instanceValue, 0u);
    EXPECT_EQ(state.instanceFlag, 1u);
    EXPECT_TRUE(state.linkList.empty());
}

TEST_F(InstanceChannelTest, CommandTooShortForItsValueIsRefused) {
    const std::uint8_t codes[] = {27, 29, 30};
    for (std::uint8_t code : codes) {
        const std::uint8_t command[4] = {code, 0, 0, 0};
        std::uint8_t reply[MessageChannel::kMaxPayload];
        std::uint32_t size = 0;
        ASSERT_EQ(client.exchange(command, sizeof command, 1, reply, &size), kChannelOk);
        EXPECT_EQ(size, 1u);
        EXPECT_NE(reply[0], 0) << "code " << int(code);
    }
    EXPECT_EQ(state.instanceValue, 0u);
    EXPECT_EQ(state.instanceFlag, 1u);
    EXPECT_TRUE(state.linkList.empty());
}

TEST(InstanceLinks, AppendWaitsForTheLinkLock) {
    InstanceState state;
    state.linkLock = 0xCEDED;  // held by another thread
    std::thread appending([&] { AppendLink(state, 0x1234); });
    Sleep(100);
    EXPECT_TRUE(state.linkList.empty());
    state.linkLock = 0;
    appending.join();
    EXPECT_EQ(state.linkList, (List{0, 0x1234}));
    EXPECT_EQ(state.linkLock, 0u);
}

TEST(InstanceLinks, DetachMakesEveryLinkedCapturerForgetThisOne) {
    InstanceState self, first, second;
    self.capturerAddress = 0x100;
    first.capturerAddress = 0x200;
    second.capturerAddress = 0x300;
    self.linkList = {0, 0x200, 0x100, 0x300, 0x999};
    first.linkList = {0, 0x100, 0x300, 0x100};
    second.linkList = {0, 0x200, 0x100};
    List asked;
    DetachLinkedInstances(self, [&](kestrel::Address address) -> InstanceState* {
        asked.push_back(address);
        if (address == 0x200) return &first;
        if (address == 0x300) return &second;
        return nullptr;
    });
    EXPECT_EQ(asked, (List{0x200, 0x300, 0x999})) << "neither null entries nor itself";
    EXPECT_EQ(first.linkList, (List{0, 0, 0x300, 0}));
    EXPECT_EQ(second.linkList, (List{0, 0x200, 0}));
    EXPECT_EQ(self.linkList, (List{0, 0x200, 0x100, 0x300, 0x999}));
    for (const InstanceState* s : {&self, &first, &second}) EXPECT_EQ(s->linkLock, 0u);
}

}  // namespace
