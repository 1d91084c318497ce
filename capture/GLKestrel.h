// The concrete capturer: the recorders that keep state across calls override the generated ones.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/GLBaseCapturer.h"
#include "glrecord/IndexRange.h"
#include "images/FinalImages.h"
#include "images/FrameReader.h"
#include "glrecord/MappedBuffers.h"
#include "glrecord/PersistentMappings.h"
#include "glrecord/SymbolTypes.h"

namespace kestrel {

class GLKestrel final : public GLBaseCapturer {
public:
    GLKestrel();
    ~GLKestrel() override;

    // The hand-written recorders; codegen/overrides.txt names the file of each.
#include "kestrel_recorders.inc"

    // Extension lookup (glrecord/ExtensionLookup.cpp): the interceptor of a known extension name
    // whose real entry point is resolved, else null; every extension slot filled at once.
    void* LookupInterceptor(const char* name);
    void ResolveAllExtensions();

    kgl::HDC lastPresentedDC() const { return lastPresentedDC_; }

    // Frame images (capture/FrameImages.cpp).
    // Run by every recorded draw after its record: the draw-mode trigger, reading the draw's own window.
    void DrawHook();
    // The frame-mode trigger's read, run before the real swap of dc on a call that will be recorded:
    // the pixels for EndFrame, or none when no image is due.
    FramePixels FrameImageBeforeSwap(kgl::HDC dc);
    // Reads the frame of the context last activated on dc (the current one when it is on dc, or
    // when none is); with a null dc, the current context's. Sets the image object up for its size.
    FramePixels ReadFrame(kgl::HDC dc);
    // Before a thread's context changes (to another context, another device context or none) or a
    // context is deleted: a surface the context drew into since its last frame end is read while it
    // still can be, as its final image. Nothing while frame images are off.
    void KeepFinalImage(Address context);
    void BeforeMakeCurrent(kgl::HDC dc, kgl::HGLRC context);

    // Surfaces drawn into since their last frame end (capture/DrawnSurfaces.cpp).
    // Marks the current context as having drawn.
    void MarkDrawn();
    // A frame end of the surface of dc: its contexts have drawn nothing since, its final image is void.
    void SurfacePresented(Address dc);
    // Whether dc is a window's without a back buffer.
    bool SingleBufferedWindow(Address dc);
    // After a recorded glFlush or glFinish: the end of a frame when the current context drew into a
    // single-buffered window.
    void EndFrameOfSingleBuffered(std::uint32_t apiId);

    // Contexts and drawables (capture/Drawables.cpp).
    // Brings the drawable record of a device context up to date; writes record 120 when it is new or changed.
    void TrackDrawable(kgl::HDC dc);
    Geometry ProbeGeometry(kgl::HDC dc);
    // A pixel buffer's device context: known from now on, never described.
    void RegisterUntrackedDC(kgl::HDC dc);

    // Per-context recording states (glrecord/ContextStates.cpp).
    ContextState* CurrentState();
    ContextState& CreateState(kgl::HGLRC context);
    void DropState(kgl::HGLRC context);
    // The state's tables sized from the context's limits; the context must be current.
    void InitialiseState(ContextState& state);

    // Client memory reached by draws (glrecord/ArrayDump.cpp).
    // Client memory block records of every enabled client array for the vertices first..first+count-1.
    void DumpArrays(ContextState& state, std::uint32_t first, std::uint32_t count);
    // The vertices of an indexed draw whose indices lie in the bound element buffer at offset.
    VertexRange BufferIndexRange(ContextState& state, std::uint32_t count, std::uint32_t type, std::uintptr_t offset,
                                 std::int32_t baseVertex);
    // The vertices of an indexed draw with client-memory indices.
    VertexRange ClientIndexRange(const ContextState& state, std::uint32_t count, std::uint32_t type,
                                 const void* indices, std::int32_t baseVertex);
    // The array dump of an indexed draw: from client indices or read back from the element buffer.
    void DumpIndexed(ContextState* state, std::uint32_t count, std::uint32_t type, const void* indices,
                     std::int32_t baseVertex);
    // Where a draw's indices are: the state's flag; client memory without a state (nothing is asked).
    bool ElementBufferBound(const ContextState* state) const;
    // Index data block of a draw: the buffer offset again, or the indices from client memory.
    static std::uint32_t IndexDataSize(bool inBuffer, std::uint32_t count, std::uint32_t type, const void* indices);
    void WriteIndexData(bool inBuffer, std::uint32_t count, std::uint32_t type, const void* indices);
    // Whether the GL skips a restart index in indexed draws now, and which one for this index type.
    bool RestartIndex(const ContextState& state, std::uint32_t type, std::uint32_t* index);
    // Notes an array pointer set from client memory in the extent table.
    void NoteClientArray(const ContextState& state, Address address, std::uint32_t components,
                         std::uint32_t type, std::uint32_t stride);

    // Buffer objects (glrecord/BufferRecorders.cpp).
    // Whether a pixel unpack (or pack) buffer is bound: the state's flag; none without a state, whose
    // context may not know the binding. While one is, a pixel pointer is an offset into it and is
    // never read.
    bool PixelBufferBound(const ContextState* state, bool unpack) const;
    // Fills the mapping entry of a map call from the GL's answers; target 0 for a named map. Returns
    // the buffer's name, 0 when no entry was made.
    kgl::GLuint NoteMapping(kgl::GLenum target, kgl::GLuint buffer, const void* mapped, std::uint32_t offset,
                     std::uint32_t length);
    // The bytes an unmap records, taken from the buffer's mapping when it had a writable one: a copy
    // made while the buffer is still mapped (see OwnsUnmapCopy), or the mapping itself when no copy
    // could be made.
    WrittenBytes CopyUnmapped(kgl::GLuint buffer);
    bool OwnsUnmapCopy(const void* bytes) const { return bytes == unmapCopy_.get(); }
    // After the record: frees a copy buffer larger than the common unmaps need.
    void ReleaseUnmapCopy();

    // Persistent mappings (glrecord/PersistentMappingRecorders.cpp). Before a call that may make the
    // GL read a buffer: what the application wrote into the current context's persistent mappings
    // since the last such point reaches the real mappings and the capture. One load and a branch
    // while there are none.
    __attribute__((always_inline)) void BeforeGLReads() {
        if (__builtin_expect(!persistent_.empty(), 0)) WritePersistentMappings();
    }
    // After a wait the application can observe (a signalled client wait, glFinish): what the GL
    // wrote into readable persistent mappings reaches their shadows.
    __attribute__((always_inline)) void AfterGLWait() {
        if (__builtin_expect(!persistent_.empty(), 0)) CopyPersistentBack();
    }
    void WritePersistentMappings();
    // A pointer the GL gives back for a mapping (glGetBufferPointerv): the shadow's, where it has one.
    void ShadowOfMapping(void** pointer);
    template <class Object>
    void MappingPointerQuery(unsigned index, std::uint32_t apiId, Object object, kgl::GLenum pname, void** params);
    void CopyPersistentBack();
    // The pointer to hand the application for a mapping: a shadow for a writable persistent one
    // mapped on an outermost recorded call, else the real pointer.
    void* HandMapping(kgl::GLuint buffer, void* mapped, std::uint32_t offset, std::uint32_t length,
                      kgl::GLbitfield access);
    // The mapping ends: the shadow's last writes reach the real mapping (the unmap's own record
    // carries them) and the shadow is freed.
    void EndPersistentMapping(ContextState* state, kgl::GLuint buffer);

    const std::map<Address, DrawableRecord>& drawables() const { return drawables_; }

    // Values of a vertex shader extension symbol, by the data type it was generated with; 0 for an
    // id never generated (glrecord/VertexShaderSymbolRecorders.cpp).
    std::uint32_t SymbolValues(kgl::GLuint id) const;

private:
    kgl::HDC lastPresentedDC_ = nullptr;
    std::unique_ptr<std::uint8_t[]> unmapCopy_;  // the bytes of the last unmap; kept only while small
    std::uint32_t unmapCopySize_ = 0;
    std::unique_ptr<std::uint8_t[]> indexReadBack_;  // one piece of indices read back from an element buffer
    SymbolTypes symbolTypes_;                  // data type of each generated symbol id
    FrameReader frameReader_;                  // its read-back buffer grows only
    FinalImages finalImages_;                  // by device context
    std::map<Address, bool> singleBuffered_;  // by device context: whether its window has one buffer
    MappedBuffers mappedBuffers_;              // the mappings of every context, by its state
    PersistentMappings persistent_;            // changed only under the record stream's lock
};

// The one capturer of the process.
extern GLKestrel g_kestrel;

}  // namespace kestrel
