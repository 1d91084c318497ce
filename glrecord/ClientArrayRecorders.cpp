// The recorders that set client arrays, enable them, pick the client texture unit and keep vertex
// array objects: they keep the context's copy of the array state that draws read.
#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RealGL.h"
#include "glrecord/RecorderSupport.h"
#include "glrecord/SizeRules.h"

namespace kestrel {

namespace {

constexpr std::uint32_t kTexture0 = 0x84C0;

// Components of a size argument, or 0 when the GL refuses it (and so keeps its own state).
std::uint32_t Components(kgl::GLint size) { return rules::ElementComponents(size); }

}  // namespace

void GLKestrel::NoteClientArray(const ContextState& state, Address address, std::uint32_t components,
                                std::uint32_t type, std::uint32_t stride) {
    if (state.arrayBufferBound || address == 0) return;
    ClientExtent& entry = extents_[address];
    entry.components = components;
    entry.type = type;
    entry.stride = stride;
}

namespace {

// Fills a descriptor from a pointer call and notes a client-memory array in the extent table.
void SetArray(GLKestrel& k, ContextState& state, ArrayDescriptor& array, const void* pointer, std::uint32_t elementSize,
              std::uint32_t type, kgl::GLsizei stride, std::uint32_t components, std::uint32_t extentType) {
    if (stride < 0) return;  // refused by the GL
    array.Set(state.arrayBufferBound, HandleValue(pointer), elementSize, type, stride);
    k.NoteClientArray(state, array.pointer, components, extentType, array.stride);
}

}  // namespace

void GLKestrel::glVertexPointer(kgl::GLint size, kgl::GLenum type, kgl::GLsizei stride, const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glVertexPointer, api::glVertexPointer, size, type, stride, pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState(); state && Components(size)) {
        SetArray(*this, *state, state->vertex, pointer, rules::ElementBytes(size, type), type, stride,
                 Components(size), type);
        state->interleavedCoverage &= ~kCoversVertex;
    }
    RecordValues(*this, api::glVertexPointer, size, type, stride, pointer);
    LeaveCall();
}

void GLKestrel::glColorPointer(kgl::GLint size, kgl::GLenum type, kgl::GLsizei stride, const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glColorPointer, api::glColorPointer, size, type, stride, pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState(); state && Components(size)) {
        SetArray(*this, *state, state->colour, pointer, rules::ElementBytes(size, type), type, stride,
                 Components(size), type);
        state->interleavedCoverage &= ~kCoversColour;
    }
    RecordValues(*this, api::glColorPointer, size, type, stride, pointer);
    LeaveCall();
}

void GLKestrel::glNormalPointer(kgl::GLenum type, kgl::GLsizei stride, const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glNormalPointer, api::glNormalPointer, type, stride, pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState()) {
        SetArray(*this, *state, state->normal, pointer, 3 * rules::TypeSize(type), type, stride, 3, type);
        state->interleavedCoverage &= ~kCoversNormal;
    }
    RecordValues(*this, api::glNormalPointer, type, stride, pointer);
    LeaveCall();
}

void GLKestrel::glTexCoordPointer(kgl::GLint size, kgl::GLenum type, kgl::GLsizei stride, const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glTexCoordPointer, api::glTexCoordPointer, size, type, stride, pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState(); state && Components(size)) {
        if (ArrayDescriptor* unit = state->ClientActiveTexCoord()) {
            SetArray(*this, *state, *unit, pointer, rules::ElementBytes(size, type), type, stride,
                     Components(size), type);
            if (state->clientActiveTexture == 0) state->interleavedCoverage &= ~kCoversTexCoord0;
        }
    }
    RecordValues(*this, api::glTexCoordPointer, size, type, stride, pointer);
    LeaveCall();
}

void GLKestrel::glMultiTexCoordPointerEXT(kgl::GLenum texunit, kgl::GLint size, kgl::GLenum type, kgl::GLsizei stride,
                                          const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glMultiTexCoordPointerEXT, api::glMultiTexCoordPointerEXT, texunit, size, type, stride,
                   pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState(); state && Components(size)) {
        if (ArrayDescriptor* unit = state->TexCoord(texunit - kTexture0)) {
            SetArray(*this, *state, *unit, pointer, rules::ElementBytes(size, type), type, stride,
                     Components(size), type);
            if (texunit == kTexture0) state->interleavedCoverage &= ~kCoversTexCoord0;
        }
    }
    RecordValues(*this, api::glMultiTexCoordPointerEXT, texunit, size, type, stride, pointer);
    LeaveCall();
}

void GLKestrel::glIndexPointer(kgl::GLenum type, kgl::GLsizei stride, const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glIndexPointer, api::glIndexPointer, type, stride, pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState())
        SetArray(*this, *state, state->index, pointer, rules::TypeSize(type), type, stride, 1, type);
    RecordValues(*this, api::glIndexPointer, type, stride, pointer);
    LeaveCall();
}

void GLKestrel::glEdgeFlagPointer(kgl::GLsizei stride, const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glEdgeFlagPointer, api::glEdgeFlagPointer, stride, pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState())
        SetArray(*this, *state, state->edgeFlag, pointer, 1, 0x1401, stride, 1, 0x1400);
    RecordValues(*this, api::glEdgeFlagPointer, stride, pointer);
    LeaveCall();
}

void GLKestrel::glSecondaryColorPointerEXT(kgl::GLint size, kgl::GLenum type, kgl::GLsizei stride,
                                           const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glSecondaryColorPointerEXT, api::glSecondaryColorPointerEXT, size, type, stride, pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState(); state && Components(size))
        SetArray(*this, *state, state->secondaryColour, pointer, rules::ElementBytes(size, type), type,
                 stride, Components(size), type);
    RecordValues(*this, api::glSecondaryColorPointerEXT, size, type, stride, pointer);
    LeaveCall();
}

void GLKestrel::glFogCoordPointerEXT(kgl::GLenum type, kgl::GLsizei stride, const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glFogCoordPointerEXT, api::glFogCoordPointerEXT, type, stride, pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState())
        SetArray(*this, *state, state->fogCoord, pointer, rules::TypeSize(type), type, stride, 1, type);
    RecordValues(*this, api::glFogCoordPointerEXT, type, stride, pointer);
    LeaveCall();
}

void GLKestrel::glWeightPointerARB(kgl::GLint size, kgl::GLenum type, kgl::GLsizei stride, const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glWeightPointerARB, api::glWeightPointerARB, size, type, stride, pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState(); state && size > 0 && size <= 64)  // larger: refused
        SetArray(*this, *state, state->weight, pointer, static_cast<std::uint32_t>(size) * rules::TypeSize(type),
                 type, stride, static_cast<std::uint32_t>(size), type);
    RecordValues(*this, api::glWeightPointerARB, size, type, stride, pointer);
    LeaveCall();
}

void GLKestrel::glVertexAttribPointerARB(kgl::GLuint index, kgl::GLint size, kgl::GLenum type,
                                         kgl::GLboolean normalized, kgl::GLsizei stride, const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glVertexAttribPointerARB, api::glVertexAttribPointerARB, index, size, type, normalized,
                   stride, pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState(); state && Components(size)) {
        if (ArrayDescriptor* attribute = state->Attribute(index))
            SetArray(*this, *state, *attribute, pointer, rules::ElementBytes(size, type), type, stride,
                     Components(size), type);
    }
    RecordValues(*this, api::glVertexAttribPointerARB, index, size, type, normalized, stride, pointer);
    LeaveCall();
}

void GLKestrel::glVertexAttribIPointerEXT(kgl::GLuint index, kgl::GLint size, kgl::GLenum type, kgl::GLsizei stride,
                                          const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glVertexAttribIPointerEXT, api::glVertexAttribIPointerEXT, index, size, type, stride,
                   pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState(); state && Components(size)) {
        if (ArrayDescriptor* attribute = state->Attribute(index))
            SetArray(*this, *state, *attribute, pointer, rules::ElementBytes(size, type), type, stride,
                     Components(size), type);
    }
    RecordValues(*this, api::glVertexAttribIPointerEXT, index, size, type, stride, pointer);
    LeaveCall();
}

void GLKestrel::glVertexAttribLPointer(kgl::GLuint index, kgl::GLint size, kgl::GLenum type, kgl::GLsizei stride,
                                       const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glVertexAttribLPointer, api::glVertexAttribLPointer, index, size, type, stride, pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState(); state && Components(size)) {
        if (ArrayDescriptor* attribute = state->Attribute(index))
            SetArray(*this, *state, *attribute, pointer, rules::ElementBytes(size, type), type, stride,
                     Components(size), type);
    }
    RecordValues(*this, api::glVertexAttribLPointer, index, size, type, stride, pointer);
    LeaveCall();
}

void GLKestrel::glVariantPointerEXT(kgl::GLuint id, kgl::GLenum type, kgl::GLuint stride, const void* addr) {
    EnterCall();
    CallReal<void>(*this, fn::glVariantPointerEXT, api::glVariantPointerEXT, id, type, stride, addr);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState()) {
        const int slot = state->VariantSlot(id);
        if (slot >= 0) {
            kgl::GLint dataType = 0;
            if (auto get = realgl::Entry<void(__stdcall*)(kgl::GLuint, kgl::GLenum, kgl::GLint*)>(
                    fn::glGetVariantIntegervEXT))
                get(id, 0x87E5, &dataType);
            SetArray(*this, *state, state->variants[static_cast<std::size_t>(slot)], addr,
                     rules::SymbolTypeValues(static_cast<std::uint32_t>(dataType)) * rules::TypeSize(type), type, static_cast<kgl::GLsizei>(stride), 4, type);
        }
    }
    RecordValues(*this, api::glVariantPointerEXT, id, type, stride, addr);
    LeaveCall();
}

void GLKestrel::glInterleavedArrays(kgl::GLenum format, kgl::GLsizei stride, const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glInterleavedArrays, api::glInterleavedArrays, format, stride, pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState()) {
        const rules::InterleavedFormat layout = rules::InterleavedLayout(format);
        SetArray(*this, *state, state->interleaved, pointer, layout.elementSize, format, stride, layout.elementSize,
                 0x1400);
        if (layout.elementSize) state->interleavedCoverage = layout.coverage;
    }
    RecordValues(*this, api::glInterleavedArrays, format, stride, pointer);
    LeaveCall();
}

void GLKestrel::glElementPointerATI(kgl::GLenum type, const void* pointer) {
    EnterCall();
    CallReal<void>(*this, fn::glElementPointerATI, api::glElementPointerATI, type, pointer);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState())
        SetArray(*this, *state, state->vendorElement, pointer, rules::TypeSize(type), type, 0, 1, type);
    RecordValues(*this, api::glElementPointerATI, type, pointer);
    LeaveCall();
}

// ---- enables ----

namespace {

// The descriptor a client-state cap names; the texture cap names the given unit.
ArrayDescriptor* ArrayOfCap(ContextState& state, kgl::GLenum cap, std::uint32_t textureUnit) {
    switch (cap) {
    case 0x8074: return &state.vertex;
    case 0x8075: return &state.normal;
    case 0x8076: return &state.colour;
    case 0x8077: return &state.index;
    case 0x8078: return state.TexCoord(textureUnit);
    case 0x8079: return &state.edgeFlag;
    case 0x8457: return &state.fogCoord;
    case 0x845E: return &state.secondaryColour;
    case 0x86AD: return &state.weight;
    case 0x8768: return &state.vendorElement;
    default: return nullptr;
    }
}

void SetClientState(ContextState* state, kgl::GLenum cap, std::uint32_t textureUnit, std::uint32_t enabled) {
    if (!state) return;
    if (cap == 0x8558) {  // primitive restart
        state->primitiveRestartEnabled = enabled;
        return;
    }
    if (ArrayDescriptor* array = ArrayOfCap(*state, cap, textureUnit)) array->enabled = enabled;
}

}  // namespace

void GLKestrel::glEnableClientState(kgl::GLenum array) {
    EnterCall();
    CallReal<void>(*this, fn::glEnableClientState, api::glEnableClientState, array);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glEnableClientState, array);
    ContextState* state = CurrentState();
    SetClientState(state, array, state ? state->clientActiveTexture : 0, 1);
    LeaveCall();
}

void GLKestrel::glDisableClientState(kgl::GLenum array) {
    EnterCall();
    CallReal<void>(*this, fn::glDisableClientState, api::glDisableClientState, array);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glDisableClientState, array);
    ContextState* state = CurrentState();
    SetClientState(state, array, state ? state->clientActiveTexture : 0, 0);
    LeaveCall();
}

// The indexed forms name their texture unit by index: the GL enables that unit's array, so the
// draws must dump that one, not the client active unit's.
void GLKestrel::glEnableClientStateIndexedEXT(kgl::GLenum array, kgl::GLuint index) {
    EnterCall();
    CallReal<void>(*this, fn::glEnableClientStateIndexedEXT, api::glEnableClientStateIndexedEXT, array, index);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glEnableClientStateIndexedEXT, array, index);
    SetClientState(CurrentState(), array, index, 1);
    LeaveCall();
}

void GLKestrel::glDisableClientStateIndexedEXT(kgl::GLenum array, kgl::GLuint index) {
    EnterCall();
    CallReal<void>(*this, fn::glDisableClientStateIndexedEXT, api::glDisableClientStateIndexedEXT, array, index);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glDisableClientStateIndexedEXT, array, index);
    SetClientState(CurrentState(), array, index, 0);
    LeaveCall();
}

void GLKestrel::glEnableVertexAttribArrayARB(kgl::GLuint index) {
    EnterCall();
    CallReal<void>(*this, fn::glEnableVertexAttribArrayARB, api::glEnableVertexAttribArrayARB, index);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState())
        if (ArrayDescriptor* attribute = state->Attribute(index)) attribute->enabled = 1;
    RecordValues(*this, api::glEnableVertexAttribArrayARB, index);
    LeaveCall();
}

void GLKestrel::glDisableVertexAttribArrayARB(kgl::GLuint index) {
    EnterCall();
    CallReal<void>(*this, fn::glDisableVertexAttribArrayARB, api::glDisableVertexAttribArrayARB, index);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState())
        if (ArrayDescriptor* attribute = state->Attribute(index)) attribute->enabled = 0;
    RecordValues(*this, api::glDisableVertexAttribArrayARB, index);
    LeaveCall();
}

void GLKestrel::glEnableVariantClientStateEXT(kgl::GLuint id) {
    EnterCall();
    CallReal<void>(*this, fn::glEnableVariantClientStateEXT, api::glEnableVariantClientStateEXT, id);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState())
        if (const int slot = state->VariantSlot(id); slot >= 0) state->variants[static_cast<std::size_t>(slot)].enabled = 1;
    RecordValues(*this, api::glEnableVariantClientStateEXT, id);
    LeaveCall();
}

void GLKestrel::glDisableVariantClientStateEXT(kgl::GLuint id) {
    EnterCall();
    CallReal<void>(*this, fn::glDisableVariantClientStateEXT, api::glDisableVariantClientStateEXT, id);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState())
        if (const int slot = state->VariantSlot(id); slot >= 0) state->variants[static_cast<std::size_t>(slot)].enabled = 0;
    RecordValues(*this, api::glDisableVariantClientStateEXT, id);
    LeaveCall();
}

void GLKestrel::glClientActiveTextureARB(kgl::GLenum texture) {
    EnterCall();
    CallReal<void>(*this, fn::glClientActiveTextureARB, api::glClientActiveTextureARB, texture);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState()) state->clientActiveTexture = texture - kTexture0;
    RecordValues(*this, api::glClientActiveTextureARB, texture);
    LeaveCall();
}

void GLKestrel::glPrimitiveRestartIndexNV(kgl::GLuint index) {
    EnterCall();
    CallReal<void>(*this, fn::glPrimitiveRestartIndexNV, api::glPrimitiveRestartIndexNV, index);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState(); state && state->primitiveRestartEnabled)
        state->primitiveRestartIndex = index;
    RecordValues(*this, api::glPrimitiveRestartIndexNV, index);
    LeaveCall();
}

// ---- vertex array objects ----

namespace {

void RecordNames(GLKestrel& k, std::uint32_t apiId, kgl::GLsizei n, const kgl::GLuint* names) {
    RecordWithBlock(k, apiId, names, n > 0 ? static_cast<std::uint32_t>(n) * 4u : 0u, n, names);
}

void ResetVertexArrays(ContextState* state, kgl::GLsizei n, const kgl::GLuint* names) {
    if (!state || !names) return;
    for (kgl::GLsizei i = 0; i < n; ++i) state->ResetVertexArray(names[i]);
}

}  // namespace

void GLKestrel::glGenVertexArrays(kgl::GLsizei n, kgl::GLuint* arrays) {
    EnterCall();
    CallReal<void>(*this, fn::glGenVertexArrays, api::glGenVertexArrays, n, arrays);
    if (ShouldRecordOrLeave()) return;
    RecordNames(*this, api::glGenVertexArrays, n, arrays);
    ResetVertexArrays(CurrentState(), n, arrays);
    LeaveCall();
}

void GLKestrel::glCreateVertexArrays(kgl::GLsizei n, kgl::GLuint* arrays) {
    EnterCall();
    CallReal<void>(*this, fn::glCreateVertexArrays, api::glCreateVertexArrays, n, arrays);
    if (ShouldRecordOrLeave()) return;
    RecordNames(*this, api::glCreateVertexArrays, n, arrays);
    ResetVertexArrays(CurrentState(), n, arrays);
    LeaveCall();
}

void GLKestrel::glBindVertexArray(kgl::GLuint array) {
    EnterCall();
    CallReal<void>(*this, fn::glBindVertexArray, api::glBindVertexArray, array);
    if (ShouldRecordOrLeave()) return;
    if (ContextState* state = CurrentState()) state->BindVertexArray(array);
    RecordValues(*this, api::glBindVertexArray, array);
    LeaveCall();
}

// Recorded as every deletion is; deleting the bound object binds the default one again, whose
// element-array binding the draws must then use.
void GLKestrel::glDeleteVertexArrays(kgl::GLsizei n, const kgl::GLuint* arrays) {
    EnterCall();
    CallReal<void>(*this, fn::glDeleteVertexArrays, api::glDeleteVertexArrays, n, arrays);
    if (ShouldRecordOrLeave()) return;
    RecordNames(*this, api::glDeleteVertexArrays, n, arrays);
    if (ContextState* state = CurrentState(); state && arrays) {
        for (kgl::GLsizei i = 0; i < n; ++i) {
            if (arrays[i] == 0) continue;
            if (arrays[i] == state->currentVertexArray) state->BindVertexArray(0);
            state->vertexArrays.erase(arrays[i]);
        }
    }
    LeaveCall();
}

}  // namespace kestrel
