// Documents encrypted by qpdf (every handler it writes): opened with each password,
// read in the clear, changed and saved encrypted again, and checked by qpdf
// and pdfinfo.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/file/CPDFTrailer.h"
#include "pdf/file/SecurityHandler.h"
#include "pdf/io/TempName.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFString.h"
#include "pdf/stream/CPDFStream.h"
#include "support/E2E.h"
#include "support/PdfBuilder.h"
#include "support/ScratchDir.h"

using corvina::CPDFDict;
using corvina::CPDFDoc;
using corvina::CPDFException;
using corvina::CPDFLib;
using corvina::CPDFObjRef;
using corvina::CPDFStream;
using corvina::CPDFString;

namespace {

const char kContent[] = "BT /F1 12 Tf 72 712 Td (Hello stream) Tj ET\n";
const char kXml[] =
    "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta "
    "xmlns:x='adobe:ns:meta/'>clear metadata</x:xmpmeta><?xpacket end='w'?>";

// Bytes that do not compress, so the stream stays long after qpdf's Flate.
std::string Noise(int n) {
    std::string s(n, '\0');
    unsigned x = 12345;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

// The catalog holds an indirect string (Secret), a direct one (Note) and a
// long stream (Big); the page has a content stream qpdf compresses.
std::string Plain() {
    const std::string big = Noise(40000);
    return PdfBuilder()
        .Obj(1,
             "<< /Type /Catalog /Pages 2 0 R /Secret 5 0 R /Note (plain note) /Big 6 0 R "
             "/Metadata 7 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .Obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>")
        .Obj(4, "<< /Length " + std::to_string(sizeof kContent - 1) + " >>\nstream\n" + kContent +
                    "\nendstream")
        .Obj(5, "(Hello secret)")
        .Obj(6, "<< /Length " + std::to_string(big.size()) + " >>\nstream\n" + big + "\nendstream")
        .Obj(7, "<< /Type /Metadata /Subtype /XML /Length " + std::to_string(sizeof kXml - 1) +
                    " >>\nstream\n" + kXml + "\nendstream")
        .Root(1)
        .Bytes();
}

class EncryptedDocTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2e::Have("qpdf")) GTEST_SKIP() << "qpdf is not installed";
        lib_ = CPDFLib::Create(dir_.Path().c_str());
        in_ = dir_.Write("in.pdf", Plain());
    }
    void TearDown() override {
        for (CPDFDoc* doc : open_) lib_->Close(doc);
        corvina::TempSettings::Directory() = savedTempDir_;
    }

    std::string Encrypt(const std::string& user, const std::string& owner,
                        const std::string& bits = "40") {
        const std::string out = dir_.File("enc" + std::to_string(++made_) + ".pdf");
        std::vector<std::string> args = {
            "--allow-weak-crypto", "--object-streams=disable", "--encrypt", user, owner, bits};
        if (bits == "128") args.push_back("--use-aes=n");
        args.push_back("--");
        return e2e::QpdfRewrite(in_, out, args);
    }

    // qpdf's encryption with the key length and options of mode.
    std::string EncryptAs(const std::string& user, const std::string& owner,
                          const std::vector<std::string>& mode) {
        const std::string out = dir_.File("enc" + std::to_string(++made_) + ".pdf");
        std::vector<std::string> args = {"--allow-weak-crypto", "--object-streams=disable",
                                         "--encrypt", user, owner};
        args.insert(args.end(), mode.begin(), mode.end());
        args.push_back("--");
        return e2e::QpdfRewrite(in_, out, args);
    }

    CPDFDoc* Open(const std::string& path, const char* password, std::string* factor = nullptr) {
        CPDFException error;
        CPDFDoc* doc = lib_->Open(path.c_str(), password, &error);
        if (factor) *factor = error.GetFactor();
        if (doc) open_.push_back(doc);
        return doc;
    }

    std::string savedTempDir_ = corvina::TempSettings::Directory();
    ScratchDir dir_;
    std::unique_ptr<CPDFLib> lib_;
    std::string in_;
    std::vector<CPDFDoc*> open_;
    int made_ = 0;
};

CPDFDict* Catalog(CPDFDoc* doc) {
    return dynamic_cast<CPDFDict*>(doc->GetTrailer()->Get_RootObj());
}

std::string Str(CPDFDoc* doc, const char* key) {
    auto* s = dynamic_cast<CPDFString*>(Catalog(doc)->GetObj(doc, key));
    return s ? std::string(s->Text(), s->Length()) : "<none>";
}

// The data of a stream with its filters removed.
std::string Decoded(CPDFStream* stream) {
    if (!stream) return "<none>";
    CPDFException errors;
    if (!stream->DecodeAllFilter(&errors)) return "<undecodable>";
    return std::string(stream->GetData(), stream->GetDataLength());
}

CPDFStream* Contents(CPDFDoc* doc) {
    auto* page = dynamic_cast<CPDFDict*>(dynamic_cast<CPDFDict*>(Catalog(doc)->GetObj(doc, "Pages"))
                                             ->GetAs<corvina::CPDFArray>(doc, "Kids")
                                             ->GetObj(doc, 0));
    return page ? page->GetAs<CPDFStream>(doc, "Contents") : nullptr;
}

// What qpdf shows of an object (its filtered data for a stream).
std::string QpdfShow(const std::string& file, const std::string& password, int num,
                     bool data = false) {
    std::vector<std::string> argv = {"qpdf", "--password=" + password,
                                     "--show-object=" + std::to_string(num)};
    if (data) argv.push_back("--filtered-stream-data");
    argv.push_back(file);
    return e2e::Run(argv).out;
}

// The number of the catalog's entry key, as qpdf sees the file.
int QpdfRefOf(const std::string& file, const std::string& password, const std::string& key) {
    const std::string trailer =
        e2e::Run({"qpdf", "--password=" + password, "--show-object=trailer", file}).out;
    const int root = e2e::RefIn(trailer, "Root").first;
    return e2e::RefIn(e2e::Run({"qpdf", "--password=" + password,
                                "--show-object=" + std::to_string(root), file})
                          .out,
                      key)
        .first;
}

TEST_F(EncryptedDocTest, OpensWithEachPasswordAndReadsWhatQpdfReads) {
    const std::string longUser = "0123456789abcdefghijklmnopqrstuvWXYZ";  // 36 bytes
    struct Case {
        std::string user, owner;
        std::vector<std::string> good;
    };
    const Case cases[] = {
        {"user", "owner", {"user", "owner"}},
        {"", "owner", {"", "owner"}},
        {"same", "same", {"same"}},
        // Only the first 32 bytes count, whatever follows them.
        {longUser, "owner", {longUser, longUser.substr(0, 32), longUser.substr(0, 32) + "!"}},
    };
    for (const Case& c : cases) {
        const std::string enc = Encrypt(c.user, c.owner);
        ASSERT_FALSE(enc.empty());
        const std::string bigData = QpdfShow(enc, c.owner, QpdfRefOf(enc, c.owner, "Big"), true);
        ASSERT_EQ(bigData, Noise(40000));
        for (const std::string& password : c.good) {
            std::string factor;
            CPDFDoc* doc = Open(enc, password.c_str(), &factor);
            ASSERT_TRUE(doc) << c.user << "/" << password << ": " << factor;
            EXPECT_EQ(Str(doc, "Secret"), "Hello secret");
            EXPECT_EQ(Str(doc, "Note"), "plain note");
            EXPECT_EQ(Decoded(Contents(doc)), kContent);
            EXPECT_EQ(Decoded(Catalog(doc)->GetAs<CPDFStream>(doc, "Big")), bigData);
        }
        // Without a password the empty user password is tried.
        std::string factor;
        CPDFDoc* open = Open(enc, nullptr, &factor);
        EXPECT_EQ(open != nullptr, c.user.empty()) << c.user;
        if (!c.user.empty()) {
            EXPECT_EQ(factor, "encrypted document: a password is needed");
        }
        EXPECT_EQ(Open(enc, "wrong", &factor), nullptr);
        EXPECT_EQ(factor, "incorrect password") << c.user;
    }
}

TEST_F(EncryptedDocTest, SavedCopiesOpenWithTheSamePasswords) {
    for (bool incremental : {false, true}) {
        const std::string enc = Encrypt("user", "owner");
        ASSERT_FALSE(enc.empty());
        const std::string before = e2e::ReadBytes(enc);
        CPDFDoc* doc = Open(enc, "user");
        ASSERT_TRUE(doc);
        auto* secret = dynamic_cast<CPDFString*>(Catalog(doc)->GetObj(doc, "Secret"));
        CPDFObjRef secretRef;
        Catalog(doc)->GetObj(doc, "Secret", &secretRef);
        ASSERT_TRUE(secret && secret->Assign("Changed (secret)", 16));
        ASSERT_TRUE(doc->UpdateObj(secretRef));
        const std::string out = incremental ? enc : dir_.File("full.pdf");
        ASSERT_TRUE(doc->Save(out.c_str(), incremental, false));
        ASSERT_TRUE(doc->Flush()) << doc->GetLastError().GetFactor();
        const std::string after = e2e::ReadBytes(out);
        EXPECT_EQ(after.compare(0, before.size(), before) == 0, incremental);

        // The object never loaded reads from the new file with the key that
        // wrote it.
        EXPECT_EQ(Decoded(Catalog(doc)->GetAs<CPDFStream>(doc, "Big")), Noise(40000));
        for (const char* password : {"user", "owner"}) {
            CPDFDoc* again = Open(out, password);
            ASSERT_TRUE(again) << password;
            EXPECT_EQ(Str(again, "Secret"), "Changed (secret)");
            EXPECT_EQ(Decoded(Contents(again)), kContent);
            const e2e::RunResult check =
                e2e::Run({"qpdf", "--check", std::string("--password=") + password, out});
            EXPECT_EQ(check.code, 0) << check.out << check.err;
            EXPECT_NE(check.out.find("No syntax or stream encoding errors"), std::string::npos);
            const std::string flag = std::string(password) == "user" ? "-upw" : "-opw";
            EXPECT_EQ(e2e::Run({"pdfinfo", flag, password, out}).code, 0) << flag;
        }
        EXPECT_NE(e2e::Run({"pdfinfo", out}).code, 0);
        const std::string dec = dir_.File("dec.pdf");
        ASSERT_EQ(e2e::Run({"qpdf", "--password=owner", "--decrypt", out, dec}).code, 0);
        EXPECT_EQ(QpdfShow(dec, "", QpdfRefOf(dec, "", "Secret")), "(Changed \\(secret\\))\n");
        EXPECT_EQ(QpdfShow(dec, "", QpdfRefOf(dec, "", "Big"), true), Noise(40000));
    }
}

TEST_F(EncryptedDocTest, ACopyUnderANewNumberIsEncryptedWithItsOwnKey) {
    const std::string enc = Encrypt("user", "owner");
    ASSERT_FALSE(enc.empty());
    CPDFDoc* doc = Open(enc, "user");
    ASSERT_TRUE(doc);
    CPDFObjRef bigRef;
    auto* big = Catalog(doc)->GetAs<CPDFStream>(doc, "Big", &bigRef);
    ASSERT_TRUE(big);
    CPDFObjRef copyRef;
    ASSERT_TRUE(doc->RegistObj(big->Duplicate(doc, doc), &copyRef));
    ASSERT_NE(copyRef, bigRef);
    CPDFObjRef catalogRef;
    doc->GetTrailer()->Get_RootObj(&catalogRef);
    ASSERT_TRUE(Catalog(doc)->Insert("Copy", std::make_unique<CPDFObjRef>(copyRef)));
    ASSERT_TRUE(doc->UpdateObj(catalogRef));
    const std::string out = dir_.File("copy.pdf");
    ASSERT_TRUE(doc->Save(out.c_str(), false, false));
    ASSERT_TRUE(doc->Flush());
    EXPECT_EQ(e2e::Run({"qpdf", "--check", "--password=user", out}).code, 0);
    EXPECT_EQ(QpdfShow(out, "user", QpdfRefOf(out, "user", "Copy"), true), Noise(40000));
    EXPECT_EQ(QpdfShow(out, "user", QpdfRefOf(out, "user", "Big"), true), Noise(40000));
}

TEST_F(EncryptedDocTest, EncryptRemovedGivesAPlainFile) {
    const std::string enc = Encrypt("", "owner");
    ASSERT_FALSE(enc.empty());
    CPDFDoc* doc = Open(enc, "");
    ASSERT_TRUE(doc);
    doc->GetTrailer()->Dict().RemoveKey(doc, "Encrypt");
    ASSERT_TRUE(doc->Save(enc.c_str(), true, false));
    ASSERT_TRUE(doc->Flush());
    EXPECT_NE(e2e::Run({"qpdf", "--show-encryption", enc}).out.find("File is not encrypted"),
              std::string::npos);
    EXPECT_EQ(e2e::Run({"qpdf", "--check", enc}).code, 0);
    EXPECT_EQ(QpdfShow(enc, "", QpdfRefOf(enc, "", "Secret")), "(Hello secret)\n");
    EXPECT_EQ(Decoded(Contents(Open(enc, nullptr))), kContent);
}

// Every handler qpdf writes, with the revision it gives it.
struct Handler {
    const char* name;
    std::vector<std::string> mode;
    int r;
    bool clearMetadata;
};
const Handler kHandlers[] = {
    {"RC4 40", {"40"}, 2, false},
    {"RC4 128", {"128", "--use-aes=n"}, 3, false},
    {"AES 128", {"128", "--use-aes=y"}, 4, false},
    {"AES 128 clear metadata", {"128", "--use-aes=y", "--cleartext-metadata"}, 4, true},
    {"AES 256 R5", {"256", "--force-R5"}, 5, false},
    {"AES 256", {"256"}, 6, false},
    {"AES 256 clear metadata", {"256", "--cleartext-metadata"}, 6, true},
};

std::string Metadata(CPDFDoc* doc) {
    return Decoded(Catalog(doc)->GetAs<CPDFStream>(doc, "Metadata"));
}

TEST_F(EncryptedDocTest, EveryHandlerOpensWithEachPasswordAndReadsWhatQpdfReads) {
    for (const Handler& h : kHandlers) {
        for (const std::string user : {"user", ""}) {
            const std::string enc = EncryptAs(user, "owner", h.mode);
            ASSERT_FALSE(enc.empty()) << h.name;
            const std::string dec = dir_.File("dec.pdf");
            ASSERT_EQ(e2e::Run({"qpdf", "--password=owner", "--decrypt", enc, dec}).code, 0);
            const std::string bigData = QpdfShow(dec, "", QpdfRefOf(dec, "", "Big"), true);
            ASSERT_EQ(bigData, Noise(40000));
            struct Try {
                const char* password;
                bool owner;
            };
            const std::vector<Try> tries =
                user.empty() ? std::vector<Try>{{nullptr, false}, {"", false}, {"owner", true}}
                             : std::vector<Try>{{"user", false}, {"owner", true}};
            for (const Try& t : tries) {
                const std::string what = std::string(h.name) + " user '" + user + "' password " +
                                         (t.password ? t.password : "(none)");
                std::string factor;
                CPDFDoc* doc = Open(enc, t.password, &factor);
                ASSERT_TRUE(doc) << what << ": " << factor;
                ASSERT_NE(doc->GetSecurity(), nullptr);
                EXPECT_EQ(doc->GetSecurity()->r, h.r) << what;
                EXPECT_EQ(doc->GetSecurity()->owner, t.owner) << what;
                EXPECT_EQ(Str(doc, "Secret"), "Hello secret") << what;
                EXPECT_EQ(Str(doc, "Note"), "plain note") << what;
                EXPECT_EQ(Decoded(Contents(doc)), kContent) << what;
                EXPECT_EQ(Decoded(Catalog(doc)->GetAs<CPDFStream>(doc, "Big")), bigData) << what;
                EXPECT_EQ(Metadata(doc), kXml) << what;
            }
            std::string factor;
            EXPECT_EQ(Open(enc, "wrong", &factor), nullptr) << h.name;
            EXPECT_EQ(factor, "incorrect password") << h.name;
            if (!user.empty()) {
                EXPECT_EQ(Open(enc, nullptr, &factor), nullptr) << h.name;
                EXPECT_EQ(factor, "encrypted document: a password is needed") << h.name;
            }
            // Metadata left clear is still clear in the file.
            EXPECT_EQ(e2e::ReadBytes(enc).find("clear metadata") != std::string::npos,
                      h.clearMetadata)
                << h.name;
        }
    }
}

// The encryption qpdf reports, for the same password.
std::string ShownEncryption(const std::string& file, const std::string& password) {
    return e2e::Run({"qpdf", "--password=" + password, "--show-encryption", file}).out;
}

TEST_F(EncryptedDocTest, EveryHandlerSavesEncryptedTheSameWay) {
    for (const Handler& h : kHandlers) {
        const std::string enc = EncryptAs("user", "owner", h.mode);
        ASSERT_FALSE(enc.empty()) << h.name;
        CPDFDoc* doc = Open(enc, "user");
        ASSERT_TRUE(doc) << h.name;
        CPDFObjRef secretRef;
        auto* secret = dynamic_cast<CPDFString*>(Catalog(doc)->GetObj(doc, "Secret", &secretRef));
        ASSERT_TRUE(secret && secret->Assign("Changed (secret)", 16));
        ASSERT_TRUE(doc->UpdateObj(secretRef));
        auto* contents = Contents(doc);
        ASSERT_TRUE(contents);
        ASSERT_TRUE(contents->SetData("0 0 m 1 1 l S\n", 14));
        contents->Detach("Filter");
        contents->Detach("DecodeParms");
        const std::string out = dir_.File("out.pdf");
        ASSERT_TRUE(doc->Save(out.c_str(), false, false)) << h.name;
        ASSERT_TRUE(doc->Flush()) << h.name << ": " << doc->GetLastError().GetFactor();
        for (const char* password : {"user", "owner"}) {
            const std::string what = std::string(h.name) + " " + password;
            const e2e::RunResult check =
                e2e::Run({"qpdf", "--check", std::string("--password=") + password, out});
            EXPECT_EQ(check.code, 0) << what << check.out << check.err;
            EXPECT_EQ(ShownEncryption(out, password), ShownEncryption(enc, password)) << what;
            const std::string flag = std::string(password) == "user" ? "-upw" : "-opw";
            EXPECT_EQ(e2e::Run({"pdfinfo", flag, password, out}).code, 0) << what;
            CPDFDoc* again = Open(out, password);
            ASSERT_TRUE(again) << what;
            EXPECT_EQ(Str(again, "Secret"), "Changed (secret)") << what;
            EXPECT_EQ(Decoded(Contents(again)), "0 0 m 1 1 l S\n") << what;
            EXPECT_EQ(Decoded(Catalog(again)->GetAs<CPDFStream>(again, "Big")), Noise(40000));
            EXPECT_EQ(Metadata(again), kXml) << what;
        }
        const std::string dec = dir_.File("dec.pdf");
        ASSERT_EQ(e2e::Run({"qpdf", "--password=owner", "--decrypt", out, dec}).code, 0);
        EXPECT_EQ(QpdfShow(dec, "", QpdfRefOf(dec, "", "Secret")), "(Changed \\(secret\\))\n");
        EXPECT_EQ(QpdfShow(dec, "", QpdfRefOf(dec, "", "Big"), true), Noise(40000));
        EXPECT_EQ(e2e::ReadBytes(out).find("clear metadata") != std::string::npos, h.clearMetadata)
            << h.name;
    }
}

// AES-256 passwords are tried as given, then with the simple part of
// SASLprep: a no-break space typed for a space still opens the file.
TEST_F(EncryptedDocTest, Aes256PasswordIsPreparedWhenItFailsAsGiven) {
    const std::string enc = EncryptAs("a b", "owner", {"256"});
    ASSERT_FALSE(enc.empty());
    std::string factor;
    EXPECT_TRUE(Open(enc,
                     "a\xC2\xA0"
                     "b",
                     &factor))
        << factor;
    EXPECT_TRUE(Open(enc, "a b"));
    EXPECT_FALSE(Open(enc, "ab", &factor));
    EXPECT_EQ(factor, "incorrect password");
}

}  // namespace
