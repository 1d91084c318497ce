#include "channel/StatsChannel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "channel/ChannelServerThread.h"
#include "channel/MessageChannel.h"
#include "tests/channel/SharedView.h"
#include "tests/channel/UniqueName.h"

using namespace kestrel;

namespace {

using Extents = std::map<std::uintptr_t, kestrel::ClientExtent>;

std::uint32_t U32(const std::uint8_t* bytes, std::size_t offset) {
    std::uint32_t value;
    std::memcpy(&value, bytes + offset, 4);
    return value;
}

Extents ManyExtents(std::uint32_t count) {
    Extents extents;
    for (std::uint32_t i = 0; i < count; ++i) extents[0x10000000u - i * 16] = i + 1;
    return extents;
}

// The controlling process's session server: answers GrowStatsData with a chosen status, growing the
// data block through the creating StatsChannel when it accepts.
class SessionStandIn : public ChannelHandler {
public:
    explicit SessionStandIn(StatsChannel& creator) : creator_(creator) {}
    void OnMessage(MessageChannel& channel, const std::uint8_t* message, std::uint32_t size, std::uint32_t tag) override {
        if (size < 8 || message[0] != 7) return;
        ++growRequests;
        lastNeeded = U32(message, 4);
        lastTag = tag;
        std::uint8_t status = replyStatus;
        if (status == 0) status = creator_.grow(lastNeeded);
        channel.send(&status, 1, tag);
    }
    std::atomic<int> growRequests{0};
    std::atomic<std::uint32_t> lastNeeded{0}, lastTag{0};
    std::atomic<std::uint8_t> replyStatus{0};

private:
    StatsChannel& creator_;
};

// Blocks as the controlling process creates them, the recorder's side opened on them, and a served
// session channel for growth requests.
class StatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(creator.create(base.c_str()), kChannelOk);
        ASSERT_EQ(recorder.open(base.c_str()), kChannelOk);
        ASSERT_EQ(server.start(controller, sessionName.c_str()), 0u);
        ASSERT_EQ(session.open(MessageChannel::kClient, sessionName.c_str()), kChannelOk);
        ASSERT_TRUE(header.open(base + "_RDStats"));
    }
    void TearDown() override { server.stop(); }

    std::string DataName() const { return header->dataName; }

    static constexpr std::uint32_t kInstanceId = 0xC0FFEE;
    std::string base = UniqueName("capture");
    std::string sessionName = UniqueName("session");
    StatsChannel creator;
    StatsChannel recorder;
    SessionStandIn controller{creator};
    ChannelServerThread server;
    MessageChannel session;
    SharedView<StatsHeader> header;
};

TEST(StatsChannelOpen, CreatorLaysOutAZeroedHeaderAndDataBlock) {
    const std::string base = UniqueName("fresh");
    StatsChannel creator;
    ASSERT_EQ(creator.create(base.c_str()), kChannelOk);
    SharedView<std::uint8_t> header(base + "_RDStats", 304);
    SharedView<std::uint8_t> data(base + "_RDData0", 1024);
    ASSERT_TRUE(header);
    ASSERT_TRUE(data);
    const std::string dataName = base + "_RDData0";
    EXPECT_STREQ(reinterpret_cast<const char*>(header.get() + 16), dataName.c_str());
    EXPECT_EQ(U32(header.get(), 280), 1024u);
    for (std::size_t i = 0; i < 304; ++i) {
        if (i >= 16 && i <= 16 + dataName.size()) continue;
        if (i >= 280 && i < 284) continue;
        ASSERT_EQ(header.get()[i], 0) << "header byte " << i;
    }
    for (std::size_t i = 0; i < 1024; ++i) ASSERT_EQ(data.get()[i], 0) << "data byte " << i;
}

TEST(StatsChannelOpen, RecorderCreatesNothingAndReportsWhatIsMissing) {
    const std::string base = UniqueName("missing");
    StatsChannel recorder;
    EXPECT_EQ(recorder.open(base.c_str()), kChannelNoMapping) << "no header";
    EXPECT_EQ(recorder.header(), nullptr);

    HANDLE headerOnly = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 304, (base + "_RDStats").c_str());
    ASSERT_NE(headerOnly, nullptr);
    EXPECT_EQ(recorder.open(base.c_str()), kChannelNoMapping) << "no data block";
    EXPECT_EQ(recorder.header(), nullptr);
    CloseHandle(headerOnly);
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, (base + "_RDData0").c_str()), nullptr) << "nothing was created";
}

TEST_F(StatsTest, PublishStatisticsWritesTheCountersAndFreesTheLock) {
    StatsCounters counters;
    counters.frame = 3;
    counters.calls = 17;
    recorder.publishStatistics(counters);
    EXPECT_EQ(header->frame, 3u);
    EXPECT_EQ(header->calls, 17u);
    EXPECT_EQ(header->counter12, 0u);
    EXPECT_EQ(header->counter288, 0u);
    EXPECT_EQ(header->counter292, 0u);
    EXPECT_EQ(header->status, 1);
    EXPECT_EQ(header->lock, 0u);
}

TEST_F(StatsTest, LockLeftHeldByADeadWriterIsGivenUpAndEndsCleared) {
    header->lock = 1;
    StatsCounters counters;
    counters.frame = 9;
    recorder.publishStatistics(counters);
    EXPECT_EQ(header->frame, 9u);
    EXPECT_EQ(header->lock, 0u);

    header->lock = 1;
    EXPECT_TRUE(recorder.publishExtents(Extents{{0x1000, 4}}, session, kInstanceId));
    EXPECT_EQ(header->dataUsed, 28u);
    EXPECT_EQ(header->lock, 0u);
}

TEST_F(StatsTest, ExtentRecordHoldsThePairsInAscendingOrder) {
    const Extents extents{{0x3000, 0x10000}, {0x1000, 12}, {0x2000, 64}};
    for (int publish = 0; publish < 2; ++publish) {
        ASSERT_TRUE(recorder.publishExtents(extents, session, kInstanceId));
        EXPECT_EQ(header->dataUsed, 44u) << "each publish starts the block afresh";
    }
    const std::uint8_t* data = creator.data();
    EXPECT_EQ(U32(data, 0), 107u);
    EXPECT_EQ(U32(data, 4), 28u);
    std::uint64_t time = 0;
    std::memcpy(&time, data + 8, 8);
    EXPECT_NE(time, 0u);
    EXPECT_EQ(U32(data, 16), 3u);
    const std::uint32_t pairs[] = {0x1000, 12, 0x2000, 64, 0x3000, 0x10000};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(U32(data, 20 + 4 * i), pairs[i]) << "word " << i;
    EXPECT_EQ(controller.growRequests, 0);
}

TEST_F(StatsTest, EmptyTableResetsDataUsedAndWritesNothing) {
    ASSERT_TRUE(recorder.publishExtents(Extents{{0x1000, 4}}, session, kInstanceId));
    ASSERT_EQ(header->dataUsed, 28u);
    EXPECT_TRUE(recorder.publishExtents(Extents{}, session, kInstanceId));
    EXPECT_EQ(header->dataUsed, 0u);
    EXPECT_EQ(header->lock, 0u);
    EXPECT_EQ(controller.growRequests, 0);
}

TEST_F(StatsTest, TooSmallBlockIsGrownOnceAndTheRecordGoesIntoTheNewBlock) {
    const Extents extents = ManyExtents(127);  // 20 + 8 * 127 = 1,036 bytes
    const std::string firstName = DataName();
    ASSERT_TRUE(recorder.publishExtents(extents, session, kInstanceId));
    EXPECT_EQ(controller.growRequests, 1);
    EXPECT_EQ(controller.lastNeeded, 1036u);
    EXPECT_EQ(controller.lastTag, kInstanceId);
    EXPECT_NE(DataName(), firstName);
    EXPECT_GE(header->dataCapacity, 1036u);
    EXPECT_EQ(header->dataUsed, 1036u);

    SharedView<std::uint8_t> grown(DataName(), 1036);
    ASSERT_TRUE(grown);
    EXPECT_EQ(U32(grown.get(), 0), 107u);
    EXPECT_EQ(U32(grown.get(), 16), 127u);
    std::uint32_t previous = 0;
    for (std::uint32_t i = 0; i < 127; ++i) {
        const std::uint32_t key = U32(grown.get(), 20 + 8 * i);
        EXPECT_EQ(U32(grown.get(), 24 + 8 * i), extents.at(key).extent);
        EXPECT_GT(key, previous);
        previous = key;
    }

    ASSERT_TRUE(recorder.publishExtents(extents, session, kInstanceId));
    EXPECT_EQ(controller.growRequests, 1) << "the grown block is big enough now";
}

TEST_F(StatsTest, RefusedOrFailedGrowthWritesNoRecordAndAsksAgainNextTime) {
    const Extents extents = ManyExtents(200);
    const struct {
        const char* what;
        bool refused;    // the controlling process answers with a nonzero status
        bool busy;       // the session mailbox is still taken by another exchange
        int requests;    // GrowStatsData requests the controlling process sees per publish
    } cases[] = {{"refused", true, false, 1}, {"mailbox busy", false, true, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        controller.replyStatus = c.refused ? 1 : 0;
        SharedView<ChannelMailbox> box(sessionName);
        ASSERT_TRUE(box);
        box->state = c.busy ? 3 : 0;
        for (int publish = 1; publish <= 2; ++publish) {
            const int before = controller.growRequests;
            header->dataUsed = 99;
            EXPECT_FALSE(recorder.publishExtents(extents, session, kInstanceId));
            EXPECT_EQ(controller.growRequests - before, c.requests);
            EXPECT_EQ(header->dataUsed, 0u);
            EXPECT_EQ(header->lock, 0u);
            EXPECT_EQ(header->dataCapacity, 1024u);
        }
        box->state = 0;
        for (std::size_t i = 0; i < 1024; ++i) ASSERT_EQ(creator.data()[i], 0) << "data byte " << i;

        // A table that fits again is written into the block the header still names.
        EXPECT_TRUE(recorder.publishExtents(Extents{{0x1000, 4}}, session, kInstanceId));
        EXPECT_EQ(header->dataUsed, 28u);
        EXPECT_EQ(U32(creator.data(), 0), 107u);
        std::memset(const_cast<std::uint8_t*>(creator.data()), 0, 1024);
    }
}

TEST_F(StatsTest, AcceptedGrowthWithoutABigEnoughBlockStillWritesNothing) {
    // A controlling process that says yes but names a block that is too small or missing.
    class LyingController : public ChannelHandler {
    public:
        LyingController(SharedView<StatsHeader>& header, const char* name, std::uint32_t capacity)
            : header_(header), name_(name), capacity_(capacity) {}
        void OnMessage(MessageChannel& channel, const std::uint8_t*, std::uint32_t, std::uint32_t tag) override {
            std::strcpy(header_->dataName, name_);
            header_->dataCapacity = capacity_;
            const std::uint8_t status = 0;
            channel.send(&status, 1, tag);
        }
    private:
        SharedView<StatsHeader>& header_;
        const char* name_;
        std::uint32_t capacity_;
    };
    const std::string smallName = UniqueName("small");
    HANDLE small = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1024, smallName.c_str());
    ASSERT_NE(small, nullptr);
    const struct {
        const char* what;
        std::string name;
        std::uint32_t capacity;
    } cases[] = {{"capacity still too small", smallName, 1024}, {"block does not exist", UniqueName("nowhere"), 8192}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LyingController liar(header, c.name.c_str(), c.capacity);
        ChannelServerThread lyingServer;
        const std::string name = UniqueName("lying");
        ASSERT_EQ(lyingServer.start(liar, name.c_str()), 0u);
        MessageChannel lyingSession;
        ASSERT_EQ(lyingSession.open(MessageChannel::kClient, name.c_str()), kChannelOk);
        EXPECT_FALSE(recorder.publishExtents(ManyExtents(200), lyingSession, kInstanceId));
        EXPECT_EQ(header->dataUsed, 0u);
        EXPECT_EQ(header->lock, 0u);
        lyingServer.stop();
    }
    CloseHandle(small);
}

}  // namespace
