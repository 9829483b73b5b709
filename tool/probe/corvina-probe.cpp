// corvina-probe: looks into a PDF file through the library, for people and
// for scripts.
//   corvina-probe [--password PW] FILE
//       pages N / page I NUM GEN / dest NAME NUM GEN|direct        (exit 0)
//   corvina-probe [--password PW] --stream NUM [--raw] FILE
//       the data of object NUM on standard output, every filter of its
//       Filter entry undone (or, with --raw, as stored)             (exit 0)
//   corvina-probe [--password PW] --linearization FILE
//       L n / O n / E n / N n / T n / H a b [c d], or not linearized (exit 0)
//   corvina-probe [--password PW] --encryption FILE
//       the security handler: handler / revision / version / key bits /
//       strings / streams / metadata / permissions / allow / opened-with,
//       or not encrypted                                            (exit 0)
// An encrypted file is opened with PW (tried as the user and then as the
// owner password; without it the empty user password) and shown decrypted.
// A failure prints error / Module: / Method: / Type: / Factor: (exit 1);
// a wrong command line prints the usage (exit 2).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/file/SecurityHandler.h"
#include "pdf/file/XRefEntry.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFText.h"
#include "pdf/stream/CPDFStream.h"
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

constexpr char kUsage[] =
    "usage: corvina-probe [--password PW] [--stream NUM [--raw] | --linearization | "
    "--encryption] FILE\n";
constexpr char kModule[] = "corvina-probe";

const char* MethodName(corvina::detail::CryptMethod method, int r) {
    switch (method) {
        case corvina::detail::CryptMethod::None:
            return "none";
        case corvina::detail::CryptMethod::RC4:
            return "RC4";
        case corvina::detail::CryptMethod::AES:
            break;
    }
    return r >= 5 ? "AES-256" : "AES-128";
}

int PrintEncryption(CPDFLib& lib, CPDFDoc* doc) {
    const corvina::detail::DocumentCrypt* crypt = doc->GetSecurity();
    if (!crypt) {
        std::printf("not encrypted\n");
        lib.Close(doc);
        return 0;
    }
    std::printf("handler Standard\nrevision %d\nversion %d\nkey bits %d\n", crypt->r, crypt->v,
                crypt->keyLength * 8);
    std::printf("strings %s%s%s\n", MethodName(crypt->strings, crypt->r),
                crypt->stringFilter.empty() ? "" : " ", crypt->stringFilter.c_str());
    std::printf("streams %s%s%s\n", MethodName(crypt->streams, crypt->r),
                crypt->streamFilter.empty() ? "" : " ", crypt->streamFilter.c_str());
    std::printf("metadata %s\n", crypt->encryptMetadata ? "encrypted" : "clear");
    std::printf("permissions %d\n", static_cast<int>(crypt->permissions));
    // The bits of P, from bit 3 on, by what they allow.
    const struct {
        int bit;
        const char* name;
    } kBits[] = {{3, "print"},      {4, "modify"},   {5, "copy"},      {6, "annotate"},
                 {9, "fill-forms"}, {10, "extract"}, {11, "assemble"}, {12, "print-high"}};
    std::printf("allow");
    for (const auto& b : kBits)
        if (crypt->permissions & (1 << (b.bit - 1))) std::printf(" %s", b.name);
    std::printf("\nopened-with %s\n", crypt->owner ? "owner" : "user");
    lib.Close(doc);
    return 0;
}

int ListPages(CPDFLib& lib, CPDFDoc* doc) {
    const int count = doc->GetPageCount();
    if (count < 0) {
        const CPDFException e = doc->GetLastError();
        lib.Close(doc);
        return Report(e);
    }
    std::printf("pages %d\n", count);
    for (int i = 0; i < count; ++i) {
        CPDFObjRef ref;
        if (!doc->GetPage(i, &ref)) {
            const CPDFException e = doc->GetLastError();
            lib.Close(doc);
            return Report(e);
        }
        std::printf("page %d %d %d\n", i + 1, ref.objNum, ref.genNum);
    }
    if (CPDFCatalog* catalog = doc->GetCatalog()) {
        if (CPDFNameDict* names = catalog->Get_Names())
            PrintTree(doc, names->GetAs<CPDFDict>(doc, "Dests"), 0);
    }
    lib.Close(doc);
    return 0;
}

// The stream's data, filters undone unless raw, on standard output. The
// object is looked up under the generation the file lists for it.
int WriteStream(CPDFLib& lib, CPDFDoc* doc, int32_t num, bool raw) {
    auto fail = [&](CPDFException e) {  // a copy: Close ends the document's record
        lib.Close(doc);
        return Report(e);
    };
    XRefEntry* entry = doc->FindEntry(num, false);
    if (!entry || !entry->inUse)
        return fail(CPDFException(kModule, "Stream", CPDFException::UserError,
                                  FormatFactor("no such object: %d", num).c_str()));
    const CPDFObjRef ref(num, entry->genNum);
    CPDFObject* obj = doc->GetObj(ref);
    if (!obj) {
        if (!doc->GetLastError().IsEmpty()) return fail(doc->GetLastError());
        return fail(CPDFException(kModule, "Stream", CPDFException::UserError,
                                  FormatFactor("no such object: %d", num).c_str()));
    }
    if (!obj->Is(CPDFObject::Stream))
        return fail(CPDFException(
            kModule, "Stream", CPDFException::UserError,
            FormatFactor("not a stream: %d %d (%s)", num, ref.genNum, obj->TypeName()).c_str()));
    auto* stream = static_cast<CPDFStream*>(obj);
    if (!raw) {
        CPDFException e;
        if (!stream->DecodeAllFilter(&e)) {
            if (e.IsEmpty())
                e = CPDFException("CPDFStream", "DecodeAllFilter", CPDFException::InternalError,
                                  "");
            return fail(e);
        }
        if (!stream->FilterWarning().empty())
            std::fprintf(stderr, "warning: %s\n", stream->FilterWarning().c_str());
    }
    const char* data = stream->GetData();
    const int32_t length = stream->GetDataLength();
    if (!data)
        return fail(CPDFException("CPDFStream", "GetData", CPDFException::SystemError, "ioerror"));
    if (length > 0 &&
        std::fwrite(data, 1, static_cast<size_t>(length), stdout) != static_cast<size_t>(length)) {
        lib.Close(doc);
        std::fprintf(stderr, "corvina-probe: cannot write the data\n");
        return 1;
    }
    lib.Close(doc);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// The parameters of a linearized file as the document read them; why a file
// that looks linearized has none goes to standard error.
int PrintLinearization(CPDFLib& lib, CPDFDoc* doc) {
    CPDFLineaParams* params = doc->GetLineaParams();
    if (!params) {
        const CPDFException& w = doc->GetWarning();
        if (!w.IsEmpty()) std::fprintf(stderr, "warning: %s (%s)\n", w.GetFactor(), w.GetMethod());
        std::puts("not linearized");
        lib.Close(doc);
        return 0;
    }
    const std::pair<const char*, CPDFNumber*> keys[] = {{"L", params->Get_L()},
                                                        {"O", params->Get_O()},
                                                        {"E", params->Get_E()},
                                                        {"N", params->Get_N()},
                                                        {"T", params->Get_T()}};
    for (const auto& [key, value] : keys) std::printf("%s %d\n", key, value->IntValue());
    if (!doc->GetHintStream()) {
        const CPDFException& w = doc->GetWarning();
        std::fprintf(stderr, "warning: no hint stream at H%s%s\n", w.IsEmpty() ? "" : ": ",
                     w.GetFactor());
    }
    std::fputs("H", stdout);
    for (int i = 0; params->Hint(i); ++i) std::printf(" %d", params->Hint(i)->IntValue());
    std::puts("");
    lib.Close(doc);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* file = nullptr;
    const char* number = nullptr;
    const char* password = nullptr;
    bool raw = false;
    bool linearization = false;
    bool encryption = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--stream" && i + 1 < argc && !number) {
            number = argv[++i];
        } else if (arg == "--encryption" && !encryption) {
            encryption = true;
        } else if (arg == "--linearization" && !linearization) {
            linearization = true;
        } else if (arg == "--password" && i + 1 < argc && !password) {
            password = argv[++i];
        } else if (arg == "--raw" && !raw) {
            raw = true;
        } else if (!file && (arg.empty() || arg[0] != '-' || arg == "-")) {
            file = argv[i];
        } else {
            file = nullptr;
            break;
        }
    }
    long num = -1;
    if (number) {
        char* end = nullptr;
        num = std::strtol(number, &end, 10);
        if (!*number || *end || num < 0 || num > INT32_MAX) file = nullptr;
    }
    if (!file || (raw && num < 0) || (linearization + encryption + (num >= 0) > 1)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::unique_ptr<CPDFLib> lib = CPDFLib::Create(nullptr);
    CPDFException error;
    CPDFDoc* doc = lib->Open(file, password, &error);
    if (!doc) return Report(error);
    if (linearization) return PrintLinearization(*lib, doc);
    if (encryption) return PrintEncryption(*lib, doc);
    if (num >= 0) return WriteStream(*lib, doc, static_cast<int32_t>(num), raw);
    return ListPages(*lib, doc);
}
