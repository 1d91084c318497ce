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
    CallReal<void>(*this, fn::glArrayElement, api::glArrayElement, i);
    if (ShouldRecordOrLeave()) return;
    DumpRange(*this, CurrentState(), i, 1);
    // Not a draw of its own: it gives one vertex between glBegin and glEnd, where no read-back is allowed.
    RecordValues(*this, api::glArrayElement, i);
    LeaveCall();
}

void GLKestrel::glDrawArrays(kgl::GLenum mode, kgl::GLint first, kgl::GLsizei count) {
    EnterCall();
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
    CallReal<void>(*this, fn::glDrawArraysInstancedARB, api::glDrawArraysInstancedARB, mode, first, count, primcount);
    if (ShouldRecordOrLeave()) return;
    DumpRange(*this, CurrentState(), first, count);
    RecordValues(*this, api::glDrawArraysInstancedARB, mode, first, count, primcount);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glMultiDrawArraysEXT(kgl::GLenum mode, const kgl::GLint* first, const kgl::GLsizei* count,
                                     kgl::GLsizei primcount) {
    EnterCall();
    // Only a call that will be recorded looks at the error queue: the rule below needs this call's
    // own error, so what was queued before goes.
    const bool outermost = running() && threadDepths().depth(CurrentThreadId()) == 1;
    if (outermost) realgl::DrainErrors();
    CallReal<void>(*this, fn::glMultiDrawArraysEXT, api::glMultiDrawArraysEXT, mode, first, count, primcount);
    if (ShouldRecordOrLeave()) return;
    kgl::GLsizei recorded = primcount;
    if (realgl::GetError() != 0) {
        recorded = 0;
        // The call changed nothing; made again it raises its error again for the application to see.
        CallReal<void>(*this, fn::glMultiDrawArraysEXT, api::glMultiDrawArraysEXT, mode, first, count, primcount);
    }
    const std::uint32_t draws = first && count ? Count(recorded) : 0;
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
template <class... Tail>
void RecordIndexedDraw(GLKestrel& k, std::uint32_t apiId, kgl::GLenum mode, kgl::GLsizei count, kgl::GLenum type,
                       const void* indices, std::int32_t baseVertex, Tail... tail) {
    ContextState* state = k.CurrentState();
    k.DumpIndexed(state, Count(count), type, indices, baseVertex);
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
    CallReal<void>(*this, fn::glDrawElements, api::glDrawElements, mode, count, type, indices);
    if (ShouldRecordOrLeave()) return;
    RecordIndexedDraw(*this, api::glDrawElements, mode, count, type, indices, 0);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glDrawElementsBaseVertex(kgl::GLenum mode, kgl::GLsizei count, kgl::GLenum type, const void* indices,
                                         kgl::GLint basevertex) {
    EnterCall();
    CallReal<void>(*this, fn::glDrawElementsBaseVertex, api::glDrawElementsBaseVertex, mode, count, type, indices,
                   basevertex);
    if (ShouldRecordOrLeave()) return;
    RecordIndexedDraw(*this, api::glDrawElementsBaseVertex, mode, count, type, indices, basevertex, basevertex);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glDrawElementsInstancedARB(kgl::GLenum mode, kgl::GLsizei count, kgl::GLenum type, const void* indices,
                                           kgl::GLsizei primcount) {
    EnterCall();
    CallReal<void>(*this, fn::glDrawElementsInstancedARB, api::glDrawElementsInstancedARB, mode, count, type, indices,
                   primcount);
    if (ShouldRecordOrLeave()) return;
    RecordIndexedDraw(*this, api::glDrawElementsInstancedARB, mode, count, type, indices, 0, primcount);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glDrawElementsInstancedBaseVertex(kgl::GLenum mode, kgl::GLsizei count, kgl::GLenum type,
                                                  const void* indices, kgl::GLsizei instancecount,
                                                  kgl::GLint basevertex) {
    EnterCall();
    CallReal<void>(*this, fn::glDrawElementsInstancedBaseVertex, api::glDrawElementsInstancedBaseVertex, mode, count,
                   type, indices, instancecount, basevertex);
    if (ShouldRecordOrLeave()) return;
    RecordIndexedDraw(*this, api::glDrawElementsInstancedBaseVertex, mode, count, type, indices, basevertex,
                      instancecount, basevertex);
    DrawHook();
    LeaveCall();
}

namespace {

// glDrawRangeElements and its base-vertex form: the application names the range itself; with the
// indices in a buffer it is the only range at hand without reading them back.
void RecordRangeDraw(GLKestrel& k, std::uint32_t apiId, kgl::GLenum mode, kgl::GLuint start, kgl::GLuint end,
                     kgl::GLsizei count, kgl::GLenum type, const void* indices, const kgl::GLint* baseVertex) {
    ContextState* state = k.CurrentState();
    const std::int32_t shift = baseVertex ? *baseVertex : 0;
    if (state && !(state->elementBufferBound && state->arrayBufferBound))
        DumpStartEnd(k, state, start + static_cast<std::uint32_t>(shift), end + static_cast<std::uint32_t>(shift));
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
    const std::uint32_t draws = count && indices ? Count(drawcount) : 0;
    DumpMultiIndexed(k, state, count, type, indices, draws, baseVertex);
    const bool inBuffer = k.ElementBufferBound(state);
    std::uint64_t data = 0;
    for (std::uint32_t i = 0; i < draws; ++i)
        data += GLKestrel::IndexDataSize(inBuffer, Count(count[i]), type, indices[i]);
    const std::uint32_t bases = withBaseVertex && baseVertex ? draws * 4 : 0;
    const Packed<kgl::GLenum, const kgl::GLsizei*, kgl::GLenum, const void* const*, kgl::GLsizei> fixed(
        mode, count, type, indices, drawcount);
    const std::uint32_t fixedSize = sizeof fixed.bytes + (withBaseVertex ? 4 : 0);
    k.BeginRecord(apiId, fixedSize + draws * 4 + static_cast<std::uint32_t>(data) + bases);
    k.WriteData(sizeof fixed.bytes, fixed.bytes);
    if (withBaseVertex) {
        const std::uint32_t address = HandleValue(baseVertex);
        k.WriteData(4, &address);
    }
    k.WriteData(draws * 4, count);
    for (std::uint32_t i = 0; i < draws; ++i) k.WriteIndexData(inBuffer, Count(count[i]), type, indices[i]);
    k.WriteData(bases, baseVertex);
}

}  // namespace

void GLKestrel::glMultiDrawElementsEXT(kgl::GLenum mode, const kgl::GLsizei* count, kgl::GLenum type,
                                       const void* const* indices, kgl::GLsizei primcount) {
    EnterCall();
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
    CallReal<void>(*this, fn::glMultiDrawElementsBaseVertex, api::glMultiDrawElementsBaseVertex, mode, count, type,
                   indices, drawcount, basevertex);
    if (ShouldRecordOrLeave()) return;
    RecordMultiIndexed(*this, api::glMultiDrawElementsBaseVertex, mode, count, type, indices, drawcount, basevertex,
                       true);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glEnd() {
    EnterCall();
    CallReal<void>(*this, fn::glEnd, api::glEnd);
    if (ShouldRecordOrLeave()) return;
    BeginRecord(api::glEnd, 0);
    DrawHook();
    LeaveCall();
}

// ---- indirect draws ----

namespace {

// The draw commands of an indirect draw, packed one after the other: from client memory, or read
// from the bound draw-indirect buffer through one read-only map; zeros where they cannot be had.
// True when they came from client memory (the record then carries them).
bool ReadCommands(const ContextState* state, const void* indirect, std::uint32_t draws, std::uint32_t stride,
                  std::uint32_t size, std::vector<std::uint8_t>& commands) {
    commands.assign(static_cast<std::size_t>(draws) * size, 0);
    const bool fromBuffer = state ? state->drawIndirectBufferBound != 0 : realgl::GetInteger(0x8F43) != 0;
    const auto offset = reinterpret_cast<std::uintptr_t>(indirect);
    if (!fromBuffer) {
        for (std::uint32_t i = 0; indirect && i < draws; ++i) {
            const auto* command = reinterpret_cast<const std::uint8_t*>(offset + std::uintptr_t{i} * stride);
            if (SystemReadable(command, size)) std::memcpy(commands.data() + std::size_t{i} * size, command, size);
        }
        return true;
    }
    if (draws == 0) return false;
    const auto bufferSize = static_cast<std::uint64_t>(realgl::GetBufferParameter(0x8F3F, 0x8764));
    const std::uint64_t end = std::min<std::uint64_t>(offset + std::uint64_t{draws - 1} * stride + size, bufferSize);
    const void* mapped = end > offset ? realgl::MapBufferRange(0x8F3F, 0, static_cast<std::intptr_t>(end), 0x0001) : nullptr;
    if (!mapped) return false;
    for (std::uint32_t i = 0; i < draws; ++i) {
        const std::uint64_t at = offset + std::uint64_t{i} * stride;
        if (at + size <= end)
            std::memcpy(commands.data() + std::size_t{i} * size, static_cast<const std::uint8_t*>(mapped) + at, size);
    }
    realgl::UnmapBuffer(0x8F3F);
    return false;
}

std::uint32_t Field(const std::uint8_t* command, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, command + at, 4);
    return value;
}

constexpr std::uint32_t kArraysCommand = 16;    // count, instances, first, base instance
constexpr std::uint32_t kElementsCommand = 20;  // count, instances, first index, base vertex, base instance

// Each arrays command reaches first..first+count-1 when no array buffer is bound.
void DumpArraysCommands(GLKestrel& k, ContextState* state, const std::vector<std::uint8_t>& commands) {
    if (!state || state->arrayBufferBound) return;
    for (std::size_t at = 0; at + kArraysCommand <= commands.size(); at += kArraysCommand)
        DumpRange(k, state, static_cast<kgl::GLint>(Field(commands.data() + at, 8)),
                  static_cast<kgl::GLsizei>(Field(commands.data() + at, 0)));
}

// Each elements command's indices are read back from the element buffer.
void DumpElementsCommands(GLKestrel& k, ContextState* state, kgl::GLenum type, const std::vector<std::uint8_t>& commands) {
    if (!state || !state->elementBufferBound || state->arrayBufferBound) return;
    for (std::size_t at = 0; at + kElementsCommand <= commands.size(); at += kElementsCommand) {
        const std::uint8_t* command = commands.data() + at;
        const VertexRange range = k.BufferIndexRange(*state, Field(command, 0), type,
                                                     std::uintptr_t{Field(command, 8)} * rules::TypeSize(type),
                                                     static_cast<std::int32_t>(Field(command, 12)));
        k.DumpArrays(*state, range.first, range.count);
    }
}

}  // namespace

void GLKestrel::glDrawArraysIndirect(kgl::GLenum mode, const void* indirect) {
    EnterCall();
    CallReal<void>(*this, fn::glDrawArraysIndirect, api::glDrawArraysIndirect, mode, indirect);
    if (ShouldRecordOrLeave()) return;
    ContextState* state = CurrentState();
    // The recorder's own glGetError takes the application's error; the second real call raises it
    // again so that the application still sees it (the failed draw changed nothing).
    const bool failed = realgl::GetError() != 0;
    if (failed) CallReal<void>(*this, fn::glDrawArraysIndirect, api::glDrawArraysIndirect, mode, indirect);
    std::vector<std::uint8_t> command;
    const bool fromClient = ReadCommands(state, indirect, 1, kArraysCommand, kArraysCommand, command);
    if (!failed) DumpArraysCommands(*this, state, command);
    const Packed<kgl::GLenum, const void*> fixed(mode, indirect);
    const auto carried = static_cast<std::uint32_t>(fromClient ? command.size() : 0);
    BeginRecord(api::glDrawArraysIndirect, sizeof fixed.bytes + carried);
    WriteData(sizeof fixed.bytes, fixed.bytes);
    WriteData(carried, command.data());
    DrawHook();
    LeaveCall();
}

void GLKestrel::glDrawElementsIndirect(kgl::GLenum mode, kgl::GLenum type, const void* indirect) {
    EnterCall();
    CallReal<void>(*this, fn::glDrawElementsIndirect, api::glDrawElementsIndirect, mode, type, indirect);
    if (ShouldRecordOrLeave()) return;
    ContextState* state = CurrentState();
    // As glDrawArraysIndirect: the second call gives the application its error back.
    const bool failed = realgl::GetError() != 0;
    if (failed) CallReal<void>(*this, fn::glDrawElementsIndirect, api::glDrawElementsIndirect, mode, type, indirect);
    std::vector<std::uint8_t> command;
    const bool fromClient = ReadCommands(state, indirect, 1, kElementsCommand, kElementsCommand, command);
    if (!failed) DumpElementsCommands(*this, state, type, command);
    const Packed<kgl::GLenum, kgl::GLenum, const void*> fixed(mode, type, indirect);
    const auto carried = static_cast<std::uint32_t>(fromClient ? command.size() : 0);
    BeginRecord(api::glDrawElementsIndirect, sizeof fixed.bytes + carried);
    WriteData(sizeof fixed.bytes, fixed.bytes);
    WriteData(carried, command.data());
    DrawHook();
    LeaveCall();
}

// The multi-draw forms (glMultiDrawArraysIndirect and glMultiDrawElementsIndirect run these): as the
// single indirect draws, one command after another at the given stride (0: packed). A command list in
// client memory follows the fixed part, packed.
void GLKestrel::glMultiDrawArraysIndirectAMD(kgl::GLenum mode, const void* indirect, kgl::GLsizei primcount,
                                             kgl::GLsizei stride) {
    EnterCall();
    CallReal<void>(*this, fn::glMultiDrawArraysIndirectAMD, api::glMultiDrawArraysIndirectAMD, mode, indirect, primcount,
                   stride);
    if (ShouldRecordOrLeave()) return;
    ContextState* state = CurrentState();
    // As glDrawArraysIndirect: the second call gives the application its error back.
    const bool failed = realgl::GetError() != 0;
    if (failed)
        CallReal<void>(*this, fn::glMultiDrawArraysIndirectAMD, api::glMultiDrawArraysIndirectAMD, mode, indirect,
                       primcount, stride);
    std::vector<std::uint8_t> commands;
    const std::uint32_t draws = failed ? 0 : Count(primcount);
    const bool fromClient = ReadCommands(state, indirect, draws, stride > 0 ? static_cast<std::uint32_t>(stride)
                                                                            : kArraysCommand, kArraysCommand, commands);
    DumpArraysCommands(*this, state, commands);
    const Packed<kgl::GLenum, const void*, kgl::GLsizei, kgl::GLsizei> fixed(mode, indirect, primcount, stride);
    const auto carried = static_cast<std::uint32_t>(fromClient ? commands.size() : 0);
    BeginRecord(api::glMultiDrawArraysIndirectAMD, sizeof fixed.bytes + carried);
    WriteData(sizeof fixed.bytes, fixed.bytes);
    WriteData(carried, commands.data());
    DrawHook();
    LeaveCall();
}

void GLKestrel::glMultiDrawElementsIndirectAMD(kgl::GLenum mode, kgl::GLenum type, const void* indirect,
                                               kgl::GLsizei primcount, kgl::GLsizei stride) {
    EnterCall();
    CallReal<void>(*this, fn::glMultiDrawElementsIndirectAMD, api::glMultiDrawElementsIndirectAMD, mode, type, indirect,
                   primcount, stride);
    if (ShouldRecordOrLeave()) return;
    ContextState* state = CurrentState();
    // As glDrawArraysIndirect: the second call gives the application its error back.
    const bool failed = realgl::GetError() != 0;
    if (failed)
        CallReal<void>(*this, fn::glMultiDrawElementsIndirectAMD, api::glMultiDrawElementsIndirectAMD, mode, type,
                       indirect, primcount, stride);
    std::vector<std::uint8_t> commands;
    const std::uint32_t draws = failed ? 0 : Count(primcount);
    const bool fromClient = ReadCommands(state, indirect, draws, stride > 0 ? static_cast<std::uint32_t>(stride)
                                                                            : kElementsCommand, kElementsCommand, commands);
    DumpElementsCommands(*this, state, type, commands);
    const Packed<kgl::GLenum, kgl::GLenum, const void*, kgl::GLsizei, kgl::GLsizei> fixed(mode, type, indirect,
                                                                                         primcount, stride);
    const auto carried = static_cast<std::uint32_t>(fromClient ? commands.size() : 0);
    BeginRecord(api::glMultiDrawElementsIndirectAMD, sizeof fixed.bytes + carried);
    WriteData(sizeof fixed.bytes, fixed.bytes);
    WriteData(carried, commands.data());
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
    CallReal<void>(*this, fn::glDrawElementArrayATI, api::glDrawElementArrayATI, mode, count);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t fixed[2] = {mode, static_cast<std::uint32_t>(count)};
    RecordElementArrayDraw(*this, api::glDrawElementArrayATI, fixed, 2, count, nullptr);
    DrawHook();
    LeaveCall();
}

void GLKestrel::glDrawRangeElementArrayATI(kgl::GLenum mode, kgl::GLuint start, kgl::GLuint end, kgl::GLsizei count) {
    EnterCall();
    CallReal<void>(*this, fn::glDrawRangeElementArrayATI, api::glDrawRangeElementArrayATI, mode, start, end, count);
    if (ShouldRecordOrLeave()) return;
    const std::uint32_t fixed[4] = {mode, start, end, static_cast<std::uint32_t>(count)};
    const kgl::GLuint startEnd[2] = {start, end};
    RecordElementArrayDraw(*this, api::glDrawRangeElementArrayATI, fixed, 4, count, startEnd);
    DrawHook();
    LeaveCall();
}

}  // namespace kestrel
