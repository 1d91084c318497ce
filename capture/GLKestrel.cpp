#include "capture/GLKestrel.h"

namespace kestrel {

GLKestrel::GLKestrel() = default;

GLKestrel::~GLKestrel() = default;

}  // namespace kestrel
