#include "images/PNG32ImageInterface.h"

#include <windows.h>
#include <png.h>

#include <cstddef>
#include <new>

#include "images/ImageFileName.h"

namespace kestrel {

namespace {

constexpr std::size_t kNameSize = 2 * MAX_PATH;
// Larger images would not fit a 32-bit process's memory next to the application's own.
constexpr std::uint64_t kLargestLoadBytes = 512ull << 20;

// libpng's own handlers print to the application's console; ours only leave.
void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

struct FileSink {
    HANDLE file;
    bool failed;
};

void WriteBlock(png_structp png, png_bytep data, png_size_t size) {
    auto* sink = static_cast<FileSink*>(png_get_io_ptr(png));
    DWORD written = 0;
    if (!WriteFile(sink->file, data, static_cast<DWORD>(size), &written, nullptr) || written != size) {
        sink->failed = true;
        png_error(png, "short write");
    }
}

// The write function above goes straight to the file; libpng's default flush would take the
// handle for a C stream.
void FlushNothing(png_structp) {}

void ReadBlock(png_structp png, png_bytep data, png_size_t size) {
    const HANDLE file = png_get_io_ptr(png);
    DWORD got = 0;
    if (!ReadFile(file, data, static_cast<DWORD>(size), &got, nullptr) || got != size) png_error(png, "short read");
}

// The libpng calls of a write: an error comes back here through its jump buffer, so nothing in
// this frame may need destruction.
std::uint32_t Encode(png_structp png, png_infop info, FileSink* sink, png_bytepp rows, std::uint32_t width,
                     std::uint32_t height) {
    if (setjmp(png_jmpbuf(png))) return 4;
    png_set_write_fn(png, sink, WriteBlock, FlushNothing);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // Pixels go to libpng in place: the fourth byte is dropped and blue, green, red turned around.
    png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_write_image(png, rows);
    png_write_end(png, info);
    return 0;
}

// What a read allocates, kept outside the jump buffer's frame so that a failed read can free it.
struct Decoded {
    std::uint8_t* pixels = nullptr;
    png_bytep* rows = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

std::uint32_t Decode(png_structp png, png_infop info, HANDLE file, Decoded* out) {
    if (setjmp(png_jmpbuf(png))) return 4;
    png_set_read_fn(png, file, ReadBlock);
    png_read_info(png, info);
    // Any PNG becomes 8-bit blue, green, red and a fourth byte (its alpha, or 255).
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const std::uint64_t bytes = 4ull * width * height;
    if (width == 0 || height == 0 || bytes > kLargestLoadBytes || png_get_rowbytes(png, info) != 4ull * width)
        return 4;
    out->pixels = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes)];
    out->rows = new (std::nothrow) png_bytep[height];
    if (!out->pixels || !out->rows) return 4;
    for (png_uint_32 y = 0; y < height; ++y) out->rows[y] = out->pixels + static_cast<std::size_t>(y) * 4 * width;
    png_read_image(png, out->rows);
    png_read_end(png, nullptr);
    out->width = width;
    out->height = height;
    return 0;
}

}  // namespace

std::uint32_t PNG32ImageInterface::save(const char* prefix, int index, int subIndex) {
    char name[kNameSize];
    if (!FormatImageFileName(name, sizeof name, prefix, index, subIndex, ".png")) return 2;
    return SaveFile(name);
}

std::uint32_t PNG32ImageInterface::SaveFile(const char* name) {
    if (!pixels) return 4;
    const HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    // The linked library refuses a version string other than its own.
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::uint32_t result = 4;
    png_bytep* rows = png && info ? new (std::nothrow) png_bytep[height] : nullptr;
    if (rows) {
        for (std::uint32_t y = 0; y < height; ++y)
            rows[y] = pixels + static_cast<std::ptrdiff_t>(y) * static_cast<std::ptrdiff_t>(stride);
        FileSink sink{file, false};
        result = Encode(png, info, &sink, rows, width, height);
        if (result != 0 && sink.failed) result = 3;
    }
    delete[] rows;
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    CloseHandle(file);
    // A half-written file would only mislead whoever opens it.
    if (result != 0) DeleteFileA(name);
    return result;
}

std::uint32_t PNG32ImageInterface::load(const char* prefix, int index, int subIndex) {
    char name[kNameSize];
    if (!FormatImageFileName(name, sizeof name, prefix, index, subIndex, ".png")) return 2;
    const HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    Decoded decoded;
    const std::uint32_t result = png && info ? Decode(png, info, file, &decoded) : 4;
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    CloseHandle(file);
    delete[] decoded.rows;
    if (result != 0) {
        delete[] decoded.pixels;
        return result;
    }
    FreePixels();
    pixels = decoded.pixels;
    ownsPixels = 1;
    stride = 4 * static_cast<std::int64_t>(decoded.width);
    width = decoded.width;
    height = decoded.height;
    return 0;
}

}  // namespace kestrel
