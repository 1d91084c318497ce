#include "images/FrameReader.h"

#include <cstring>
#include <new>

namespace kestrel {

namespace {

constexpr unsigned kReadBufferMode = 0x0C02;
constexpr unsigned kListIndex = 0x0B33;
constexpr unsigned kDoubleBuffer = 0x0C32;
constexpr unsigned kFront = 0x0404;
constexpr unsigned kBack = 0x0405;
constexpr unsigned kRgba = 0x1908;
constexpr unsigned kUnsignedByte = 0x1401;
constexpr unsigned kReadFramebuffer = 0x8CA8;
constexpr unsigned kReadFramebufferBinding = 0x8CAA;
constexpr unsigned kPixelPackBuffer = 0x88EB;
constexpr unsigned kPixelPackBufferBinding = 0x88ED;

// Pack state that would shift or pad the rows of the read-back, and the value the read needs.
struct PackSetting {
    unsigned name;
    int needed;
};
constexpr PackSetting kPackSettings[] = {
    {0x0D05, 4},  // alignment: 8 would pad rows of an odd width
    {0x0D02, 0},  // row length
    {0x0D03, 0},  // skip rows
    {0x0D04, 0},  // skip pixels
};
constexpr std::size_t kPackCount = sizeof kPackSettings / sizeof kPackSettings[0];

// Larger frames would not fit a 32-bit process's memory next to the application's own.
constexpr std::uint64_t kLargestFramePixels = 64ull << 20;

int GetInteger(const ReadBackFunctions& gl, unsigned name) {
    int value = 0;
    gl.getIntegerv(name, &value);
    return value;
}

// The buffer the application draws into: the back buffer of a double-buffered window. The pixel
// format tells it even while a framebuffer object is bound for drawing.
unsigned DrawnBufferOf(const ReadBackFunctions& gl, HDC dc) {
    if (gl.getPixelFormat && gl.describePixelFormat) {
        PIXELFORMATDESCRIPTOR description{};
        const int format = gl.getPixelFormat(dc);
        if (format > 0 && gl.describePixelFormat(dc, format, sizeof description, &description) != 0)
            return (description.dwFlags & PFD_DOUBLEBUFFER) ? kBack : kFront;
    }
    return GetInteger(gl, kDoubleBuffer) ? kBack : kFront;
}

// The application's read state that a read-back of the window changes: saved, changed only where it
// differs from what the read needs, and put back.
class ReadState {
public:
    void SelectWindowBuffer(const ReadBackFunctions& gl, unsigned buffer) {
        if (gl.bindFramebuffer) {
            readFramebuffer_ = static_cast<unsigned>(GetInteger(gl, kReadFramebufferBinding));
            if (readFramebuffer_) gl.bindFramebuffer(kReadFramebuffer, 0);
        }
        if (gl.bindBuffer) {
            packBuffer_ = static_cast<unsigned>(GetInteger(gl, kPixelPackBufferBinding));
            if (packBuffer_) gl.bindBuffer(kPixelPackBuffer, 0);
        }
        for (std::size_t i = 0; i < kPackCount; ++i) {
            pack_[i] = GetInteger(gl, kPackSettings[i].name);
            if (pack_[i] != kPackSettings[i].needed) gl.pixelStorei(kPackSettings[i].name, kPackSettings[i].needed);
        }
        readBuffer_ = static_cast<unsigned>(GetInteger(gl, kReadBufferMode));
        if (readBuffer_ != buffer) gl.readBuffer(buffer);
        selected_ = buffer;
    }

    void Restore(const ReadBackFunctions& gl) const {
        if (readBuffer_ != selected_) gl.readBuffer(readBuffer_);
        for (std::size_t i = 0; i < kPackCount; ++i)
            if (pack_[i] != kPackSettings[i].needed) gl.pixelStorei(kPackSettings[i].name, pack_[i]);
        if (packBuffer_) gl.bindBuffer(kPixelPackBuffer, packBuffer_);
        if (readFramebuffer_) gl.bindFramebuffer(kReadFramebuffer, readFramebuffer_);
    }

private:
    unsigned readFramebuffer_ = 0;
    unsigned packBuffer_ = 0;
    int pack_[kPackCount] = {};
    unsigned readBuffer_ = 0;
    unsigned selected_ = 0;
};

// Red and blue change places in every pixel: RGBA becomes BGRA.
void SwapRedAndBlue(std::uint8_t* bytes, std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i, bytes += 4) {
        std::uint32_t pixel;
        std::memcpy(&pixel, bytes, 4);
        pixel = (pixel & 0xFF00FF00u) | ((pixel >> 16) & 0xFFu) | ((pixel & 0xFFu) << 16);
        std::memcpy(bytes, &pixel, 4);
    }
}

}  // namespace

FramePixels FrameReader::Read(const ReadBackFunctions& gl, HDC dc, HGLRC context) {
    if (!gl.complete()) return {};
    const HDC savedDC = gl.getCurrentDC();
    const HGLRC savedContext = gl.getCurrentContext();
    if (!context) {
        dc = savedDC;
        context = savedContext;
    }
    if (!dc || !context) return {};
    const bool switched = dc != savedDC || context != savedContext;
    FramePixels frame;
    // A context current on another thread cannot be made current here: no image then.
    if (!switched || gl.makeCurrent(dc, context)) frame = ReadCurrent(gl, dc);
    if (switched) gl.makeCurrent(savedDC, savedContext);
    return frame;
}

FramePixels FrameReader::ReadCurrent(const ReadBackFunctions& gl, HDC dc) {
    const HWND window = WindowFromDC(dc);
    RECT client{};
    if (!window || !GetClientRect(window, &client)) return {};
    const long width = client.right - client.left;
    const long height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return {};
    const std::uint64_t count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (count > kLargestFramePixels || !Reserve(static_cast<std::uint32_t>(count))) return {};
    // While a display list is compiled, glReadBuffer would go into the application's list.
    if (gl.displayLists && GetInteger(gl, kListIndex) != 0) return {};

    // The error queue is the application's: it is never read here. Every call below is one the
    // context knows, with values it takes (the window's framebuffer, no pack buffer, default packing),
    // so none of them raises an error that would join the application's.
    ReadState state;
    state.SelectWindowBuffer(gl, DrawnBufferOf(gl, dc));
    gl.readPixels(0, 0, static_cast<int>(width), static_cast<int>(height), kRgba, kUnsignedByte, buffer_.get());
    state.Restore(gl);
    SwapRedAndBlue(buffer_.get(), count);

    FramePixels frame;
    frame.stride = -4 * static_cast<std::int64_t>(width);
    // OpenGL rows run bottom-up: the window's top row is the buffer's last.
    frame.top = buffer_.get() + static_cast<std::size_t>(4 * width) * static_cast<std::size_t>(height - 1);
    frame.width = static_cast<std::uint32_t>(width);
    frame.height = static_cast<std::uint32_t>(height);
    return frame;
}

bool FrameReader::Reserve(std::uint32_t pixels) {
    if (pixels <= capacity_) return true;
    buffer_.reset();
    capacity_ = 0;
    buffer_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(pixels) * 4]);
    if (!buffer_) return false;
    capacity_ = pixels;
    return true;
}

}  // namespace kestrel
