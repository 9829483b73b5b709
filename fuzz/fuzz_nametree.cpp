// The bytes as the Dests tree of an otherwise sound document: the name-tree
// walk and the typing of destinations when it opens, then the reader's walk;
// then the same tree taken a pair at a time from the file, as the job reads it.
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"

using namespace corvina;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string pdf =
        fuzz::DocumentWithObject(std::string(reinterpret_cast<const char*>(data), size));
    fuzz::OpenAndWalk(pdf);
    fuzz::OpenAndTakeDests(pdf);
    return 0;
}
