#pragma once

#include "pdf/io/CorvinaApi.h"

namespace corvina {

// The library's version as "MAJOR.MINOR.PATCH", the one the build was made
// with (the project's), for a program to compare with what it was built for.
CORVINA_API const char* Version();

}  // namespace corvina
