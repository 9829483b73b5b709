// A whole file from bytes: opened, then every page, the Dests tree and every
// object read, each stream decoded.
#include <cstdint>
#include <memory>

#include "fuzz/FuzzSupport.h"
#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"

using namespace corvina;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::MemFile file(data, size);
    if (!file.ok()) return 0;
    static std::unique_ptr<CPDFLib> lib = CPDFLib::Create(nullptr);
    if (!lib) return 0;
    CPDFException error;
    CPDFDoc* doc = lib->Open(file.Path().c_str(), nullptr, &error);
    fuzz::WalkDocument(doc);
    if (doc) lib->Close(doc);
    return 0;
}
