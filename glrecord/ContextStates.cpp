// The per-context recording states: found through the calling thread's current context.
#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "capture/GLKestrel.h"
#include "glrecord/RealGL.h"
#include "glrecord/RecorderSupport.h"

namespace kestrel {

ContextState* GLKestrel::CurrentState() {
    const auto thread = threadContexts_.find(CurrentThreadId());
    if (thread == threadContexts_.end() || thread->second == 0) return nullptr;
    const auto state = contextStates_.find(thread->second);
    return state == contextStates_.end() ? nullptr : state->second.get();
}

ContextState& GLKestrel::CreateState(kgl::HGLRC context) {
    std::unique_ptr<ContextState>& state = contextStates_[HandleValue(context)];
    if (state) {
        mappedBuffers_.Drop(state.get());  // a new state at that address must not find its table
        persistent_.AbandonOwner(state.get());
    }
    state = std::make_unique<ContextState>();
    return *state;
}

void GLKestrel::DropState(kgl::HGLRC context) {
    const auto state = contextStates_.find(HandleValue(context));
    if (state == contextStates_.end()) return;
    mappedBuffers_.Drop(state->second.get());
    persistent_.AbandonOwner(state->second.get());
    contextStates_.erase(state);
}

namespace {

using GetStringFn = const char*(__stdcall*)(kgl::GLenum);
using GetStringiFn = const char*(__stdcall*)(kgl::GLenum, kgl::GLuint);

// A string the GL handed out, up to its NUL. Its pages are not asked after: the driver's strings
// live in the host library's memory, which the system's memory queries do not describe.
std::string_view GLString(const char* text) {
    constexpr std::size_t kLongest = 1u << 20;
    return text ? std::string_view(text, strnlen(text, kLongest)) : std::string_view();
}

// The names of a list separated by spaces, as GLs before 3.0 give their extensions.
void AddNames(std::string_view list, std::vector<std::string_view>& names) {
    while (!list.empty()) {
        const std::size_t space = list.find(' ');
        if (space != 0) names.push_back(list.substr(0, space));
        if (space == std::string_view::npos) break;
        list.remove_prefix(space + 1);
    }
}

}  // namespace

// Asks only what the context's version and extensions say it knows: the application's error queue
// is left exactly as it was.
void GLKestrel::InitialiseState(ContextState& state) {
    auto getString = realgl::Entry<GetStringFn>(fn::glGetString);
    const std::string_view version = GLString(getString ? getString(0x1F02) : nullptr);
    const std::int32_t number = ParseVersion(version);
    std::vector<std::string_view> extensions;
    bool core = false, forwardCompatible = false;
    if (number >= 30) {
        // From 3.0 the names come one by one; a core profile refuses the single string.
        const auto byIndex = realgl::Entry<GetStringiFn>(fn::glGetStringi);
        const kgl::GLint count = byIndex ? std::min(realgl::GetInteger(0x821D), 4096) : 0;
        for (kgl::GLint i = 0; i < count; ++i)
            extensions.push_back(GLString(byIndex(0x1F03, static_cast<kgl::GLuint>(i))));
        forwardCompatible = (realgl::GetInteger(0x821E) & 1) != 0;
        if (number >= 32) core = (realgl::GetInteger(0x9126) & 1) != 0;
    } else if (getString) {
        AddNames(GLString(getString(0x1F03)), extensions);
    }
    const ContextFeatures features =
        ContextFeatures::From(version, core, forwardCompatible, extensions);
    ContextLimits limits;
    if (features.fixedFunction && features.version >= 13) limits.textureUnits = realgl::GetInteger(0x84E2);
    if (features.vertexAttributes) limits.vertexAttribs = realgl::GetInteger(0x8869);
    if (features.vertexShaderVariants) limits.variantSlots = realgl::GetInteger(0x87C6);
    state.Initialise(limits, features);
}

}  // namespace kestrel
