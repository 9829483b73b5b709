#include "fuzz/FuzzSupport.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/file/CPDFTrailer.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/stream/CPDFStream.h"
#include "pdf/structure/CPDFCatalog.h"
#include "pdf/structure/CPDFNameDict.h"
#include "pdf/structure/CPDFNameTreeNode.h"

namespace fuzz {

using namespace corvina;

namespace {

constexpr int kMaxPages = 2000;
constexpr int kMaxObjects = 5000;
constexpr int32_t kMaxDecoded = 1 << 24;

void WalkNames(CPDFDoc* doc, CPDFDict* node, int depth, int& budget) {
    if (!node || depth > 32 || --budget < 0) return;
    if (auto* kids = node->GetAs<CPDFArray>(doc, "Kids"))
        for (int i = 0; i < kids->Count() && budget > 0; ++i)
            WalkNames(doc, dynamic_cast<CPDFDict*>(kids->GetObj(doc, i)), depth + 1, budget);
    if (auto* names = node->GetAs<CPDFArray>(doc, "Names"))
        for (int i = 1; i < names->Count() && budget > 0; i += 2, --budget) names->GetObj(doc, i);
}

}  // namespace

MemFile::MemFile(const uint8_t* data, size_t size) {
    fd_ = memfd_create("fuzz", 0);
    if (fd_ < 0) return;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd_, data + done, size - done);
        if (n <= 0) {
            close(fd_);
            fd_ = -1;
            return;
        }
        done += static_cast<size_t>(n);
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemFile::~MemFile() {
    if (fd_ >= 0) close(fd_);
}

ScratchDir::ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/corvina-fuzz-XXXXXX";
    if (mkdtemp(templ.data())) path_ = templ;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string Document(const std::vector<std::string>& objects, const std::string& trailerExtra) {
    const size_t size = objects.size() + 1;
    std::string out = "%PDF-1.4\n";
    std::string xref = "xref\n0 " + std::to_string(size) + "\n0000000000 65535 f \n";
    int num = 1;
    for (const std::string& o : objects) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", out.size());
        xref += entry;
        out += std::to_string(num++) + " 0 obj\n" + o + "\nendobj\n";
    }
    const size_t start = out.size();
    out += xref + "trailer\n<< /Size " + std::to_string(size) + " /Root 1 0 R" + trailerExtra +
           " >>\nstartxref\n" + std::to_string(start) + "\n%%EOF\n";
    return out;
}

std::string DocumentWithObject(const std::string& body) {
    return Document({
        "<< /Type /Catalog /Pages 2 0 R /Names 4 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>",
        "<< /Dests 5 0 R >>",
        body,
    });
}

void OpenAndWalk(const std::string& pdf, const char* password) {
    MemFile file(reinterpret_cast<const uint8_t*>(pdf.data()), pdf.size());
    if (!file.ok()) return;
    static std::unique_ptr<CPDFLib> lib = CPDFLib::Create(nullptr);
    if (!lib) return;
    CPDFException error;
    CPDFDoc* doc = lib->Open(file.Path().c_str(), password, &error);
    WalkDocument(doc);
    if (doc) lib->Close(doc);
}

void OpenAndTakeDests(const std::string& pdf) {
    MemFile file(reinterpret_cast<const uint8_t*>(pdf.data()), pdf.size());
    if (!file.ok()) return;
    static std::unique_ptr<CPDFLib> lib = [] {
        std::unique_ptr<CPDFLib> made = CPDFLib::Create(nullptr);
        if (made) made->SetOptions(CPDFLib::LeaveNameTrees);
        return made;
    }();
    if (!lib) return;
    CPDFException error;
    CPDFDoc* doc = lib->Open(file.Path().c_str(), nullptr, &error);
    if (!doc) return;
    CPDFCatalog* catalog = doc->GetCatalog();
    CPDFNameDict* names = catalog ? catalog->Get_Names() : nullptr;
    if (names) {
        int budget = 100000;
        CPDFNameTreeNode::TakePairs(doc, names->Find("Dests"),
                                    [&budget](std::unique_ptr<CPDFAtom>,
                                              std::unique_ptr<CPDFAtom>) { return --budget > 0; });
    }
    lib->Close(doc);
}

void WalkDocument(CPDFDoc* doc) {
    if (!doc) return;
    const int32_t pages = doc->GetPageCount();
    for (int32_t i = 0; i < pages && i < kMaxPages; ++i) {
        CPDFObjRef ref;
        doc->GetPage(i, &ref);
    }
    if (CPDFCatalog* catalog = doc->GetCatalog()) {
        if (CPDFNameDict* names = catalog->Get_Names()) {
            int budget = 10000;
            WalkNames(doc, names->GetAs<CPDFDict>(doc, "Dests"), 0, budget);
        }
    }
    CPDFTrailer* trailer = doc->GetTrailer();
    CPDFNumber* size = trailer ? trailer->Get_Size() : nullptr;
    const int32_t count = size ? size->IntValue() : 0;
    for (int32_t n = 1; n < count && n <= kMaxObjects; ++n) {
        auto* stream = dynamic_cast<CPDFStream*>(doc->GetObj(CPDFObjRef(n, 0)));
        if (!stream || stream->GetDataLength() > kMaxDecoded) continue;
        CPDFException error;
        stream->DecodeAllFilter(&error);
    }
}

}  // namespace fuzz
