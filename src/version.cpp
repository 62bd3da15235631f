// The library's version, set by the build.
#include "corva/corva.h"

namespace corva {
const char* Version() { return CORVA_VERSION; }
}  // namespace corva
