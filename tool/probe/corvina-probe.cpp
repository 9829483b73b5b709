// corvina-probe FILE: opens a document without a password and prints its
// pages and named destinations in a form scripts can read:
//   pages N / page I NUM GEN / dest NAME NUM GEN|direct        (exit 0)
//   error / Module: / Method: / Type: / Factor:                (exit 1)
#include <cstdio>
#include <memory>
#include <string>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFText.h"
#include "pdf/structure/CPDFCatalog.h"
#include "pdf/structure/CPDFNameDict.h"

using namespace corvina;

namespace {

int Report(const CPDFException& e) {
    std::printf("error\nModule: %s\nMethod: %s\nType: %s\nFactor: %s\n", e.GetModule(),
                e.GetMethod(), CPDFException::TypeText(e.GetType()), e.GetFactor());
    return 1;
}

std::string ToUtf8(const char16_t* s) {
    std::string out;
    for (; *s; ++s) {
        char32_t c = *s;
        if (c >= 0xD800 && c < 0xDC00 && s[1] >= 0xDC00 && s[1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[1] - 0xDC00);
            ++s;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void PrintTree(CPDFDoc* doc, CPDFDict* node, int depth) {
    if (!node || depth > 64) return;
    if (auto* kids = node->GetAs<CPDFArray>(doc, "Kids")) {
        for (int i = 0; i < kids->Count(); ++i)
            PrintTree(doc, dynamic_cast<CPDFDict*>(kids->GetObj(doc, i)), depth + 1);
        return;
    }
    auto* names = node->GetAs<CPDFArray>(doc, "Names");
    if (!names) return;
    for (int i = 0; i + 1 < names->Count(); i += 2) {
        auto* key = dynamic_cast<CPDFString*>(names->GetObj(doc, i));
        if (!key) continue;
        CPDFText text;
        text.Assign(key->Text(), key->Length());
        const char16_t* wide = text.GetUnicode();
        const std::string name = wide ? ToUtf8(wide) : std::string(key->Text(), key->Length());
        CPDFAtom* value = names->GetAt(i + 1);
        if (value && value->Kind() == CPDFAtom::RefKind) {
            auto* ref = static_cast<CPDFObjRef*>(value);
            std::printf("dest %s %d %d\n", name.c_str(), ref->objNum, ref->genNum);
        } else {
            std::printf("dest %s direct\n", name.c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: corvina-probe FILE\n");
        return 2;
    }
    std::unique_ptr<CPDFLib> lib = CPDFLib::Create(nullptr);
    CPDFException error;
    CPDFDoc* doc = lib->Open(argv[1], nullptr, &error);
    if (!doc) return Report(error);
    const int count = doc->GetPageCount();
    if (count < 0) {
        const CPDFException e = doc->GetLastError();
        lib->Close(doc);
        return Report(e);
    }
    std::printf("pages %d\n", count);
    for (int i = 0; i < count; ++i) {
        CPDFObjRef ref;
        if (!doc->GetPage(i, &ref)) {
            const CPDFException e = doc->GetLastError();
            lib->Close(doc);
            return Report(e);
        }
        std::printf("page %d %d %d\n", i + 1, ref.objNum, ref.genNum);
    }
    if (CPDFCatalog* catalog = doc->GetCatalog()) {
        if (CPDFNameDict* names = catalog->Get_Names())
            PrintTree(doc, names->GetAs<CPDFDict>(doc, "Dests"), 0);
    }
    lib->Close(doc);
    return 0;
}
