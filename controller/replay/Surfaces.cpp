#include "controller/replay/Surfaces.h"

namespace kestrel::replay {

namespace {
constexpr char kWindowClass[] = "KestrelReplaySurface";
constexpr int kDefaultSize = 64;  // a device context the capture never described

bool RegisterSurfaceClass() {
    static const bool registered = [] {
        WNDCLASSA windowClass{};
        windowClass.style = CS_OWNDC;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

// What a frame looks like depends on these; the rest of a descriptor does not change the pixels.
bool SameBuffers(const PIXELFORMATDESCRIPTOR& a, const PIXELFORMATDESCRIPTOR& b) {
    constexpr DWORD kFlags = PFD_DOUBLEBUFFER | PFD_STEREO | PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    return (a.dwFlags & kFlags) == (b.dwFlags & kFlags) && a.iPixelType == b.iPixelType &&
           a.cRedBits == b.cRedBits && a.cGreenBits == b.cGreenBits && a.cBlueBits == b.cBlueBits &&
           a.cAlphaBits == b.cAlphaBits && a.cDepthBits == b.cDepthBits && a.cStencilBits == b.cStencilBits &&
           a.cAccumBits == b.cAccumBits;
}
}  // namespace

Surfaces::~Surfaces() { DestroyAll(); }

void Surfaces::DestroyAll() {
    for (auto& [handle, surface] : surfaces_) {
        if (surface.dc) ReleaseDC(surface.window, surface.dc);
        if (surface.font) DeleteObject(surface.font);
        if (surface.window) DestroyWindow(surface.window);
    }
    surfaces_.clear();
    sizes_.clear();
    fonts_.clear();
    formatsSet_.clear();
}

void Surfaces::Describe(std::uint32_t recordedDC, const std::int32_t rect[4], const LOGFONTA& font) {
    fonts_[recordedDC] = font;
    const int width = rect[2] - rect[0] > 0 ? rect[2] - rect[0] : kDefaultSize;
    const int height = rect[3] - rect[1] > 0 ? rect[3] - rect[1] : kDefaultSize;
    sizes_[recordedDC] = {width, height};
    const auto found = surfaces_.find(recordedDC);
    if (found == surfaces_.end() || !found->second.window) return;
    Surface& surface = found->second;
    if (surface.width != width || surface.height != height) {
        SetWindowPos(surface.window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        surface.width = width;
        surface.height = height;
    }
}

Surfaces::Surface* Surfaces::Find(std::uint32_t recordedDC) {
    const auto found = surfaces_.find(recordedDC);
    if (found != surfaces_.end()) return found->second.window ? &found->second : nullptr;
    Surface& surface = surfaces_[recordedDC];
    const auto size = sizes_.find(recordedDC);
    surface.width = size != sizes_.end() ? size->second.first : kDefaultSize;
    surface.height = size != sizes_.end() ? size->second.second : kDefaultSize;
    if (!RegisterSurfaceClass()) return nullptr;
    // A popup has no frame: its client area is exactly the recorded size.
    surface.window = CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "kestrel replay", WS_POPUP | WS_VISIBLE, 0, 0,
                                     surface.width, surface.height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!surface.window) return nullptr;
    surface.dc = GetDC(surface.window);
    return surface.dc ? &surface : nullptr;
}

bool Surfaces::SelectFont(std::uint32_t recordedDC) {
    Surface* surface = Find(recordedDC);
    const auto font = fonts_.find(recordedDC);
    if (!surface || font == fonts_.end()) return false;
    HFONT made = CreateFontIndirectA(&font->second);
    if (!made) return false;
    SelectObject(surface->dc, made);
    if (surface->font) DeleteObject(surface->font);
    surface->font = made;
    return true;
}

HDC Surfaces::DeviceContext(std::uint32_t recordedDC) {
    Surface* surface = Find(recordedDC);
    return surface ? surface->dc : nullptr;
}

void Surfaces::NoteFormatSet(std::uint32_t recordedDC, const PIXELFORMATDESCRIPTOR& set) { formatsSet_[recordedDC] = set; }

bool Surfaces::SetPixelFormat(std::uint32_t recordedDC, int recordedFormat, const PIXELFORMATDESCRIPTOR& requested) {
    // A program that chose its format by attributes may have handed over a descriptor of what it
    // asked for (16 bits of depth, say) while the format set has others (32): the depth test, and so
    // the pixels, follow the buffers the format really has. The note belongs to this call alone: a
    // later window may get the same device context handle.
    PIXELFORMATDESCRIPTOR wanted = requested;
    if (const auto noted = formatsSet_.find(recordedDC); noted != formatsSet_.end()) {
        wanted = noted->second;
        formatsSet_.erase(noted);
    }
    Surface* surface = Find(recordedDC);
    if (!surface) return false;
    if (surface->formatSet) return true;  // the GL allows one format per window
    PIXELFORMATDESCRIPTOR found{};
    int format = 0;
    if (recordedFormat > 0 && DescribePixelFormat(surface->dc, recordedFormat, sizeof found, &found) &&
        SameBuffers(found, wanted))
        format = recordedFormat;
    if (format == 0) {
        const int count = DescribePixelFormat(surface->dc, 1, sizeof found, &found);
        for (int i = 1; i <= count && format == 0; ++i)
            if (DescribePixelFormat(surface->dc, i, sizeof found, &found) && SameBuffers(found, wanted)) format = i;
    }
    if (format == 0) format = ChoosePixelFormat(surface->dc, &wanted);
    if (format == 0 || !DescribePixelFormat(surface->dc, format, sizeof found, &found)) return false;
    surface->formatSet = ::SetPixelFormat(surface->dc, format, &found) != FALSE;
    return surface->formatSet;
}

void Surfaces::EnsurePixelFormat(std::uint32_t recordedDC) {
    Surface* surface = Find(recordedDC);
    if (!surface || surface->formatSet) return;
    if (GetPixelFormat(surface->dc) > 0) {
        surface->formatSet = true;
        return;
    }
    PIXELFORMATDESCRIPTOR plain{};
    plain.nSize = sizeof plain;
    plain.nVersion = 1;
    plain.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    plain.iPixelType = PFD_TYPE_RGBA;
    plain.cColorBits = 32;
    plain.cAlphaBits = 8;
    plain.cDepthBits = 24;
    plain.cStencilBits = 8;
    SetPixelFormat(recordedDC, 0, plain);
}

}  // namespace kestrel::replay
