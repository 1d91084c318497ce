#include "capture/GLKestrel.h"

namespace kestrel {

// Constructed by the library's static initialisation; nothing else happens before the first call.
GLKestrel g_kestrel;

}  // namespace kestrel
