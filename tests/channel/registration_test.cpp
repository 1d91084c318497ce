// What the recorder builds for and takes from the controlling process: the registration request,
// the checked reply, the image folder text and the instance channel's name.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "channel/ChannelNames.h"
#include "channel/ImageFolder.h"
#include "channel/Register.h"
#include "channel/RegisterReply.h"
#include "channel/Registration.h"

using namespace kestrel;

namespace {

// A Registration with guard bytes on both sides, so a write past it shows.
struct Guarded {
    std::uint8_t before[64];
    Registration registration;
    std::uint8_t after[64];
};

void Fill(Guarded& g) { std::memset(&g, 0xA5, sizeof g); }

bool Untouched(const Guarded& g) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&g);
    for (std::size_t i = 0; i < sizeof g; ++i)
        if (bytes[i] != 0xA5) return false;
    return true;
}

bool GuardsIntact(const Guarded& g) {
    for (std::size_t i = 0; i < 64; ++i)
        if (g.before[i] != 0xA5 || g.after[i] != 0xA5) return false;
    return true;
}

RegisterReply Reply(std::size_t nameLength, bool terminated = true) {
    RegisterReply reply{};
    reply.code = 2;
    std::memset(reply.baseName, 'n', sizeof reply.baseName);
    if (terminated) reply.baseName[nameLength] = '\0';
    reply.instanceId = 4242;
    reply.settings.ringBufferMiB = 64;
    reply.settings.unread308[0] = 0x99;
    std::strcpy(reply.settings.imageFolder, "C:\\frames");
    return reply;
}

TEST(ParseRegisterReply, TakesNameIdAndSettingsFromAnAcceptableReply) {
    for (std::size_t length : {0u, 1u, 40u, 259u}) {
        const RegisterReply reply = Reply(length);
        Guarded g;
        Fill(g);
        ASSERT_EQ(ParseRegisterReply(&reply, sizeof reply, g.registration), RegistrationCheck::kAccepted) << length;
        EXPECT_EQ(std::string(g.registration.captureName), std::string(length, 'n'));
        EXPECT_EQ(g.registration.instanceId, 4242u);
        EXPECT_EQ(std::memcmp(&g.registration.settings, &reply.settings, sizeof(CaptureSettings)), 0);
        EXPECT_TRUE(GuardsIntact(g));
    }
}

TEST(ParseRegisterReply, RejectsWhatItCannotTakeWithoutTouchingTheRegistration) {
    const RegisterReply good = Reply(10);
    RegisterReply wrongCode = good;
    wrongCode.code = 3;
    const RegisterReply name260 = Reply(260);
    const RegisterReply name262 = Reply(262);
    const RegisterReply unterminated = Reply(0, false);
    const struct {
        const char* what;
        const RegisterReply* reply;
        std::uint32_t size;
        RegistrationCheck check;
    } cases[] = {
        {"reply code 3", &wrongCode, sizeof wrongCode, RegistrationCheck::kNotRegisterReply},
        {"empty reply", &good, 0, RegistrationCheck::kNotRegisterReply},
        {"a byte short", &good, sizeof good - 1, RegistrationCheck::kTruncated},
        {"260-character name", &name260, sizeof name260, RegistrationCheck::kNameTooLong},
        {"262-character name", &name262, sizeof name262, RegistrationCheck::kNameTooLong},
        {"name without NUL", &unterminated, sizeof unterminated, RegistrationCheck::kNameTooLong},
    };
    for (const auto& c : cases) {
        Guarded g;
        Fill(g);
        EXPECT_EQ(ParseRegisterReply(c.reply, c.size, g.registration), c.check) << c.what;
        EXPECT_TRUE(Untouched(g)) << c.what;
    }
}

TEST(MakeRegister, CarriesTheFileNameWithoutItsFolder) {
    const std::string longName(300, 'x');
    const struct {
        std::string path;
        std::string fileName;
    } cases[] = {
        {"C:\\Games\\Demo\\demo.exe", "demo.exe"},
        {"demo.exe", "demo.exe"},
        {"Z:/build/tests/app.exe", "app.exe"},
        {"C:\\dir\\" + longName, longName.substr(0, 258)},
    };
    int object = 0;
    for (const auto& c : cases) {
        const Register message = MakeRegister(2, 0x4D2, c.path.c_str(), &object);
        EXPECT_EQ(message.code, 1);
        EXPECT_EQ(message.apiType, 2u);
        EXPECT_EQ(message.pointerBits, sizeof(void*) * 8);
        EXPECT_EQ(message.processId, 0x4D2u);
        EXPECT_EQ(std::string(message.fileName), c.fileName);
        EXPECT_EQ(message.capturerAddress, static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&object)));
    }
    const Register high = MakeRegister(2, 1, "a.exe", reinterpret_cast<const void*>(0x80000010u));
    // A 32-bit address above 2 GiB is widened by sign, as a 32-bit process's handles are.
    EXPECT_EQ(high.capturerAddress, sizeof(void*) == 4 ? 0xFFFFFFFF80000010ull : 0x80000010ull);
}

TEST(BuildImageFolder, AppendsABackslashAndRefusesWhatDoesNotFit) {
    const struct {
        std::string folder;  // empty string with terminated false: no NUL in the field
        bool terminated;
        bool fits;
        std::string built;
    } cases[] = {
        {"C:\\frames", true, true, "C:\\frames\\"},
        {"C:\\frames\\", true, true, "C:\\frames\\"},
        {"", true, true, "\\"},
        {std::string(258, 'f'), true, true, std::string(258, 'f') + "\\"},
        {std::string(258, 'f') + "\\", true, true, std::string(258, 'f') + "\\"},
        {std::string(259, 'f'), true, false, ""},
        {"", false, false, ""},
    };
    for (const auto& c : cases) {
        CaptureSettings settings{};
        if (c.terminated) std::memcpy(settings.imageFolder, c.folder.c_str(), c.folder.size() + 1);
        else std::memset(settings.imageFolder, 'f', sizeof settings.imageFolder);
        char folder[kImageFolderSize + 8];
        std::memset(folder, 0x5A, sizeof folder);
        auto& bounded = reinterpret_cast<char(&)[kImageFolderSize]>(folder);
        EXPECT_EQ(BuildImageFolder(settings, bounded), c.fits) << c.folder.size();
        EXPECT_EQ(std::string(folder), c.built) << c.folder.size();
        for (std::size_t i = kImageFolderSize; i < sizeof folder; ++i) ASSERT_EQ(folder[i], 0x5A);
    }
}

TEST(InstanceChannelName, IsThePrefixAHyphenASpaceAndTheSignedId) {
    const struct {
        std::uint32_t id;
        const char* name;
    } cases[] = {
        {5, "Local\\TRK_CaptureInstanceMemory- 5"},
        {0xFFFFFFFFu, "Local\\TRK_CaptureInstanceMemory- -1"},
        {0x80000000u, "Local\\TRK_CaptureInstanceMemory- -2147483648"},
    };
    for (const auto& c : cases) {
        char name[kChannelNameSize];
        InstanceChannelName(c.id, name);
        EXPECT_STREQ(name, c.name);
    }
}

}  // namespace
