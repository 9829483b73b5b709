// A whole file from bytes: opened, then every page, the Dests tree and every
// object read, each stream decoded.
#include <cstdint>
#include <memory>

#include "fuzz/FuzzSupport.h"
#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"

using namespace corvina;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::OpenAndWalk(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
