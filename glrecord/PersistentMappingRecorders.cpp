// Persistent mappings: the shadows handed to the application and the points where the GL may read
// them (draws and dispatches, flushes of a mapped range, barriers, fences, glFlush and glFinish,
// swaps, unmaps). At each point the pages written since the last one are compared with what the
// GL last received; the bytes that changed go into the real mapping and, ahead of the call's own
// record, into one mapped-write record per buffer.
//
// What the GL writes into a persistent buffer (transform feedback, image and storage writes,
// copies, query results) is copied back into the shadow after the waits the application can
// observe: a client wait that reports the fence signalled, a query of the fence's status that
// finds it signalled, and glFinish. Which ranges a shader
// wrote cannot be known here, so every persistent mapping of the context made with read access is
// compared whole with the second copy: a byte that differs was written by the GL, and it goes into
// the shadow unless the application changed that byte since (then the application's value stands
// and reaches the GL at the next point). A mapping without read access is never read by the
// application, so the GL's writes need not reach its shadow.
#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RealGL.h"
#include "glrecord/RecorderSupport.h"
#include "stream/MappedWritePayload.h"

namespace kestrel {

namespace {
constexpr kgl::GLbitfield kMapRead = 0x0001, kMapWrite = 0x0002, kMapPersistent = 0x0040;
constexpr kgl::GLenum kAlreadySignaled = 0x911A, kConditionSatisfied = 0x911C;
constexpr kgl::GLenum kSyncStatus = 0x9114, kSignaled = 0x9119;
}  // namespace

void* GLKestrel::HandMapping(kgl::GLuint buffer, void* mapped, std::uint32_t offset, std::uint32_t length,
                             kgl::GLbitfield access) {
    if (!mapped || buffer == 0 || (access & (kMapPersistent | kMapWrite)) != (kMapPersistent | kMapWrite))
        return mapped;
    ContextState* state = CurrentState();
    if (!state) return mapped;
    // Without a shadow the application writes the real mapping, as it would without a capture.
    std::uint8_t* shadow =
        persistent_.Add(state, buffer, offset, length, static_cast<std::uint8_t*>(mapped), (access & kMapRead) != 0);
    return shadow ? shadow : mapped;
}

void GLKestrel::EndPersistentMapping(ContextState* state, kgl::GLuint buffer) {
    if (persistent_.empty() || !state) return;
    if (PersistentMapping* mapping = persistent_.Find(state, buffer)) mapping->TakeWrites();
    persistent_.Remove(state, buffer);
}

void GLKestrel::WritePersistentMappings() {
    // A call inside another is covered by the outer one's point.
    if (!OutermostRunning()) return;
    ContextState* state = CurrentState();
    if (!state) return;
    persistent_.ForOwner(state, [this](PersistentMapping& mapping) {
        const std::vector<WrittenRun>& runs = mapping.TakeWrites();
        if (runs.empty()) return;
        std::uint64_t bytes = 0;
        for (const WrittenRun& run : runs) bytes += run.length;
        const std::uint64_t size = sizeof(MappedWriteHead) + runs.size() * sizeof(MappedWriteRun) + bytes;
        if (size > 0xFFFFFFF0u) return;  // more than a record holds: a mapping is at most 4 GiB here
        const MappedWriteHead head{mapping.buffer(), static_cast<std::uint32_t>(runs.size())};
        BeginRecord(kMappedWriteRecord, static_cast<std::uint32_t>(size));
        WriteData(sizeof head, &head);
        for (const WrittenRun& run : runs) {
            const MappedWriteRun at{mapping.offset() + run.offset, run.length};
            WriteData(sizeof at, &at);
        }
        for (const WrittenRun& run : runs) WriteData(run.length, mapping.copy() + run.offset);
    });
}

void GLKestrel::CopyPersistentBack() {
    if (!OutermostRunning()) return;
    if (ContextState* state = CurrentState())
        persistent_.ForOwner(state, [](PersistentMapping& mapping) { mapping.CopyBack(); });
}

// Explicit flushes and barriers: the GL reads what the application wrote before them.

void GLKestrel::glFlushMappedBufferRange(kgl::GLenum target, kgl::GLintptr offset, kgl::GLsizeiptr length) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glFlushMappedBufferRange, api::glFlushMappedBufferRange, target, offset, length);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glFlushMappedBufferRange, target, offset, length);
    LeaveCall();
}

void GLKestrel::glFlushMappedNamedBufferRange(kgl::GLuint buffer, kgl::GLintptr offset, kgl::GLsizeiptr length) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glFlushMappedNamedBufferRange, api::glFlushMappedNamedBufferRange, buffer, offset,
                   length);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glFlushMappedNamedBufferRange, buffer, offset, length);
    LeaveCall();
}

void GLKestrel::glMemoryBarrierEXT(kgl::GLbitfield barriers) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glMemoryBarrierEXT, api::glMemoryBarrierEXT, barriers);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glMemoryBarrierEXT, barriers);
    LeaveCall();
}

void GLKestrel::glMemoryBarrierByRegion(kgl::GLbitfield barriers) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glMemoryBarrierByRegion, api::glMemoryBarrierByRegion, barriers);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glMemoryBarrierByRegion, barriers);
    LeaveCall();
}

// Fences: the commands before a fence may read any mapping; a signalled wait makes the GL's writes
// visible to the application.

kgl::GLsync GLKestrel::glFenceSync(kgl::GLenum condition, kgl::GLbitfield flags) {
    EnterCall();
    BeforeGLReads();
    const kgl::GLsync result = CallReal<kgl::GLsync>(*this, fn::glFenceSync, api::glFenceSync, condition, flags);
    if (ShouldRecordOrLeave()) return result;
    RecordValues(*this, api::glFenceSync, condition, flags, result);
    LeaveCall();
    return result;
}

kgl::GLenum GLKestrel::glClientWaitSync(kgl::GLsync sync, kgl::GLbitfield flags, kgl::GLuint64 timeout) {
    EnterCall();
    const kgl::GLenum result =
        CallReal<kgl::GLenum>(*this, fn::glClientWaitSync, api::glClientWaitSync, sync, flags, timeout);
    if (result == kAlreadySignaled || result == kConditionSatisfied) AfterGLWait();
    if (ShouldRecordOrLeave()) return result;
    RecordValues(*this, api::glClientWaitSync, sync, flags, timeout, result);
    LeaveCall();
    return result;
}

// A fence polled instead of waited for: found signalled, it is a wait the application observes.
void GLKestrel::glGetSynciv(kgl::GLsync sync, kgl::GLenum pname, kgl::GLsizei count, kgl::GLsizei* length,
                            kgl::GLint* values) {
    EnterCall();
    CallReal<void>(*this, fn::glGetSynciv, api::glGetSynciv, sync, pname, count, length, values);
    if (pname == kSyncStatus && values && count > 0 && values[0] == static_cast<kgl::GLint>(kSignaled)) AfterGLWait();
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glGetSynciv, sync, pname, count, length, values);
    LeaveCall();
}

// The pointer of a mapping, asked again: the shadow the application was handed, not the real one.

void GLKestrel::ShadowOfMapping(void** pointer) {
    if (persistent_.empty() || !pointer || !*pointer) return;
    if (ContextState* state = CurrentState())
        persistent_.ForOwner(state, [pointer](PersistentMapping& mapping) {
            if (mapping.real() == *pointer) *pointer = mapping.shadow();
        });
}

// The target's or the buffer's mapping pointer, recorded as the generated recorders record it.
template <class Object>
void GLKestrel::MappingPointerQuery(unsigned index, std::uint32_t apiId, Object object, kgl::GLenum pname,
                                    void** params) {
    EnterCall();
    CallReal<void>(*this, index, apiId, object, pname, params);
    ShadowOfMapping(params);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, apiId, object, pname, params);
    LeaveCall();
}

void GLKestrel::glGetBufferPointervARB(kgl::GLenum target, kgl::GLenum pname, void** params) {
    MappingPointerQuery(fn::glGetBufferPointervARB, api::glGetBufferPointervARB, target, pname, params);
}

void GLKestrel::glGetNamedBufferPointerv(kgl::GLuint buffer, kgl::GLenum pname, void** params) {
    MappingPointerQuery(fn::glGetNamedBufferPointerv, api::glGetNamedBufferPointerv, buffer, pname, params);
}

void GLKestrel::glGetNamedBufferPointervEXT(kgl::GLuint buffer, kgl::GLenum pname, void** params) {
    MappingPointerQuery(fn::glGetNamedBufferPointervEXT, api::glGetNamedBufferPointervEXT, buffer, pname, params);
}

// Dispatches and the draws whose recorders are otherwise generated.

void GLKestrel::glDispatchCompute(kgl::GLuint x, kgl::GLuint y, kgl::GLuint z) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDispatchCompute, api::glDispatchCompute, x, y, z);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glDispatchCompute, x, y, z);
    LeaveCall();
}

void GLKestrel::glDispatchComputeIndirect(kgl::GLintptr indirect) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDispatchComputeIndirect, api::glDispatchComputeIndirect, indirect);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glDispatchComputeIndirect, indirect);
    LeaveCall();
}

void GLKestrel::glDrawArraysInstancedBaseInstance(kgl::GLenum mode, kgl::GLint first, kgl::GLsizei count,
                                                  kgl::GLsizei instancecount, kgl::GLuint baseinstance) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawArraysInstancedBaseInstance, api::glDrawArraysInstancedBaseInstance, mode, first,
                   count, instancecount, baseinstance);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glDrawArraysInstancedBaseInstance, mode, first, count, instancecount, baseinstance);
    LeaveCall();
}

void GLKestrel::glDrawElementsInstancedBaseInstance(kgl::GLenum mode, kgl::GLsizei count, kgl::GLenum type,
                                                    const void* indices, kgl::GLsizei instancecount,
                                                    kgl::GLuint baseinstance) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawElementsInstancedBaseInstance, api::glDrawElementsInstancedBaseInstance, mode,
                   count, type, indices, instancecount, baseinstance);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glDrawElementsInstancedBaseInstance, mode, count, type, indices, instancecount,
                 baseinstance);
    LeaveCall();
}

void GLKestrel::glDrawElementsInstancedBaseVertexBaseInstance(kgl::GLenum mode, kgl::GLsizei count, kgl::GLenum type,
                                                              const void* indices, kgl::GLsizei instancecount,
                                                              kgl::GLint basevertex, kgl::GLuint baseinstance) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawElementsInstancedBaseVertexBaseInstance,
                   api::glDrawElementsInstancedBaseVertexBaseInstance, mode, count, type, indices, instancecount,
                   basevertex, baseinstance);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glDrawElementsInstancedBaseVertexBaseInstance, mode, count, type, indices, instancecount,
                 basevertex, baseinstance);
    LeaveCall();
}

// Copies read the source buffer.

void GLKestrel::glCopyBufferSubData(kgl::GLenum readTarget, kgl::GLenum writeTarget, kgl::GLintptr readOffset,
                                    kgl::GLintptr writeOffset, kgl::GLsizeiptr size) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCopyBufferSubData, api::glCopyBufferSubData, readTarget, writeTarget, readOffset,
                   writeOffset, size);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glCopyBufferSubData, readTarget, writeTarget, readOffset, writeOffset, size);
    LeaveCall();
}

void GLKestrel::glCopyNamedBufferSubData(kgl::GLuint readBuffer, kgl::GLuint writeBuffer, kgl::GLintptr readOffset,
                                         kgl::GLintptr writeOffset, kgl::GLsizeiptr size) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glCopyNamedBufferSubData, api::glCopyNamedBufferSubData, readBuffer, writeBuffer,
                   readOffset, writeOffset, size);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glCopyNamedBufferSubData, readBuffer, writeBuffer, readOffset, writeOffset, size);
    LeaveCall();
}

}  // namespace kestrel
