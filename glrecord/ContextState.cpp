#include "glrecord/ContextState.h"

namespace kestrel {

void ContextState::Initialise(const ContextLimits& limits, const ContextFeatures& contextFeatures) {
    texCoords.assign(limits.textureUnits > 0 ? static_cast<std::size_t>(limits.textureUnits) : 1, {});
    attributes.assign(limits.vertexAttribs > 0 ? static_cast<std::size_t>(limits.vertexAttribs) : 0, {});
    const std::size_t slots = limits.variantSlots > 0 ? static_cast<std::size_t>(limits.variantSlots) : 0;
    variants.assign(slots, {});
    variantIds.assign(slots, 0);
    variantInUse.assign((slots + 31) / 32, 0);
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
    const VertexArrayFlags& flags = vertexArrays[name];
    elementBufferBound = flags.elementBuffer;
    arrayBufferBound = flags.arrayBuffer;
}

}  // namespace kestrel
