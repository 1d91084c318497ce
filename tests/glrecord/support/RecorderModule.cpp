#include "tests/glrecord/support/RecorderModule.h"

#include <cstdio>
#include <cstdlib>

#include "glrecord/GLTypes.h"

namespace {
[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "recorder module: %s\n", what.c_str());
    std::exit(3);
}
}  // namespace

void RecorderModule::Load(const char* path) {
    module_ = LoadLibraryA(path);
    if (!module_) Fail(std::string("cannot load ") + path);
    // A pass-through export binds the real library first and leaves no record.
    Gl<void(kgl::GLuint, kgl::GLuint)>("glDebugEntry")(0, 0);
    fakeModule_ = GetModuleHandleA("OpenGL32-orig.dll");
    if (!fakeModule_ || !fake_.Bind(fakeModule_)) Fail("the recorder did not bind the fake system library");
}

void* RecorderModule::Export(const std::string& name) const {
    void* address = reinterpret_cast<void*>(GetProcAddress(module_, name.c_str()));
    if (!address) Fail("the recorder does not export " + name);
    return address;
}

std::string RecorderModule::InterceptorName(const char* glName, std::uint32_t argBytes) const {
    return "_inttrk_" + std::string(glName) + "@" + std::to_string(argBytes);
}
