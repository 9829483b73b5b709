// A whole file from bytes: opened, then every page, the Dests tree and every
// object read, each stream decoded. The same bytes cut short again, where
// their last byte says: a file whose table reads whole then reaches the
// rebuilding of its table from the objects found.
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"

using namespace corvina;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string pdf(reinterpret_cast<const char*>(data), size);
    fuzz::OpenAndWalk(pdf);
    if (size > 64) fuzz::OpenAndWalk(pdf.substr(0, size - 1 - data[size - 1] % 64));
    return 0;
}
