// Reads the built recorder's PE export directory from the file itself.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

namespace {

struct Exports {
    std::string moduleName;
    std::vector<std::string> names;
};

// Maps an RVA to a file offset through the section table; 0 when no section holds it.
std::uint32_t FileOffset(const std::vector<char>& image, const IMAGE_NT_HEADERS* nt, std::uint32_t rva) {
    auto* section = IMAGE_FIRST_SECTION(nt);
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const std::uint32_t start = section->VirtualAddress;
        const std::uint32_t size = std::max(section->Misc.VirtualSize, section->SizeOfRawData);
        if (rva >= start && rva < start + size) {
            std::uint32_t offset = rva - start + section->PointerToRawData;
            return offset < image.size() ? offset : 0;
        }
    }
    return 0;
}

Exports ReadExports(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Exports result;
    if (image.size() < sizeof(IMAGE_DOS_HEADER)) return result;
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    // The recorder of this test's own width: PE32 for i686, PE32+ for x86-64.
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + dos->e_lfanew);
    if (nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) return result;
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(image.data() + FileOffset(image, nt, dir.VirtualAddress));
    result.moduleName = image.data() + FileOffset(image, nt, exports->Name);
    auto* nameRvas = reinterpret_cast<const std::uint32_t*>(image.data() + FileOffset(image, nt, exports->AddressOfNames));
    for (unsigned i = 0; i < exports->NumberOfNames; ++i)
        result.names.emplace_back(image.data() + FileOffset(image, nt, nameRvas[i]));
    return result;
}

// An interceptor's export name: stdcall-decorated with its argument bytes in the i686 recorder, plain
// in the x86-64 one, which has a single calling convention.
std::string Interceptor(const char* name, unsigned argBytes) {
    char text[128];
    if (sizeof(void*) == 4)
        std::snprintf(text, sizeof text, "_inttrk_%s@%u", name, argBytes);
    else
        std::snprintf(text, sizeof text, "_inttrk_%s", name);
    return text;
}

}  // namespace

TEST(RecorderExports, FullSurfaceUnderTheRecordersModuleName) {
    const Exports exports = ReadExports(KESTREL_RECORDER_DLL);
    EXPECT_EQ(exports.moduleName, "GLKESTREL.dll");
    EXPECT_EQ(exports.names.size(), 3163u);
    const std::set<std::string> names(exports.names.begin(), exports.names.end());
    EXPECT_EQ(names.size(), exports.names.size()) << "an export name repeats";
    for (const std::string& expected :
         {Interceptor("glBindBuffer", 8), Interceptor("glMultiTexCoord1dARB", 12),
          Interceptor("glDrawElementsInstancedBaseVertexBaseInstance", 28), Interceptor("wglCreateContextAttribsARB", 12),
          Interceptor("glAccum", 8), Interceptor("wglSwapBuffers", 4), std::string("GlmfBeginGlsBlock"),
          std::string("glDebugEntry"), std::string("wglGetDefaultProcAddress"), std::string("glAccum"),
          std::string("glViewport"), std::string("wglSwapMultipleBuffers"), std::string("wglUseFontOutlinesW")}) {
        EXPECT_TRUE(names.count(expected)) << expected;
    }
    std::size_t interceptors = 0;
    for (const std::string& name : exports.names) interceptors += name.rfind("_inttrk_", 0) == 0;
    EXPECT_EQ(interceptors, 2795u);
}

// An undecorated export and its interceptor twin are one function.
TEST(RecorderExports, UndecoratedAndInterceptorShareTheirAddress) {
    HMODULE recorder = LoadLibraryA(KESTREL_RECORDER_DLL);
    ASSERT_NE(recorder, nullptr);
    // Loading alone binds nothing: the real library waits for the first OpenGL call.
    EXPECT_EQ(GetModuleHandleA("opengl32-orig.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA("opengl32.dll"), nullptr);
    const std::pair<const char*, std::string> twins[] = {{"glAccum", Interceptor("glAccum", 8)},
                                                         {"glClear", Interceptor("glClear", 4)},
                                                         {"wglMakeCurrent", Interceptor("wglMakeCurrent", 8)}};
    for (const auto& [plain, interceptor] : twins) {
        FARPROC a = GetProcAddress(recorder, plain);
        EXPECT_NE(a, nullptr) << plain;
        EXPECT_EQ(a, GetProcAddress(recorder, interceptor.c_str())) << plain;
    }
    FreeLibrary(recorder);
}
