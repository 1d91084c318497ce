// Every shared layout against its table: values written through the struct must land at the table's
// byte offsets, as the other process reads them.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "channel/CaptureSettings.h"
#include "channel/ChannelMailbox.h"
#include "channel/GrowStatsData.h"
#include "channel/InstanceAddress.h"
#include "channel/InstanceFinished.h"
#include "channel/InstanceReady.h"
#include "channel/LinkInstance.h"
#include "channel/QueryInstance.h"
#include "channel/Register.h"
#include "channel/RegisterReply.h"
#include "channel/SetInstanceValue.h"
#include "channel/StatsHeader.h"
#include "channel/StatsRecordHead.h"
#include "channel/Status.h"
#include "channel/ToggleInstanceFlag.h"

using namespace kestrel;

namespace {

struct Field {
    std::size_t offset;
    std::size_t width;  // 1, 4 or 8; text fields are checked as their first bytes
    std::uint64_t value;
};

template <typename T>
void ExpectLayout(const T& object, std::size_t size, std::initializer_list<Field> fields) {
    ASSERT_EQ(sizeof(T), size);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&object);
    for (const Field& f : fields) {
        std::uint64_t value = 0;
        std::memcpy(&value, bytes + f.offset, f.width);
        EXPECT_EQ(value, f.value) << "offset " << f.offset;
    }
}

std::uint64_t Text4(const char* text) {
    std::uint32_t value = 0;
    std::memcpy(&value, text, 4);
    return value;
}

TEST(Layout, ChannelMailbox) {
    static ChannelMailbox box{};
    box.lock = 0x11111111;
    box.state = 0x22;
    box.tag = 0x33333333;
    std::memcpy(box.replyEventName, "Evnt", 4);
    box.replyEventName[259] = 'z';
    box.clientKey = 0x44444444;
    box.payloadSize = 0x55555555;
    box.payload[0] = 0x66;
    box.payload[4095] = 0x77;
    ExpectLayout(box, 4376, {{0, 4, 0x11111111}, {4, 1, 0x22}, {8, 4, 0x33333333}, {12, 4, Text4("Evnt")},
                             {271, 1, 'z'}, {272, 4, 0x44444444}, {276, 4, 0x55555555}, {280, 1, 0x66},
                             {4375, 1, 0x77}});
}

TEST(Layout, StatsHeader) {
    StatsHeader header{};
    header.lock = 1;
    header.frame = 2;
    header.calls = 3;
    header.counter12 = 4;
    std::memcpy(header.dataName, "Name", 4);
    header.dataUsed = 5;
    header.dataCapacity = 6;
    header.counter288 = 7;
    header.counter292 = 8;
    header.status = 9;
    ExpectLayout(header, 304, {{0, 4, 1}, {4, 4, 2}, {8, 4, 3}, {12, 4, 4}, {16, 4, Text4("Name")}, {276, 4, 5},
                               {280, 4, 6}, {284, 4, 0}, {288, 4, 7}, {292, 4, 8}, {296, 1, 9}});
}

TEST(Layout, StatsRecordHeadAndPair) {
    const StatsRecordHead head{107, 28, 0x0102030405060708ull};
    ExpectLayout(head, 16, {{0, 4, 107}, {4, 4, 28}, {8, 8, 0x0102030405060708ull}});
    const StatsExtentPair pair{0xAAAA0000, 0xBBBB};
    ExpectLayout(pair, 8, {{0, 4, 0xAAAA0000}, {4, 4, 0xBBBB}});
}

TEST(Layout, CaptureSettings) {
    CaptureSettings settings{};
    settings.hookMode = 1;
    settings.ringBufferMiB = 64;
    settings.frameRateLimit = 30;
    settings.imagesByFrame = 2;
    settings.imagesByDraw = 3;
    settings.instanceValueInit = 4;
    settings.imageInterval = 5;
    settings.imageFirstFrame = 6;
    settings.imageLimit = 7;
    std::memcpy(settings.imageFolder, "C:\\i", 4);
    ExpectLayout(settings, 848, {{0, 4, 1}, {4, 4, 64}, {8, 4, 30}, {16, 4, 2}, {20, 4, 3}, {24, 4, 4}, {32, 4, 5},
                                 {36, 4, 6}, {40, 4, 7}, {48, 4, Text4("C:\\i")}});
}

TEST(Layout, RegisterAndItsReply) {
    Register request{};
    request.code = 1;
    request.apiType = 2;
    request.pointerBits = 32;
    request.processId = 0x1234;
    std::memcpy(request.fileName, "a.ex", 4);
    request.capturerAddress = 0xFFFFFFFF80001000ull;
    ExpectLayout(request, 288, {{0, 1, 1}, {4, 4, 2}, {8, 4, 32}, {12, 4, 0x1234}, {16, 4, Text4("a.ex")},
                                {280, 8, 0xFFFFFFFF80001000ull}});

    static RegisterReply reply{};
    reply.code = 2;
    std::memcpy(reply.baseName, "Base", 4);
    reply.baseName[262] = 'q';
    reply.instanceId = 0x5678;
    reply.settings.hookMode = 9;
    reply.settings.ringBufferMiB = 64;
    std::memcpy(reply.settings.imageFolder, "D:\\f", 4);
    ExpectLayout(reply, 1116, {{0, 1, 2}, {1, 4, Text4("Base")}, {263, 1, 'q'}, {264, 4, 0x5678}, {268, 4, 9},
                               {272, 4, 64}, {316, 4, Text4("D:\\f")}});
}

TEST(Layout, OneByteMessagesCarryTheirCode) {
    ExpectLayout(InstanceReady{}, 1, {{0, 1, 3}});
    ExpectLayout(InstanceFinished{}, 1, {{0, 1, 4}});
    ExpectLayout(QueryInstance{}, 1, {{0, 1, 25}});
    ExpectLayout(Status{}, 1, {{0, 1, 0}});
}

TEST(Layout, MessagesWithAValue) {
    GrowStatsData grow;
    grow.bytesNeeded = 1036;
    ExpectLayout(grow, 8, {{0, 1, 7}, {1, 1, 0}, {4, 4, 1036}});

    InstanceAddress address;
    address.address = 0xFFFFFFFF80001000ull;
    ExpectLayout(address, 16, {{0, 1, 26}, {1, 1, 0}, {8, 8, 0xFFFFFFFF80001000ull}});

    SetInstanceValue set;
    set.value = 0xABCD;
    ExpectLayout(set, 8, {{0, 1, 27}, {4, 4, 0xABCD}});

    ToggleInstanceFlag toggle;
    toggle.value = 1;
    ExpectLayout(toggle, 8, {{0, 1, 29}, {4, 4, 1}});

    LinkInstance32 link;
    link.address = 0x00A01230;
    ExpectLayout(link, 12, {{0, 1, 30}, {4, 4, 0}, {8, 4, 0x00A01230}});
    LinkInstance64 wideLink;
    wideLink.address = 0x00007FF600A01230ull;
    ExpectLayout(wideLink, 16, {{0, 1, 30}, {4, 4, 0}, {8, 8, 0x00007FF600A01230ull}});
}

}  // namespace
