// Buffer object recorders: the data that uploads carry, the bound-buffer flags that decide whether a
// draw's vertices and indices lie in client memory, and the mappings whose bytes the application
// writes directly, recorded at unmap.
#include <cstring>
#include <new>

#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/MappedBuffers.h"
#include "glrecord/RealGL.h"
#include "glrecord/RecorderSupport.h"
#include "glrecord/SizeRules.h"

namespace kestrel {

namespace {

constexpr kgl::GLenum kBufferSize = 0x8764, kBufferAccess = 0x88BB, kBufferMapPointer = 0x88BD;
constexpr kgl::GLenum kReadOnly = 0x88B8;

kgl::GLuint BoundBuffer(kgl::GLenum target) {
    const kgl::GLenum binding = MappedBufferTable::BindingQuery(target);
    return binding ? static_cast<kgl::GLuint>(realgl::GetInteger(binding)) : 0u;
}

std::uint32_t Bytes(std::intptr_t size) { return rules::BlockBytes(size); }

// How a map call reached its buffer: through a target, or by name.
struct MapTarget {
    kgl::GLenum target;  // 0 for a named map
    kgl::GLuint buffer;
};

kgl::GLint BufferParameter(const MapTarget& via, kgl::GLenum name) {
    return via.target ? realgl::GetBufferParameter(via.target, name) : realgl::GetNamedBufferParameter(via.buffer, name);
}

void* BufferPointer(const MapTarget& via) {
    return via.target ? realgl::GetBufferPointer(via.target, kBufferMapPointer)
                      : realgl::GetNamedBufferPointer(via.buffer, kBufferMapPointer);
}

}  // namespace

bool GLKestrel::PixelBufferBound(const ContextState* state, bool unpack) const {
    // Without a state the context's features are unknown, and asking a context without pixel buffers
    // would put an error into the application's queue: then none counts as bound.
    return state && (unpack ? state->pixelUnpackBufferBound : state->pixelPackBufferBound) != 0;
}

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
    const std::uint32_t count = n > 0 && buffers ? static_cast<std::uint32_t>(n) : 0u;
    RecordWithBlock(*this, api::glDeleteBuffersARB, buffers, rules::BlockBytes(count, 4u), n, buffers);
    if (ContextState* state = CurrentState()) {
        // Deleting a bound buffer unbinds it: the GL's bindings tell which flags to clear.
        // Only the bindings the context has are asked: another query would raise an error.
        const ContextFeatures& has = state->features;
        const struct {
            kgl::GLenum binding, target;
            bool known;
        } bindings[] = {{0x8894, 0x8892, has.bufferObjects}, {0x8895, 0x8893, has.bufferObjects},
                        {0x8F43, 0x8F3F, has.drawIndirect}, {0x88ED, 0x88EB, has.pixelBuffers},
                        {0x88EF, 0x88EC, has.pixelBuffers}};
        for (const auto& b : bindings)
            if (b.known && realgl::GetInteger(b.binding) == 0) state->BindBuffer(b.target, 0);
        // A deleted buffer is unmapped, and its name may come back for another buffer.
        // Its shadow goes too, never copied: the real mapping is gone.
        if (MappedBufferTable* table = mappedBuffers_.Find(state))
            for (std::uint32_t i = 0; i < count; ++i) {
                table->Unmap(buffers[i]);
                persistent_.Remove(state, buffers[i]);
            }
    }
    LeaveCall();
}

// Uploads: the fixed part, then the bytes the GL took from the data pointer.

void GLKestrel::glBufferDataARB(kgl::GLenum target, kgl::GLsizeiptrARB size, const void* data, kgl::GLenum usage) {
    EnterCall();
    CallReal<void>(*this, fn::glBufferDataARB, api::glBufferDataARB, target, size, data, usage);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glBufferDataARB, data, Bytes(size), target, size, data, usage);
    // A new data store unmaps the old one: its mapping must never be read at a later unmap.
    if (MappedBufferTable* table = mappedBuffers_.Find(CurrentState())) table->Unmap(BoundBuffer(target));
    LeaveCall();
}

void GLKestrel::glBufferSubDataARB(kgl::GLenum target, kgl::GLintptrARB offset, kgl::GLsizeiptrARB size,
                                   const void* data) {
    EnterCall();
    CallReal<void>(*this, fn::glBufferSubDataARB, api::glBufferSubDataARB, target, offset, size, data);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glBufferSubDataARB, data, Bytes(size), target, offset, size, data);
    LeaveCall();
}

void GLKestrel::glNamedBufferData(kgl::GLuint buffer, kgl::GLsizeiptr size, const void* data, kgl::GLenum usage) {
    EnterCall();
    CallReal<void>(*this, fn::glNamedBufferData, api::glNamedBufferData, buffer, size, data, usage);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glNamedBufferData, data, Bytes(size), buffer, size, data, usage);
    if (MappedBufferTable* table = mappedBuffers_.Find(CurrentState())) table->Unmap(buffer);
    LeaveCall();
}

void GLKestrel::glNamedBufferDataEXT(kgl::GLuint buffer, kgl::GLsizeiptr size, const void* data, kgl::GLenum usage) {
    EnterCall();
    CallReal<void>(*this, fn::glNamedBufferDataEXT, api::glNamedBufferDataEXT, buffer, size, data, usage);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glNamedBufferDataEXT, data, Bytes(size), buffer, size, data, usage);
    if (MappedBufferTable* table = mappedBuffers_.Find(CurrentState())) table->Unmap(buffer);
    LeaveCall();
}

void GLKestrel::glNamedBufferSubData(kgl::GLuint buffer, kgl::GLintptr offset, kgl::GLsizeiptr size, const void* data) {
    EnterCall();
    CallReal<void>(*this, fn::glNamedBufferSubData, api::glNamedBufferSubData, buffer, offset, size, data);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glNamedBufferSubData, data, Bytes(size), buffer, offset, size, data);
    LeaveCall();
}

void GLKestrel::glNamedBufferSubDataEXT(kgl::GLuint buffer, kgl::GLintptr offset, kgl::GLsizeiptr size,
                                        const void* data) {
    EnterCall();
    CallReal<void>(*this, fn::glNamedBufferSubDataEXT, api::glNamedBufferSubDataEXT, buffer, offset, size, data);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glNamedBufferSubDataEXT, data, Bytes(size), buffer, offset, size, data);
    LeaveCall();
}

void GLKestrel::glBufferStorage(kgl::GLenum target, kgl::GLsizeiptr size, const void* data, kgl::GLbitfield flags) {
    EnterCall();
    CallReal<void>(*this, fn::glBufferStorage, api::glBufferStorage, target, size, data, flags);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glBufferStorage, data, Bytes(size), target, size, data, flags);
    LeaveCall();
}

void GLKestrel::glNamedBufferStorage(kgl::GLuint buffer, kgl::GLsizeiptr size, const void* data,
                                     kgl::GLbitfield flags) {
    EnterCall();
    CallReal<void>(*this, fn::glNamedBufferStorage, api::glNamedBufferStorage, buffer, size, data, flags);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glNamedBufferStorage, data, Bytes(size), buffer, size, data, flags);
    LeaveCall();
}

// Clears of buffer data: one pixel of format and type, every component of it.

void GLKestrel::glClearBufferData(kgl::GLenum target, kgl::GLenum internalformat, kgl::GLenum format, kgl::GLenum type,
                                  const void* data) {
    EnterCall();
    CallReal<void>(*this, fn::glClearBufferData, api::glClearBufferData, target, internalformat, format, type, data);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glClearBufferData, data, rules::BytesPerPixel(type, format), target, internalformat,
                    format, type, data);
    LeaveCall();
}

void GLKestrel::glClearBufferSubData(kgl::GLenum target, kgl::GLenum internalformat, kgl::GLintptr offset,
                                     kgl::GLsizeiptr size, kgl::GLenum format, kgl::GLenum type, const void* data) {
    EnterCall();
    CallReal<void>(*this, fn::glClearBufferSubData, api::glClearBufferSubData, target, internalformat, offset, size,
                   format, type, data);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glClearBufferSubData, data, rules::BytesPerPixel(type, format), target, internalformat,
                    offset, size, format, type, data);
    LeaveCall();
}

void GLKestrel::glClearNamedBufferData(kgl::GLuint buffer, kgl::GLenum internalformat, kgl::GLenum format,
                                       kgl::GLenum type, const void* data) {
    EnterCall();
    CallReal<void>(*this, fn::glClearNamedBufferData, api::glClearNamedBufferData, buffer, internalformat, format, type,
                   data);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glClearNamedBufferData, data, rules::BytesPerPixel(type, format), buffer,
                    internalformat, format, type, data);
    LeaveCall();
}

void GLKestrel::glClearNamedBufferSubData(kgl::GLuint buffer, kgl::GLenum internalformat, kgl::GLintptr offset,
                                          kgl::GLsizeiptr size, kgl::GLenum format, kgl::GLenum type,
                                          const void* data) {
    EnterCall();
    CallReal<void>(*this, fn::glClearNamedBufferSubData, api::glClearNamedBufferSubData, buffer, internalformat,
                   offset, size, format, type, data);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glClearNamedBufferSubData, data, rules::BytesPerPixel(type, format), buffer,
                    internalformat, offset, size, format, type, data);
    LeaveCall();
}

void GLKestrel::glClearNamedBufferSubDataEXT(kgl::GLuint buffer, kgl::GLenum internalformat, kgl::GLsizeiptr offset,
                                             kgl::GLsizeiptr size, kgl::GLenum format, kgl::GLenum type,
                                             const void* data) {
    EnterCall();
    CallReal<void>(*this, fn::glClearNamedBufferSubDataEXT, api::glClearNamedBufferSubDataEXT, buffer, internalformat,
                   offset, size, format, type, data);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glClearNamedBufferSubDataEXT, data, rules::BytesPerPixel(type, format), buffer,
                    internalformat, offset, size, format, type, data);
    LeaveCall();
}

// Queries: what the GL answered, read after the call.

void GLKestrel::glGetNamedBufferSubData(kgl::GLuint buffer, kgl::GLintptr offset, kgl::GLsizeiptr size, void* data) {
    EnterCall();
    CallReal<void>(*this, fn::glGetNamedBufferSubData, api::glGetNamedBufferSubData, buffer, offset, size, data);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glGetNamedBufferSubData, data, Bytes(size), buffer, offset, size, data);
    LeaveCall();
}

void GLKestrel::glGetNamedBufferParameteriv(kgl::GLuint buffer, kgl::GLenum pname, kgl::GLint* params) {
    EnterCall();
    CallReal<void>(*this, fn::glGetNamedBufferParameteriv, api::glGetNamedBufferParameteriv, buffer, pname, params);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glGetNamedBufferParameteriv, params, 4, buffer, pname, params);
    LeaveCall();
}

void GLKestrel::glGetNamedBufferParameteri64v(kgl::GLuint buffer, kgl::GLenum pname, kgl::GLint64* params) {
    EnterCall();
    CallReal<void>(*this, fn::glGetNamedBufferParameteri64v, api::glGetNamedBufferParameteri64v, buffer, pname, params);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glGetNamedBufferParameteri64v, params, 8, buffer, pname, params);
    LeaveCall();
}

void GLKestrel::glGenBuffersARB(kgl::GLsizei n, kgl::GLuint* buffers) {
    EnterCall();
    CallReal<void>(*this, fn::glGenBuffersARB, api::glGenBuffersARB, n, buffers);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glGenBuffersARB, buffers, rules::BlockBytes(n, 4u), n, buffers);
    LeaveCall();
}

void GLKestrel::glCreateBuffers(kgl::GLsizei n, kgl::GLuint* buffers) {
    EnterCall();
    CallReal<void>(*this, fn::glCreateBuffers, api::glCreateBuffers, n, buffers);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glCreateBuffers, buffers, rules::BlockBytes(n, 4u), n, buffers);
    LeaveCall();
}

// Framebuffer clears: the values by the buffer cleared.

void GLKestrel::glClearBufferfv(kgl::GLenum buffer, kgl::GLint drawbuffer, const kgl::GLfloat* value) {
    EnterCall();
    CallReal<void>(*this, fn::glClearBufferfv, api::glClearBufferfv, buffer, drawbuffer, value);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glClearBufferfv, value, rules::ClearValueCount(buffer) * 4, buffer, drawbuffer, value);
    LeaveCall();
}

void GLKestrel::glClearBufferiv(kgl::GLenum buffer, kgl::GLint drawbuffer, const kgl::GLint* value) {
    EnterCall();
    CallReal<void>(*this, fn::glClearBufferiv, api::glClearBufferiv, buffer, drawbuffer, value);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glClearBufferiv, value, rules::ClearValueCount(buffer) * 4, buffer, drawbuffer, value);
    LeaveCall();
}

void GLKestrel::glClearBufferuiv(kgl::GLenum buffer, kgl::GLint drawbuffer, const kgl::GLuint* value) {
    EnterCall();
    CallReal<void>(*this, fn::glClearBufferuiv, api::glClearBufferuiv, buffer, drawbuffer, value);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glClearBufferuiv, value, rules::ClearValueCount(buffer) * 4, buffer, drawbuffer, value);
    LeaveCall();
}

void GLKestrel::glClearNamedFramebufferfv(kgl::GLuint framebuffer, kgl::GLenum buffer, kgl::GLint drawbuffer,
                                          const kgl::GLfloat* value) {
    EnterCall();
    CallReal<void>(*this, fn::glClearNamedFramebufferfv, api::glClearNamedFramebufferfv, framebuffer, buffer,
                   drawbuffer, value);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glClearNamedFramebufferfv, value, rules::ClearValueCount(buffer) * 4, framebuffer,
                    buffer, drawbuffer, value);
    LeaveCall();
}

void GLKestrel::glClearNamedFramebufferiv(kgl::GLuint framebuffer, kgl::GLenum buffer, kgl::GLint drawbuffer,
                                          const kgl::GLint* value) {
    EnterCall();
    CallReal<void>(*this, fn::glClearNamedFramebufferiv, api::glClearNamedFramebufferiv, framebuffer, buffer,
                   drawbuffer, value);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glClearNamedFramebufferiv, value, rules::ClearValueCount(buffer) * 4, framebuffer,
                    buffer, drawbuffer, value);
    LeaveCall();
}

void GLKestrel::glClearNamedFramebufferuiv(kgl::GLuint framebuffer, kgl::GLenum buffer, kgl::GLint drawbuffer,
                                           const kgl::GLuint* value) {
    EnterCall();
    CallReal<void>(*this, fn::glClearNamedFramebufferuiv, api::glClearNamedFramebufferuiv, framebuffer, buffer,
                   drawbuffer, value);
    if (ShouldRecordOrLeave()) return;
    RecordWithBlock(*this, api::glClearNamedFramebufferuiv, value, rules::ClearValueCount(buffer) * 4, framebuffer,
                    buffer, drawbuffer, value);
    LeaveCall();
}

// Mapping: after the record, the context's table learns where the mapping is, from the GL itself.

kgl::GLuint GLKestrel::NoteMapping(kgl::GLenum target, kgl::GLuint buffer, const void* mapped, std::uint32_t offset,
                                   std::uint32_t length) {
    ContextState* state = CurrentState();
    if (!state) return 0;
    const int group = target ? MappedBufferTable::Group(target) : -1;
    if (target && group < 0) return 0;  // a target outside the groups is not followed
    const MapTarget via{target, target ? BoundBuffer(target) : buffer};
    MappingEntry entry;
    entry.offset = offset;
    entry.length = length;
    if (mapped) {
        const void* pointer = BufferPointer(via);
        entry.mapped = 1;
        entry.pointer = HandleValue(pointer ? pointer : mapped);
        entry.writable = static_cast<kgl::GLenum>(BufferParameter(via, kBufferAccess)) != kReadOnly;
        entry.size = static_cast<std::uint32_t>(BufferParameter(via, kBufferSize));
    }
    mappedBuffers_.FindOrCreate(state).Store(group, via.buffer, entry);
    return via.buffer;
}

void* GLKestrel::glMapBufferARB(kgl::GLenum target, kgl::GLenum access) {
    EnterCall();
    void* result = CallReal<void*>(*this, fn::glMapBufferARB, api::glMapBufferARB, target, access);
    if (ShouldRecordOrLeave()) return result;
    RecordValues(*this, api::glMapBufferARB, target, access, result);
    NoteMapping(target, 0, result, 0, 0);
    LeaveCall();
    return result;
}

void* GLKestrel::glMapBufferRange(kgl::GLenum target, kgl::GLintptr offset, kgl::GLsizeiptr length,
                                  kgl::GLbitfield access) {
    EnterCall();
    void* result = CallReal<void*>(*this, fn::glMapBufferRange, api::glMapBufferRange, target, offset, length, access);
    if (ShouldRecordOrLeave()) return result;
    // The application gets the shadow of a persistent mapping; the record holds what it got.
    const kgl::GLuint name = NoteMapping(target, 0, result, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length));
    void* handed = HandMapping(name, result, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length), access);
    RecordValues(*this, api::glMapBufferRange, target, offset, length, access, handed);
    LeaveCall();
    return handed;
}

void* GLKestrel::glMapNamedBuffer(kgl::GLuint buffer, kgl::GLenum access) {
    EnterCall();
    void* result = CallReal<void*>(*this, fn::glMapNamedBuffer, api::glMapNamedBuffer, buffer, access);
    if (ShouldRecordOrLeave()) return result;
    RecordValues(*this, api::glMapNamedBuffer, buffer, access, result);
    NoteMapping(0, buffer, result, 0, 0);
    LeaveCall();
    return result;
}

void* GLKestrel::glMapNamedBufferEXT(kgl::GLuint buffer, kgl::GLenum access) {
    EnterCall();
    void* result = CallReal<void*>(*this, fn::glMapNamedBufferEXT, api::glMapNamedBufferEXT, buffer, access);
    if (ShouldRecordOrLeave()) return result;
    RecordValues(*this, api::glMapNamedBufferEXT, buffer, access, result);
    NoteMapping(0, buffer, result, 0, 0);
    LeaveCall();
    return result;
}

void* GLKestrel::glMapNamedBufferRange(kgl::GLuint buffer, kgl::GLintptr offset, kgl::GLsizeiptr length,
                                       kgl::GLbitfield access) {
    EnterCall();
    void* result =
        CallReal<void*>(*this, fn::glMapNamedBufferRange, api::glMapNamedBufferRange, buffer, offset, length, access);
    if (ShouldRecordOrLeave()) return result;
    // The application gets the shadow of a persistent mapping; the record holds what it got.
    const kgl::GLuint name = NoteMapping(0, buffer, result, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length));
    void* handed = HandMapping(name, result, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length), access);
    RecordValues(*this, api::glMapNamedBufferRange, buffer, offset, length, access, handed);
    LeaveCall();
    return handed;
}

void* GLKestrel::glMapNamedBufferRangeEXT(kgl::GLuint buffer, kgl::GLintptr offset, kgl::GLsizeiptr length,
                                          kgl::GLbitfield access) {
    EnterCall();
    void* result = CallReal<void*>(*this, fn::glMapNamedBufferRangeEXT, api::glMapNamedBufferRangeEXT, buffer, offset,
                                   length, access);
    if (ShouldRecordOrLeave()) return result;
    // The application gets the shadow of a persistent mapping; the record holds what it got.
    const kgl::GLuint name = NoteMapping(0, buffer, result, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length));
    void* handed = HandMapping(name, result, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(length), access);
    RecordValues(*this, api::glMapNamedBufferRangeEXT, buffer, offset, length, access, handed);
    LeaveCall();
    return handed;
}

// Unmapping: the bytes are copied while the buffer is still mapped, then the real unmap runs, and
// the record carries the bytes and the real result. A buffer without a mapping to read records the
// fixed part.

WrittenBytes GLKestrel::CopyUnmapped(kgl::GLuint buffer) {
    WrittenBytes written;
    if (ContextState* state = CurrentState())
        if (MappedBufferTable* table = mappedBuffers_.Find(state)) {
            EndPersistentMapping(state, buffer);
            written = table->Unmap(buffer);
        }
    if (written.length == 0) return {};
    if (unmapCopySize_ < written.length) {
        // A mapping too large for this process's memory is recorded before the real unmap instead,
        // as if it succeeded.
        std::unique_ptr<std::uint8_t[]> larger(new (std::nothrow) std::uint8_t[written.length]);
        if (!larger) return {written.pointer, written.length};
        unmapCopy_ = std::move(larger);
        unmapCopySize_ = written.length;
    }
    // A mapping without read access may not be readable: what cannot be read is recorded as zeros.
    const std::uint32_t readable = ReadablePrefix(written.pointer, written.length, DriverMemoryReadable);
    std::memcpy(unmapCopy_.get(), written.pointer, readable);
    std::memset(unmapCopy_.get() + readable, 0, written.length - readable);
    return {unmapCopy_.get(), written.length};
}

void GLKestrel::ReleaseUnmapCopy() {
    // The common small unmaps keep their buffer; a larger one goes back at once, or one large unmap
    // would hold its size for the rest of the process.
    constexpr std::uint32_t kKeptUnmapCopy = 256 * 1024;
    if (unmapCopySize_ <= kKeptUnmapCopy) return;
    unmapCopy_.reset();
    unmapCopySize_ = 0;
}

namespace {

template <class Argument>
kgl::GLboolean Unmap(GLKestrel& k, unsigned index, std::uint32_t apiId, Argument argument, kgl::GLuint buffer) {
    k.EnterCall();
    const bool record = k.ShouldRecord();
    const WrittenBytes written = record ? k.CopyUnmapped(buffer) : WrittenBytes{};
    if (record && written.length != 0 && !k.OwnsUnmapCopy(written.pointer)) {
        // Not copied: recorded while the mapping still holds the bytes.
        RecordWithBlock(k, apiId, written.pointer, written.length, argument, kgl::GLboolean{1});
        const kgl::GLboolean result = CallReal<kgl::GLboolean>(k, index, apiId, argument);
        k.LeaveCall();
        return result;
    }
    const kgl::GLboolean result = CallReal<kgl::GLboolean>(k, index, apiId, argument);
    if (record) RecordWithBlock(k, apiId, written.pointer, written.length, argument, result);
    k.ReleaseUnmapCopy();
    k.LeaveCall();
    return result;
}

}  // namespace

kgl::GLboolean GLKestrel::glUnmapBufferARB(kgl::GLenum target) {
    return Unmap(*this, fn::glUnmapBufferARB, api::glUnmapBufferARB, target, BoundBuffer(target));
}

kgl::GLboolean GLKestrel::glUnmapNamedBuffer(kgl::GLuint buffer) {
    return Unmap(*this, fn::glUnmapNamedBuffer, api::glUnmapNamedBuffer, buffer, buffer);
}

kgl::GLboolean GLKestrel::glUnmapNamedBufferEXT(kgl::GLuint buffer) {
    return Unmap(*this, fn::glUnmapNamedBufferEXT, api::glUnmapNamedBufferEXT, buffer, buffer);
}

}  // namespace kestrel
