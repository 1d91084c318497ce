// How many bytes of pointed-to data a record carries: the tables that the recorders and the capture
// readers share, so that both sides compute every data block alike.
#pragma once
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace kestrel::rules {

// Larger blocks cannot exist in a 32-bit process; a product beyond this gives no block.
constexpr std::uint64_t kMaxBlockBytes = 0x7FFFFFFFu;

// The product of a block's size factors; a negative factor (a negative count) gives no block.
template <class... Factors>
std::uint32_t BlockBytes(Factors... factors) {
    std::uint64_t bytes = 1;
    bool empty = false;
    auto take = [&](auto factor) {
        if constexpr (std::is_signed_v<decltype(factor)>) {
            if (factor < 0) empty = true;
        }
        if (empty) return;
        bytes *= static_cast<std::uint64_t>(factor);
        if (bytes > kMaxBlockBytes) empty = true;
    };
    (take(factors), ...);
    return empty ? 0u : static_cast<std::uint32_t>(bytes);
}

// A NUL-terminated string with its NUL; nothing for a null pointer.
inline std::uint32_t StringBytes(const char* text) {
    return text ? static_cast<std::uint32_t>(std::strlen(text)) + 1u : 0u;
}
inline std::uint32_t StringBytes(const void* text) { return StringBytes(static_cast<const char*>(text)); }

// Bytes of one value of a GL data type; 0 for a type outside the table.
std::uint32_t TypeSize(std::uint32_t type);
// Components of one pixel of a pixel format; 0 for a format outside the table.
std::uint32_t PixelComponents(std::uint32_t format);
// Bytes of one pixel: a packed type holds the whole pixel, any other type one component.
std::uint32_t BytesPerPixel(std::uint32_t type, std::uint32_t format);
// Components of a client array's element from a pointer call's size: GL_BGRA is four; 0 for a size
// the GL refuses.
std::uint32_t ElementComponents(std::int32_t size);
// Bytes of one vertex's element of a client array from a pointer call's size and type: a packed type
// holds the whole element in 4 bytes. 0 for a size the GL refuses.
std::uint32_t ElementBytes(std::int32_t size, std::uint32_t type);

// The pixel store state that unpacking reads, as the GL reports it.
struct UnpackState {
    std::int32_t rowLength = 0;    // 0x0CF2
    std::int32_t alignment = 4;    // 0x0CF5
    std::int32_t skipPixels = 0;   // 0x0CF4
    std::int32_t skipRows = 0;     // 0x0CF3
    std::int32_t imageHeight = 0;  // 0x806E
    std::int32_t skipImages = 0;   // 0x806D
};
// Bytes of client memory that an upload reads from its pixel pointer, skipped bytes included, so that
// replaying with the same unpack state finds every pixel. Type 0x1A00 is a bitmap: rows counted in
// bits. A format or type outside the tables, or an empty image, gives 0.
// One row, unpacked as a two-dimensional image of height 1: skip rows count as well.
std::uint32_t UnpackBytes1D(std::int32_t width, std::uint32_t format, std::uint32_t type, const UnpackState& unpack);
// Rows of row length (or width) pixels aligned to the alignment; the last row keeps its padding
// unless skip pixels leave the image short of it.
std::uint32_t UnpackBytes2D(std::int32_t width, std::int32_t height, std::uint32_t format, std::uint32_t type,
                            const UnpackState& unpack);
// The end of UnpackBytes2D that the GL itself does not read: the last row's padding (0 when none).
std::uint32_t UnpackPadding2D(std::int32_t width, std::int32_t height, std::uint32_t format, std::uint32_t type,
                              const UnpackState& unpack);
// Images of image height (or height) rows, after skip images.
std::uint32_t UnpackBytes3D(std::int32_t width, std::int32_t height, std::int32_t depth, std::uint32_t format,
                            std::uint32_t type, const UnpackState& unpack);
// Whether a texture target only asks whether an image would fit: such calls read no pixels.
bool IsProxyTarget(std::uint32_t target);
// Values of a glClearBuffer* value pointer by buffer; 0 for a buffer outside the table.
std::uint32_t ClearValueCount(std::uint32_t buffer);
// What one glInterleavedArrays format holds: the arrays it stands for (bit 0 vertex, 1 colour,
// 2 normal, 3 texture unit 0) and the bytes of one vertex; 0 and 0 for a format outside the table.
struct InterleavedFormat {
    std::uint32_t coverage;
    std::uint32_t elementSize;
};
InterleavedFormat InterleavedLayout(std::uint32_t format);

// Values of one symbol of the vertex shader extension by its data type: scalar 1, vector 4, matrix 16.
std::uint32_t SymbolTypeValues(std::uint32_t dataType);

// Values of a two-dimensional evaluator map: the larger stride with its order.
std::uint32_t Map2Values(std::int32_t ustride, std::int32_t uorder, std::int32_t vstride, std::int32_t vorder);

// Values that a parameter name takes in the vector setters; 0 for a name outside the function's table.
std::uint32_t LightValues(std::uint32_t pname);
std::uint32_t LightModelValues(std::uint32_t pname);
std::uint32_t MaterialValues(std::uint32_t pname);
std::uint32_t FogValues(std::uint32_t pname);
std::uint32_t TexParameterValues(std::uint32_t pname);
std::uint32_t TexGenValues(std::uint32_t pname);
std::uint32_t TexEnvValues(std::uint32_t target, std::uint32_t pname);
std::uint32_t PointParameterValues(std::uint32_t pname);
std::uint32_t ColorTableParameterValues(std::uint32_t pname);
std::uint32_t CombinerParameterValues(std::uint32_t pname);
std::uint32_t ConvolutionParameterValues(std::uint32_t pname);
std::uint32_t ImageTransformParameterValues(std::uint32_t pname);
std::uint32_t ListParameterValues(std::uint32_t pname);
std::uint32_t SpriteParameterValues(std::uint32_t pname);
std::uint32_t TexBumpParameterValues(std::uint32_t pname);

}  // namespace kestrel::rules
