// The vendor's object buffers: created and updated with data that the records carry, mapped whole
// and written directly, their bytes recorded at unmap as for buffer objects.
#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/MappedBuffers.h"
#include "glrecord/RealGL.h"
#include "glrecord/RecorderSupport.h"
#include "glrecord/SizeRules.h"

namespace kestrel {

namespace {
constexpr kgl::GLenum kObjectBufferSize = 0x8764;
}  // namespace

kgl::GLuint GLKestrel::glNewObjectBufferATI(kgl::GLsizei size, const void* pointer, kgl::GLenum usage) {
    EnterCall();
    const kgl::GLuint result = CallReal<kgl::GLuint>(*this, fn::glNewObjectBufferATI, api::glNewObjectBufferATI, size,
                                                     pointer, usage);
    if (ShouldRecordOrLeave()) return result;
    RecordWithBlock(*this, api::glNewObjectBufferATI, pointer, rules::BlockBytes(size), size, pointer, usage, result);
    LeaveCall();
    return result;
}

void GLKestrel::glUpdateObjectBufferATI(kgl::GLuint buffer, kgl::GLuint offset, kgl::GLsizei size, const void* pointer,
                                        kgl::GLenum preserve) {
    EnterCall();
    CallReal<void>(*this, fn::glUpdateObjectBufferATI, api::glUpdateObjectBufferATI, buffer, offset, size, pointer,
                   preserve);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glUpdateObjectBufferATI, pointer, rules::BlockBytes(size), buffer, offset, size,
                    pointer, preserve);
    LeaveCall();
}

// An object buffer is mapped whole and for writing.
void* GLKestrel::glMapObjectBufferATI(kgl::GLuint buffer) {
    EnterCall();
    void* result = CallReal<void*>(*this, fn::glMapObjectBufferATI, api::glMapObjectBufferATI, buffer);
    if (ShouldRecordOrLeave()) return result;
    RecordValues(*this, api::glMapObjectBufferATI, buffer, result);
    if (ContextState* state = CurrentState()) {
        MappingEntry entry;
        if (result) {
            entry.mapped = 1;
            entry.pointer = HandleValue(result);
            entry.writable = 1;
            entry.size = static_cast<std::uint32_t>(realgl::GetObjectBufferParameter(buffer, kObjectBufferSize));
        }
        mappedBuffers_.FindOrCreate(state).StoreObjectBuffer(buffer, entry);
    }
    LeaveCall();
    return result;
}

// Recorded before the real unmap, while the bytes are still there.
void GLKestrel::glUnmapObjectBufferATI(kgl::GLuint buffer) {
    EnterCall();
    if (ShouldRecord()) {
        WrittenBytes written;
        if (ContextState* state = CurrentState())
            if (MappedBufferTable* table = mappedBuffers_.Find(state)) written = table->UnmapObjectBuffer(buffer);
        RecordWithBlock(*this, api::glUnmapObjectBufferATI, written.pointer, written.length, buffer);
    }
    CallReal<void>(*this, fn::glUnmapObjectBufferATI, api::glUnmapObjectBufferATI, buffer);
    LeaveCall();
}

// A freed object buffer is unmapped, and its name may come back for another.
void GLKestrel::glFreeObjectBufferATI(kgl::GLuint buffer) {
    EnterCall();
    CallReal<void>(*this, fn::glFreeObjectBufferATI, api::glFreeObjectBufferATI, buffer);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glFreeObjectBufferATI, buffer);
    if (ContextState* state = CurrentState())
        if (MappedBufferTable* table = mappedBuffers_.Find(state)) table->UnmapObjectBuffer(buffer);
    LeaveCall();
}

}  // namespace kestrel
