#pragma once
#include <cstddef>

namespace kestrel {

// The machine description's fixed size in the stream, terminating zero included.
constexpr size_t kSystemDescriptionSize = 260;

// osName, " | ", adapterText, cut to fit kSystemDescriptionSize bytes with the terminating zero.
// The bytes after the terminating zero are set to zero.
void ComposeSystemDescription(const char* osName, const char* adapterText, char (&dest)[kSystemDescriptionSize]);

// The running machine's description: Windows version name and display adapter text.
void SystemDescription(char (&dest)[kSystemDescriptionSize]);

}  // namespace kestrel
