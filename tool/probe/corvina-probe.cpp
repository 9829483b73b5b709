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
//   corvina-probe [--password PW] --object NUM [--raw|--decoded] FILE
//       the object in PDF syntax; a stream's dictionary, and with --raw or
//       --decoded its data after "stream"                           (exit 0)
//   corvina-probe [--password PW] --trailer | --xref | --dests | --outline FILE
//       the newest trailer; every cross-reference entry (NUM GEN free NEXT,
//       offset OFFSET, stream STM INDEX); each named destination
//       (SOURCE<tab>PAGE<tab>VIEW<tab>NAME, SOURCE tree or dests); the
//       outline items (DEPTH<tab>PAGE<tab>TITLE)                    (exit 0)
//   corvina-probe [--password PW] --json FILE
//       one JSON document: file, version, pages, dests, trailer,
//       encryption (keys in the manual page)                        (exit 0)
// An encrypted file is opened with PW (tried as the user and then as the
// owner password; without it the empty user password) and shown decrypted.
// A failure prints error / Module: / Method: / Type: / Factor: (exit 1);
// a wrong command line prints the usage (exit 2).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/file/CPDFTrailer.h"
#include "pdf/file/CPDFXRef.h"
#include "pdf/file/SecurityHandler.h"
#include "pdf/file/XRefEntry.h"
#include "pdf/io/MemOutStream.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDict.h"
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

// A key of a name tree or of the catalog's Dests as UTF-8: text strings by
// their byte order mark, anything else as its bytes.
std::string KeyText(const char* bytes, int length) {
    CPDFText text;
    text.Assign(bytes, length);
    const char16_t* wide = text.GetUnicode();
    return wide ? ToUtf8(wide) : std::string(bytes, length);
}

using PairFn = void (*)(CPDFDoc* doc, const std::string& name, CPDFAtom* value, void* data);

// Every pair of the name tree under node, leaves in order; Kids nested deeper
// than 64 are passed over.
void WalkTree(CPDFDoc* doc, CPDFDict* node, int depth, PairFn fn, void* data) {
    if (!node || depth > 64) return;
    if (auto* kids = node->GetAs<CPDFArray>(doc, "Kids")) {
        for (int i = 0; i < kids->Count(); ++i)
            WalkTree(doc, dynamic_cast<CPDFDict*>(kids->GetObj(doc, i)), depth + 1, fn, data);
        return;
    }
    auto* names = node->GetAs<CPDFArray>(doc, "Names");
    if (!names) return;
    for (int i = 0; i + 1 < names->Count(); i += 2) {
        auto* key = dynamic_cast<CPDFString*>(names->GetObj(doc, i));
        if (key) fn(doc, KeyText(key->Text(), key->Length()), names->GetAt(i + 1), data);
    }
}

void PrintPair(CPDFDoc*, const std::string& name, CPDFAtom* value, void*) {
    if (value && value->Kind() == CPDFAtom::RefKind) {
        auto* ref = static_cast<CPDFObjRef*>(value);
        std::printf("dest %s %d %d\n", name.c_str(), ref->objNum, ref->genNum);
    } else {
        std::printf("dest %s direct\n", name.c_str());
    }
}

void PrintTree(CPDFDoc* doc, CPDFDict* node, int depth) {
    WalkTree(doc, node, depth, PrintPair, nullptr);
}

constexpr char kUsage[] =
    "usage: corvina-probe [--password PW] [--stream NUM [--raw] | --object NUM [--raw | "
    "--decoded] | --trailer | --xref | --dests | --outline | --json | --linearization | "
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
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

// The parameters of a linearized file as the document read them; why a file
// that looks linearized has none goes to standard error.
int PrintLinearization(CPDFLib& lib, CPDFDoc* doc) {
    CPDFLineaParams* params = doc->GetLineaParams();
    if (!params) {
        for (const CPDFException& w : doc->GetWarnings())
            std::fprintf(stderr, "warning: %s (%s)\n", w.GetFactor(), w.GetMethod());
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
        const auto& all = doc->GetWarnings();
        std::fprintf(stderr, "warning: no hint stream at H%s%s\n", all.empty() ? "" : ": ",
                     all.empty() ? "" : all.back().GetFactor());
    }
    std::fputs("H", stdout);
    for (int i = 0; params->Hint(i); ++i) std::printf(" %d", params->Hint(i)->IntValue());
    std::puts("");
    lib.Close(doc);
    return 0;
}

// A value in PDF syntax, as the library writes it.
std::string Syntax(CPDFAtom* atom) {
    if (!atom) return "null";
    MemOutStream out;
    if (atom->Kind() == CPDFAtom::RefKind)
        static_cast<CPDFObjRef*>(atom)->Serialize(out);
    else
        static_cast<CPDFObject*>(atom)->Serialize(out, nullptr);
    return out.Data();
}

// The object NUM under the generation the file lists for it, or null with
// the reason in *error.
CPDFObject* FindNumbered(CPDFDoc* doc, int32_t num, const char* method, CPDFException* error) {
    XRefEntry* entry = doc->FindEntry(num, false);
    CPDFObject* obj = entry && entry->inUse ? doc->GetObj(CPDFObjRef(num, entry->genNum)) : nullptr;
    if (obj) return obj;
    *error = entry && entry->inUse && !doc->GetLastError().IsEmpty()
                 ? doc->GetLastError()
                 : CPDFException(kModule, method, CPDFException::UserError,
                                 FormatFactor("no such object: %d", num).c_str());
    return nullptr;
}

enum class StreamData { None, Raw, Decoded };

// The object in PDF syntax; a stream as its dictionary, then on request
// "stream", its data and "endstream".
int PrintObject(CPDFLib& lib, CPDFDoc* doc, int32_t num, StreamData data) {
    auto fail = [&](CPDFException e) {  // a copy: Close ends the document's record
        lib.Close(doc);
        return Report(e);
    };
    CPDFException error;
    CPDFObject* obj = FindNumbered(doc, num, "Object", &error);
    if (!obj) return fail(error);
    if (!obj->Is(CPDFObject::Stream)) {
        std::printf("%s\n", Syntax(obj).c_str());
        lib.Close(doc);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    auto* stream = static_cast<CPDFStream*>(obj);
    MemOutStream dict;
    stream->CPDFDict::Serialize(dict, nullptr);
    std::printf("%s\n", dict.Data().c_str());
    if (data != StreamData::None) {
        if (data == StreamData::Decoded && !stream->DecodeAllFilter(&error)) {
            if (error.IsEmpty())
                error = CPDFException("CPDFStream", "DecodeAllFilter", CPDFException::InternalError,
                                      "");
            return fail(error);
        }
        const char* bytes = stream->GetData();
        const int32_t length = stream->GetDataLength();
        if (!bytes)
            return fail(
                CPDFException("CPDFStream", "GetData", CPDFException::SystemError, "ioerror"));
        std::fputs("stream\n", stdout);
        std::fwrite(bytes, 1, static_cast<size_t>(length), stdout);
        std::fputs("\nendstream\n", stdout);
    }
    lib.Close(doc);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

// The trailer of the newest section as the file has it.
CPDFTrailer* NewestTrailer(CPDFDoc* doc) {
    return doc->SectionCount() > 1 ? doc->GetTrailerAt(1) : doc->GetTrailer();
}

int PrintTrailer(CPDFLib& lib, CPDFDoc* doc) {
    CPDFTrailer* trailer = NewestTrailer(doc);
    std::printf("%s\n", trailer ? Syntax(&trailer->Dict()).c_str() : "<< >>");
    lib.Close(doc);
    return 0;
}

// The numbers the sections cover: past the largest table read and the
// largest Size of a trailer.
int32_t TableEnd(CPDFDoc* doc) {
    int32_t end = 0;
    for (int i = 0; i < doc->SectionCount(); ++i) {
        if (const CPDFXRef* xref = doc->GetXRefAt(i))
            end = std::max(end, xref->Size() < INT32_MAX ? xref->Size() + 1 : xref->Size());
        if (CPDFTrailer* trailer = doc->GetTrailerAt(i))
            if (CPDFNumber* size = trailer->Get_Size()) end = std::max(end, size->IntValue());
    }
    return end;
}

// Each object number's entry in the newest section that lists it.
int PrintXRef(CPDFLib& lib, CPDFDoc* doc) {
    const int32_t end = TableEnd(doc);
    for (int32_t num = 0; num < end; ++num) {
        const XRefEntry* e = doc->FindEntry(num, true);
        if (!e || e->objNum < 0) continue;
        if (!e->inUse)
            std::printf("%d %d free %d\n", num, e->genNum, e->offset);
        else if (e->stmNum > 0)
            std::printf("%d %d stream %d %d\n", num, e->genNum, e->stmNum, e->offset);
        else
            std::printf("%d %d offset %d\n", num, e->genNum, e->offset);
    }
    lib.Close(doc);
    return 0;
}

// One named destination: where it was found, its name, and the page (from
// 1; 0 when it names no page of the document) and view of its array.
struct Dest {
    const char* source;
    std::string name;
    int page = 0;
    std::string view;
};

struct DestWalk {
    std::map<std::pair<int32_t, int32_t>, int> pages;  // page reference -> number
    const char* source = "tree";
    std::vector<Dest> dests;
};

// The destination array a value stands for: the array, or a dictionary's D,
// either perhaps through a reference.
CPDFArray* DestArray(CPDFDoc* doc, CPDFAtom* value) {
    CPDFObject* obj = value && value->Kind() == CPDFAtom::RefKind
                          ? doc->GetObj(*static_cast<CPDFObjRef*>(value))
                          : static_cast<CPDFObject*>(value);
    if (auto* dict = dynamic_cast<CPDFDict*>(obj)) return dict->GetAs<CPDFArray>(doc, "D");
    return dynamic_cast<CPDFArray*>(obj);
}

// The page a destination array opens: a page reference of this document, or
// a page index (as remote destinations give it).
int DestPage(const DestWalk& walk, CPDFArray* array) {
    CPDFAtom* target = array ? array->GetAt(0) : nullptr;
    if (!target) return 0;
    if (target->Kind() == CPDFAtom::RefKind) {
        const auto* ref = static_cast<CPDFObjRef*>(target);
        const auto it = walk.pages.find({ref->objNum, ref->genNum});
        return it == walk.pages.end() ? 0 : it->second;
    }
    auto* number = dynamic_cast<CPDFNumber*>(static_cast<CPDFObject*>(target));
    return number && number->IntValue() >= 0 ? number->IntValue() + 1 : 0;
}

std::string DestView(CPDFArray* array) {
    std::string view;
    for (int i = 1; array && i < array->Count(); ++i) {
        if (i > 1) view += ' ';
        view += Syntax(array->GetAt(i));
    }
    return view;
}

void CollectPair(CPDFDoc* doc, const std::string& name, CPDFAtom* value, void* data) {
    auto* walk = static_cast<DestWalk*>(data);
    CPDFArray* array = DestArray(doc, value);
    walk->dests.push_back({walk->source, name, DestPage(*walk, array), DestView(array)});
}

// The destinations of the Dests name tree, then those of the catalog's
// Dests dictionary (keyed by names), with the pages they open; false with
// the document's error when the page tree cannot be read.
bool CollectDests(CPDFDoc* doc, DestWalk& walk) {
    const int count = doc->GetPageCount();
    if (count < 0) return false;
    for (int i = 0; i < count; ++i) {
        CPDFObjRef ref;
        if (!doc->GetPage(i, &ref)) return false;
        walk.pages.emplace(std::make_pair(ref.objNum, ref.genNum), i + 1);
    }
    CPDFCatalog* catalog = doc->GetCatalog();
    if (!catalog) return true;
    if (CPDFNameDict* names = catalog->Get_Names())
        WalkTree(doc, names->GetAs<CPDFDict>(doc, "Dests"), 0, CollectPair, &walk);
    walk.source = "dests";
    if (auto* dests = dynamic_cast<CPDFDict*>(catalog->Get_Dests())) {
        for (auto* n = dests->First(); n; n = CPDFDict::Next(n))
            CollectPair(doc, std::string(n->key.Text(), n->key.Length()), n->value, &walk);
    }
    return true;
}

int PrintDests(CPDFLib& lib, CPDFDoc* doc) {
    DestWalk walk;
    if (!CollectDests(doc, walk)) {
        const CPDFException e = doc->GetLastError();
        lib.Close(doc);
        return Report(e);
    }
    for (const Dest& d : walk.dests)
        std::printf("%s\t%d\t%s\t%s\n", d.source, d.page, d.view.c_str(), d.name.c_str());
    lib.Close(doc);
    return 0;
}

// The outline items in reading order with their depth (from 1) and the page
// their destination or GoTo action opens (0 for none). Items met twice end
// the walk of their level; at most 64 levels and a million items.
int PrintOutline(CPDFLib& lib, CPDFDoc* doc) {
    DestWalk walk;
    if (!CollectDests(doc, walk)) {
        const CPDFException e = doc->GetLastError();
        lib.Close(doc);
        return Report(e);
    }
    std::map<std::string, int> named;
    for (const Dest& d : walk.dests) named.emplace(d.name, d.page);
    CPDFCatalog* catalog = doc->GetCatalog();
    auto* root = catalog ? dynamic_cast<CPDFDict*>(catalog->Get_Outlines()) : nullptr;
    std::set<CPDFDict*> seen;
    std::vector<CPDFDict*> stack;  // the next item of each open level
    if (root) stack.push_back(root->GetAs<CPDFDict>(doc, "First"));
    for (long items = 0; !stack.empty() && items < 1000000; ++items) {
        CPDFDict* item = stack.back();
        if (!item || !seen.insert(item).second) {
            stack.pop_back();
            continue;
        }
        stack.back() = item->GetAs<CPDFDict>(doc, "Next");
        std::string title;
        if (auto* t = item->GetAs<CPDFString>(doc, "Title"))
            title = KeyText(t->Text(), t->Length());
        CPDFObject* dest = item->GetObj(doc, "Dest");
        if (!dest)
            if (auto* action = item->GetAs<CPDFDict>(doc, "A")) dest = action->GetObj(doc, "D");
        int page = 0;
        if (auto* name = dynamic_cast<CPDFString*>(dest)) {
            const auto it = named.find(KeyText(name->Text(), name->Length()));
            page = it == named.end() ? 0 : it->second;
        } else if (auto* n = dynamic_cast<CPDFName*>(dest)) {
            const auto it = named.find(std::string(n->Text(), n->Length()));
            page = it == named.end() ? 0 : it->second;
        } else {
            page = DestPage(walk, DestArray(doc, dest));
        }
        std::printf("%zu\t%d\t%s\n", stack.size(), page, title.c_str());
        if (stack.size() < 64) stack.push_back(item->GetAs<CPDFDict>(doc, "First"));
    }
    lib.Close(doc);
    return 0;
}

// A JSON string: UTF-8 passes, quotes, backslashes and control bytes are
// escaped, and bytes that are no UTF-8 become U+FFFD.
std::string Json(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else if (c >= 0x80) {
            const int n = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
            bool valid = n > 0 && i + n <= text.size();
            for (int k = 1; valid && k < n; ++k)
                valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
            if (!valid) {
                out += "\xEF\xBF\xBD";
                ++i;
                continue;
            }
            out.append(text, i, n);
            i += n;
            continue;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}

// What the other options show, as one JSON document.
int PrintJson(CPDFLib& lib, CPDFDoc* doc, const char* path) {
    DestWalk walk;
    if (!CollectDests(doc, walk)) {
        const CPDFException e = doc->GetLastError();
        lib.Close(doc);
        return Report(e);
    }
    std::string out = "{\"file\": " + Json(path);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%ld.%ld", doc->GetHeader() ? doc->GetHeader()->Major() : 0L,
                  doc->GetHeader() ? doc->GetHeader()->Minor() : 0L);
    out += ", \"version\": " + Json(buf);
    std::vector<std::pair<int, std::pair<int32_t, int32_t>>> pages;
    for (const auto& [ref, number] : walk.pages) pages.push_back({number, ref});
    std::sort(pages.begin(), pages.end());
    out += ", \"pages\": [";
    for (size_t i = 0; i < pages.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%s{\"page\": %d, \"object\": [%d, %d]}", i ? ", " : "",
                      pages[i].first, pages[i].second.first, pages[i].second.second);
        out += buf;
    }
    out += "], \"dests\": [";
    for (size_t i = 0; i < walk.dests.size(); ++i) {
        const Dest& d = walk.dests[i];
        out += std::string(i ? ", " : "") + "{\"name\": " + Json(d.name) +
               ", \"source\": " + Json(d.source) + ", \"page\": " + std::to_string(d.page) +
               ", \"view\": " + Json(d.view) + "}";
    }
    out += "], \"trailer\": {";
    if (CPDFTrailer* trailer = NewestTrailer(doc)) {
        bool first = true;
        for (auto* n = trailer->Dict().First(); n; n = CPDFDict::Next(n), first = false)
            out += std::string(first ? "" : ", ") +
                   Json(std::string(n->key.Text(), n->key.Length())) + ": " +
                   Json(Syntax(n->value));
    }
    out += "}, \"encryption\": ";
    if (const corvina::detail::DocumentCrypt* crypt = doc->GetSecurity()) {
        out += "{\"revision\": " + std::to_string(crypt->r) +
               ", \"version\": " + std::to_string(crypt->v) +
               ", \"key_bits\": " + std::to_string(crypt->keyLength * 8) +
               ", \"strings\": " + Json(MethodName(crypt->strings, crypt->r)) +
               ", \"streams\": " + Json(MethodName(crypt->streams, crypt->r)) +
               ", \"metadata_encrypted\": " + (crypt->encryptMetadata ? "true" : "false") +
               ", \"permissions\": " + std::to_string(crypt->permissions) +
               ", \"opened_with\": " + Json(crypt->owner ? "owner" : "user") + "}";
    } else {
        out += "null";
    }
    out += "}\n";
    lib.Close(doc);
    std::fputs(out.c_str(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const char* file = nullptr;
    const char* number = nullptr;
    const char* password = nullptr;
    // The one view asked for: "" lists pages and destinations.
    std::string mode;
    bool raw = false;
    bool decoded = false;
    bool wrong = false;
    for (int i = 1; i < argc && !wrong; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--stream" || arg == "--object") && i + 1 < argc && mode.empty()) {
            mode = arg;
            number = argv[++i];
        } else if ((arg == "--encryption" || arg == "--linearization" || arg == "--trailer" ||
                    arg == "--xref" || arg == "--dests" || arg == "--outline" || arg == "--json") &&
                   mode.empty()) {
            mode = arg;
        } else if (arg == "--password" && i + 1 < argc && !password) {
            password = argv[++i];
        } else if (arg == "--raw" && !raw) {
            raw = true;
        } else if (arg == "--decoded" && !decoded) {
            decoded = true;
        } else if (!file && (arg.empty() || arg[0] != '-' || arg == "-")) {
            file = argv[i];
        } else {
            wrong = true;
        }
    }
    long num = -1;
    if (number) {
        char* end = nullptr;
        num = std::strtol(number, &end, 10);
        if (!*number || *end || num < 0 || num > INT32_MAX) wrong = true;
    }
    // --raw goes with --stream or --object, --decoded with --object, never both.
    if (raw && mode != "--stream" && mode != "--object") wrong = true;
    if (decoded && (mode != "--object" || raw)) wrong = true;
    if (!file || wrong) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::unique_ptr<CPDFLib> lib = CPDFLib::Create(nullptr);
    CPDFException error;
    CPDFDoc* doc = lib->Open(file, password, &error);
    if (!doc) return Report(error);
    const auto n = static_cast<int32_t>(num);
    // What the library repaired while opening a damaged file.
    if (mode != "--linearization")
        for (const CPDFException& w : doc->GetWarnings())
            std::fprintf(stderr, "warning: %s\n", w.GetFactor());
    if (mode == "--linearization") return PrintLinearization(*lib, doc);
    if (mode == "--encryption") return PrintEncryption(*lib, doc);
    if (mode == "--stream") return WriteStream(*lib, doc, n, raw);
    if (mode == "--object")
        return PrintObject(*lib, doc, n,
                           raw       ? StreamData::Raw
                           : decoded ? StreamData::Decoded
                                     : StreamData::None);
    if (mode == "--trailer") return PrintTrailer(*lib, doc);
    if (mode == "--xref") return PrintXRef(*lib, doc);
    if (mode == "--dests") return PrintDests(*lib, doc);
    if (mode == "--outline") return PrintOutline(*lib, doc);
    if (mode == "--json") return PrintJson(*lib, doc, file);
    return ListPages(*lib, doc);
}
