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
    const std::string objects[] = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>",
        "<< /Length 8 >>\nstream\n\x8a\x13\x07\xfe\x01\x99\x42\x10\nendstream",
        encrypt,
    };
    std::string out = "%PDF-1.4\n";
    std::string xref = "xref\n0 6\n0000000000 65535 f \n";
    int num = 1;
    for (const std::string& o : objects) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", out.size());
        xref += entry;
        out += std::to_string(num++) + " 0 obj\n" + o + "\nendobj\n";
    }
    const size_t start = out.size();
    out += xref +
           "trailer\n<< /Size 6 /Root 1 0 R /Encrypt 5 0 R /ID "
           "[<0123456789abcdef0123456789abcdef> <0123456789abcdef0123456789abcdef>] >>\n"
           "startxref\n" +
           std::to_string(start) + "\n%%EOF\n";
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t n = data[0] % 40 < size - 1 ? data[0] % 40 : size - 1;
    const std::string password(reinterpret_cast<const char*>(data) + 1, n);
    const std::string pdf =
        File(std::string(reinterpret_cast<const char*>(data) + 1 + n, size - 1 - n));
    fuzz::MemFile file(reinterpret_cast<const uint8_t*>(pdf.data()), pdf.size());
    if (!file.ok()) return 0;
    static std::unique_ptr<CPDFLib> lib = CPDFLib::Create(nullptr);
    if (!lib) return 0;
    CPDFException error;
    CPDFDoc* doc =
        lib->Open(file.Path().c_str(), data[0] & 0x80 ? nullptr : password.c_str(), &error);
    fuzz::WalkDocument(doc);
    if (doc) lib->Close(doc);
    return 0;
}
