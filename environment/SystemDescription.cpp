#include "environment/SystemDescription.h"

#include <cstring>

#include "environment/BoundedText.h"
#include "environment/DisplayAdapterText.h"
#include "environment/WindowsVersionName.h"

namespace kestrel {

void ComposeSystemDescription(const char* osName, const char* adapterText, char (&dest)[kSystemDescriptionSize]) {
    std::memset(dest, 0, sizeof(dest));
    CopyBounded(dest, sizeof(dest), osName);
    AppendBounded(dest, sizeof(dest), " | ");
    AppendBounded(dest, sizeof(dest), adapterText);
}

void SystemDescription(char (&dest)[kSystemDescriptionSize]) {
    char osName[32];
    WindowsVersionName(osName, sizeof(osName));
    char adapter[kSystemDescriptionSize];
    DisplayAdapterText(adapter, sizeof(adapter));
    ComposeSystemDescription(osName, adapter, dest);
}

}  // namespace kestrel
