// The per-context recording states: found through the calling thread's current context.
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
    if (state) mappedBuffers_.Drop(state.get());  // a new state at that address must not find its table
    state = std::make_unique<ContextState>();
    return *state;
}

void GLKestrel::DropState(kgl::HGLRC context) {
    const auto state = contextStates_.find(HandleValue(context));
    if (state == contextStates_.end()) return;
    mappedBuffers_.Drop(state->second.get());
    contextStates_.erase(state);
}

void GLKestrel::InitialiseState(ContextState& state) {
    ContextLimits limits;
    limits.textureUnits = realgl::GetInteger(0x84E2);
    limits.vertexAttribs = realgl::GetInteger(0x8869);
    // Only a GL that knows the vertex shader extension is asked for its variant count.
    if (g_realEntries[fn::glGetVariantIntegervEXT]) limits.variantSlots = realgl::GetInteger(0x87C6);
    const kgl::GLint major = realgl::GetInteger(0x821B);  // raises an error before 3.0, leaving 0
    if (major >= 3) limits.version = major * 10 + realgl::GetInteger(0x821C);
    // A context is initialised at its first activation, before the application could have made an
    // error on it: what these queries raise (a core profile knows no texture-unit count) is ours.
    realgl::DrainErrors();
    state.Initialise(limits);
}

}  // namespace kestrel
