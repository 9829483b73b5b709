// Cross-reference streams and object streams: the bytes become the data of
// a file's cross-reference stream, or of an object stream that such a
// stream points into; the file is then opened and read through.
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"

using namespace corvina;

namespace {

std::string Obj(int num, const std::string& body) {
    return std::to_string(num) + " 0 obj\n" + body + "\nendobj\n";
}

std::string Stream(const std::string& dict, const std::string& data) {
    return "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
           "\nendstream";
}

std::string Be(uint32_t v, int bytes) {
    std::string s;
    for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>(v >> (8 * i) & 0xFF);
    return s;
}

// Objects 1 to 3 plain, object 4 an object stream holding 5 and 6 (or the
// fuzzed one), object 7 the cross-reference stream.
std::string File(bool fuzzXref, const std::string& bytes, int first, int n) {
    std::string out = "%PDF-1.5\n";
    uint32_t offsets[8] = {};
    auto add = [&](int num, const std::string& body) {
        offsets[num] = static_cast<uint32_t>(out.size());
        out += Obj(num, body);
    };
    add(1, "<< /Type /Catalog /Pages 2 0 R /Names << /Dests 6 0 R >> >>");
    add(2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>");
    add(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
    const std::string objects = "<< /Type /Page /Parent 2 0 R >> << /Names [(a) [3 0 R /Fit]] >>";
    const std::string header = "5 0 6 32 ";
    const std::string objstm =
        fuzzXref ? header + std::string(32 - header.size(), ' ') + objects : bytes;
    add(4, Stream("/Type /ObjStm /N " + std::to_string(fuzzXref ? 2 : n) + " /First " +
                      std::to_string(fuzzXref ? 32 : first),
                  objstm));
    std::string table;
    if (fuzzXref) {
        table = bytes;
    } else {
        auto row = [&](int type, uint32_t field2, uint32_t field3) {
            table += Be(static_cast<uint32_t>(type), 1) + Be(field2, 4) + Be(field3, 2);
        };
        row(0, 0, 65535);
        for (int i = 1; i <= 4; ++i) row(1, offsets[i], 0);
        row(2, 4, 0);
        row(2, 4, 1);
        row(1, static_cast<uint32_t>(out.size()), 0);
    }
    const size_t start = out.size();
    out += Obj(7, Stream("/Type /XRef /Size 8 /W [1 4 2] /Root 1 0 R", table));
    out += "startxref\n" + std::to_string(start) + "\n%%EOF\n";
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const bool fuzzXref = data[0] & 1;
    const std::string rest(reinterpret_cast<const char*>(data) + 3, size - 3);
    const std::string pdf = File(fuzzXref, rest, data[1], data[2] % 8);
    fuzz::OpenAndWalk(pdf);
    return 0;
}
