#pragma once

#include <string>

namespace corvina {

// Process-wide temporary-file settings, written once when a CPDFLib is created.
struct TempSettings {
    static std::string& Directory();  // empty or ending in '/'
    static std::string& Prefix();     // "cv"
};

// Creates a unique empty file in dir (empty: $TMPDIR, else /tmp) whose name
// starts with prefix, and writes its path into out (260 bytes). mkstemp only.
bool GetTempName(const char* dir, const char* prefix, char* out, int outSize = 260);

}  // namespace corvina
