// The document: opening, object access, pages and saving, on files built in
// a scratch directory.
#include "pdf/file/CPDFDoc.h"
#include "pdf/io/TempName.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "pdf/file/CPDFLib.h"
#include "pdf/file/CPDFTrailer.h"
#include "pdf/file/CPDFXRef.h"
#include "pdf/file/ObjectExtent.h"
#include "pdf/io/MemOutStream.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFInt.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNumber.h"
#include "pdf/object/CPDFObjRef.h"
#include "pdf/stream/CPDFStream.h"
#include "support/OpenedPdf.h"
#include "support/PdfBuilder.h"
#include "support/ScratchDir.h"

using corvina::CPDFDict;
using corvina::CPDFDoc;
using corvina::CPDFException;
using corvina::CPDFLib;
using corvina::CPDFName;
using corvina::CPDFObject;
using corvina::CPDFObjRef;
using corvina::MemOutStream;
using corvina::XRefEntry;

namespace {

struct Record {
    std::string module, method;
    int type = 0;
    std::string factor;
    bool operator==(const Record&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Record& r) {
    return os << "{" << r.module << ", " << r.method << ", " << r.type << ", \"" << r.factor
              << "\"}";
}

Record Of(const CPDFException& e) {
    return {e.GetModule(), e.GetMethod(), e.GetType(), e.GetFactor()};
}

std::string Text(CPDFObject& obj) {
    MemOutStream out;
    obj.Serialize(out, nullptr);
    return out.Data();
}

// One cross-reference section with its objects, appended to a file (or
// starting one). Subsections are the runs of consecutive numbers given.
class Section {
public:
    Section& Obj(int num, const std::string& body, int gen = 0) {
        entries_[num] = {gen, 'n', 0, body};
        return *this;
    }
    Section& Free(int num, int next, int gen) {
        entries_[num] = {gen, 'f', next, ""};
        return *this;
    }
    // trailer is the dictionary's inside; a /Prev to the file's last section
    // is added when the file is not empty.
    std::string AppendTo(std::string file, const std::string& trailer) const {
        long prev = -1;
        if (file.empty()) {
            file = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
        } else {
            const size_t at = file.rfind("startxref\n");
            prev = std::stol(file.substr(at + 10));
        }
        std::map<int, long> offsets;
        for (const auto& [num, e] : entries_) {
            if (e.kind != 'n') continue;
            offsets[num] = static_cast<long>(file.size());
            file += std::to_string(num) + " " + std::to_string(e.gen) + " obj\n" + e.body +
                    "\nendobj\n";
        }
        const long xref = static_cast<long>(file.size());
        file += "xref\n";
        auto it = entries_.begin();
        while (it != entries_.end()) {
            auto end = it;
            int count = 0;
            while (end != entries_.end() && end->first == it->first + count) {
                ++end;
                ++count;
            }
            file += std::to_string(it->first) + " " + std::to_string(count) + "\n";
            for (; it != end; ++it) {
                char line[32];
                const long value = it->second.kind == 'n' ? offsets[it->first] : it->second.next;
                std::snprintf(line, sizeof line, "%010ld %05d %c \n", value, it->second.gen,
                              it->second.kind);
                file += line;
            }
        }
        file += "trailer\n<< " + trailer;
        if (prev >= 0) file += " /Prev " + std::to_string(prev);
        file += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        return file;
    }

private:
    struct Entry {
        int gen;
        char kind;
        int next;
        std::string body;
    };
    std::map<int, Entry> entries_;
};

// The clock of every save that stamps dates.
constexpr std::time_t kNow = 1700000000;

// A library and a document opened from bytes written into a scratch directory.
class Fixture {
public:
    explicit Fixture(const std::string& bytes, const char* name = "in.pdf") {
        lib_ = CPDFLib::Create(dir_.Path().c_str());
        path_ = dir_.Write(name, bytes);
        if (lib_) doc_ = lib_->Open(path_.c_str(), nullptr, &error_);
    }
    ~Fixture() {
        if (doc_) lib_->Close(doc_);
    }
    Fixture(const Fixture&) = delete;
    Fixture& operator=(const Fixture&) = delete;

    CPDFDoc* Doc() const { return doc_; }
    const CPDFException& Error() const { return error_; }
    const std::string& Path() const { return path_; }
    const ScratchDir& Dir() const { return dir_; }
    CPDFLib* Lib() const { return lib_.get(); }
    // Closes the document now (a later destructor does nothing).
    void Close() {
        if (doc_) lib_->Close(doc_);
        doc_ = nullptr;
    }
    Record Last() const { return Of(doc_->GetLastError()); }
    // A whole rewrite to out at the fixed clock, saved and flushed.
    ::testing::AssertionResult SaveWhole(const std::string& out) {
        doc_->SetClock([] { return kNow; });
        if (!doc_->Save(out.c_str(), false, false))
            return ::testing::AssertionFailure() << "Save: " << Last();
        if (!doc_->Flush()) return ::testing::AssertionFailure() << "Flush: " << Last();
        return ::testing::AssertionSuccess();
    }

private:
    ScratchDir dir_;
    std::unique_ptr<CPDFLib> lib_;
    std::string path_;
    CPDFDoc* doc_ = nullptr;
    CPDFException error_;
};

const char* const kCatalog = "<< /Type /Catalog /Pages 2 0 R >>";

PdfBuilder Pages(int count) {
    PdfBuilder pdf;
    std::string kids;
    for (int i = 0; i < count; ++i) {
        kids += (i ? " " : "") + std::to_string(3 + i) + " 0 R";
        pdf.Obj(3 + i, "<< /Type /Page /Parent 2 0 R /N " + std::to_string(i) + " >>");
    }
    pdf.Obj(1, kCatalog)
        .Obj(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(count) + " >>")
        .Root(1);
    return pdf;
}

// A file with one incremental update: object 4 is redefined, object 5 freed.
std::string Updated() {
    const std::string base = Section()
                                 .Free(0, 0, 65535)
                                 .Obj(1, kCatalog)
                                 .Obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
                                 .Obj(3, "<< /Type /Page /Parent 2 0 R >>")
                                 .Obj(4, "(old)")
                                 .Obj(5, "(five)")
                                 .Obj(6, "(six)")
                                 .AppendTo("", "/Size 7 /Root 1 0 R");
    return Section()
        .Free(0, 5, 65535)
        .Obj(4, "(new)")
        .Free(5, 0, 1)
        .AppendTo(base, "/Size 7 /Root 1 0 R");
}

std::unique_ptr<CPDFObject> Num(int32_t v) {
    return std::make_unique<corvina::CPDFNumber>(v);
}

int32_t TrailerSize(CPDFDoc* doc) {
    corvina::CPDFNumber* size = doc->GetTrailer()->Get_Size();
    return size ? static_cast<int32_t>(size->IntValue()) : -1;
}

std::string LocalDate(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[96];
    std::snprintf(text, sizeof text, "D:%04d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

// Creating a library points the process-wide temporary directory at the
// test's scratch directory, which is gone afterwards; the tests that follow
// get the setting back as it was.
class KeepTempDir : public ::testing::Test {
protected:
    void TearDown() override { corvina::TempSettings::Directory() = saved_; }

private:
    std::string saved_ = corvina::TempSettings::Directory();
};

using CPDFDocOpen = KeepTempDir;
using CPDFDocObjects = KeepTempDir;
using CPDFDocPages = KeepTempDir;
using CPDFDocSave = KeepTempDir;

}  // namespace

// ---- Opening ------------------------------------------------------------

TEST_F(CPDFDocOpen, StartxrefIsSearchedInTheLast1024Bytes) {
    const std::string bytes = Pages(1).Bytes();
    // What mail gateways append: NULs, text, even a stray end marker.
    std::string junk;
    for (int i = 0; junk.size() < 700; ++i) junk += std::string(1, '\0') + "junk %%EOF " + char(i);
    junk.resize(700);
    Fixture appended(bytes + junk);
    ASSERT_NE(appended.Doc(), nullptr) << Of(appended.Error());
    EXPECT_EQ(appended.Doc()->GetPageCount(), 1);

    // The keyword's 9 bytes just inside the window still count...
    const size_t keyword = bytes.rfind("startxref");
    const size_t inside = 1024 - (bytes.size() - keyword);
    Fixture edge(bytes + std::string(inside, ' '));
    EXPECT_NE(edge.Doc(), nullptr) << Of(edge.Error());
    EXPECT_FALSE(edge.Doc()->WasRecovered());
    // ...one byte further is out, and so is far more: the table is rebuilt.
    for (size_t extra : {inside + 1, size_t{2000}}) {
        Fixture far(bytes + std::string(extra, ' '));
        ASSERT_NE(far.Doc(), nullptr) << extra;
        EXPECT_TRUE(far.Doc()->WasRecovered());
        ASSERT_EQ(far.Doc()->GetWarnings().size(), 1u);
        EXPECT_STREQ(far.Doc()->GetWarnings()[0].GetFactor(),
                     "cross-reference table rebuilt: 3 objects found (Cannot find startxref)");
    }
}

TEST_F(CPDFDocOpen, TheLastStartxrefOfTheWindowWins) {
    // An incremental update whose older startxref also lies in the window:
    // the newer section must be the one read.
    const std::string first = Section()
                                  .Free(0, 0, 65535)
                                  .Obj(1, kCatalog)
                                  .Obj(2, "<< /Type /Pages /Kids [] /Count 0 >>")
                                  .AppendTo("", "/Size 3 /Root 1 0 R");
    const std::string both = Section().Obj(3, "42").AppendTo(first, "/Size 4 /Root 1 0 R");
    Fixture f(both);
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    EXPECT_EQ(f.Doc()->SectionCount(), 3);
}

TEST_F(CPDFDocOpen, StartxrefMustFollowALineEnd) {
    std::string bytes = Pages(1).Bytes();
    const size_t at = bytes.rfind("\nstartxref");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = ' ';
    Fixture f(bytes);
    ASSERT_NE(f.Doc(), nullptr);
    EXPECT_TRUE(f.Doc()->WasRecovered());
    ASSERT_FALSE(f.Doc()->GetWarnings().empty());
    EXPECT_NE(std::string(f.Doc()->GetWarnings()[0].GetFactor()).find("(Cannot find startxref)"),
              std::string::npos);

    bytes[at] = '\r';
    Fixture cr(bytes);
    EXPECT_NE(cr.Doc(), nullptr) << Of(cr.Error());
}

TEST_F(CPDFDocOpen, MissingFileIsARuntimeLibraryError) {
    ScratchDir dir;
    auto lib = CPDFLib::Create(dir.Path().c_str());
    ASSERT_NE(lib, nullptr);
    CPDFException error;
    EXPECT_EQ(lib->Open(dir.File("absent.pdf").c_str(), nullptr, &error), nullptr);
    EXPECT_EQ(error.GetType(), CPDFException::RuntimeLibraryError);
    // The system's text, after the file it is about.
    EXPECT_EQ(std::string(error.GetFactor()),
              dir.File("absent.pdf") + ": " + std::strerror(ENOENT));
    EXPECT_EQ(std::string(error.GetModule()), "CPDFDoc");
}

TEST_F(CPDFDocOpen, OnlyARegularFileIsOpened) {
    ScratchDir dir;
    auto lib = CPDFLib::Create(dir.Path().c_str());
    ASSERT_NE(lib, nullptr);
    const std::string fifo = dir.File("fifo.pdf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A FIFO without a writer would block a plain open() for ever.
    for (const auto& [path, kind] : std::vector<std::pair<std::string, std::string>>{
             {fifo, "FIFO"}, {dir.Path(), "directory"}, {"/dev/null", "character device"}}) {
        CPDFException error;
        EXPECT_EQ(lib->Open(path.c_str(), nullptr, &error), nullptr) << path;
        EXPECT_EQ(Of(error), (Record{"CPDFDoc", "Open", CPDFException::UserError,
                                     "not a regular file (" + kind + "): " + path}));
    }
}

TEST_F(CPDFDocOpen, TrailerWithoutSizeFailsToRealize) {
    Fixture f(Section()
                  .Free(0, 0, 65535)
                  .Obj(1, kCatalog)
                  .Obj(2, "<< /Type /Pages /Kids [] /Count 0 >>")
                  .AppendTo("", "/Root 1 0 R"));
    ASSERT_EQ(f.Doc(), nullptr);
    EXPECT_EQ(std::string(f.Error().GetFactor()), "CPDFTrailer::Realize()");
    EXPECT_EQ(f.Error().GetType(), CPDFException::InternalError);
}

// ---- Object access --------------------------------------------------------

TEST_F(CPDFDocObjects, IncrementalUpdateIsReadNewestFirst) {
    Fixture f(Updated());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    CPDFDoc* doc = f.Doc();
    EXPECT_EQ(doc->SectionCount(), 3);

    CPDFObject* four = doc->GetObj(CPDFObjRef(4, 0));
    ASSERT_NE(four, nullptr);
    EXPECT_EQ(Text(*four), "(new)");
    // Cached in the body of the section that defines it, and loaded once.
    CPDFDoc* d = doc;
    corvina::CPDFBody* holder = nullptr;
    EXPECT_EQ(d->FindObj(CPDFObjRef(4, 0), false, &holder), four);
    EXPECT_NE(holder, d->GetBody());
    EXPECT_EQ(doc->GetObj(CPDFObjRef(4, 0)), four);

    // An object only the older section holds is still reachable.
    CPDFObject* six = doc->GetObj(CPDFObjRef(6, 0));
    ASSERT_NE(six, nullptr);
    EXPECT_EQ(Text(*six), "(six)");

    // Freed in the update: stays deleted, whatever generation is asked for.
    EXPECT_EQ(doc->GetObj(CPDFObjRef(5, 0)), nullptr);
    EXPECT_EQ(doc->GetObj(CPDFObjRef(5, 1)), nullptr);
    EXPECT_TRUE(doc->GetLastError().IsEmpty()) << f.Last();
}

TEST_F(CPDFDocObjects, FreeEverywhereIsNullWithoutError) {
    PdfBuilder pdf = Pages(1);
    pdf.Obj(5, "(five)");  // 4 becomes free
    Fixture f(pdf.Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    EXPECT_EQ(f.Doc()->GetObj(CPDFObjRef(4, 0)), nullptr);
    EXPECT_TRUE(f.Doc()->GetLastError().IsEmpty()) << f.Last();
    // Beyond every table, too.
    EXPECT_EQ(f.Doc()->GetObj(CPDFObjRef(40, 0)), nullptr);
    EXPECT_TRUE(f.Doc()->GetLastError().IsEmpty()) << f.Last();

    EXPECT_EQ(f.Doc()->GetObj(CPDFObjRef()), nullptr);
    EXPECT_EQ(f.Last(), (Record{"CPDFDoc", "GetObj", CPDFException::UserError,
                                "Object reference is not defined."}));
}

TEST_F(CPDFDocObjects, LoadObjChecksTheNumberAndGenerationFound) {
    PdfBuilder pdf = Pages(1);
    for (int n = 4; n <= 13; ++n) pdf.Obj(n, "(obj " + std::to_string(n) + ")");
    const std::string bytes = pdf.Bytes();
    const int32_t at12 = static_cast<int32_t>(bytes.find("\n12 0 obj") + 1);
    Fixture f(bytes);
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());

    EXPECT_EQ(f.Doc()->LoadObj(CPDFObjRef(13, 0), at12), nullptr);
    EXPECT_EQ(f.Last().type, CPDFException::InvalidFormat);
    EXPECT_EQ(f.Last().factor, "invalidobjref: 12 0");

    auto twelve = f.Doc()->LoadObj(CPDFObjRef(12, 0), at12);
    ASSERT_NE(twelve, nullptr) << f.Last();
    EXPECT_EQ(Text(*twelve), "(obj 12)");
    EXPECT_TRUE(f.Doc()->GetLastError().IsEmpty());
}

TEST_F(CPDFDocObjects, NestedFailureIsTheRecordKept) {
    // Object 13 has a word between its value and "endobj".
    PdfBuilder pdf = Pages(1);
    for (int n = 4; n <= 13; ++n) pdf.Obj(n, "(obj " + std::to_string(n) + ")");
    pdf.Obj(13, "(obj 13) extra");
    Fixture f(pdf.Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());

    EXPECT_EQ(f.Doc()->GetObj(CPDFObjRef(13, 0)), nullptr);
    // The load's own record, not GetObj's summary of it.
    EXPECT_EQ(f.Last().type, CPDFException::InvalidFormat);
    EXPECT_EQ(f.Last().factor, "invalidtoken: extra");

    // The next operation starts afresh.
    EXPECT_NE(f.Doc()->GetObj(CPDFObjRef(12, 0)), nullptr);
    EXPECT_TRUE(f.Doc()->GetLastError().IsEmpty());
    EXPECT_EQ(f.Doc()->GetObj(CPDFObjRef(-1, 0)), nullptr);
    EXPECT_EQ(f.Last().factor, "Object reference is not defined.");
}

// The reader of an indirect object hands a dictionary to the stream reader
// when a word starting with "s" follows it, and gives any other dictionary as
// it is.
TEST_F(CPDFDocObjects, StreamIsTheDictionaryOfAnObjectFollowedByStream) {
    PdfBuilder pdf = Pages(1);
    pdf.Obj(4, "<< /Length 3 >> % note\nstream\nabc\nendstream")
        .Obj(5, "<< /Type /X >>")
        .Obj(6, "<< /Type /X >> % note")
        .Obj(7, "<< /Type /X >> startxref")
        .Obj(8, "<< /Length 3 >> stream abc\nendstream");
    Fixture f(pdf.Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());

    CPDFObject* stream = f.Doc()->GetObj(CPDFObjRef(4, 0));
    ASSERT_NE(stream, nullptr) << f.Last();
    ASSERT_EQ(stream->TypeCode(), CPDFObject::Stream);
    EXPECT_EQ(std::string(static_cast<corvina::CPDFStream*>(stream)->GetData(), 4), "abc\n");
    for (int n : {5, 6}) {
        CPDFObject* dict = f.Doc()->GetObj(CPDFObjRef(n, 0));
        ASSERT_NE(dict, nullptr) << n << f.Last();
        EXPECT_EQ(dict->TypeCode(), CPDFObject::Dictionary);
        EXPECT_EQ(Text(*dict), "<<\r\n/Type /X\r\n>>");
    }
    EXPECT_EQ(f.Doc()->GetObj(CPDFObjRef(7, 0)), nullptr);
    EXPECT_EQ(f.Last(), (Record{"CPDFStream", "Serialize", CPDFException::InvalidFormat,
                                "invalidtoken: startxref"}));
    EXPECT_EQ(f.Doc()->GetObj(CPDFObjRef(8, 0)), nullptr);
    EXPECT_EQ(f.Last(),
              (Record{"CPDFStream", "Serialize", CPDFException::InvalidFormat, "invalidtoken:  "}));
}

// Streams are indirect objects only: "stream" after a dictionary inside an
// array or a dictionary makes the object unreadable, and the container names
// the word where its next member should be (no data is searched for).
TEST_F(CPDFDocObjects, StreamInsideAContainerFailsTheObject) {
    PdfBuilder pdf = Pages(1);
    pdf.Obj(4, "[<< /Length 3 >>\nstream\nabc\nendstream")
        .Obj(5, "<< /A << /Length 3 >>\nstream\nabc\nendstream")
        .Obj(6, "[<< /Length 3 >> s]")
        .Obj(7, "[<< /Length 3 >>\nstream\nabc\nendstream ]");
    Fixture f(pdf.Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    const Record expected[] = {
        {"CPDFArray", "Serialize", CPDFException::InvalidFormat, "invalidtoken: stream"},
        {"CPDFDict", "Serialize", CPDFException::InvalidFormat, "invalidtoken: stream"},
        {"CPDFArray", "Serialize", CPDFException::InvalidFormat, "invalidtoken: s"},
        {"CPDFArray", "Serialize", CPDFException::InvalidFormat, "invalidtoken: stream"},
    };
    for (int n = 4; n <= 7; ++n) {
        EXPECT_EQ(f.Doc()->GetObj(CPDFObjRef(n, 0)), nullptr) << n;
        EXPECT_EQ(f.Last(), expected[n - 4]) << n;
    }
}

TEST_F(CPDFDocObjects, RegistObjReusesTheFreeListHead) {
    // Object 2 was deleted once: reusing its number takes generation 1.
    Fixture f(Section()
                  .Free(0, 2, 65535)
                  .Obj(1, "<< /Type /Catalog /Pages 3 0 R >>")
                  .Free(2, 0, 1)
                  .Obj(3, "<< /Type /Pages /Kids [] /Count 0 >>")
                  .AppendTo("", "/Size 4 /Root 1 0 R"));
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    CPDFDoc* doc = f.Doc();

    CPDFObjRef ref;
    ASSERT_TRUE(doc->RegistObj(Num(7), &ref)) << f.Last();
    EXPECT_EQ(ref, CPDFObjRef(2, 1));
    EXPECT_EQ(TrailerSize(doc), 4);
    ASSERT_NE(doc->GetObj(ref), nullptr);
    EXPECT_EQ(Text(*doc->GetObj(ref)), "7");
    const XRefEntry* entry = doc->GetXRef()->GetEntry(2);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->inUse);
    EXPECT_EQ(entry->genNum, 1);

    // The list is used up: the next number is the one after the table.
    CPDFObjRef next;
    ASSERT_TRUE(doc->RegistObj(Num(8), &next)) << f.Last();
    EXPECT_EQ(next, CPDFObjRef(4, 0));
    EXPECT_EQ(TrailerSize(doc), 5);
}

TEST_F(CPDFDocObjects, RegistObjAppendsWithoutFreeEntries) {
    Fixture f(Pages(1).Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    CPDFObjRef ref;
    ASSERT_TRUE(f.Doc()->RegistObj(Num(1), &ref));
    EXPECT_EQ(ref, CPDFObjRef(4, 0));
    EXPECT_EQ(TrailerSize(f.Doc()), 5);
    CPDFObjRef second;
    ASSERT_TRUE(f.Doc()->RegistObj(Num(2), &second));
    EXPECT_EQ(second, CPDFObjRef(5, 0));
    EXPECT_EQ(TrailerSize(f.Doc()), 6);

    // A defined reference replaces that object, also one read from the file.
    ASSERT_TRUE(f.Doc()->RegistObj(Num(9), &second));
    EXPECT_EQ(second, CPDFObjRef(5, 0));
    EXPECT_EQ(Text(*f.Doc()->GetObj(second)), "9");
    EXPECT_EQ(TrailerSize(f.Doc()), 6);
    ASSERT_NE(f.Doc()->GetObj(CPDFObjRef(3, 0)), nullptr);
    CPDFObjRef three(3, 0);
    ASSERT_TRUE(f.Doc()->RegistObj(Num(33), &three)) << f.Last();
    EXPECT_EQ(three, CPDFObjRef(3, 0));
    EXPECT_EQ(Text(*f.Doc()->GetObj(three)), "33");
}

TEST_F(CPDFDocObjects, RegistObjPassesTheLargestTable) {
    // The update's table ends at 4; object 6 lives only in the older one.
    const std::string base = Section()
                                 .Free(0, 0, 65535)
                                 .Obj(1, kCatalog)
                                 .Obj(2, "<< /Type /Pages /Kids [] /Count 0 >>")
                                 .Obj(3, "(three)")
                                 .Obj(4, "(old)")
                                 .Obj(5, "(five)")
                                 .Obj(6, "(six)")
                                 .AppendTo("", "/Size 7 /Root 1 0 R");
    Fixture f(Section().Obj(4, "(new)").AppendTo(base, "/Size 5 /Root 1 0 R"));
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    CPDFObjRef ref;
    ASSERT_TRUE(f.Doc()->RegistObj(Num(1), &ref)) << f.Last();
    EXPECT_EQ(ref, CPDFObjRef(7, 0));
    EXPECT_EQ(TrailerSize(f.Doc()), 8);
    EXPECT_EQ(Text(*f.Doc()->GetObj(CPDFObjRef(6, 0))), "(six)");
}

TEST_F(CPDFDocObjects, UpdateAndRemoveWorkOnTheWorkingSection) {
    Fixture f(Updated());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    CPDFDoc* doc = f.Doc();
    CPDFObject* six = doc->GetObj(CPDFObjRef(6, 0));
    ASSERT_NE(six, nullptr);
    EXPECT_EQ(doc->GetXRef()->GetEntry(6), nullptr);

    ASSERT_TRUE(doc->UpdateObj(CPDFObjRef(6, 0))) << f.Last();
    EXPECT_EQ(doc->GetBody()->GetObj(CPDFObjRef(6, 0)), six);
    const XRefEntry* entry = doc->GetXRef()->GetEntry(6);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->inUse);
    EXPECT_EQ(entry->genNum, 0);
    EXPECT_EQ(doc->GetObj(CPDFObjRef(6, 0)), six);

    // Not loaded: nothing to update, and every failure is the caller's.
    EXPECT_FALSE(doc->UpdateObj(CPDFObjRef(3, 0)));
    EXPECT_EQ(f.Last().type, CPDFException::UserError);
    EXPECT_FALSE(doc->UpdateObj(CPDFObjRef()));
    EXPECT_EQ(f.Last(), (Record{"CPDFDoc", "UpdateObj", CPDFException::UserError,
                                "Object reference is not defined."}));

    // Removing an object loaded from the file, and one only an old table knows.
    ASSERT_NE(doc->GetObj(CPDFObjRef(4, 0)), nullptr);
    doc->RemoveObj(CPDFObjRef(4, 0));
    doc->RemoveObj(CPDFObjRef(3, 0));
    EXPECT_EQ(doc->GetObj(CPDFObjRef(4, 0)), nullptr);
    EXPECT_EQ(doc->GetObj(CPDFObjRef(3, 0)), nullptr);
    EXPECT_EQ(doc->FindObj(CPDFObjRef(4, 0), false), nullptr);
    for (int n : {3, 4}) {
        const XRefEntry* e = doc->GetXRef()->GetEntry(n);
        ASSERT_NE(e, nullptr) << n;
        EXPECT_FALSE(e->inUse) << n;
    }
    EXPECT_TRUE(doc->GetLastError().IsEmpty()) << f.Last();
}

// ---- Pages ----------------------------------------------------------------

TEST_F(CPDFDocPages, DeleteRangeIsChecked) {
    Fixture f(Pages(3).Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    CPDFDoc* doc = f.Doc();
    EXPECT_EQ(doc->GetPageCount(), 3);
    const Record range{"CPDFDoc", "DeletePage", CPDFException::UserError,
                       "Page position is out of range."};
    EXPECT_FALSE(doc->DeletePage(3, 1));
    EXPECT_EQ(f.Last(), range);
    EXPECT_FALSE(doc->DeletePage(-1, 1));
    EXPECT_EQ(f.Last(), range);
    EXPECT_FALSE(doc->DeletePage(1, 3));
    EXPECT_EQ(f.Last(), range);
    EXPECT_FALSE(doc->DeletePage(0, -2));
    EXPECT_EQ(f.Last(), range);
    EXPECT_EQ(doc->GetPageCount(), 3);

    ASSERT_TRUE(doc->DeletePage(1, 1)) << f.Last();
    EXPECT_EQ(doc->GetPageCount(), 2);
    CPDFObjRef ref;
    ASSERT_NE(doc->GetPage(1, &ref), nullptr);
    EXPECT_EQ(ref, CPDFObjRef(5, 0));

    ASSERT_TRUE(doc->DeletePage(0, -1)) << f.Last();
    EXPECT_EQ(doc->GetPageCount(), 0);
}

TEST_F(CPDFDocPages, DeleteAllOfThree) {
    Fixture f(Pages(3).Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    ASSERT_TRUE(f.Doc()->DeletePage(0, -1)) << f.Last();
    EXPECT_EQ(f.Doc()->GetPageCount(), 0);
    EXPECT_EQ(f.Doc()->GetPage(0, nullptr), nullptr);
}

// ---- Saving ---------------------------------------------------------------

TEST_F(CPDFDocSave, ToAnotherPathWritesACompleteFile) {
    Fixture f(Pages(3).Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    f.Doc()->SetClock([] { return kNow; });
    const std::string input = ScratchDir::Read(f.Path());
    const std::string out = f.Dir().File("out.pdf");

    ASSERT_TRUE(f.Doc()->Save(out.c_str(), true, false)) << f.Last();  // incremental ignored
    ASSERT_TRUE(f.Doc()->Flush()) << f.Last();
    EXPECT_EQ(ScratchDir::Read(f.Path()), input);
    ASSERT_NE(f.Doc()->GetFilePath(), nullptr);
    EXPECT_EQ(std::string(f.Doc()->GetFilePath()), out);
    EXPECT_EQ(f.Doc()->SectionCount(), 2);
    const std::string written = ScratchDir::Read(out);
    EXPECT_EQ(written.rfind("%PDF-1.4\r\n", 0), 0u);
    EXPECT_EQ(written.find("/Prev"), std::string::npos);
    EXPECT_EQ(ScratchDir::List(f.Dir().Path()), "in.pdf out.pdf");

    CPDFException error;
    CPDFDoc* again = f.Lib()->Open(out.c_str(), nullptr, &error);
    ASSERT_NE(again, nullptr) << Of(error);
    EXPECT_EQ(again->GetPageCount(), 3);
    f.Lib()->Close(again);

    // Failing second flush: the save was used up.
    EXPECT_FALSE(f.Doc()->Flush());
    EXPECT_EQ(f.Last(), (Record{"CPDFDoc", "Flush", CPDFException::UserError,
                                "CPDFDoc::Save() has not been called."}));
}

TEST_F(CPDFDocSave, SamePathReplacesThroughATemporaryFile) {
    Fixture f(Pages(2).Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    ASSERT_EQ(::chmod(f.Path().c_str(), 0640), 0);
    struct stat before {};
    ASSERT_EQ(::stat(f.Path().c_str(), &before), 0);
    const std::string input = ScratchDir::Read(f.Path());

    ASSERT_TRUE(f.Doc()->Save(f.Path().c_str(), false, false)) << f.Last();
    ASSERT_TRUE(f.Doc()->DeletePage(0, 1)) << f.Last();
    // Until the flush the input is untouched; the output is an unnamed file
    // in its directory, or a cv*.pdf beside it where the file system has no
    // unnamed files.
    EXPECT_EQ(ScratchDir::Read(f.Path()), input);
    const std::string during = ScratchDir::List(f.Dir().Path());
    const int probe = ::open(f.Dir().Path().c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (probe >= 0) ::close(probe);
    EXPECT_EQ(during.find("cv") == std::string::npos, probe >= 0) << during;
    ASSERT_TRUE(f.Doc()->Flush()) << f.Last();

    EXPECT_EQ(ScratchDir::List(f.Dir().Path()).find("cv"), std::string::npos)
        << ScratchDir::List(f.Dir().Path());
    struct stat after {};
    ASSERT_EQ(::stat(f.Path().c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_NE(after.st_ino, before.st_ino);  // replaced, not rewritten in place
    EXPECT_NE(ScratchDir::Read(f.Path()), input);
    EXPECT_EQ(std::string(f.Doc()->GetFilePath()), f.Path());
    EXPECT_EQ(f.Doc()->GetPageCount(), 1);
    f.Close();

    Fixture again(ScratchDir::Read(f.Path()));
    ASSERT_NE(again.Doc(), nullptr) << Of(again.Error());
    EXPECT_EQ(again.Doc()->GetPageCount(), 1);
}

TEST_F(CPDFDocSave, CloseWithoutFlushLeavesTheInput) {
    Fixture f(Pages(2).Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    const std::string input = ScratchDir::Read(f.Path());
    const std::string listing = ScratchDir::List(f.Dir().Path());
    ASSERT_TRUE(f.Doc()->Save(f.Path().c_str(), false, false)) << f.Last();
    ASSERT_TRUE(f.Doc()->DeletePage(0, 1));
    f.Close();
    EXPECT_EQ(ScratchDir::Read(f.Path()), input);
    EXPECT_EQ(ScratchDir::List(f.Dir().Path()), listing);

    // A new file abandoned the same way is removed.
    Fixture g(Pages(2).Bytes());
    ASSERT_NE(g.Doc(), nullptr);
    const std::string before = ScratchDir::List(g.Dir().Path());
    ASSERT_TRUE(g.Doc()->Save(g.Dir().File("new.pdf").c_str(), false, false)) << g.Last();
    g.Close();
    EXPECT_EQ(ScratchDir::List(g.Dir().Path()), before);
}

TEST_F(CPDFDocSave, IncrementalAppendsASectionWithPrev) {
    Fixture f(Pages(2).Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    f.Doc()->SetClock([] { return kNow; });
    const std::string input = ScratchDir::Read(f.Path());
    const std::string oldStart = std::to_string(f.Doc()->GetTrailerAt(1)->StartXRef());

    ASSERT_TRUE(f.Doc()->Save(f.Path().c_str(), true, false)) << f.Last();
    CPDFObjRef ref;
    ASSERT_TRUE(f.Doc()->RegistObj(Num(42), &ref));
    ASSERT_TRUE(f.Doc()->Flush()) << f.Last();

    const std::string out = ScratchDir::Read(f.Path());
    ASSERT_GT(out.size(), input.size());
    EXPECT_EQ(out.substr(0, input.size()), input);
    const std::string tail = out.substr(input.size());
    EXPECT_EQ(tail.find("%PDF"), std::string::npos);
    EXPECT_NE(tail.find("/Prev " + oldStart + "\r\n"), std::string::npos) << tail;
    EXPECT_NE(tail.find(std::to_string(ref.objNum) + " 0 obj\r\n42\r\nendobj\r\n"),
              std::string::npos)
        << tail;
    // Untouched objects are not written again.
    EXPECT_EQ(tail.find("/Type /Page\r\n"), std::string::npos) << tail;
    EXPECT_EQ(ScratchDir::List(f.Dir().Path()).find("cv"), std::string::npos);
    f.Close();

    Fixture again(out);
    ASSERT_NE(again.Doc(), nullptr) << Of(again.Error());
    EXPECT_EQ(again.Doc()->SectionCount(), 3);
    EXPECT_EQ(again.Doc()->GetPageCount(), 2);
    ASSERT_NE(again.Doc()->GetObj(ref), nullptr);
    EXPECT_EQ(Text(*again.Doc()->GetObj(ref)), "42");
}

TEST_F(CPDFDocSave, FailedSaveLeavesNothingToFlush) {
    Fixture f(Pages(1).Bytes());
    ASSERT_NE(f.Doc(), nullptr);
    const std::string listing = ScratchDir::List(f.Dir().Path());
    EXPECT_FALSE(f.Doc()->Save(f.Dir().File("absent/out.pdf").c_str(), false, false));
    EXPECT_EQ(f.Last(), (Record{"CPDFDoc", "Save", CPDFException::RuntimeLibraryError,
                                "cannot create a temporary file in " + f.Dir().File("absent") +
                                    ": " + std::strerror(ENOENT)}));
    EXPECT_FALSE(f.Doc()->Flush());
    EXPECT_EQ(f.Last().factor, "CPDFDoc::Save() has not been called.");
    EXPECT_EQ(ScratchDir::List(f.Dir().Path()), listing);
    // The document is still usable.
    EXPECT_EQ(f.Doc()->GetPageCount(), 1);
}

TEST_F(CPDFDocSave, DirectoryIsRefusedAsTheOutput) {
    Fixture f(Pages(1).Bytes());
    ASSERT_NE(f.Doc(), nullptr);
    const std::string sub = f.Dir().File("sub");
    ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);
    EXPECT_FALSE(f.Doc()->Save(sub.c_str(), false, false));
    EXPECT_EQ(f.Last(), (Record{"CPDFDoc", "Save", CPDFException::UserError,
                                "output is a directory: " + sub}));
    EXPECT_EQ(ScratchDir::List(f.Dir().Path()), "in.pdf sub");
    EXPECT_EQ(ScratchDir::List(sub), "");
}

TEST_F(CPDFDocSave, FullDeviceIsWrittenIntoAndItsRefusalReported) {
    Fixture f(Pages(2).Bytes());
    ASSERT_NE(f.Doc(), nullptr);
    const std::string full = f.Dir().FullDevice();
    if (full.empty()) GTEST_SKIP() << "no /dev/full";
    const std::string listing = ScratchDir::List(f.Dir().Path());
    ASSERT_TRUE(f.Doc()->Save(full.c_str(), false, false)) << f.Last();
    EXPECT_FALSE(f.Doc()->Flush());
    EXPECT_EQ(f.Last(), (Record{"CPDFDoc", "Flush", CPDFException::SystemError,
                                full + ": " + std::strerror(ENOSPC)}));
    struct stat st {};
    ASSERT_EQ(::stat(full.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    // No temporary was made beside it.
    EXPECT_EQ(ScratchDir::List(f.Dir().Path()), listing);
}

TEST_F(CPDFDocSave, FifoIsWrittenIntoInOnePass) {
    Fixture f(Pages(2).Bytes());
    ASSERT_NE(f.Doc(), nullptr);
    const std::string fifo = f.Dir().File("out.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A second name to release the reader by, whatever became of the first.
    const std::string keep = f.Dir().File("keep.fifo");
    ASSERT_EQ(::link(fifo.c_str(), keep.c_str()), 0);
    std::string got;
    std::thread reader([&] {
        FILE* in = std::fopen(fifo.c_str(), "rb");
        if (!in) return;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) got.append(buffer, n);
        std::fclose(in);
    });
    const bool saved = f.Doc()->Save(fifo.c_str(), false, false);
    const bool flushed = saved && f.Doc()->Flush();
    // Lets the reader go when the writer never came.
    const int fd = ::open(keep.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
    reader.join();
    ASSERT_TRUE(flushed) << f.Last();
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(ScratchDir::List(f.Dir().Path()), "in.pdf keep.fifo out.fifo");
    EXPECT_EQ(std::string(f.Doc()->GetFilePath()), fifo);
    EXPECT_EQ(f.Doc()->GetInput(), nullptr);  // nothing to read back from

    Fixture again(got);
    ASSERT_NE(again.Doc(), nullptr) << Of(again.Error());
    EXPECT_EQ(again.Doc()->GetPageCount(), 2);
}

TEST_F(CPDFDocSave, FlushWithoutSaveFails) {
    Fixture f(Pages(1).Bytes());
    ASSERT_NE(f.Doc(), nullptr);
    EXPECT_FALSE(f.Doc()->Flush());
    EXPECT_EQ(f.Last(), (Record{"CPDFDoc", "Flush", CPDFException::UserError,
                                "CPDFDoc::Save() has not been called."}));
}

TEST_F(CPDFDocSave, DocInfoWithCreationDateGetsModDate) {
    PdfBuilder pdf = Pages(1);
    pdf.Obj(4, "<< /CreationDate (D:19990101000000) /Producer (old) /Title (t) >>").Info(4);
    Fixture f(pdf.Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    f.Doc()->SetClock([] { return kNow; });
    ASSERT_TRUE(f.Doc()->Save(f.Dir().File("out.pdf").c_str(), false, false)) << f.Last();
    ASSERT_TRUE(f.Doc()->SetDocInfo()) << f.Last();
    CPDFObjRef ref;
    CPDFObject* info = f.Doc()->GetTrailer()->Get_InfoObj(&ref);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(ref, CPDFObjRef(4, 0));
    EXPECT_EQ(Text(*info), "<<\r\n/CreationDate (D:19990101000000)\r\n/ModDate (" +
                               LocalDate(kNow) + ")\r\n/Producer (corvina)\r\n/Title (t)\r\n>>");
    // Updated into the working section, so an incremental save writes it.
    EXPECT_EQ(f.Doc()->GetBody()->GetObj(ref), info);
}

TEST_F(CPDFDocSave, DocInfoIsCreatedWhenMissing) {
    Fixture f(Pages(1).Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    f.Doc()->SetClock([] { return kNow; });
    ASSERT_TRUE(f.Doc()->Save(f.Dir().File("out.pdf").c_str(), false, false)) << f.Last();
    ASSERT_TRUE(f.Doc()->Flush()) << f.Last();

    CPDFObjRef ref;
    CPDFObject* info = f.Doc()->GetTrailer()->Get_InfoObj(&ref);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(ref, CPDFObjRef(4, 0));
    EXPECT_EQ(Text(*info),
              "<<\r\n/CreationDate (" + LocalDate(kNow) + ")\r\n/Producer (corvina)\r\n>>");
    const std::string out = ScratchDir::Read(f.Dir().File("out.pdf"));
    EXPECT_NE(out.find("/Info 4 0 R"), std::string::npos) << out;
}

TEST_F(CPDFDocSave, FullRewriteMergesAllSections) {
    Fixture f(Updated());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    const std::string out = f.Dir().File("out.pdf");
    ASSERT_TRUE(f.SaveWhole(out));
    const std::string bytes = ScratchDir::Read(out);
    EXPECT_EQ(bytes.find("\nxref\r\n"), bytes.rfind("\nxref\r\n")) << bytes;
    EXPECT_NE(bytes.find("\nxref\r\n0 7\r\n"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("/Prev"), std::string::npos);
    // The new Info takes the number the update freed, with its generation.
    CPDFObjRef info;
    ASSERT_NE(f.Doc()->GetTrailer()->Get_InfoObj(&info), nullptr);
    EXPECT_EQ(info, CPDFObjRef(5, 1));
    for (const char* obj : {"1 0 obj", "2 0 obj", "3 0 obj", "4 0 obj\n(new)\nendobj",
                            "6 0 obj\n(six)\nendobj", "5 1 obj\r\n<<\r\n/CreationDate"}) {
        EXPECT_NE(bytes.find(obj), std::string::npos) << obj;
    }
    EXPECT_EQ(bytes.find("(old)"), std::string::npos);
    EXPECT_EQ(bytes.find("5 0 obj"), std::string::npos);
    EXPECT_EQ(bytes.find("(five)"), std::string::npos);
    f.Close();

    Fixture again(bytes);
    ASSERT_NE(again.Doc(), nullptr) << Of(again.Error());
    EXPECT_EQ(again.Doc()->SectionCount(), 2);
    EXPECT_EQ(Text(*again.Doc()->GetObj(CPDFObjRef(4, 0))), "(new)");
    EXPECT_EQ(Text(*again.Doc()->GetObj(CPDFObjRef(6, 0))), "(six)");
    EXPECT_EQ(again.Doc()->GetObj(CPDFObjRef(5, 0)), nullptr);
}

TEST_F(CPDFDocSave, GapInTheTableIsLeftOut) {
    // Subsections 0 3 and 5 2: numbers 3 and 4 have no entry at all.
    Fixture f(Section()
                  .Free(0, 0, 65535)
                  .Obj(1, kCatalog)
                  .Obj(2, "<< /Type /Pages /Kids [] /Count 0 >>")
                  .Obj(5, "(five)")
                  .Obj(6, "(six)")
                  .AppendTo("", "/Size 7 /Root 1 0 R"));
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    const std::string out = f.Dir().File("out.pdf");
    ASSERT_TRUE(f.SaveWhole(out));
    const std::string bytes = ScratchDir::Read(out);
    EXPECT_EQ(bytes.find("3 0 obj"), std::string::npos);
    EXPECT_EQ(bytes.find("4 0 obj"), std::string::npos);
    // Untouched objects come through as their bytes were.
    EXPECT_NE(bytes.find("5 0 obj\n(five)\nendobj"), std::string::npos);
    EXPECT_NE(bytes.find("6 0 obj\n(six)\nendobj"), std::string::npos);
    f.Close();

    Fixture again(bytes);
    ASSERT_NE(again.Doc(), nullptr) << Of(again.Error());
    EXPECT_EQ(Text(*again.Doc()->GetObj(CPDFObjRef(6, 0))), "(six)");
}

namespace {

// Cross-reference rows of generation 0 for objects at these offsets.
std::string InUseRows(const std::vector<size_t>& offsets) {
    std::string rows;
    for (size_t off : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
        rows += line;
    }
    return rows;
}

}  // namespace

TEST_F(CPDFDocSave, UntouchedObjectsAreCarriedOverByteExact) {
    // The catalog and the page tree root, loaded at open and unchanged, go
    // out as they came in, with the white space between them; objects 4 and
    // 5 lie side by side and go out in one copy with the white space between
    // them; a comment ends that run; 7's Length is wrong, so it is loaded and
    // written anew.
    std::string in = "%PDF-1.4\n";
    std::vector<size_t> at(8);
    auto put = [&](int num, const std::string& text) {
        at[num] = in.size();
        in += std::to_string(num) + " 0 obj" + text + "endobj";
    };
    put(1, "\n<< /Type /Catalog /Pages 2 0 R >>\n");
    in += "\n";
    put(2, "\n<< /Type /Pages /Kids [] /Count 0 >>\n");
    in += "\n";
    put(3, "\n<< /CreationDate (D:20000101000000) >>\n");
    in += "\n";
    put(4, " [1.50 /N (a\\)b) <0A>]  ");
    in += " \r\n ";
    put(5, "<</Length 3>>stream\r\nxyz\nendstream\n");
    in += "\n% between\n";
    put(6, "\n 40000.5 ");
    in += "\n";
    put(7, "\n<< /Length 1 >>\nstream\nabc\nendstream\n");
    in += "\n";
    const size_t xref = in.size();
    in += "xref\n0 8\n0000000000 65535 f \n";
    in += InUseRows({at.begin() + 1, at.end()});
    in += "trailer\n<< /Size 8 /Root 1 0 R /Info 3 0 R >>\nstartxref\n" + std::to_string(xref) +
          "\n%%EOF\n";

    Fixture f(in);
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    const std::string out = f.Dir().File("out.pdf");
    ASSERT_TRUE(f.SaveWhole(out));

    std::string golden = "%PDF-1.4\r\n%\xE2\xE3\xCF\xD3\r\n";
    std::vector<size_t> offsets(8);
    auto add = [&](int num, const std::string& text) {
        offsets[num] = golden.size();
        golden += text;
    };
    add(1, "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    add(2, "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\r\n");
    add(3, "3 0 obj\r\n<<\r\n/CreationDate (D:20000101000000)\r\n/ModDate (" + LocalDate(kNow) +
               ")\r\n/Producer (corvina)\r\n>>\r\nendobj\r\n");
    add(4, "4 0 obj [1.50 /N (a\\)b) <0A>]  endobj \r\n ");
    add(5, "5 0 obj<</Length 3>>stream\r\nxyz\nendstream\nendobj\r\n");
    add(6, "6 0 obj\n 40000.5 endobj\r\n");
    add(7, "7 0 obj\r\n<<\r\n/Length 3\r\n>>\r\nstream\r\nabc\nendstream\r\nendobj\r\n");
    const size_t table = golden.size();
    golden += "xref\r\n0 8\r\n0000000000 65535 f \n";
    golden += InUseRows({offsets.begin() + 1, offsets.end()});
    golden += "trailer\r\n<<\r\n/Info 3 0 R\r\n/Root 1 0 R\r\n/Size 8\r\n>>\r\nstartxref\r\n" +
              std::to_string(table) + "\r\n%%EOF\r\n";
    EXPECT_EQ(ScratchDir::Read(out), golden);
}

TEST_F(CPDFDocSave, LongRunsOfLargeAndSmallObjectsGoOutByteExact) {
    // One run of carried-over objects whose streams range from a few bytes to
    // more than the reader buffers at once, so that the run goes out from the
    // reader's buffer in pieces of every kind, and is read again where the
    // reader had to let go of it.
    std::string in = "%PDF-1.4\n";
    std::vector<size_t> at;
    unsigned seed = 7;
    auto put = [&](const std::string& text) {
        at.push_back(in.size());
        in += std::to_string(at.size()) + " 0 obj\n" + text + "\nendobj\n";
    };
    auto stream = [&](size_t n) {
        std::string data(n, '\0');
        for (auto& c : data) {
            seed = seed * 1103515245u + 12345u;
            c = static_cast<char>(seed >> 16);
        }
        put("<< /Length " + std::to_string(n) + " >>\nstream\n" + data + "\nendstream");
    };
    put("<< /Type /Catalog /Pages 2 0 R >>");
    put("<< /Type /Pages /Kids [] /Count 0 >>");
    put("<< /Producer (corvina) /CreationDate (D:20000101000000) >>");
    for (size_t n : {10, 70000, 5, 140000, 3, 700000, 20, 300000, 1, 120000, 9, 9, 200000, 1})
        stream(n);
    const size_t bodyEnd = in.size() - 1;  // the run ends after the last endobj
    const size_t xref = in.size();
    in += "xref\n0 " + std::to_string(at.size() + 1) + "\n0000000000 65535 f \n" + InUseRows(at);
    in += "trailer\n<< /Size " + std::to_string(at.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
          std::to_string(xref) + "\n%%EOF\n";

    Fixture f(in);
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    const std::string out = f.Dir().File("out.pdf");
    ASSERT_TRUE(f.SaveWhole(out));
    const std::string bytes = ScratchDir::Read(out);
    const std::string header = "%PDF-1.4\r\n%\xE2\xE3\xCF\xD3\r\n";
    ASSERT_EQ(bytes.compare(0, header.size(), header), 0);
    const std::string body = in.substr(at[0], bodyEnd - at[0]);
    EXPECT_EQ(bytes.compare(header.size(), body.size(), body), 0);
    EXPECT_EQ(bytes.compare(header.size() + body.size(), 2, "\r\n"), 0);
    f.Close();

    Fixture again(bytes);
    ASSERT_NE(again.Doc(), nullptr) << Of(again.Error());
    EXPECT_NE(again.Doc()->GetObj(CPDFObjRef(static_cast<int32_t>(at.size()), 0)), nullptr);
}

TEST_F(CPDFDocSave, ReleasedObjectsGoOutAsReadUnlessChanged) {
    // Page 3 is read during the save and released unchanged: it is not written
    // then but carried over with its neighbours when the save ends. Page 4 is
    // changed before its release, so it is written at once, in the writer's
    // own form.
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>")
        .Obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612.0 792] >>")
        .Obj(4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612.0 792] >>")
        .Root(1);
    const std::string in = pdf.Bytes();
    Fixture f(in);
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    f.Doc()->SetClock([] { return kNow; });
    const std::string out = f.Dir().File("out.pdf");
    ASSERT_TRUE(f.Doc()->Save(out.c_str(), false, false)) << f.Last();
    const CPDFObjRef three(3, 0), four(4, 0);
    ASSERT_NE(f.Doc()->GetObj(three), nullptr);
    ASSERT_TRUE(f.Doc()->ReleaseObj(three, true)) << f.Last();
    // Released is released, whether written or not.
    EXPECT_EQ(f.Doc()->GetObj(three), nullptr);
    auto* page = dynamic_cast<CPDFDict*>(f.Doc()->GetObj(four));
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->Insert("Rotate", std::make_unique<corvina::CPDFInt>(90)));
    ASSERT_TRUE(f.Doc()->ReleaseObj(four, true)) << f.Last();
    ASSERT_TRUE(f.Doc()->Flush()) << f.Last();

    std::string golden = "%PDF-1.4\r\n%\xE2\xE3\xCF\xD3\r\n";
    std::vector<size_t> offsets(5);
    offsets[4] = golden.size();
    golden +=
        "4 0 obj\r\n<<\r\n/MediaBox [0 0 612.0 792]\r\n/Parent 2 0 R\r\n/Rotate 90\r\n/Type "
        "/Page\r\n>>\r\nendobj\r\n";
    // 1 to 3 as the input has them, in one run.
    const size_t first = in.find("1 0 obj");
    const size_t last = in.find("endobj", in.find("3 0 obj")) + 6;
    for (int n = 1; n <= 3; ++n)
        offsets[n - 1] = golden.size() + in.find(std::to_string(n) + " 0 obj") - first;
    golden += in.substr(first, last - first) + "\r\n";
    offsets[3] = offsets[4];
    offsets[4] = golden.size();
    golden += "5 0 obj\r\n<<\r\n/CreationDate (" + LocalDate(kNow) +
              ")\r\n/Producer (corvina)\r\n>>\r\nendobj\r\n";
    const size_t table = golden.size();
    golden += "xref\r\n0 6\r\n0000000000 65535 f \n";
    golden += InUseRows(offsets);
    golden += "trailer\r\n<<\r\n/Info 5 0 R\r\n/Root 1 0 R\r\n/Size 6\r\n>>\r\nstartxref\r\n" +
              std::to_string(table) + "\r\n%%EOF\r\n";
    EXPECT_EQ(ScratchDir::Read(out), golden);
}

TEST_F(CPDFDocSave, LeavesTheOpenLooksAtAreKnownUntilTheFileIsWritten) {
    // The page tree walk at open reads the leaves' words instead of building
    // them; where each lies is kept for the save that carries them over.
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .Obj(3, "<< /Type /Page /Parent 2 0 R >>")
        .Root(1);
    const std::string in = pdf.Bytes();
    Fixture f(in);
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    const auto begin = static_cast<int32_t>(in.find("3 0 obj"));
    const auto end = static_cast<int32_t>(in.find("endobj", begin) + 6);
    corvina::detail::ObjectExtent extent;
    ASSERT_TRUE(f.Doc()->KnownExtent(CPDFObjRef(3, 0), begin, &extent));
    EXPECT_EQ(extent.begin, begin);
    EXPECT_EQ(extent.end, end);
    EXPECT_FALSE(f.Doc()->KnownExtent(CPDFObjRef(3, 0), begin + 1, &extent));
    // Nodes are built, not looked at.
    EXPECT_FALSE(
        f.Doc()->KnownExtent(CPDFObjRef(2, 0), static_cast<int32_t>(in.find("2 0 obj")), &extent));
    const std::string out = f.Dir().File("out.pdf");
    ASSERT_TRUE(f.Doc()->Save(out.c_str(), false, false)) << f.Last();
    ASSERT_TRUE(f.Doc()->Flush()) << f.Last();
    EXPECT_FALSE(f.Doc()->KnownExtent(CPDFObjRef(3, 0), begin, &extent));
}

TEST_F(CPDFDocSave, ObjectsWrittenEarlyByAnAbandonedSaveAreNotClaimedByTheNext) {
    // A changed page released during a save exists only in that save's
    // output. When the save is abandoned, a later save cannot hold the page:
    // it must refuse rather than write a table that points into a file that
    // is gone.
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .Obj(3, "<< /Type /Page /Parent 2 0 R >>")
        .Root(1);
    Fixture f(pdf.Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    const std::string first = f.Dir().File("first.pdf"), second = f.Dir().File("second.pdf");
    ASSERT_TRUE(f.Doc()->Save(first.c_str(), false, false)) << f.Last();
    auto* page = dynamic_cast<CPDFDict*>(f.Doc()->GetObj(CPDFObjRef(3, 0)));
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->Insert("Rotate", std::make_unique<corvina::CPDFInt>(90)));
    ASSERT_TRUE(f.Doc()->ReleaseObj(CPDFObjRef(3, 0), true)) << f.Last();
    EXPECT_FALSE(f.Doc()->Save(second.c_str(), false, false));
    EXPECT_EQ(f.Doc()->GetLastError().GetType(), CPDFException::UserError);
    EXPECT_STREQ(f.Doc()->GetLastError().GetFactor(),
                 "objects released during an abandoned save were written only into its output");
    EXPECT_FALSE(f.Doc()->Flush());
    EXPECT_NE(access(first.c_str(), F_OK), 0);
    EXPECT_NE(access(second.c_str(), F_OK), 0);
}

TEST_F(CPDFDocSave, TinyRewriteIsByteExact) {
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [] /Count 0 >>")
        .Obj(3, "<< /CreationDate (D:20000101000000) >>")
        .Root(1)
        .Info(3);
    Fixture f(pdf.Bytes());
    ASSERT_NE(f.Doc(), nullptr) << Of(f.Error());
    f.Doc()->SetClock([] { return kNow; });
    // A changed catalog is written anew; the page tree root, unchanged, is not.
    auto* catalog = dynamic_cast<CPDFDict*>(f.Doc()->GetTrailer()->Get_RootObj());
    ASSERT_NE(catalog, nullptr);
    ASSERT_TRUE(catalog->Insert("PageMode", std::make_unique<CPDFName>("UseNone")));
    const std::string out = f.Dir().File("out.pdf");
    ASSERT_TRUE(f.Doc()->Save(out.c_str(), false, false)) << f.Last();
    ASSERT_TRUE(f.Doc()->Flush()) << f.Last();

    std::string golden = "%PDF-1.4\r\n%\xE2\xE3\xCF\xD3\r\n";
    std::vector<size_t> offsets;
    const std::vector<std::string> objects = {
        "1 0 obj\r\n<<\r\n/PageMode /UseNone\r\n/Pages 2 0 R\r\n/Type /Catalog\r\n>>\r\nendobj\r\n",
        "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\r\n",
        "3 0 obj\r\n<<\r\n/CreationDate (D:20000101000000)\r\n/ModDate (" + LocalDate(kNow) +
            ")\r\n/Producer (corvina)\r\n>>\r\nendobj\r\n",
    };
    for (const std::string& object : objects) {
        offsets.push_back(golden.size());
        golden += object;
    }
    const size_t xref = golden.size();
    golden += "xref\r\n0 4\r\n0000000000 65535 f \n";
    golden += InUseRows(offsets);
    golden += "trailer\r\n<<\r\n/Info 3 0 R\r\n/Root 1 0 R\r\n/Size 4\r\n>>\r\nstartxref\r\n" +
              std::to_string(xref) + "\r\n%%EOF\r\n";
    EXPECT_EQ(ScratchDir::Read(out), golden);
}
