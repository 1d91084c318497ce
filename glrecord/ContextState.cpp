#include "glrecord/ContextState.h"

#include <algorithm>
#include <new>

namespace kestrel {

namespace {

// The tables are sized from the GL's answers; no GL has more than a few hundred of each, and a wild
// answer must not take the process's memory.
constexpr std::size_t kMostEntries = 4096;

std::size_t Entries(std::int32_t count, std::size_t least) {
    return count > 0 ? std::min(static_cast<std::size_t>(count), kMostEntries) : least;
}

}  // namespace

void ContextState::Initialise(const ContextLimits& limits, const ContextFeatures& contextFeatures) {
    try {
        texCoords.assign(Entries(limits.textureUnits, 1), {});
        attributes.assign(Entries(limits.vertexAttribs, 0), {});
        const std::size_t slots = Entries(limits.variantSlots, 0);
        variants.assign(slots, {});
        variantIds.assign(slots, 0);
        variantInUse.assign((slots + 31) / 32, 0);
    } catch (const std::bad_alloc&) {
        // No memory for the tables: the context is recorded without texture-unit, attribute and
        // variant arrays (every index is then out of range), and the application carries on.
        texCoords.clear();
        attributes.clear();
        variants.clear();
        variantIds.clear();
        variantInUse.clear();
    }
    features = contextFeatures;
    initialised_ = true;
}

int ContextState::VariantSlot(std::uint32_t variantId) {
    for (std::size_t slot = 0; slot < variants.size(); ++slot)
        if (VariantInUse(slot) && variantIds[slot] == variantId) return static_cast<int>(slot);
    for (std::size_t slot = variants.size(); slot-- > 0;) {
        if (VariantInUse(slot)) continue;
        variantInUse[slot / 32] |= 1u << (slot % 32);
        variantIds[slot] = variantId;
        return static_cast<int>(slot);
    }
    return -1;
}

void ContextState::BindBuffer(std::uint32_t target, std::uint32_t buffer) {
    const std::uint32_t bound = buffer != 0 ? 1 : 0;
    switch (target) {
    case 0x8892:
        arrayBufferBound = bound;
        // An object keeps the flag once a buffer was bound while it was current; the context's own
        // entry follows every bind.
        if (currentVertexArray == 0)
            vertexArrays[0].arrayBuffer = bound;
        else if (bound)
            vertexArrays[currentVertexArray].arrayBuffer = 1;
        break;
    case 0x8893:
        elementBufferBound = bound;
        // Kept for the default object too, so that binding it back restores the flag.
        vertexArrays[currentVertexArray].elementBuffer = bound;
        break;
    case 0x8F3F: drawIndirectBufferBound = bound; break;
    case 0x88EB: pixelPackBufferBound = bound; break;
    case 0x88EC: pixelUnpackBufferBound = bound; break;
    default: break;
    }
}

void ContextState::BindVertexArray(std::uint32_t name) {
    currentVertexArray = name;
    // The element-array binding is the object's own: a draw after the switch must not take a buffer
    // offset for client memory, nor client memory for an offset.
    // The array-buffer binding is the context's, not the object's: it stays as it was.
    elementBufferBound = vertexArrays[name].elementBuffer;
}

}  // namespace kestrel
