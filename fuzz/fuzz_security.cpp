// The security handler's open: the bytes give a password and the text of
// the Encrypt dictionary of a small document with an ID, which is then
// opened with that password and, when it opens, read through.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"

using namespace corvina;

namespace {

std::string File(const std::string& encrypt) {
    return fuzz::Document(
        {
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>",
            "<< /Length 8 >>\nstream\n\x8a\x13\x07\xfe\x01\x99\x42\x10\nendstream",
            encrypt,
        },
        " /Encrypt 5 0 R /ID [<0123456789abcdef0123456789abcdef> "
        "<0123456789abcdef0123456789abcdef>]");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t n = data[0] % 40 < size - 1 ? data[0] % 40 : size - 1;
    const std::string password(reinterpret_cast<const char*>(data) + 1, n);
    const std::string pdf =
        File(std::string(reinterpret_cast<const char*>(data) + 1 + n, size - 1 - n));
    fuzz::OpenAndWalk(pdf, data[0] & 0x80 ? nullptr : password.c_str());
    return 0;
}
