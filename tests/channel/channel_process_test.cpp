// The channel between processes: this program is both the controlling process (the tests) and,
// started again with "--child ROLE ...", the other side.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "channel/ChannelNames.h"
#include "channel/ChannelServerThread.h"
#include "channel/ImageFolder.h"
#include "channel/InstanceAddress.h"
#include "channel/InstanceCommandHandler.h"
#include "channel/InstanceFinished.h"
#include "channel/InstanceReady.h"
#include "channel/LinkInstance.h"
#include "channel/MessageChannel.h"
#include "channel/QueryInstance.h"
#include "channel/Register.h"
#include "channel/RegisterReply.h"
#include "channel/Registration.h"
#include "channel/SetInstanceValue.h"
#include "channel/StatsChannel.h"
#include "channel/ToggleInstanceFlag.h"
#include "tests/channel/UniqueName.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ProcessTreeJob.h"

using namespace kestrel;

namespace {

constexpr DWORD kChildTimeoutMs = kHangMs;
constexpr std::uint32_t kProvisionalId = 0x13572468;
constexpr std::uint32_t kAssignedId = 4242;
constexpr const char* kCaptureBase = "Local\\KestrelTestCapture";

std::string SelfPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string ChildCommand(const std::string& arguments) {
    std::string command = "\"";
    command.append(SelfPath()).append("\" --child ").append(arguments);
    return command;
}

std::map<std::uintptr_t, kestrel::ClientExtent> ManyExtents(std::uint32_t count) {
    std::map<std::uintptr_t, kestrel::ClientExtent> extents;
    for (std::uint32_t i = 0; i < count; ++i) extents[0x00400000u + i * 64] = 4 * i + 4;
    return extents;
}

// ---- the other side's roles ----

// Exchanges numbered requests and checks that every reply is the echo of its own request.
int ClientChild(const char* name, std::uint32_t id, int count) {
    MessageChannel channel;
    if (channel.open(MessageChannel::kClient, name) != kChannelOk) return 10;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t request[3] = {id, static_cast<std::uint32_t>(i), GetCurrentProcessId()};
        std::uint32_t reply[MessageChannel::kMaxPayload / 4];
        std::uint32_t size = 0;
        if (channel.exchange(request, sizeof request, id, reply, &size) != kChannelOk) return 11;
        if (size != sizeof request || std::memcmp(reply, request, sizeof request) != 0) return 12;
    }
    return 0;
}

// The recorder's statistics side, with the extent table too big for the first data block.
int StatsChild(const char* base, const char* session, int count) {
    MessageChannel channel;
    if (channel.open(MessageChannel::kClient, session) != kChannelOk) return 20;
    StatsChannel stats;
    if (stats.open(base) != kChannelOk) return 21;
    StatsCounters counters;
    counters.frame = 3;
    counters.calls = 6;
    stats.publishStatistics(counters);
    if (!stats.publishExtents(ManyExtents(count), channel, kAssignedId)) return 22;
    return 0;
}

// The recorder's instance channel, served until the controlling process says it is done; then the
// commands' effects are checked here, where they happened.
int InstanceChild(std::uint32_t id, std::uint32_t address, const char* ready, const char* done, std::uint32_t value,
                  std::uint32_t link) {
    InstanceState state;
    state.capturerAddress = address;
    InstanceCommandHandler handler(state);
    ChannelServerThread server;
    char name[kChannelNameSize];
    InstanceChannelName(id, name);
    if (server.start(handler, name) != 0) return 30;
    HANDLE readyEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready);
    HANDLE doneEvent = OpenEventA(SYNCHRONIZE, FALSE, done);
    if (!readyEvent || !doneEvent) return 31;
    SetEvent(readyEvent);
    if (WaitForSingleObject(doneEvent, kChildTimeoutMs) != WAIT_OBJECT_0) return 32;
    if (server.stop() != 0) return 33;
    if (state.instanceValue != value) return 34;
    if (state.instanceFlag != 0) return 35;
    if (state.linkList != std::vector<Address>{0, link}) return 36;
    return 0;
}

// The recorder's registration on the fixed session channel, then readiness and finish.
int RegisterChild() {
    MessageChannel session;
    if (session.open(MessageChannel::kClient, kSessionChannelName) != kChannelOk) return 40;
    static std::uint8_t reply[MessageChannel::kMaxPayload];
    std::uint32_t size = 0;
    int capturer = 0;
    const Register request = MakeRegister(2, GetCurrentProcessId(), SelfPath().c_str(), &capturer);
    if (session.exchange(&request, sizeof request, kProvisionalId, reply, &size) != kChannelOk) return 41;
    Registration registration;
    if (ParseRegisterReply(reply, size, registration) != RegistrationCheck::kAccepted) return 42;
    if (std::strcmp(registration.captureName, kCaptureBase) != 0 || registration.instanceId != kAssignedId) return 43;
    if (registration.settings.ringBufferMiB != 64) return 44;
    char folder[kImageFolderSize];
    if (!BuildImageFolder(registration.settings, folder) || std::strcmp(folder, "C:\\frames\\") != 0) return 45;
    const InstanceReady ready;
    if (session.exchange(&ready, sizeof ready, registration.instanceId, reply, &size) != kChannelOk) return 46;
    if (size != 1 || reply[0] != 0) return 47;
    const InstanceFinished finished;
    if (session.exchange(&finished, sizeof finished, registration.instanceId, reply, &size) != kChannelOk) return 48;
    if (size != 1 || reply[0] != 0) return 49;
    return 0;
}

int RunChildRole(int argc, char** argv) {
    const std::string role = argv[2];
    auto number = [&](int i) { return static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 0)); };
    if (role == "client" && argc == 6) return ClientChild(argv[3], number(4), static_cast<int>(number(5)));
    if (role == "stats" && argc == 6) return StatsChild(argv[3], argv[4], static_cast<int>(number(5)));
    if (role == "instance" && argc == 9) return InstanceChild(number(3), number(4), argv[5], argv[6], number(7), number(8));
    if (role == "register" && argc == 3) return RegisterChild();
    std::fprintf(stderr, "unknown child role %s\n", role.c_str());
    return 99;
}

// ---- the controlling process's side ----

class EchoCounter : public ChannelHandler {
public:
    void OnMessage(MessageChannel& channel, const std::uint8_t* message, std::uint32_t size, std::uint32_t tag) override {
        {
            std::lock_guard<std::mutex> hold(lock);
            ++perTag[tag];
        }
        channel.send(message, size, tag);
    }
    std::mutex lock;
    std::map<std::uint32_t, int> perTag;
};

DWORD WaitForChild(HANDLE process) {
    DWORD code = 0xDEAD;
    if (WaitForSingleObject(process, kChildTimeoutMs) != WAIT_OBJECT_0) TerminateProcess(process, 0xDEAD);
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

TEST(ChannelProcessTest, ClientsInTwoProcessesTakeTurnsOnOneMailbox) {
    const std::string name = UniqueName("shared");
    EchoCounter echo;
    ChannelServerThread server;
    ASSERT_EQ(server.start(echo, name.c_str()), 0u);
    HANDLE first = StartChild(ChildCommand("client " + name + " 1 150"));
    HANDLE second = StartChild(ChildCommand("client " + name + " 2 150"));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(WaitForChild(first), 0u);
    EXPECT_EQ(WaitForChild(second), 0u);
    server.stop();
    EXPECT_EQ(echo.perTag[1], 150);
    EXPECT_EQ(echo.perTag[2], 150);
}

// Answers GrowStatsData as the controlling process does.
class GrowController : public ChannelHandler {
public:
    explicit GrowController(StatsChannel& stats) : stats_(stats) {}
    void OnMessage(MessageChannel& channel, const std::uint8_t* message, std::uint32_t size, std::uint32_t tag) override {
        if (size < 8 || message[0] != 7) return;
        std::uint32_t needed;
        std::memcpy(&needed, message + 4, 4);
        ++requests;
        const std::uint8_t status = stats_.grow(needed);
        channel.send(&status, 1, tag);
    }
    std::atomic<int> requests{0};

private:
    StatsChannel& stats_;
};

TEST(ChannelProcessTest, RecorderInAnotherProcessGetsALargerStatisticsBlock) {
    const std::string base = UniqueName("stats");
    const std::string sessionName = UniqueName("session");
    StatsChannel stats;
    ASSERT_EQ(stats.create(base.c_str()), kChannelOk);
    GrowController controller(stats);
    ChannelServerThread server;
    ASSERT_EQ(server.start(controller, sessionName.c_str()), 0u);

    const ChildResult child = RunChild(ChildCommand("stats " + base + " " + sessionName + " 300"), kChildTimeoutMs);
    server.stop();
    ASSERT_TRUE(child.started);
    EXPECT_EQ(child.exitCode, 0u) << child.output;
    EXPECT_EQ(controller.requests, 1);

    const StatsHeader* header = stats.header();
    EXPECT_EQ(header->frame, 3u);
    EXPECT_EQ(header->calls, 6u);
    EXPECT_EQ(header->status, 1);
    EXPECT_STRNE(header->dataName, (base + "_RDData0").c_str());
    EXPECT_EQ(header->dataUsed, 20u + 8u * 300u);
    const std::uint8_t* data = stats.data();
    std::uint32_t words[5];
    std::memcpy(words, data, sizeof words);
    EXPECT_EQ(words[0], 107u);
    EXPECT_EQ(words[1], 4u + 8u * 300u);
    EXPECT_EQ(words[4], 300u);
    const auto extents = ManyExtents(300);
    std::size_t offset = 20;
    for (const auto& [address, extent] : extents) {
        std::uint32_t pair[2];
        std::memcpy(pair, data + offset, 8);
        ASSERT_EQ(pair[0], address);
        ASSERT_EQ(pair[1], extent.extent);
        offset += 8;
    }
}

TEST(ChannelProcessTest, ControllingProcessCommandsTheRecordersInstanceChannel) {
    const std::uint32_t id = 0x80000000u | GetCurrentProcessId();  // negative, and unique to this run
    const std::string ready = UniqueName("ready"), done = UniqueName("done");
    HANDLE readyEvent = CreateEventA(nullptr, TRUE, FALSE, ready.c_str());
    HANDLE doneEvent = CreateEventA(nullptr, TRUE, FALSE, done.c_str());
    char arguments[512];
    std::snprintf(arguments, sizeof arguments, "instance %u 0x9ABC0010 %s %s 77 0x00A01230", static_cast<unsigned>(id),
                  ready.c_str(), done.c_str());
    HANDLE child = StartChild(ChildCommand(arguments));
    ASSERT_NE(child, nullptr);
    const HANDLE waits[2] = {readyEvent, child};
    ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, kChildTimeoutMs), WAIT_OBJECT_0) << "child did not serve";

    // The name is built here by hand, as the controlling process's own code would.
    char name[96];
    std::snprintf(name, sizeof name, "Local\\TRK_CaptureInstanceMemory- %d", static_cast<int>(id));
    MessageChannel client;
    ASSERT_EQ(client.open(MessageChannel::kClient, name), kChannelOk);
    std::uint8_t reply[MessageChannel::kMaxPayload];
    std::uint32_t size = 0;

    const QueryInstance query;
    ASSERT_EQ(client.exchange(&query, sizeof query, 1, reply, &size), kChannelOk);
    ASSERT_EQ(size, 16u);
    EXPECT_EQ(reply[0], 26);
    std::uint64_t address = 0;
    std::memcpy(&address, reply + 8, 8);
    // Sign-extended from a 32-bit process; a 64-bit one's is whole.
    EXPECT_EQ(address, sizeof(void*) == 4 ? 0xFFFFFFFF9ABC0010ull : 0x9ABC0010ull);

    SetInstanceValue set;
    set.value = 77;
    ToggleInstanceFlag toggle;
    toggle.value = 1;
    LinkInstance link;
    link.address = 0x00A01230;
    ASSERT_EQ(client.exchange(&set, sizeof set, 1, reply, &size), kChannelOk);
    EXPECT_EQ(reply[0], 0);
    ASSERT_EQ(client.exchange(&toggle, sizeof toggle, 1, reply, &size), kChannelOk);
    EXPECT_EQ(reply[0], 0);
    ASSERT_EQ(client.exchange(&link, sizeof link, 1, reply, &size), kChannelOk);
    EXPECT_EQ(reply[0], 0);

    SetEvent(doneEvent);
    EXPECT_EQ(WaitForChild(child), 0u);
    CloseHandle(readyEvent);
    CloseHandle(doneEvent);
}

// The controlling process's session server for one registration.
class RegistrationController : public ChannelHandler {
public:
    void OnMessage(MessageChannel& channel, const std::uint8_t* message, std::uint32_t size, std::uint32_t tag) override {
        if (size == 0) return;
        codes.push_back(message[0]);
        tags.push_back(tag);
        if (message[0] == 1 && size == sizeof(Register)) {
            std::memcpy(&registered, message, sizeof registered);
            static RegisterReply reply{};
            reply.code = 2;
            std::strcpy(reply.baseName, kCaptureBase);
            reply.instanceId = kAssignedId;
            reply.settings.ringBufferMiB = 64;
            std::strcpy(reply.settings.imageFolder, "C:\\frames");
            channel.send(&reply, sizeof reply, tag);
        } else if (message[0] == 3 || message[0] == 4) {
            const std::uint8_t status = 0;
            channel.send(&status, 1, tag);
        }
    }
    std::vector<std::uint8_t> codes;
    std::vector<std::uint32_t> tags;
    Register registered{};
};

TEST(SessionChannelProcessTest, RecorderRegistersOnTheFixedSessionChannel) {
    RegistrationController controller;
    ChannelServerThread server;
    ASSERT_EQ(server.start(controller, "Local\\TRK_CaptureSessionMemory"), 0u);
    const ChildResult child = RunChild(ChildCommand("register"), kChildTimeoutMs);
    server.stop();
    ASSERT_TRUE(child.started);
    EXPECT_EQ(child.exitCode, 0u) << child.output;

    EXPECT_EQ(controller.codes, (std::vector<std::uint8_t>{1, 3, 4}));
    EXPECT_EQ(controller.tags, (std::vector<std::uint32_t>{kProvisionalId, kAssignedId, kAssignedId}));
    const Register& r = controller.registered;
    EXPECT_EQ(r.apiType, 2u);
    EXPECT_EQ(r.pointerBits, sizeof(void*) * 8);
    EXPECT_NE(r.processId, GetCurrentProcessId());
    EXPECT_EQ(_stricmp(r.fileName, "channel_process_test.exe"), 0) << r.fileName;
    EXPECT_EQ(r.capturerAddress >> 32, (r.capturerAddress & 0x80000000u) ? 0xFFFFFFFFu : 0u);
}

}  // namespace

int main(int argc, char** argv) {
    EndStartedProcessesWithThisOne();
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) return RunChildRole(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
