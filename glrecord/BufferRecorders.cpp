// Buffer object recorders: binding and deleting keep the bound-buffer flags that decide whether a
// draw's vertices and indices lie in client memory.
#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RealGL.h"
#include "glrecord/RecorderSupport.h"

namespace kestrel {

void GLKestrel::glBindBufferARB(kgl::GLenum target, kgl::GLuint buffer) {
    EnterCall();
    CallReal<void>(*this, fn::glBindBufferARB, api::glBindBufferARB, target, buffer);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glBindBufferARB, target, buffer);
    if (ContextState* state = CurrentState()) state->BindBuffer(target, buffer);
    LeaveCall();
}

void GLKestrel::glDeleteBuffersARB(kgl::GLsizei n, const kgl::GLuint* buffers) {
    EnterCall();
    CallReal<void>(*this, fn::glDeleteBuffersARB, api::glDeleteBuffersARB, n, buffers);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t bytes = n > 0 && buffers ? static_cast<std::uint32_t>(n) * 4u : 0u;
    const Packed<kgl::GLsizei, const kgl::GLuint*> fixed(n, buffers);
    BeginRecord(api::glDeleteBuffersARB, sizeof fixed.bytes + bytes);
    WriteData(sizeof fixed.bytes, fixed.bytes);
    WriteData(bytes, buffers);
    if (ContextState* state = CurrentState()) {
        // Deleting a bound buffer unbinds it: the GL's bindings tell which flags to clear.
        static constexpr struct {
            kgl::GLenum binding, target;
        } kBindings[] = {{0x8894, 0x8892}, {0x8895, 0x8893}, {0x8F43, 0x8F3F}, {0x88ED, 0x88EB}, {0x88EF, 0x88EC}};
        for (const auto& b : kBindings)
            if (realgl::GetInteger(b.binding) == 0) state->BindBuffer(b.target, 0);
    }
    LeaveCall();
}

}  // namespace kestrel
