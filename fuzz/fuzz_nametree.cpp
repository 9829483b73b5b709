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
    const std::string pdf =
        fuzz::DocumentWithObject(std::string(reinterpret_cast<const char*>(data), size));
    fuzz::MemFile file(reinterpret_cast<const uint8_t*>(pdf.data()), pdf.size());
    if (!file.ok()) return 0;
    static std::unique_ptr<CPDFLib> lib = CPDFLib::Create(nullptr);
    if (!lib) return 0;
    CPDFException error;
    CPDFDoc* doc = lib->Open(file.Path().c_str(), nullptr, &error);
    fuzz::WalkDocument(doc);
    if (doc) lib->Close(doc);
    return 0;
}
