// The drawable records: what surface each device context named by a wgl call draws to, written as
// record 120 when it is first seen and whenever its rectangle, full-screen state or font changes.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "capture/GLKestrel.h"
#include "glrecord/RecorderSupport.h"
#include "glrecord/SizeRules.h"

namespace kestrel {

namespace {

bool SameRect(const std::int32_t a[4], const RECT& b) {
    return a[0] == b.left && a[1] == b.top && a[2] == b.right && a[3] == b.bottom;
}

void StoreRect(std::int32_t to[4], const RECT& from) {
    to[0] = from.left;
    to[1] = from.top;
    to[2] = from.right;
    to[3] = from.bottom;
}

bool ClientRectOf(HWND window, RECT* rect) { return GetClientRect(window, rect) != 0; }

bool CoversDesktop(const RECT& client) {
    RECT desktop{};
    return ClientRectOf(GetDesktopWindow(), &desktop) && EqualRect(&client, &desktop);
}

// The bitmap selected into a windowless device context; its size, and whether it has pixel memory.
struct CurrentBitmap {
    HBITMAP handle = nullptr;
    BITMAP description{};
    bool found = false;
};

CurrentBitmap BitmapOf(HDC dc) {
    CurrentBitmap bitmap;
    bitmap.handle = static_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP));
    bitmap.found = bitmap.handle && GetObjectA(bitmap.handle, sizeof bitmap.description, &bitmap.description) != 0;
    return bitmap;
}

RECT BitmapRect(const CurrentBitmap& bitmap) {
    RECT rect{0, 0, 0, 0};
    if (bitmap.found) {
        rect.right = bitmap.description.bmWidth;
        rect.bottom = bitmap.description.bmHeight;
    }
    return rect;
}

}  // namespace

void GLKestrel::TrackDrawable(kgl::HDC dc) {
    if (!dc) return;
    const Address key = HandleValue(dc);
    bool isNew = false;
    auto found = drawables_.find(key);
    if (found == drawables_.end()) {
        found = drawables_.emplace(key, DrawableRecord{}).first;
        isNew = true;
    }
    DrawableRecord& record = found->second;
    if (!isNew && (record.changeFlags & kDrawableNeverTrack)) return;
    if (isNew) {
        record.window = HandleValue(WindowFromDC(dc));
        record.changeFlags = kDrawableNew;
    } else if (record.window != kNoWindow && record.window != 0) {
        const Address window = HandleValue(WindowFromDC(dc));
        if (window != record.window) {
            record = DrawableRecord{};
            record.window = window;
            record.changeFlags = kDrawableNew;
            isNew = true;
        }
    }
    // What was learnt of its window's buffers belonged to the window it named before.
    if (isNew) singleBuffered_.erase(key);

    bool changed = false;
    RECT rect{0, 0, 0, 0};
    std::unique_ptr<std::uint8_t[]> pixels;
    std::uint32_t pixelBytes = 0;
    DIBSECTION section{};
    if (record.window != kNoWindow && record.window != 0) {
        const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(record.window));
        ClientRectOf(window, &rect);
        if (CoversDesktop(rect)) {
            if (!(record.kindFlags & kDrawableFullScreen)) {
                record.kindFlags |= kDrawableFullScreen;
                record.changeFlags |= kDrawableBecameFullScreen;
                changed = true;
            }
        } else {
            record.kindFlags &= ~kDrawableFullScreen;
            POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
            ClientToScreen(window, &corners[0]);
            ClientToScreen(window, &corners[1]);
            rect = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
            if (!SameRect(record.rect, rect)) {
                record.changeFlags |= kDrawableRectChanged;
                changed = true;
            }
        }
    } else {
        record.kindFlags |= kDrawableNoWindow;
        record.window = kNoWindow;
        const CurrentBitmap bitmap = BitmapOf(dc);
        rect = BitmapRect(bitmap);
        if (bitmap.found && bitmap.description.bmBits && isNew &&
            GetObjectA(bitmap.handle, sizeof section, &section) == sizeof section) {
            const LONG height = section.dsBmih.biHeight < 0 ? -section.dsBmih.biHeight : section.dsBmih.biHeight;
            // A bitmap whose copy this process cannot hold is described without its pixels (kind bit 2
            // stays clear): the application carries on.
            pixelBytes = rules::BlockBytes(section.dsBm.bmWidthBytes, height);
            if (pixelBytes) pixels.reset(new (std::nothrow) std::uint8_t[pixelBytes]);
            if (pixels) {
                record.kindFlags |= kDrawableBitmapCaptured;
                // The header is the section's own; room for a colour table or the three bit masks after it.
                struct {
                    BITMAPINFOHEADER header;
                    RGBQUAD colours[256];
                } info{};
                info.header = section.dsBmih;
                // Rows the system will not copy are recorded as zeros: the record keeps its size.
                if (GetDIBits(dc, bitmap.handle, 0, static_cast<UINT>(height), pixels.get(),
                              reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == 0)
                    std::memset(pixels.get(), 0, pixelBytes);
            } else {
                pixelBytes = 0;
            }
        }
        if (!SameRect(record.rect, rect)) {
            record.changeFlags |= kDrawableRectChanged;
            changed = true;
        }
    }

    LOGFONTA font{};
    const HGDIOBJ fontObject = GetCurrentObject(dc, OBJ_FONT);
    if (fontObject && GetObjectA(fontObject, sizeof font, &font) != 0 &&
        std::memcmp(&font, &record.font, sizeof font) != 0) {
        record.font = font;
        record.changeFlags |= kDrawableFontChanged;
        changed = true;
    }

    if (!isNew && !changed) return;
    StoreRect(record.rect, rect);
    record.deviceContext = key;
    const bool withBitmap = record.kindFlags & kDrawableBitmapCaptured && isNew;
    const auto extra = withBitmap ? static_cast<std::uint32_t>(sizeof section + pixelBytes) : 0u;
    BeginRecord(DrawableRecord::kId, sizeof record + extra);
    WriteData(sizeof record, &record);
    if (withBitmap) {
        WriteData(sizeof section, &section);
        WriteData(pixelBytes, pixels.get());
    }
    if (isNew) record.changeFlags = 0;
    ++callsInFrame_;
}

Geometry GLKestrel::ProbeGeometry(kgl::HDC dc) {
    Geometry geometry{{0, 0, 0, 0}, kWindowed};
    const HWND window = dc ? WindowFromDC(dc) : nullptr;
    RECT rect{0, 0, 0, 0};
    if (!window) {
        if (dc) rect = BitmapRect(BitmapOf(dc));
        geometry.kind = kWindowless;
    } else {
        ClientRectOf(window, &rect);
        geometry.kind = CoversDesktop(rect) ? kFullScreen : kWindowed;
    }
    StoreRect(geometry.rect, rect);
    return geometry;
}

void GLKestrel::RegisterUntrackedDC(kgl::HDC dc) {
    if (!dc) return;
    const auto [entry, added] = drawables_.try_emplace(HandleValue(dc), DrawableRecord{});
    if (!added) return;
    entry->second.window = HandleValue(WindowFromDC(dc));
    entry->second.changeFlags = kDrawableNeverTrack;
}

}  // namespace kestrel
