#pragma once

#include <climits>
#include <string>

#include "pdf/io/CorvinaApi.h"

namespace corvina {

// Process-wide temporary-file settings, written once when a CPDFLib is created.
struct CORVINA_API TempSettings {
    static std::string& Directory();  // empty or ending in '/'
    static std::string& Prefix();     // "cv"
};

// Creates a unique empty file in dir (empty: $TMPDIR, else /tmp) whose name
// starts with prefix, and writes its path into out (outSize bytes, PATH_MAX
// unless told). mkstemp only.
CORVINA_API bool GetTempName(const char* dir, const char* prefix, char* out,
                             int outSize = PATH_MAX);

// The same beside a target: a unique empty file in dir named prefix, six
// characters and suffix (mkstemps); its path in *out. False with errno set.
CORVINA_API bool GetTempName(const std::string& dir, const char* prefix, const char* suffix,
                             std::string* out);

// 0 when dir is a directory that takes new files, else why not: ENOENT,
// ENOTDIR, or the errno of creating a file there. Writability is tried by
// making (and removing) a temporary file, since permission bits do not bind
// every user and do not cover read-only mounts.
CORVINA_API int CheckTempDir(const char* dir);

}  // namespace corvina
