// API type names, Windows version names, the registry read and the machine description under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "environment/ApiTypeName.h"
#include "environment/DisplayAdapterText.h"
#include "environment/RegistryRead.h"
#include "environment/SystemDescription.h"
#include "environment/WindowsVersionName.h"

namespace kestrel {
namespace {

TEST(ApiTypeName, EveryCodeGetsItsNameAndOthersUnknown) {
    const struct {
        uint32_t code;
        const char* name;
    } cases[] = {
        {0, "Unknown"},   {1, "OpenCL"},   {2, "OpenGL"},    {3, "DXGI"},        {4, "D3D10"},
        {5, "D3D11"},     {6, "D3D10_1"},  {7, "Unknown"},   {8, "EGL"},         {9, "OpenGLES"},
        {10, "Unknown"},  {11, "OpenGLES1X"}, {12, "Unknown"}, {13, "D3D12"},    {14, "Unknown"},
        {0xFFFFFFFF, "Unknown"},
    };
    for (const auto& c : cases) {
        char dest[kApiTypeNameSize + 1];
        std::memset(dest, 0x7F, sizeof(dest));
        ApiTypeName(c.code, dest);
        EXPECT_STREQ(c.name, dest) << "code " << c.code;
        EXPECT_EQ(0x7F, dest[kApiTypeNameSize]) << "wrote past the 11 bytes for code " << c.code;
    }
}

TEST(WindowsVersionName, NamesFollowMajorAndMinor) {
    const struct {
        uint32_t major, minor;
        const char* name;
    } cases[] = {
        {10, 0, "Windows 10"}, {10, 1, "Prior To Win7"}, {6, 3, "Windows 8.1"}, {6, 2, "Windows 8"},
        {6, 1, "Windows 7"},   {6, 0, "Prior To Win7"},  {6, 4, "Prior To Win7"}, {5, 1, "Prior To Win7"},
        {11, 0, "Prior To Win7"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(c.name, WindowsVersionNameFor(c.major, c.minor)) << c.major << "." << c.minor;
    }
}

// A key of the test's own under HKEY_LOCAL_MACHINE\System, where display device keys live too.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = "System\\KestrelTest_" + std::to_string(GetCurrentProcessId());
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
    }
    void TearDown() override {
        RegCloseKey(key);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
    }
    void Set(const char* value, const std::string& text, DWORD type = REG_SZ, bool withZero = true) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, value, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                                                static_cast<DWORD>(text.size() + (withZero ? 1 : 0))));
    }
    std::string path;
    HKEY key = nullptr;
};

TEST_F(RegistryTest, ReadsAValueAsZeroTerminatedText) {
    Set("Plain", "31.0.15.1234");
    Set("Unterminated", "abc", REG_BINARY, false);
    Set("Longest", std::string(263, 'v'));
    Set("TooLong", std::string(264, 'w'));
    Set("UnterminatedFull", std::string(264, 'u'), REG_BINARY, false);
    const struct {
        const char* value;
        bool read;
        std::string text;
    } cases[] = {
        {"Plain", true, "31.0.15.1234"},
        {"Unterminated", true, "abc"},
        {"Longest", true, std::string(263, 'v')},
        {"TooLong", false, ""},  // longer than the destination: rejected, not cut
        {"UnterminatedFull", false, ""},  // no room left for the terminating zero
        {"Missing", false, ""},
    };
    for (const auto& c : cases) {
        char dest[kReleaseVersionSize];
        std::memset(dest, 'x', sizeof(dest));
        EXPECT_EQ(c.read, ReadRegistryValue(path.c_str(), c.value, dest, sizeof(dest))) << c.value;
        EXPECT_EQ(c.text, std::string(dest)) << c.value;
    }
    char dest[16];
    EXPECT_FALSE(ReadRegistryValue((path + "\\Absent").c_str(), "Plain", dest, sizeof(dest)));
}

TEST_F(RegistryTest, AdapterTextAppendsTheReleaseVersionOfTheDeviceKey) {
    std::string deviceKey = "\\Registry\\Machine\\" + path;
    char text[260];
    ComposeDisplayAdapterText("Some Adapter", deviceKey.c_str(), text, sizeof(text));
    EXPECT_STREQ("Some Adapter | ", text);  // no "ReleaseVersion": the separator alone

    Set("ReleaseVersion", "27.21.14.5671");
    ComposeDisplayAdapterText("Some Adapter", deviceKey.c_str(), text, sizeof(text));
    EXPECT_STREQ("Some Adapter | 27.21.14.5671", text);

    ComposeDisplayAdapterText("Some Adapter", "\\Registry\\Machine\\Software\\Elsewhere", text, sizeof(text));
    EXPECT_STREQ("Some Adapter | ", text);  // a path without a "System" part is not read

    Set("ReleaseVersion", std::string(300, '9'));
    ComposeDisplayAdapterText("Some Adapter", deviceKey.c_str(), text, sizeof(text));
    EXPECT_STREQ("Some Adapter | ", text);  // a value longer than its buffer is not taken
}

TEST(DoubledRegistryPath, StartsAtSystemAndDoublesEveryBackslash) {
    char out[kRegistryPathSize];
    ASSERT_TRUE(DoubledRegistryPath("\\Registry\\Machine\\System\\A\\0000", out, sizeof(out)));
    EXPECT_STREQ("System\\\\A\\\\0000", out);
    EXPECT_FALSE(DoubledRegistryPath("\\Registry\\Machine\\Software\\A", out, sizeof(out)));
    std::string deep = "System";
    while (deep.size() < 200) deep += "\\S";  // fits undoubled, not doubled
    EXPECT_FALSE(DoubledRegistryPath(deep.c_str(), out, sizeof(out)));
}

TEST(SystemDescription, IsCutToItsFixedSizeWithTheTerminatingZero) {
    const struct {
        size_t adapterLength;
        size_t textLength;
    } cases[] = {{10, 9 + 3 + 10}, {259 - 12, 259}, {259 - 11, 259}, {400, 259}};
    for (const auto& c : cases) {
        char dest[kSystemDescriptionSize];
        std::memset(dest, 'z', sizeof(dest));
        ComposeSystemDescription("Windows 7", std::string(c.adapterLength, 'a').c_str(), dest);
        EXPECT_EQ(c.textLength, std::strlen(dest)) << "adapter text of " << c.adapterLength;
        EXPECT_EQ(0, std::strncmp(dest, "Windows 7 | aaa", 15));
        for (size_t i = c.textLength; i < sizeof(dest); ++i) ASSERT_EQ(0, dest[i]);
    }
}

TEST(SystemDescription, UnderWineIsWhatWineReports) {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(GetVersionExA(&version));
#pragma GCC diagnostic pop
    DISPLAY_DEVICEA device{};
    device.cb = sizeof(device);
    ASSERT_TRUE(EnumDisplayDevicesA(nullptr, 0, &device, 0));
    const char* system = std::strstr(device.DeviceKey, "System");
    ASSERT_NE(nullptr, system) << device.DeviceKey;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, system, 0, KEY_READ, &key));
    LONG release = RegQueryValueExA(key, "ReleaseVersion", nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    ASSERT_NE(ERROR_SUCCESS, release) << "this Wine's adapter has a release version now";

    std::string expected =
        std::string(WindowsVersionNameFor(version.dwMajorVersion, version.dwMinorVersion)) + " | " + device.DeviceString + " | ";
    char text[kSystemDescriptionSize];
    SystemDescription(text);
    EXPECT_EQ(expected, std::string(text));
}

}  // namespace
}  // namespace kestrel
