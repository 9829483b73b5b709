// One value from bytes, written back and read again: the second reading must
// give the same text as the first writing.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "pdf/io/MemInStream.h"
#include "pdf/io/MemOutStream.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFObject.h"

using namespace corvina;

namespace {

std::string Written(CPDFObject& obj) {
    MemOutStream out;
    obj.Serialize(out, nullptr);
    return out.Data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemInStream in(reinterpret_cast<const char*>(data), static_cast<int>(size));
    std::unique_ptr<CPDFObject> obj;
    try {
        obj = CPDFObject::SerializeObject(nullptr, in, nullptr);
    } catch (const CPDFException&) {
        return 0;
    }
    if (!obj) return 0;
    const std::string once = Written(*obj);
    // A word at the very end of the input has no end: in a file something
    // always follows.
    MemInStream again(once + " ");
    std::unique_ptr<CPDFObject> back;
    try {
        back = CPDFObject::SerializeObject(nullptr, again, nullptr);
    } catch (const CPDFException&) {
        std::abort();  // what the writer wrote must read back
    }
    if (!back || Written(*back) != once) std::abort();
    return 0;
}
