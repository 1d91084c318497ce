// Figures read off a benchmark run: the seconds a program reported and the size of the file it left.
#pragma once
#include <windows.h>
#include <cstdlib>
#include <string>

namespace bench {

// The seconds after "N calls in " in the program's output; negative when it reported nothing.
inline double AppSeconds(const std::string& output) {
    const std::size_t at = output.find(" calls in ");
    return at == std::string::npos ? -1.0 : std::atof(output.c_str() + at + 10);
}

inline double FileMB(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<double>(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow) / 1e6;
}

}  // namespace bench
