// The client memory that a draw reaches: one client memory block record (id 23) per enabled
// client-memory array, covering exactly the vertices of the draw, written before the draw's record.
#include <algorithm>

#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RealGL.h"
#include "glrecord/RecorderSupport.h"
#include "glrecord/SizeRules.h"
#include "stream/PointerWidth.h"

namespace kestrel {

namespace {
// No 32-bit process holds more than this in one array; a larger range is a draw the GL refused.
constexpr std::uint64_t kLargestRange = 0x7FFFFFFFu;
}  // namespace

void GLKestrel::DumpArrays(ContextState& state, std::uint32_t first, std::uint32_t count) {
    if (count == 0) return;
    auto dump = [&](const ArrayDescriptor& array, std::uint32_t flags) {
        if (!array.enabled || array.pointer == 0 || array.buffer != 0) return;
        const std::uint64_t offset = static_cast<std::uint64_t>(array.stride) * first;
        const std::uint64_t length = static_cast<std::uint64_t>(count - 1) * array.stride + array.elementSize;
        if (offset + length > kLargestRange) return;
        const auto extent = static_cast<std::uint32_t>(offset + length);
        if (const auto entry = extents_.find(array.pointer); entry != extents_.end() && entry->second.extent < extent)
            entry->second.extent = extent;
        const ClientMemoryHead head{array.pointer, static_cast<std::uint32_t>(offset), flags};
        const auto bytes = static_cast<std::uint32_t>(length);
        const void* source = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(array.pointer) + offset);
        BeginRecord(ClientMemoryHead::kId, sizeof head + bytes);
        WriteData(sizeof head, &head);
        // Unreadable memory never stops a draw: its readable prefix, then zeros.
        const std::uint32_t readable = ReadablePrefix(source, bytes, SystemReadable);  // tries the whole first
        WriteData(readable, source);
        WriteBlock(bytes - readable, nullptr);
        ++callsInFrame_;
    };

    state.interleaved.enabled = state.interleavedCoverage != 0 ? 1 : 0;
    const std::uint32_t covered = state.interleavedCoverage;
    dump(state.interleaved, 0);
    if (!(covered & kCoversColour)) dump(state.colour, 0);
    dump(state.edgeFlag, 0);
    dump(state.index, 0);
    if (!(covered & kCoversNormal)) dump(state.normal, 0);
    for (std::size_t unit = 0; unit < state.texCoords.size(); ++unit)
        if (unit != 0 || !(covered & kCoversTexCoord0)) dump(state.texCoords[unit], 0);
    for (const ArrayDescriptor& attribute : state.attributes) dump(attribute, 0);
    if (!(covered & kCoversVertex)) dump(state.vertex, 0);
    dump(state.secondaryColour, 0);
    dump(state.fogCoord, 0);
    dump(state.weight, 0);
    for (std::size_t slot = 0; slot < state.variants.size(); ++slot)
        if (state.VariantInUse(slot)) dump(state.variants[slot], ClientMemoryHead::kVariantFlag);
}

bool GLKestrel::RestartIndex(const ContextState& state, std::uint32_t type, std::uint32_t* index) {
    if (state.primitiveRestartEnabled) {
        *index = state.primitiveRestartIndex;
        return true;
    }
    // The core forms are asked of the GL, and only of a GL that has them (no error for the application).
    auto isEnabled = realgl::Entry<kgl::GLboolean(__stdcall*)(kgl::GLenum)>(fn::glIsEnabled);
    if (!isEnabled) return false;
    if (state.features.version >= 43 && isEnabled(0x8D69)) {  // fixed index: the type's largest value
        *index = type == 0x1401 ? 0xFFu : type == 0x1403 ? 0xFFFFu : 0xFFFFFFFFu;
        return true;
    }
    if (state.features.version >= 31 && isEnabled(0x8F9D)) {
        *index = static_cast<std::uint32_t>(realgl::GetInteger(0x8F9E));
        return true;
    }
    return false;
}

VertexRange GLKestrel::ClientIndexRange(const ContextState& state, std::uint32_t count, std::uint32_t type,
                                        const void* indices, std::int32_t baseVertex) {
    std::uint32_t restartIndex = 0;
    const bool restart = indices && count && RestartIndex(state, type, &restartIndex);
    return RangeOf(ScanIndices(indices, count, type, restart, restartIndex), baseVertex);
}

VertexRange GLKestrel::BufferIndexRange(ContextState& state, std::uint32_t count, std::uint32_t type,
                                        std::uintptr_t offset, std::int32_t baseVertex) {
    const std::uint32_t typeSize = rules::TypeSize(type);
    if (count == 0 || typeSize == 0 || (type != 0x1401 && type != 0x1403 && type != 0x1405)) return {};
    // A buffer the application holds mapped (not persistently) cannot be read back, and the GL
    // refused the draw anyway.
    if (!realgl::BufferReadable(0x8893, state.features.bufferStorage)) return {};
    // The draw's own indices, and never past the buffer's end: the GL reads no others.
    const auto bufferSize = static_cast<std::uint64_t>(realgl::GetBufferParameter(0x8893, 0x8764));
    std::uint64_t bytes = static_cast<std::uint64_t>(count) * typeSize;
    if (offset >= bufferSize) return {};
    if (bytes > bufferSize - offset) bytes = (bufferSize - offset) / typeSize * typeSize;
    std::uint32_t restartIndex = 0;
    const bool restart = bytes != 0 && RestartIndex(state, type, &restartIndex);
    // Read in pieces of a bounded size: the buffer may be far larger than the recorder should hold.
    constexpr std::uint64_t kPiece = 64 * 1024;
    if (indexReadBack_.size() < kPiece) indexReadBack_.resize(kPiece);
    IndexScan scan{0, 0, false};
    for (std::uint64_t done = 0; done < bytes;) {
        const std::uint64_t piece = std::min(kPiece, bytes - done);
        std::fill_n(indexReadBack_.begin(), static_cast<std::size_t>(piece), std::uint8_t{0});
        realgl::GetBufferSubData(0x8893, static_cast<std::intptr_t>(offset + done), static_cast<std::intptr_t>(piece),
                                 indexReadBack_.data());
        scan.Merge(ScanIndices(indexReadBack_.data(), static_cast<std::uint32_t>(piece / typeSize), type, restart,
                               restartIndex));
        done += piece;
    }
    return RangeOf(scan, baseVertex);
}

void GLKestrel::DumpIndexed(ContextState* state, std::uint32_t count, std::uint32_t type, const void* indices,
                            std::int32_t baseVertex) {
    if (!state) return;
    VertexRange range;
    if (state->elementBufferBound) {
        if (state->arrayBufferBound) return;  // vertices in a buffer too: nothing in client memory
        range = BufferIndexRange(*state, count, type, reinterpret_cast<std::uintptr_t>(indices), baseVertex);
    } else {
        range = ClientIndexRange(*state, count, type, indices, baseVertex);
    }
    DumpArrays(*state, range.first, range.count);
}

bool GLKestrel::ElementBufferBound(const ContextState* state) const {
    return state ? state->elementBufferBound != 0 : realgl::GetInteger(0x8895) != 0;
}

std::uint32_t GLKestrel::IndexDataSize(bool inBuffer, std::uint32_t count, std::uint32_t type, const void* indices) {
    if (inBuffer) return kPointerBytes;  // the offset, as the pointer it was passed as
    // The GL refuses any other index type without reading; neither is the memory read here.
    const bool indexType = type == 0x1401 || type == 0x1403 || type == 0x1405;
    return indices && indexType ? rules::BlockBytes(count, rules::TypeSize(type)) : 0;
}

void GLKestrel::WriteIndexData(bool inBuffer, std::uint32_t count, std::uint32_t type, const void* indices) {
    if (inBuffer) {
        const Address offset = HandleValue(indices);
        WriteData(sizeof offset, &offset);
        return;
    }
    WriteData(IndexDataSize(false, count, type, indices), indices);
}

}  // namespace kestrel
