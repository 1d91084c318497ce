// Client arrays and draws. A pointer into client memory is held back and set again at each draw from
// the client memory records before it; index data comes from the draw's record unless an element
// buffer is bound, when the recorded value is an offset into it.
#include <cstring>
#include <string>
#include <vector>

#include "controller/replay/Replayer.h"
#include "gen/ApiTable.h"

namespace kestrel::replay {

namespace {
constexpr unsigned kArrayBufferBinding = 0x8894;
constexpr unsigned kElementBufferBinding = 0x8895;
constexpr unsigned kDrawIndirectBinding = 0x8F43;
constexpr unsigned kClientActiveTexture = 0x84E1;

std::uint32_t IndexBytes(std::uint32_t type) {
    switch (type) {
    case 0x1401: return 1;  // unsigned byte
    case 0x1403: return 2;  // unsigned short
    case 0x1405: return 4;  // unsigned int
    default: return 0;
    }
}

const void* AsPointer(std::uint64_t value) { return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(value)); }
}  // namespace

bool Replayer::ReplayArrayCall(const Call& call) {
    switch (call.id) {
    case api::glVertexPointer:
    case api::glColorPointer:
    case api::glNormalPointer:
    case api::glTexCoordPointer:
    case api::glMultiTexCoordPointerEXT:
    case api::glIndexPointer:
    case api::glEdgeFlagPointer:
    case api::glSecondaryColorPointerEXT:
    case api::glFogCoordPointerEXT:
    case api::glWeightPointerARB:
    case api::glVertexAttribPointerARB:
    case api::glVertexAttribIPointerEXT:
    case api::glVertexAttribLPointer:
    case api::glInterleavedArrays:
        if (!call.entry) {
            NotReplayed(call.name, "the system OpenGL does not have it");
            return true;
        }
        SetArrayPointer(call);
        Issued();
        return true;
    default:
        return false;
    }
}

void Replayer::SetArrayPointer(const Call& call) {
    // The pointer is the last field of every pointer call: the fields before it lie where a 32-bit
    // capture has them.
    const std::uint32_t fixed = call.FixedSize();
    ClientArrays::Array array;
    array.id = call.id;
    array.entry = call.entry;
    array.payload.assign(call.payload, call.payload + fixed);
    array.pointer = call.Field("pointer");
    const bool attribute = call.id == api::glVertexAttribPointerARB || call.id == api::glVertexAttribIPointerEXT ||
                           call.id == api::glVertexAttribLPointer;
    if (attribute) {
        const std::uint32_t index = AttributeIndex(call.U32(0));
        std::memcpy(array.payload.data(), &index, 4);
    }
    array.unit = call.id == api::glTexCoordPointer ? Integer(kClientActiveTexture) : 0;
    // Which array it sets: generic attributes and texture units each have their own.
    std::uint64_t key = static_cast<std::uint64_t>(call.id) << 32;
    if (attribute || call.id == api::glMultiTexCoordPointerEXT) {
        std::uint32_t index = 0;
        std::memcpy(&index, array.payload.data(), 4);
        key |= index;
    }
    else if (call.id == api::glTexCoordPointer)
        key |= array.unit;
    if (array.pointer == 0 || Integer(kArrayBufferBinding) != 0) {
        // A buffer offset, or no array: the value means the same to the replay.
        arrays_.Release(current_.context, key);
        IssuePointer(array, AsPointer(array.pointer));
        return;
    }
    arrays_.Hold(current_.context, key, std::move(array));
}

void Replayer::IssuePointer(const ClientArrays::Array& array, const void* pointer) {
    auto at = [&array](std::uint32_t offset) {
        std::uint32_t value = 0;
        if (offset + 4 <= array.payload.size()) std::memcpy(&value, array.payload.data() + offset, 4);
        return value;
    };
    using Four = void(__stdcall*)(std::uint32_t, std::uint32_t, std::uint32_t, const void*);
    using Three = void(__stdcall*)(std::uint32_t, std::uint32_t, const void*);
    using Two = void(__stdcall*)(std::uint32_t, const void*);
    using Five = void(__stdcall*)(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, const void*);
    switch (array.id) {
    case api::glTexCoordPointer: {
        // Texture coordinate arrays belong to the client texture unit they were set for.
        auto clientActive = gl_.Get<void(__stdcall*)(unsigned)>("glClientActiveTexture");
        const std::uint32_t unit = Integer(kClientActiveTexture);
        if (clientActive && unit != array.unit) clientActive(array.unit);
        reinterpret_cast<Four>(array.entry)(at(0), at(4), at(8), pointer);
        if (clientActive && unit != array.unit) clientActive(unit);
        break;
    }
    case api::glVertexPointer:
    case api::glColorPointer:
    case api::glSecondaryColorPointerEXT:
    case api::glWeightPointerARB:
        reinterpret_cast<Four>(array.entry)(at(0), at(4), at(8), pointer);
        break;
    case api::glNormalPointer:
    case api::glIndexPointer:
    case api::glFogCoordPointerEXT:
    case api::glInterleavedArrays:
        reinterpret_cast<Three>(array.entry)(at(0), at(4), pointer);
        break;
    case api::glEdgeFlagPointer:
        reinterpret_cast<Two>(array.entry)(at(0), pointer);
        break;
    case api::glMultiTexCoordPointerEXT:
    case api::glVertexAttribIPointerEXT:
    case api::glVertexAttribLPointer:
        reinterpret_cast<Five>(array.entry)(at(0), at(4), at(8), at(12), pointer);
        break;
    case api::glVertexAttribPointerARB: {
        // index, size, type, the 1-byte normalized flag, stride, pointer
        const std::uint8_t normalized = array.payload.size() > 12 ? array.payload[12] : 0;
        reinterpret_cast<void(__stdcall*)(std::uint32_t, std::int32_t, std::uint32_t, std::uint8_t, std::int32_t,
                                          const void*)>(array.entry)(at(0), static_cast<std::int32_t>(at(4)), at(8),
                                                                     normalized, static_cast<std::int32_t>(at(13)), pointer);
        break;
    }
    default:
        break;
    }
}

bool Replayer::ReplayDrawCall(const Call& call) {
    switch (call.id) {
    case api::glDrawElements:
    case api::glDrawElementsBaseVertex:
    case api::glDrawElementsInstancedARB:
    case api::glDrawElementsInstancedBaseVertex:
    case api::glDrawRangeElementsEXT:
    case api::glDrawRangeElementsBaseVertex:
    case api::glMultiDrawArraysEXT:
    case api::glMultiDrawElementsEXT:
    case api::glMultiDrawElementsBaseVertex:
    case api::glDrawArraysIndirect:
    case api::glDrawElementsIndirect:
        break;
    default:
        return false;
    }
    if (!call.entry) {
        NotReplayed(call.name, "the system OpenGL does not have it");
        return true;
    }
    const bool elementBuffer = Integer(kElementBufferBinding) != 0;
    const std::uint32_t fixed = call.FixedSize();
    // Index data after the fixed part: the indices, or the offset again when a buffer holds them.
    const void* indices = nullptr;
    auto single = [&]() { indices = elementBuffer ? AsPointer(call.Field("indices")) : call.After(fixed); };
    // Indices from the record must be as many as the draw reads.
    const bool multi = call.id == api::glMultiDrawArraysEXT || call.id == api::glMultiDrawElementsEXT ||
                       call.id == api::glMultiDrawElementsBaseVertex || call.id == api::glDrawArraysIndirect ||
                       call.id == api::glDrawElementsIndirect;
    if (!multi && !elementBuffer) {
        const std::int32_t count = call.Int("count");
        const std::uint64_t bytes = count > 0 ? static_cast<std::uint64_t>(count) * IndexBytes(call.Handle("type")) : 0;
        if (bytes > 0 && call.Field("indices") == 0) {
            NotReplayed(call.name, "it draws from a null index pointer");
            return true;
        }
        if (call.SizeAfter(fixed) < bytes) {
            error_ = std::string(call.name) + ": " + std::to_string(call.SizeAfter(fixed)) +
                     " bytes of indices, fewer than the " + std::to_string(bytes) + " it draws";
            return true;
        }
    }
    auto v = [&call](const char* field) { return static_cast<std::uint32_t>(call.Field(field)); };
    auto i = [&call](const char* field) { return call.Int(field); };
    switch (call.id) {
    case api::glDrawElements:
        single();
        reinterpret_cast<void(__stdcall*)(std::uint32_t, std::int32_t, std::uint32_t, const void*)>(call.entry)(
            v("mode"), i("count"), v("type"), indices);
        break;
    case api::glDrawElementsBaseVertex:
    case api::glDrawElementsInstancedARB:
        single();
        reinterpret_cast<void(__stdcall*)(std::uint32_t, std::int32_t, std::uint32_t, const void*, std::int32_t)>(
            call.entry)(v("mode"), i("count"), v("type"), indices,
                        i(call.id == api::glDrawElementsBaseVertex ? "basevertex" : "primcount"));
        break;
    case api::glDrawElementsInstancedBaseVertex:
        single();
        reinterpret_cast<void(__stdcall*)(std::uint32_t, std::int32_t, std::uint32_t, const void*, std::int32_t,
                                          std::int32_t)>(call.entry)(v("mode"), i("count"), v("type"), indices,
                                                                     i("instancecount"), i("basevertex"));
        break;
    case api::glDrawRangeElementsEXT:
        single();
        reinterpret_cast<void(__stdcall*)(std::uint32_t, std::uint32_t, std::uint32_t, std::int32_t, std::uint32_t,
                                          const void*)>(call.entry)(v("mode"), v("start"), v("end"), i("count"),
                                                                    v("type"), indices);
        break;
    case api::glDrawRangeElementsBaseVertex:
        single();
        reinterpret_cast<void(__stdcall*)(std::uint32_t, std::uint32_t, std::uint32_t, std::int32_t, std::uint32_t,
                                          const void*, std::int32_t)>(call.entry)(v("mode"), v("start"), v("end"),
                                                                                  i("count"), v("type"), indices,
                                                                                  i("basevertex"));
        break;
    case api::glMultiDrawArraysEXT: {
        const std::int32_t count = i("primcount");
        if (count > 0 && call.SizeAfter(fixed) >= 8u * static_cast<std::uint32_t>(count))
            reinterpret_cast<void(__stdcall*)(std::uint32_t, const void*, const void*, std::int32_t)>(call.entry)(
                v("mode"), call.After(fixed), call.After(fixed + 4 * count), count);
        break;
    }
    case api::glMultiDrawElementsEXT:
    case api::glMultiDrawElementsBaseVertex: {
        const bool baseVertex = call.id == api::glMultiDrawElementsBaseVertex;
        const std::int32_t draws = i(baseVertex ? "drawcount" : "primcount");
        if (draws <= 0 || call.SizeAfter(fixed) < 4u * static_cast<std::uint32_t>(draws)) break;
        const std::uint32_t type = v("type");
        // An offset into the element buffer is recorded as the pointer it was passed as.
        const std::uint32_t offsetBytes = call.pointerBits / 8;
        std::vector<std::int32_t> counts(draws);
        std::memcpy(counts.data(), call.After(fixed), 4u * draws);
        std::vector<const void*> lists(draws);
        std::uint32_t at = fixed + 4u * draws;
        for (std::int32_t d = 0; d < draws; ++d) {
            const std::uint32_t bytes = elementBuffer ? offsetBytes : static_cast<std::uint32_t>(counts[d] > 0 ? counts[d] : 0) * IndexBytes(type);
            if (call.SizeAfter(at) < bytes) return NotReplayed(call.name, "its index data is cut short"), true;
            std::uint64_t offset = 0;
            if (elementBuffer) std::memcpy(&offset, call.After(at), offsetBytes);
            lists[d] = elementBuffer ? AsPointer(offset) : call.After(at);
            at += bytes;
        }
        if (baseVertex) {
            if (call.SizeAfter(at) < 4u * draws) return NotReplayed(call.name, "its base vertices are cut short"), true;
            reinterpret_cast<void(__stdcall*)(std::uint32_t, const void*, std::uint32_t, const void* const*, std::int32_t,
                                              const void*)>(call.entry)(v("mode"), counts.data(), type, lists.data(), draws,
                                                                        call.After(at));
        } else {
            reinterpret_cast<void(__stdcall*)(std::uint32_t, const void*, std::uint32_t, const void* const*,
                                              std::int32_t)>(call.entry)(v("mode"), counts.data(), type, lists.data(), draws);
        }
        break;
    }
    case api::glDrawArraysIndirect:
    case api::glDrawElementsIndirect: {
        // The command is in the record when it came from client memory, else in the bound buffer.
        const bool elements = call.id == api::glDrawElementsIndirect;
        const std::uint32_t commandBytes = elements ? 20 : 16;
        const void* command = Integer(kDrawIndirectBinding) != 0 ? AsPointer(call.Field("indirect"))
                              : call.SizeAfter(fixed) >= commandBytes ? call.After(fixed)
                                                                       : nullptr;
        if (!command) return NotReplayed(call.name, "the capture does not hold its command"), true;
        if (elements)
            reinterpret_cast<void(__stdcall*)(std::uint32_t, std::uint32_t, const void*)>(call.entry)(v("mode"), v("type"), command);
        else
            reinterpret_cast<void(__stdcall*)(std::uint32_t, const void*)>(call.entry)(v("mode"), command);
        break;
    }
    default:
        break;
    }
    Issued();
    return true;
}

}  // namespace kestrel::replay
