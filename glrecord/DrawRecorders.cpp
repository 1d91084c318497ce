// The draw recorders: the client memory each draw reaches goes into the capture ahead of the draw's
// own record; the draw hook runs after it.
#include <algorithm>
#include <cstring>
#include <vector>

#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/IndexRange.h"
#include "glrecord/RealGL.h"
#include "glrecord/RecorderSupport.h"
#include "glrecord/SizeRules.h"

namespace kestrel {

namespace {

std::uint32_t Count(kgl::GLsizei count) { return count > 0 ? static_cast<std::uint32_t>(count) : 0u; }

// The primitive modes the GL draws: points to polygon, the adjacency modes and patches. The GL
// refuses any other without drawing.
bool DrawMode(kgl::GLenum mode) { return mode <= 0xE; }
bool IndexType(kgl::GLenum type) { return type == 0x1401 || type == 0x1403 || type == 0x1405; }

// Client memory of a range given by the application (first and count, or start and end).
void DumpRange(GLKestrel& k, ContextState* state, kgl::GLint first, kgl::GLsizei count) {
    if (state && first >= 0 && count > 0) k.DumpArrays(*state, static_cast<std::uint32_t>(first), Count(count));
}

void DumpStartEnd(GLKestrel& k, ContextState* state, kgl::GLuint start, kgl::GLuint end) {
    if (state && end >= start) k.DumpArrays(*state, start, end - start + 1);
}

}  // namespace

void GLKestrel::glArrayElement(kgl::GLint i) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glArrayElement, api::glArrayElement, i);
    if (ShouldRecordOrLeave()) return;
    DumpRange(*this, CurrentState(), i, 1);
    RecordValues(*this, api::glArrayElement, i);
    // A draw like the others; between glBegin and glEnd the hook counts it but takes no image.
    DrawHook();
    LeaveCall();
}

void GLKestrel::glDrawArrays(kgl::GLenum mode, kgl::GLint first, kgl::GLsizei count) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawArrays, api::glDrawArrays, mode, first, count);
    if (ShouldRecordOrLeave()) return;
    DumpRange(*this, CurrentState(), first, count);
    RecordValues(*this, api::glDrawArrays, mode, first, count);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glDrawArraysInstancedARB(kgl::GLenum mode, kgl::GLint first, kgl::GLsizei count,
                                         kgl::GLsizei primcount) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawArraysInstancedARB, api::glDrawArraysInstancedARB, mode, first, count, primcount);
    if (ShouldRecordOrLeave()) return;
    if (primcount > 0) DumpRange(*this, CurrentState(), first, count);  // no instance reads no vertex
    RecordValues(*this, api::glDrawArraysInstancedARB, mode, first, count, primcount);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glMultiDrawArraysEXT(kgl::GLenum mode, const kgl::GLint* first, const kgl::GLsizei* count,
                                     kgl::GLsizei primcount) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glMultiDrawArraysEXT, api::glMultiDrawArraysEXT, mode, first, count, primcount);
    if (ShouldRecordOrLeave()) return;
    // A call the GL refuses records no draws. Its refusal is told from the arguments, never from the
    // error queue: that is the application's, and may hold an error of an earlier call.
    bool refused = primcount < 0 || !DrawMode(mode);
    for (kgl::GLsizei i = 0; !refused && count && i < primcount; ++i) refused = count[i] < 0;
    const kgl::GLsizei recorded = refused ? 0 : primcount;
    // A draw count whose arrays cannot exist in the process records none.
    const std::uint32_t draws = first && count && rules::BlockBytes(recorded, 8u) ? Count(recorded) : 0;
    if (ContextState* state = CurrentState())
        for (std::uint32_t i = 0; i < draws; ++i) DumpRange(*this, state, first[i], count[i]);
    const Packed<kgl::GLenum, const kgl::GLint*, const kgl::GLsizei*, kgl::GLsizei> fixed(mode, first, count, recorded);
    BeginRecord(api::glMultiDrawArraysEXT, sizeof fixed.bytes + draws * 8);
    WriteData(sizeof fixed.bytes, fixed.bytes);
    WriteData(draws * 4, first);
    WriteData(draws * 4, count);
    DrawHook();
    LeaveCall();
}

namespace {

// The common shape of the single indexed draws: arrays from the index range, the fixed part, the
// index data block.
// An instanced draw of no instance reaches no vertex.
template <class... Tail>
void RecordIndexedDraw(GLKestrel& k, std::uint32_t apiId, bool instances, kgl::GLenum mode, kgl::GLsizei count,
                       kgl::GLenum type, const void* indices, std::int32_t baseVertex, Tail... tail) {
    ContextState* state = k.CurrentState();
    if (instances && DrawMode(mode)) k.DumpIndexed(state, Count(count), type, indices, baseVertex);
    const bool inBuffer = k.ElementBufferBound(state);
    const std::uint32_t data = GLKestrel::IndexDataSize(inBuffer, Count(count), type, indices);
    const Packed<kgl::GLenum, kgl::GLsizei, kgl::GLenum, const void*, Tail...> fixed(mode, count, type, indices,
                                                                                     tail...);
    k.BeginRecord(apiId, sizeof fixed.bytes + data);
    k.WriteData(sizeof fixed.bytes, fixed.bytes);
    k.WriteIndexData(inBuffer, Count(count), type, indices);
}

}  // namespace

void GLKestrel::glDrawElements(kgl::GLenum mode, kgl::GLsizei count, kgl::GLenum type, const void* indices) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawElements, api::glDrawElements, mode, count, type, indices);
    if (ShouldRecordOrLeave()) return;
    RecordIndexedDraw(*this, api::glDrawElements, true, mode, count, type, indices, 0);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glDrawElementsBaseVertex(kgl::GLenum mode, kgl::GLsizei count, kgl::GLenum type, const void* indices,
                                         kgl::GLint basevertex) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawElementsBaseVertex, api::glDrawElementsBaseVertex, mode, count, type, indices,
                   basevertex);
    if (ShouldRecordOrLeave()) return;
    RecordIndexedDraw(*this, api::glDrawElementsBaseVertex, true, mode, count, type, indices, basevertex, basevertex);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glDrawElementsInstancedARB(kgl::GLenum mode, kgl::GLsizei count, kgl::GLenum type, const void* indices,
                                           kgl::GLsizei primcount) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawElementsInstancedARB, api::glDrawElementsInstancedARB, mode, count, type, indices,
                   primcount);
    if (ShouldRecordOrLeave()) return;
    RecordIndexedDraw(*this, api::glDrawElementsInstancedARB, primcount > 0, mode, count, type, indices, 0, primcount);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glDrawElementsInstancedBaseVertex(kgl::GLenum mode, kgl::GLsizei count, kgl::GLenum type,
                                                  const void* indices, kgl::GLsizei instancecount,
                                                  kgl::GLint basevertex) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawElementsInstancedBaseVertex, api::glDrawElementsInstancedBaseVertex, mode, count,
                   type, indices, instancecount, basevertex);
    if (ShouldRecordOrLeave()) return;
    RecordIndexedDraw(*this, api::glDrawElementsInstancedBaseVertex, instancecount > 0, mode, count, type, indices,
                      basevertex, instancecount, basevertex);
    DrawHook();
    LeaveCall();
}

namespace {

// glDrawRangeElements and its base-vertex form: the application names the range itself; with the
// indices in a buffer it is the only range at hand without reading them back.
void RecordRangeDraw(GLKestrel& k, std::uint32_t apiId, kgl::GLenum mode, kgl::GLuint start, kgl::GLuint end,
                     kgl::GLsizei count, kgl::GLenum type, const void* indices, const kgl::GLint* baseVertex) {
    ContextState* state = k.CurrentState();
    // In 64 bits: a base vertex that moves the range below 0 or past 32 bits reaches no vertex.
    const std::int64_t shift = baseVertex ? *baseVertex : 0;
    const std::int64_t first = std::int64_t{start} + shift, last = std::int64_t{end} + shift;
    if (state && !(state->elementBufferBound && state->arrayBufferBound) && DrawMode(mode) && count > 0 && first >= 0 &&
        last <= 0xFFFFFFFFll)
        DumpStartEnd(k, state, static_cast<kgl::GLuint>(first), static_cast<kgl::GLuint>(last));
    const bool inBuffer = k.ElementBufferBound(state);
    const std::uint32_t data = GLKestrel::IndexDataSize(inBuffer, Count(count), type, indices);
    const Packed<kgl::GLenum, kgl::GLuint, kgl::GLuint, kgl::GLsizei, kgl::GLenum, const void*> fixed(
        mode, start, end, count, type, indices);
    const std::uint32_t fixedSize = sizeof fixed.bytes + (baseVertex ? 4 : 0);
    k.BeginRecord(apiId, fixedSize + data);
    k.WriteData(sizeof fixed.bytes, fixed.bytes);
    if (baseVertex) k.WriteData(4, baseVertex);
    k.WriteIndexData(inBuffer, Count(count), type, indices);
}

}  // namespace

void GLKestrel::glDrawRangeElementsEXT(kgl::GLenum mode, kgl::GLuint start, kgl::GLuint end, kgl::GLsizei count,
                                       kgl::GLenum type, const void* indices) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawRangeElementsEXT, api::glDrawRangeElementsEXT, mode, start, end, count, type,
                   indices);
    if (ShouldRecordOrLeave()) return;
    RecordRangeDraw(*this, api::glDrawRangeElementsEXT, mode, start, end, count, type, indices, nullptr);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glDrawRangeElementsBaseVertex(kgl::GLenum mode, kgl::GLuint start, kgl::GLuint end, kgl::GLsizei count,
                                              kgl::GLenum type, const void* indices, kgl::GLint basevertex) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawRangeElementsBaseVertex, api::glDrawRangeElementsBaseVertex, mode, start, end,
                   count, type, indices, basevertex);
    if (ShouldRecordOrLeave()) return;
    RecordRangeDraw(*this, api::glDrawRangeElementsBaseVertex, mode, start, end, count, type, indices, &basevertex);
    DrawHook();
    LeaveCall();
}

namespace {

// The multi-draws: one range from the smallest first vertex to the largest last one over all draws.
void DumpMultiIndexed(GLKestrel& k, ContextState* state, const kgl::GLsizei* count, kgl::GLenum type,
                      const void* const* indices, std::uint32_t draws, const kgl::GLint* baseVertex) {
    if (!state || !count || !indices || (state->elementBufferBound && state->arrayBufferBound)) return;
    std::uint64_t low = ~std::uint64_t{0}, high = 0;
    for (std::uint32_t i = 0; i < draws; ++i) {
        const std::int32_t shift = baseVertex ? baseVertex[i] : 0;
        const VertexRange range =
            state->elementBufferBound
                ? k.BufferIndexRange(*state, Count(count[i]), type, reinterpret_cast<std::uintptr_t>(indices[i]), shift)
                : k.ClientIndexRange(*state, Count(count[i]), type, indices[i], shift);
        if (range.count == 0) continue;
        low = std::min<std::uint64_t>(low, range.first);
        high = std::max<std::uint64_t>(high, std::uint64_t{range.first} + range.count - 1);
    }
    if (high >= low) k.DumpArrays(*state, static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(high - low + 1));
}

void RecordMultiIndexed(GLKestrel& k, std::uint32_t apiId, kgl::GLenum mode, const kgl::GLsizei* count,
                        kgl::GLenum type, const void* const* indices, kgl::GLsizei drawcount,
                        const kgl::GLint* baseVertex, bool withBaseVertex) {
    ContextState* state = k.CurrentState();
    const std::uint32_t draws = count && indices && rules::BlockBytes(drawcount, 8u) ? Count(drawcount) : 0;
    DumpMultiIndexed(k, state, count, type, indices, draws, baseVertex);
    const bool inBuffer = k.ElementBufferBound(state);
    std::uint64_t data = 0;
    for (std::uint32_t i = 0; i < draws; ++i)
        data += GLKestrel::IndexDataSize(inBuffer, Count(count[i]), type, indices[i]);
    const std::uint32_t bases = withBaseVertex && baseVertex ? draws * 4 : 0;
    const Packed<kgl::GLenum, const kgl::GLsizei*, kgl::GLenum, const void* const*, kgl::GLsizei> fixed(
        mode, count, type, indices, drawcount);
    const std::uint32_t fixedSize = sizeof fixed.bytes + (withBaseVertex ? kPointerBytes : 0);
    k.BeginRecord(apiId, fixedSize + draws * 4 + static_cast<std::uint32_t>(data) + bases);
    k.WriteData(sizeof fixed.bytes, fixed.bytes);
    if (withBaseVertex) {
        const Address address = HandleValue(baseVertex);
        k.WriteData(sizeof address, &address);
    }
    k.WriteData(draws * 4, count);
    for (std::uint32_t i = 0; i < draws; ++i) k.WriteIndexData(inBuffer, Count(count[i]), type, indices[i]);
    k.WriteData(bases, baseVertex);
}

}  // namespace

void GLKestrel::glMultiDrawElementsEXT(kgl::GLenum mode, const kgl::GLsizei* count, kgl::GLenum type,
                                       const void* const* indices, kgl::GLsizei primcount) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glMultiDrawElementsEXT, api::glMultiDrawElementsEXT, mode, count, type, indices,
                   primcount);
    if (ShouldRecordOrLeave()) return;
    RecordMultiIndexed(*this, api::glMultiDrawElementsEXT, mode, count, type, indices, primcount, nullptr, false);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glMultiDrawElementsBaseVertex(kgl::GLenum mode, const kgl::GLsizei* count, kgl::GLenum type,
                                              const void* const* indices, kgl::GLsizei drawcount,
                                              const kgl::GLint* basevertex) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glMultiDrawElementsBaseVertex, api::glMultiDrawElementsBaseVertex, mode, count, type,
                   indices, drawcount, basevertex);
    if (ShouldRecordOrLeave()) return;
    RecordMultiIndexed(*this, api::glMultiDrawElementsBaseVertex, mode, count, type, indices, drawcount, basevertex,
                       true);
    DrawHook();
    LeaveCall();
}

// glBegin and glEnd mark where the frame read-back may not run.
void GLKestrel::glBegin(kgl::GLenum mode) {
    EnterCall();
    CallReal<void>(*this, fn::glBegin, api::glBegin, mode);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState(); state && DrawMode(mode)) state->insideBeginEnd = true;
    RecordValues(*this, api::glBegin, mode);
    LeaveCall();
}

void GLKestrel::glEnd() {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glEnd, api::glEnd);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState()) state->insideBeginEnd = false;
    BeginRecord(api::glEnd, 0);
    DrawHook();
    LeaveCall();
}

// ---- indirect draws ----

namespace {

constexpr std::uint32_t kArraysCommand = 16;    // count, instances, first, base instance
constexpr std::uint32_t kElementsCommand = 20;  // count, instances, first index, base vertex, base instance

std::uint32_t Field(const std::uint8_t* command, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, command + at, 4);
    return value;
}

// The draw commands of an indirect draw: in client memory, where the record carries them packed, or
// in the bound draw-indirect buffer. Those are read back one at a time through the real
// glGetBufferSubData, never past the buffer's end; the recorder never maps the application's buffer,
// which the application may hold mapped itself.
class IndirectCommands {
public:
    IndirectCommands(const ContextState* state, const void* indirect, std::uint32_t draws, std::uint32_t stride,
                     std::uint32_t size)
        : indirect_(reinterpret_cast<std::uintptr_t>(indirect)), draws_(draws), stride_(stride), size_(size) {
        // Without a state nothing is asked (the context may not know the binding): client memory.
        fromClient_ = !state || state->drawIndirectBufferBound == 0;
        const std::uint64_t span = draws ? std::uint64_t{draws - 1} * stride + size : 0;
        if (fromClient_) {
            if (indirect && span <= rules::kMaxBlockBytes)
                readable_ = ReadablePrefix(indirect, static_cast<std::uint32_t>(span), SystemReadable);
            return;
        }
        const bool storage = state && state->features.bufferStorage;
        const std::uint64_t bufferSize =
            draws && realgl::BufferReadable(0x8F3F, storage)
                ? static_cast<std::uint64_t>(realgl::GetBufferParameter(0x8F3F, 0x8764))
                : 0;
        // The GL refuses an unaligned offset or commands past the buffer's end, reading none.
        inBuffer_ = draws == 0 || (indirect_ % 4 == 0 && indirect_ + span <= bufferSize);
    }

    bool fromClient() const { return fromClient_; }
    bool drawable() const { return fromClient_ || inBuffer_; }
    std::uint32_t draws() const { return draws_; }
    // What the record carries: the commands from client memory, packed.
    std::uint32_t carried() const { return fromClient_ ? rules::BlockBytes(draws_, size_) : 0u; }

    // Command i, zeros where it cannot be read.
    const std::uint8_t* Command(std::uint32_t i) {
        const std::uint64_t at = std::uint64_t{i} * stride_;
        if (fromClient_ && at + size_ <= readable_)
            return reinterpret_cast<const std::uint8_t*>(indirect_ + static_cast<std::uintptr_t>(at));
        std::memset(command_, 0, sizeof command_);
        if (!fromClient_ && inBuffer_)
            realgl::GetBufferSubData(0x8F3F, static_cast<std::intptr_t>(indirect_ + at), size_, command_);
        return command_;
    }

    void Write(GLKestrel& k) {
        const std::uint32_t bytes = carried();
        if (bytes == 0) return;
        if (stride_ == size_ && bytes <= readable_) {
            k.WriteData(bytes, reinterpret_cast<const void*>(indirect_));
            return;
        }
        for (std::uint32_t i = 0; i < draws_; ++i) k.WriteData(size_, Command(i));
    }

private:
    std::uintptr_t indirect_;
    std::uint32_t draws_, stride_, size_;
    bool fromClient_ = true;
    bool inBuffer_ = false;
    std::uint32_t readable_ = 0;  // bytes of client memory from indirect on
    std::uint8_t command_[kElementsCommand] = {};
};

// Each arrays command with instances reaches first..first+count-1 when no array buffer is bound.
void DumpArraysCommands(GLKestrel& k, ContextState* state, IndirectCommands& commands) {
    if (!state || state->arrayBufferBound) return;
    for (std::uint32_t i = 0; i < commands.draws(); ++i) {
        const std::uint8_t* command = commands.Command(i);
        if (Field(command, 4) == 0) continue;
        DumpRange(k, state, static_cast<kgl::GLint>(Field(command, 8)), static_cast<kgl::GLsizei>(Field(command, 0)));
    }
}

// Each elements command's indices are read back from the element buffer.
void DumpElementsCommands(GLKestrel& k, ContextState* state, kgl::GLenum type, IndirectCommands& commands) {
    if (!state || !state->elementBufferBound || state->arrayBufferBound) return;
    for (std::uint32_t i = 0; i < commands.draws(); ++i) {
        const std::uint8_t* command = commands.Command(i);
        const std::uint64_t offset = std::uint64_t{Field(command, 8)} * rules::TypeSize(type);
        if (Field(command, 4) == 0 || offset > 0xFFFFFFFFu) continue;
        const VertexRange range = k.BufferIndexRange(*state, Field(command, 0), type,
                                                     static_cast<std::uintptr_t>(offset),
                                                     static_cast<std::int32_t>(Field(command, 12)));
        k.DumpArrays(*state, range.first, range.count);
    }
}

template <class Fixed>
void RecordIndirect(GLKestrel& k, std::uint32_t apiId, const Fixed& fixed, IndirectCommands& commands) {
    k.BeginRecord(apiId, sizeof fixed.bytes + commands.carried());
    k.WriteData(sizeof fixed.bytes, fixed.bytes);
    commands.Write(k);
}

}  // namespace

// A draw the GL refuses dumps no client memory. Its refusal is told from the arguments and the
// buffer, never from the error queue, which is the application's.
void GLKestrel::glDrawArraysIndirect(kgl::GLenum mode, const void* indirect) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawArraysIndirect, api::glDrawArraysIndirect, mode, indirect);
    if (ShouldRecordOrLeave()) return;
    ContextState* state = CurrentState();
    IndirectCommands command(state, indirect, 1, kArraysCommand, kArraysCommand);
    if (DrawMode(mode) && command.drawable()) DumpArraysCommands(*this, state, command);
    RecordIndirect(*this, api::glDrawArraysIndirect, Packed<kgl::GLenum, const void*>(mode, indirect), command);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glDrawElementsIndirect(kgl::GLenum mode, kgl::GLenum type, const void* indirect) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawElementsIndirect, api::glDrawElementsIndirect, mode, type, indirect);
    if (ShouldRecordOrLeave()) return;
    ContextState* state = CurrentState();
    IndirectCommands command(state, indirect, 1, kElementsCommand, kElementsCommand);
    if (DrawMode(mode) && IndexType(type) && command.drawable()) DumpElementsCommands(*this, state, type, command);
    RecordIndirect(*this, api::glDrawElementsIndirect, Packed<kgl::GLenum, kgl::GLenum, const void*>(mode, type, indirect),
                   command);
    DrawHook();
    LeaveCall();
}

// The multi-draw forms (glMultiDrawArraysIndirect and glMultiDrawElementsIndirect run these): as the
// single indirect draws, one command after another at the given stride (0: packed). A refused call
// (a negative count, a stride that is no multiple of 4) records no commands.
void GLKestrel::glMultiDrawArraysIndirectAMD(kgl::GLenum mode, const void* indirect, kgl::GLsizei primcount,
                                             kgl::GLsizei stride) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glMultiDrawArraysIndirectAMD, api::glMultiDrawArraysIndirectAMD, mode, indirect, primcount,
                   stride);
    if (ShouldRecordOrLeave()) return;
    ContextState* state = CurrentState();
    const bool refused = !DrawMode(mode) || primcount < 0 || stride < 0 || stride % 4 != 0;
    IndirectCommands commands(state, indirect, refused ? 0 : Count(primcount),
                              stride > 0 ? static_cast<std::uint32_t>(stride) : kArraysCommand, kArraysCommand);
    if (commands.drawable()) DumpArraysCommands(*this, state, commands);
    RecordIndirect(*this, api::glMultiDrawArraysIndirectAMD,
                   Packed<kgl::GLenum, const void*, kgl::GLsizei, kgl::GLsizei>(mode, indirect, primcount, stride),
                   commands);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glMultiDrawElementsIndirectAMD(kgl::GLenum mode, kgl::GLenum type, const void* indirect,
                                               kgl::GLsizei primcount, kgl::GLsizei stride) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glMultiDrawElementsIndirectAMD, api::glMultiDrawElementsIndirectAMD, mode, type, indirect,
                   primcount, stride);
    if (ShouldRecordOrLeave()) return;
    ContextState* state = CurrentState();
    const bool refused = !DrawMode(mode) || !IndexType(type) || primcount < 0 || stride < 0 || stride % 4 != 0;
    IndirectCommands commands(state, indirect, refused ? 0 : Count(primcount),
                              stride > 0 ? static_cast<std::uint32_t>(stride) : kElementsCommand, kElementsCommand);
    if (commands.drawable()) DumpElementsCommands(*this, state, type, commands);
    RecordIndirect(*this, api::glMultiDrawElementsIndirectAMD,
                   Packed<kgl::GLenum, kgl::GLenum, const void*, kgl::GLsizei, kgl::GLsizei>(mode, type, indirect,
                                                                                            primcount, stride),
                   commands);
    DrawHook();
    LeaveCall();
}

// ---- the vendor's element arrays ----
// Indices come from the vendor element array (glElementPointerATI); the record carries them as a
// glDrawElements record carries client indices.

namespace {

void RecordElementArrayDraw(GLKestrel& k, std::uint32_t apiId, const std::uint32_t* fixed, std::uint32_t fixedWords,
                            kgl::GLsizei count, const kgl::GLuint* startEnd) {
    ContextState* state = k.CurrentState();
    const ArrayDescriptor* elements = state ? &state->vendorElement : nullptr;
    const void* indices = elements && elements->buffer == 0
                              ? reinterpret_cast<const void*>(static_cast<std::uintptr_t>(elements->pointer))
                              : nullptr;
    const std::uint32_t type = elements ? elements->type : 0;
    if (state && startEnd) {
        DumpStartEnd(k, state, startEnd[0], startEnd[1]);
    }
    else if (state && indices) {
        const VertexRange range = k.ClientIndexRange(*state, Count(count), type, indices, 0);
        k.DumpArrays(*state, range.first, range.count);
    }
    const std::uint32_t data = GLKestrel::IndexDataSize(false, Count(count), type, indices);
    k.BeginRecord(apiId, fixedWords * 4 + data);
    k.WriteData(fixedWords * 4, fixed);
    k.WriteData(data, indices);
}

}  // namespace

void GLKestrel::glDrawElementArrayATI(kgl::GLenum mode, kgl::GLsizei count) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawElementArrayATI, api::glDrawElementArrayATI, mode, count);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t fixed[2] = {mode, static_cast<std::uint32_t>(count)};
    RecordElementArrayDraw(*this, api::glDrawElementArrayATI, fixed, 2, count, nullptr);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glDrawRangeElementArrayATI(kgl::GLenum mode, kgl::GLuint start, kgl::GLuint end, kgl::GLsizei count) {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glDrawRangeElementArrayATI, api::glDrawRangeElementArrayATI, mode, start, end, count);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t fixed[4] = {mode, start, end, static_cast<std::uint32_t>(count)};
    const kgl::GLuint startEnd[2] = {start, end};
    RecordElementArrayDraw(*this, api::glDrawRangeElementArrayATI, fixed, 4, count, startEnd);
    DrawHook();
    LeaveCall();
}

}  // namespace kestrel
