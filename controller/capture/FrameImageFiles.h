// The frame image files of a capture on disk: the folder they go to and the files a run wrote.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>

namespace kestrel {

// Creates the folder and every missing folder above it; true when it exists afterwards.
bool CreateFolderPath(const std::string& folder);

// Now, less the coarsest file time resolution (2 s), so that a file written from now on is never older.
FILETIME ImageTimeFloor();

// A run's image files in the folder, written at or after `since`: frame images (prefix, the frame
// number, ".png") of the frames the capture holds, final images (prefix, "final", ".png"), and frame
// images of frames after the capture's last, which are removed: the capture has no such frame.
struct ImageFiles {
    std::uint32_t frames = 0;
    std::uint32_t finals = 0;
    std::uint32_t removed = 0;
};
ImageFiles TakeStockOfImages(const std::string& folder, const std::string& prefix, const FILETIME& since,
                             std::uint32_t framesHeld);

}  // namespace kestrel
