#include "glrecord/SizeRules.h"

#include <algorithm>

namespace kestrel::rules {

namespace {
constexpr bool In(std::uint32_t value, std::uint32_t first, std::uint32_t last) {
    return value >= first && value <= last;
}
}  // namespace

InterleavedFormat InterleavedLayout(std::uint32_t format) {
    // 0x2A20 V2F to 0x2A2D T4F_C4F_N3F_V4F.
    static constexpr InterleavedFormat kLayouts[] = {
        {1, 8},  {1, 12}, {3, 12}, {3, 16}, {3, 24}, {5, 24},  {7, 40},
        {9, 20}, {9, 32}, {11, 24}, {11, 32}, {13, 32}, {15, 48}, {15, 60},
    };
    if (!In(format, 0x2A20, 0x2A2D)) return {0, 0};
    return kLayouts[format - 0x2A20];
}

std::uint32_t SymbolTypeValues(std::uint32_t dataType) {
    switch (dataType) {
    case 0x87BE: return 1;   // scalar
    case 0x87BF: return 4;   // vector
    case 0x87C0: return 16;  // matrix
    default: return 0;
    }
}

std::uint32_t TypeSize(std::uint32_t type) {
    switch (type) {
    case 0x1400: case 0x1401:                      // byte, unsigned byte
    case 0x1A00:                                   // bitmap
    case 0x8032: case 0x8362:                      // 3_3_2 and its reverse
        return 1;
    case 0x1402: case 0x1403:                      // short, unsigned short
    case 0x1407:                                   // 2 bytes
    case 0x140B:                                   // half float
    case 0x8033: case 0x8034:                      // 4_4_4_4, 5_5_5_1
    case 0x8363: case 0x8364: case 0x8365: case 0x8366:  // 5_6_5 and the reversed 16-bit packings
        return 2;
    case 0x1408:                                   // 3 bytes
        return 3;
    case 0x1404: case 0x1405: case 0x1406:         // int, unsigned int, float
    case 0x1409:                                   // 4 bytes
    case 0x140C:                                   // fixed
    case 0x8035: case 0x8036:                      // 8_8_8_8, 10_10_10_2
    case 0x8367: case 0x8368:                      // their reverses
    case 0x84FA:                                   // 24_8
    case 0x86DA: case 0x86DB:                      // the signed packings of the texture shaders
    case 0x8D9F:                                   // int 2_10_10_10 reversed
        return 4;
    case 0x140A:                                   // double
        return 8;
    default:
        return 0;
    }
}

std::uint32_t PixelComponents(std::uint32_t format) {
    switch (format) {
    case 0x1907: case 0x80E0: case 0x8D98: case 0x8D9A:  // RGB, BGR, RGB integer, BGR integer
        return 3;
    case 0x1908: case 0x8000: case 0x80E1: case 0x8D99: case 0x8D9B:  // RGBA, ABGR, BGRA and integers
        return 4;
    case 0x190A: case 0x8227: case 0x8228: case 0x84F9: case 0x8D9D:  // LA, RG, RG integer, depth stencil, LA integer
        return 2;
    case 0x1909: case 0x8D9C:                      // luminance, luminance integer
        return 1;
    default:
        // Colour index to alpha, and the single-channel integer formats.
        return In(format, 0x1900, 0x1906) || In(format, 0x8D94, 0x8D97) ? 1 : 0;
    }
}

std::uint32_t BytesPerPixel(std::uint32_t type, std::uint32_t format) {
    switch (type) {
    case 0x8032: case 0x8362:                                  // 3_3_2 and its reverse
        return 1;
    case 0x8033: case 0x8034: case 0x8363: case 0x8364: case 0x8365: case 0x8366:
        return 2;
    case 0x8035: case 0x8036: case 0x8367: case 0x8368:        // 8_8_8_8, 10_10_10_2 and reverses
    // Packed types whose per-component reading would over-read (24_8 with depth stencil counts two
    // components) or read nothing (the float and shared-exponent packings).
    case 0x84FA: case 0x8C3B: case 0x8C3E: case 0x86DA: case 0x86DB: case 0x8D9F:
        return 4;
    case 0x8DAD:                                               // float 32, unsigned int 24_8
        return 8;
    default:
        return TypeSize(type) * PixelComponents(format);
    }
}

std::uint32_t ElementComponents(std::int32_t size) {
    return size == 0x80E1 ? 4u : size >= 1 && size <= 4 ? static_cast<std::uint32_t>(size) : 0u;
}

std::uint32_t ElementBytes(std::int32_t size, std::uint32_t type) {
    const std::uint32_t components = ElementComponents(size);
    if (components == 0) return 0;
    switch (type) {
    case 0x8368: case 0x8D9F: case 0x8C3B:  // 2_10_10_10 reversed, signed and unsigned; 10F_11F_11F
        return 4;
    default:
        return components * TypeSize(type);
    }
}

namespace {

constexpr std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}
constexpr std::uint64_t NotNegative(std::int32_t value) { return value > 0 ? static_cast<std::uint64_t>(value) : 0; }

std::uint32_t Capped(std::uint64_t bytes) { return bytes > kMaxBlockBytes ? 0u : static_cast<std::uint32_t>(bytes); }

// Products and sums of the application's pixel-store values may pass 64 bits: they stop at a bound
// far above any block, which Capped then turns into no block.
constexpr std::uint64_t kBeyondAnyBlock = std::uint64_t{1} << 62;
constexpr std::uint64_t Times(std::uint64_t a, std::uint64_t b) {
    if (a == 0 || b == 0) return 0;
    return a > kBeyondAnyBlock / b ? kBeyondAnyBlock : std::min(a * b, kBeyondAnyBlock);
}
constexpr std::uint64_t Plus(std::uint64_t a, std::uint64_t b) { return std::min(a + b, kBeyondAnyBlock); }

// The layout of the rows and images of an upload in client memory.
struct Layout {
    std::uint64_t rowBytes = 0;
    std::uint64_t imageBytes = 0;
    std::uint64_t skipBytes = 0;
    std::uint64_t lastRowBytes = 0;  // what the last row of the last image reads
    bool rowsFull = false;           // rows start at their first pixel: the last row is a whole row
};

bool LayOut(std::uint64_t w, std::uint64_t h, std::uint32_t format, std::uint32_t type, const UnpackState& s,
            Layout* out) {
    const std::uint64_t rowPixels = s.rowLength > 0 ? static_cast<std::uint64_t>(s.rowLength) : w;
    const std::uint64_t alignment = s.alignment > 0 ? static_cast<std::uint64_t>(s.alignment) : 1;
    const std::uint64_t skipPixels = NotNegative(s.skipPixels);
    if (type == 0x1A00) {  // bitmap: any index format, one bit a pixel
        out->rowBytes = AlignUp(rowPixels, Times(8, alignment)) / 8;
        out->skipBytes = skipPixels / 8;
        out->lastRowBytes = (skipPixels % 8 + w + 7) / 8;
    } else {
        const std::uint64_t bpp = BytesPerPixel(type, format);
        if (bpp == 0) return false;
        out->rowBytes = TypeSize(type) < alignment ? AlignUp(Times(rowPixels, bpp), alignment) : Times(rowPixels, bpp);
        out->skipBytes = Times(skipPixels, bpp);
        out->lastRowBytes = Times(w, bpp);
    }
    // One rule for every row length: without skipped pixels the block is whole rows, as many as the
    // image has (a row length below the width still reaches as far as the GL reads).
    out->rowsFull = skipPixels == 0;
    out->skipBytes = Plus(out->skipBytes, Times(NotNegative(s.skipRows), out->rowBytes));
    out->imageBytes = Times(out->rowBytes, s.imageHeight > 0 ? static_cast<std::uint64_t>(s.imageHeight) : h);
    out->skipBytes = Plus(out->skipBytes, Times(NotNegative(s.skipImages), out->imageBytes));
    return true;
}

}  // namespace

std::uint32_t UnpackBytes1D(std::int32_t width, std::uint32_t format, std::uint32_t type, const UnpackState& unpack) {
    if (width <= 0) return 0;
    UnpackState row = unpack;
    row.imageHeight = 0;
    row.skipImages = 0;
    Layout layout;
    if (!LayOut(static_cast<std::uint64_t>(width), 1, format, type, row, &layout)) return 0;
    return Capped(Plus(layout.skipBytes, layout.lastRowBytes));
}

std::uint32_t UnpackBytes2D(std::int32_t width, std::int32_t height, std::uint32_t format, std::uint32_t type,
                            const UnpackState& unpack) {
    if (width <= 0 || height <= 0) return 0;
    UnpackState plane = unpack;
    plane.imageHeight = 0;
    plane.skipImages = 0;
    Layout layout;
    if (!LayOut(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), format, type, plane, &layout))
        return 0;
    const std::uint64_t last = layout.rowsFull ? std::max(layout.rowBytes, layout.lastRowBytes) : layout.lastRowBytes;
    return Capped(Plus(Plus(layout.skipBytes, Times(static_cast<std::uint64_t>(height) - 1, layout.rowBytes)), last));
}

std::uint32_t UnpackPadding2D(std::int32_t width, std::int32_t height, std::uint32_t format, std::uint32_t type,
                              const UnpackState& unpack) {
    const std::uint32_t whole = UnpackBytes2D(width, height, format, type, unpack);
    if (whole == 0) return 0;
    UnpackState plane = unpack;
    plane.imageHeight = 0;
    plane.skipImages = 0;
    Layout layout;
    if (!LayOut(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), format, type, plane, &layout) ||
        !layout.rowsFull || layout.rowBytes <= layout.lastRowBytes)
        return 0;
    return static_cast<std::uint32_t>(layout.rowBytes - layout.lastRowBytes);
}

std::uint32_t UnpackBytes3D(std::int32_t width, std::int32_t height, std::int32_t depth, std::uint32_t format,
                            std::uint32_t type, const UnpackState& unpack) {
    if (width <= 0 || height <= 0 || depth <= 0) return 0;
    Layout layout;
    if (!LayOut(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), format, type, unpack, &layout))
        return 0;
    return Capped(Plus(Plus(Plus(layout.skipBytes, Times(static_cast<std::uint64_t>(depth) - 1, layout.imageBytes)),
                            Times(static_cast<std::uint64_t>(height) - 1, layout.rowBytes)),
                       layout.lastRowBytes));
}

bool IsProxyTarget(std::uint32_t target) {
    switch (target) {
    case 0x8063: case 0x8064: case 0x8070:  // 1D, 2D, 3D
    case 0x84F7:                            // rectangle
    // Cube map, 1D and 2D arrays, cube map arrays: proxies as well, which read no pixels either.
    case 0x851B: case 0x8C19: case 0x8C1B: case 0x900B:
        return true;
    default:
        return false;
    }
}

std::uint32_t ClearValueCount(std::uint32_t buffer) {
    if (buffer == 0x1800) return 4;                      // colour
    if (buffer == 0x1801 || buffer == 0x1802) return 1;  // depth, stencil
    return In(buffer, 0x0404, 0x0408) ? 4 : 0;           // front, back, left, right, front and back
}

std::uint32_t Map2Values(std::int32_t ustride, std::int32_t uorder, std::int32_t vstride, std::int32_t vorder) {
    const std::int32_t stride = ustride <= vstride ? vstride : ustride;
    const std::int32_t order = ustride <= vstride ? vorder : uorder;
    return BlockBytes(stride, order);
}

std::uint32_t LightValues(std::uint32_t pname) {
    if (In(pname, 0x1200, 0x1203) || pname == 0x1602) return 4;  // colours, position; ambient and diffuse
    if (pname == 0x1204) return 3;                               // spot direction
    return In(pname, 0x1205, 0x1209) ? 1 : 0;                    // spot exponent and cutoff, attenuations
}

std::uint32_t LightModelValues(std::uint32_t pname) {
    if (pname == 0x0B53) return 4;  // ambient
    return pname == 0x0B51 || pname == 0x0B52 || pname == 0x81F8 ? 1 : 0;
}

std::uint32_t MaterialValues(std::uint32_t pname) {
    if (In(pname, 0x1200, 0x1203) || pname == 0x1600 || pname == 0x1602) return 4;
    if (pname == 0x1601) return 1;  // shininess
    return pname == 0x1603 ? 3 : 0;  // colour indexes
}

std::uint32_t FogValues(std::uint32_t pname) {
    if (pname == 0x0B66) return 4;  // fog colour
    return In(pname, 0x0B61, 0x0B65) || pname == 0x8450 ? 1 : 0;
}

std::uint32_t TexParameterValues(std::uint32_t pname) {
    if (pname == 0x1004) return 4;  // border colour
    switch (pname) {
    case 0x2800: case 0x2801: case 0x2802: case 0x2803:
    case 0x8066: case 0x8072: case 0x80BF: case 0x8146: case 0x84FE: case 0x884C: case 0x884D:
        return 1;
    default:
        return 0;
    }
}

std::uint32_t TexGenValues(std::uint32_t pname) {
    if (pname == 0x2500) return 1;                    // mode
    return pname == 0x2501 || pname == 0x2502 ? 4 : 0;  // object and eye planes
}

std::uint32_t TexEnvValues(std::uint32_t target, std::uint32_t pname) {
    if (target == 0x8500) return 1;  // texture filter control: any name
    if (target != 0x2300) return 0;  // point sprite and the rest: no values
    if (pname == 0x2201) return 4;   // environment colour
    if (pname == 0x2200 || pname == 0x0D1C || pname == 0x8862) return 1;
    return In(pname, 0x8571, 0x8573) || In(pname, 0x8580, 0x8582) || In(pname, 0x8588, 0x858A) ||
                   In(pname, 0x8590, 0x8592) || In(pname, 0x8598, 0x859A)
               ? 1
               : 0;
}

std::uint32_t PointParameterValues(std::uint32_t pname) {
    if (pname == 0x8129) return 3;  // distance attenuation
    return In(pname, 0x8126, 0x8128) ? 1 : 0;
}

std::uint32_t ColorTableParameterValues(std::uint32_t pname) { return pname == 0x80D6 || pname == 0x80D7 ? 4 : 0; }

std::uint32_t CombinerParameterValues(std::uint32_t pname) {
    if (pname == 0x852A || pname == 0x852B) return 4;
    return pname == 0x854E || pname == 0x854F ? 1 : 0;
}

std::uint32_t ConvolutionParameterValues(std::uint32_t pname) {
    if (pname == 0x8013) return 1;
    return pname == 0x8014 || pname == 0x8015 ? 4 : 0;
}

std::uint32_t ImageTransformParameterValues(std::uint32_t pname) { return In(pname, 0x8155, 0x815E) ? 1 : 0; }

std::uint32_t ListParameterValues(std::uint32_t pname) { return pname == 0x8182 ? 1 : 0; }

std::uint32_t SpriteParameterValues(std::uint32_t pname) {
    if (pname == 0x8149) return 1;
    return pname == 0x814A || pname == 0x814B ? 3 : 0;
}

std::uint32_t TexBumpParameterValues(std::uint32_t pname) { return pname == 0x8775 ? 4 : 0; }

}  // namespace kestrel::rules
