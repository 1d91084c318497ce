// What the recorders keep per rendering context: the client array state that the application set,
// the bound-buffer flags, vertex array objects and primitive restart. Draws read it to know which
// client memory they reach.
#pragma once
#include <cstdint>
#include <cstddef>
#include <map>
#include <vector>

#include "glrecord/ContextFeatures.h"
#include "stream/PointerWidth.h"

namespace kestrel {

// One client array as the application last set it.
struct ArrayDescriptor {
    std::uint32_t enabled = 0;      // 0/1
    std::uint32_t buffer = 0;       // 1 when a nonzero array buffer was bound when the pointer was set
    Address pointer = 0;            // address, or offset into the buffer
    std::uint32_t elementSize = 0;  // bytes of one vertex's element
    std::uint32_t type = 0;         // GL enum
    std::uint32_t stride = 0;       // the stride given, or the element size when that was below 1

    void Set(std::uint32_t bufferBound, Address address, std::uint32_t size, std::uint32_t glType,
             std::int32_t givenStride) {
        buffer = bufferBound;
        pointer = address;
        elementSize = size;
        type = glType;
        stride = givenStride < 1 ? size : static_cast<std::uint32_t>(givenStride);
    }
};

// Bits of the interleaved coverage flags: the arrays the last glInterleavedArrays stands for.
enum InterleavedBit : std::uint32_t {
    kCoversVertex = 1,
    kCoversColour = 2,
    kCoversNormal = 4,
    kCoversTexCoord0 = 8,
};

struct VertexArrayFlags {
    std::uint32_t elementBuffer = 0;
    std::uint32_t arrayBuffer = 0;
};

// The limits a context's descriptor tables are sized from, asked once at its first activation.
struct ContextLimits {
    std::int32_t textureUnits = 0;    // 0x84E2
    std::int32_t vertexAttribs = 0;   // 0x8869
    std::int32_t variantSlots = 0;    // 0x87C6
};

class ContextState {
public:
    bool initialised() const { return initialised_; }
    // Sizes the tables; a context that reports no texture units still gets one.
    void Initialise(const ContextLimits& limits, const ContextFeatures& features);

    // Null when the unit or index is at or above the table's size.
    ArrayDescriptor* TexCoord(std::uint32_t unit) { return unit < texCoords.size() ? &texCoords[unit] : nullptr; }
    ArrayDescriptor* Attribute(std::uint32_t index) { return index < attributes.size() ? &attributes[index] : nullptr; }
    ArrayDescriptor* ClientActiveTexCoord() { return TexCoord(clientActiveTexture); }

    // The variant's slot: the one in use that holds the id, else the highest free slot, which is
    // taken for it; -1 when every slot is in use by other variants.
    int VariantSlot(std::uint32_t variantId);
    bool VariantInUse(std::size_t slot) const { return (variantInUse[slot / 32] >> (slot % 32)) & 1u; }

    // Bound-buffer flags follow binds and are kept per vertex array object (name 0: the context's
    // own); binding an object loads its element-buffer flag only, since the array-buffer binding is
    // the context's.
    void BindBuffer(std::uint32_t target, std::uint32_t buffer);
    void BindVertexArray(std::uint32_t name);
    void ResetVertexArray(std::uint32_t name) { vertexArrays[name] = VertexArrayFlags{}; }

    // The client arrays (fixed ones, then the tables).
    ArrayDescriptor colour, edgeFlag, index, normal, vertex, secondaryColour, fogCoord, weight, interleaved,
        vendorElement;
    std::vector<ArrayDescriptor> texCoords;
    std::vector<ArrayDescriptor> attributes;
    std::vector<ArrayDescriptor> variants;
    std::vector<std::uint32_t> variantIds;
    std::vector<std::uint32_t> variantInUse;  // one bit per slot

    std::uint32_t interleavedCoverage = 0;
    std::uint32_t clientActiveTexture = 0;  // unit - 0x84C0

    std::uint32_t arrayBufferBound = 0;
    std::uint32_t elementBufferBound = 0;
    std::uint32_t drawIndirectBufferBound = 0;
    std::uint32_t pixelPackBufferBound = 0;
    std::uint32_t pixelUnpackBufferBound = 0;

    std::uint32_t currentVertexArray = 0;
    std::map<std::uint32_t, VertexArrayFlags> vertexArrays;

    std::uint32_t primitiveRestartEnabled = 0;
    std::uint32_t primitiveRestartIndex = 0;

    Address deviceContext = 0;  // of the context's last successful activation
    ContextFeatures features;         // learnt at the first activation
    // Between a glBegin the GL took and its glEnd: no read-back may run there.
    bool insideBeginEnd = false;
    // Whether the context drew into its device context's surface since that surface's last frame end.
    bool drawnSinceFrameEnd = false;

private:
    bool initialised_ = false;
};

}  // namespace kestrel
