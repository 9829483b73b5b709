#include "pdf/io/Version.h"

// The build passes the project's version to this file alone.
#ifndef CORVINA_VERSION_TEXT
#error "CORVINA_VERSION_TEXT comes from the build (the project's version)"
#endif

namespace corvina {

const char* Version() {
    return CORVINA_VERSION_TEXT;
}

}  // namespace corvina
