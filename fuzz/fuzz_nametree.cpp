// The bytes as the Dests tree of an otherwise sound document: the name-tree
// walk and the typing of destinations when it opens, then the reader's walk.
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"

using namespace corvina;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::OpenAndWalk(
        fuzz::DocumentWithObject(std::string(reinterpret_cast<const char*>(data), size)));
    return 0;
}
