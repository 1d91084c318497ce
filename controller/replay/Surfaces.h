// The replay's windows: one per device context the capture drew to, sized as the capture's
// drawable records describe it, with the pixel format the capture set on it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>

namespace kestrel::replay {

class Surfaces {
public:
    Surfaces() = default;
    ~Surfaces();
    Surfaces(const Surfaces&) = delete;
    Surfaces& operator=(const Surfaces&) = delete;

    // A drawable record's rectangle and font for a recorded device context: the window follows its
    // size, and the font is the one that font lists are made from.
    void Describe(std::uint32_t recordedDC, const std::int32_t rect[4], const LOGFONTA& font);
    // Selects the recorded font into the replay's device context; false when there is none.
    bool SelectFont(std::uint32_t recordedDC);
    // The replay's device context for a recorded one, its window made on first use; null when no
    // window could be made.
    HDC DeviceContext(std::uint32_t recordedDC);
    // The system's description of the format that the capture's device context was given, ahead of
    // its wglSetPixelFormat record; it stands in for the descriptor that call was handed.
    void NoteFormatSet(std::uint32_t recordedDC, const PIXELFORMATDESCRIPTOR& set);
    // Sets the format closest to the recorded descriptor (the noted one, when the capture has it);
    // the recorded format number wins when it describes the same buffers, as it does on the driver
    // that made the capture.
    bool SetPixelFormat(std::uint32_t recordedDC, int recordedFormat, const PIXELFORMATDESCRIPTOR& wanted);
    // A surface that a context is made for without a recorded format gets a plain double-buffered one.
    void EnsurePixelFormat(std::uint32_t recordedDC);
    void DestroyAll();

private:
    struct Surface {
        HWND window = nullptr;
        HDC dc = nullptr;
        int width = 0;
        int height = 0;
        bool formatSet = false;
        HFONT font = nullptr;
    };
    Surface* Find(std::uint32_t recordedDC);

    std::map<std::uint32_t, Surface> surfaces_;
    std::map<std::uint32_t, std::pair<int, int>> sizes_;  // from drawable records, before the window exists
    std::map<std::uint32_t, LOGFONTA> fonts_;
    std::map<std::uint32_t, PIXELFORMATDESCRIPTOR> formatsSet_;  // from pixel format records
};

}  // namespace kestrel::replay
