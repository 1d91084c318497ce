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

// The files named prefix*.png in the folder that were written at or after `since`.
std::uint32_t CountImageFiles(const std::string& folder, const std::string& prefix, const FILETIME& since);

}  // namespace kestrel
