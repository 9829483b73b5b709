// Opening and saving encrypted documents built by hand: the encryption
// dictionary's forms and faults, decryption while reading, the exact bytes a
// save writes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pdf/file/CPDFDoc.h"
#include "pdf/file/CPDFEncryptDict.h"
#include "pdf/file/CPDFLib.h"
#include "pdf/file/CPDFTrailer.h"
#include "pdf/io/TempName.h"
#include "pdf/object/CPDFException.h"
#include "pdf/object/CPDFString.h"
#include "pdf/stream/CPDFStream.h"
#include "support/CryptTestUtil.h"
#include "support/OpenedPdf.h"
#include "support/PdfBuilder.h"
#include "support/ScratchDir.h"

using corvina::CPDFDoc;
using corvina::CPDFEncryptDict;
using corvina::CPDFException;
using corvina::CPDFLib;
using corvina::CPDFObjRef;
using corvina::CPDFStream;
using corvina::CPDFString;

namespace {

// Entries of a file encrypted elsewhere with the user password "user" and the
// owner password "owner"; the document key is 4d66e321e9.
const char kO[] = "94e8094419662a774442fb072e3d9f19e9d130ec09a4d0061e78fe920f7ab62f";
const char kU[] = "66849026789b286c1b07f0aaf5ca4e7dc0ef5a47a18b9f3b88379c147e395005";
const char kId[] = "160aca2c93729aef27e6a3a00c61aab8";
// "Hello secret" as object 4 and "Hi" as object 5 hold them under that key.
const char kSecret4[] = "9a0773901775b7d070162426";
const char kHi5[] = "\x8e\x71";

std::string Standard(const std::string& extra = "", const std::string& o = kO,
                     const std::string& p = "/P -4") {
    return "<< /Filter /Standard /V 1 /R 2 /O <" + o + "> /U <" + std::string(kU) + "> " + p + " " +
           extra + ">>";
}

// Catalog 1 holds /Secret 4 0 R and /Data 5 0 R; the encryption dictionary
// stands in the trailer (direct) or as object 6.
std::string Encrypted(const std::string& encrypt, bool direct) {
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R /Secret 4 0 R /Data 5 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .Obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>")
        .Obj(4, "<" + std::string(kSecret4) + ">")
        .Obj(5, "<< /Length 2 >>\nstream\n" + std::string(kHi5) + "\nendstream")
        .Root(1);
    const std::string id = "/ID [<" + std::string(kId) + "><" + kId + ">] ";
    if (direct) {
        pdf.TrailerExtra(id + "/Encrypt " + encrypt);
    } else {
        pdf.Obj(6, encrypt).TrailerExtra(id + "/Encrypt 6 0 R");
    }
    return pdf.Bytes();
}

class EncryptedDoc : public OpenedPdf {
public:
    using OpenedPdf::OpenedPdf;
    std::string Factor() const { return Error().GetFactor(); }
};

std::string Text(CPDFDoc* doc, int num) {
    auto* s = dynamic_cast<CPDFString*>(doc->GetObj(CPDFObjRef(num, 0)));
    return s ? std::string(s->Text(), s->Length()) : "<none>";
}

std::string Data(CPDFDoc* doc, int num) {
    auto* s = dynamic_cast<CPDFStream*>(doc->GetObj(CPDFObjRef(num, 0)));
    return s ? std::string(s->GetData(), s->GetDataLength()) : "<none>";
}

std::string Upper(std::string hex) {
    for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return hex;
}

TEST(CPDFDocEncrypt, DirectAndIndirectOpenWithEitherPassword) {
    for (bool direct : {true, false}) {
        for (const char* password : {"user", "owner"}) {
            EncryptedDoc opened(Encrypted(Standard(), direct), password);
            ASSERT_TRUE(opened.Doc()) << direct << password << ": " << opened.Factor();
            EXPECT_EQ(Text(opened.Doc(), 4), "Hello secret");
            EXPECT_EQ(Data(opened.Doc(), 5), "Hi");
            // The encryption dictionary itself is read plain.
            auto* encrypt =
                dynamic_cast<CPDFEncryptDict*>(opened.Doc()->GetTrailer()->Get_Encrypt());
            ASSERT_NE(encrypt, nullptr);
            ASSERT_NE(encrypt->Get_U(), nullptr);
            EXPECT_EQ(static_cast<unsigned char>(encrypt->Get_U()->Text()[0]), 0x66);
        }
    }
}

TEST(CPDFDocEncrypt, RefusalsAreUserErrorsOfOpen) {
    struct Case {
        std::string encrypt;
        const char* password;
        const char* factor;
    };
    const std::string o31 = std::string(kO).substr(0, 62);
    const Case cases[] = {
        {Standard(), nullptr, "encrypted document: a password is needed"},
        {Standard(), "", "incorrect password"},
        {Standard(), "guess", "incorrect password"},
        {Standard("/V 2"), "user", "invalid security handler"},
        {"<< /Filter /Standard /V 1 /R 7 /O <" + std::string(kO) + "> /U <" + kU + "> /P -4 >>",
         "user", "invalid security handler"},
        {Standard("", o31), "user", "invalid security handler"},
        {Standard("", kO, ""), "user", "invalid security handler"},
        {Standard("", kO, "/P (x)"), "user", "invalid security handler"},
        {"<< /Filter (Standard) /V 1 /R 2 /O <" + std::string(kO) + "> /U <" + kU + "> /P -4 >>",
         "user", "invalid security handler"},
        {"<< /Filter /Other /V 1 /R 2 /P -4 >>", nullptr, "invalid security handler"},
    };
    for (const Case& c : cases) {
        for (bool direct : {true, false}) {
            EncryptedDoc opened(Encrypted(c.encrypt, direct), c.password);
            EXPECT_EQ(opened.Doc(), nullptr) << c.encrypt;
            EXPECT_EQ(opened.Factor(), c.factor) << c.encrypt << " direct " << direct;
            EXPECT_STREQ(opened.Error().GetModule(), "CPDFDoc");
            EXPECT_STREQ(opened.Error().GetMethod(), "Open");
            EXPECT_EQ(opened.Error().GetType(), CPDFException::UserError);
        }
    }
}

// What a save writes, byte for byte: objects nobody changed as the encrypted
// bytes they were, the encryption dictionary as it was; a changed string
// encrypted again under its own reference.
TEST(CPDFDocEncrypt, SaveWritesTheSameCipherAndAPlainEncryptDict) {
    EncryptedDoc opened(Encrypted(Standard(), false), "user");
    CPDFDoc* doc = opened.Doc();
    ASSERT_TRUE(doc);
    EXPECT_EQ(Text(doc, 4), "Hello secret");
    const std::string out = opened.Dir().File("out.pdf");
    std::string first;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(doc->Save(out.c_str(), false, false));
        ASSERT_TRUE(doc->Flush()) << doc->GetLastError().GetFactor();
        const std::string bytes = ScratchDir::Read(out);
        EXPECT_NE(bytes.find("4 0 obj\n<" + std::string(kSecret4) + ">\nendobj"),
                  std::string::npos);
        EXPECT_NE(bytes.find("stream\n" + std::string(kHi5) + "\nendstream"), std::string::npos);
        EXPECT_NE(bytes.find("/O <" + std::string(kO) + ">"), std::string::npos);
        EXPECT_NE(bytes.find("/U <" + std::string(kU) + ">"), std::string::npos);
        // Written twice from the plain value: the same bytes both times.
        if (round == 0) first = bytes.substr(bytes.find("4 0 obj"), 40);
        EXPECT_EQ(bytes.substr(bytes.find("4 0 obj"), 40), first);
        // Values in memory stay plain, and the saved file reads back with the
        // key that wrote it.
        EXPECT_EQ(Text(doc, 4), "Hello secret");
        doc->UnloadObj(CPDFObjRef(4, 0));
        EXPECT_EQ(Text(doc, 4), "Hello secret");
    }
}

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (unsigned char c : bytes) {
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

TEST(CPDFDocEncrypt, AChangedStringIsEncryptedUnderItsObjectKey) {
    // Object 4's key context under the document key 4d66e321e9.
    const unsigned char context[10] = {0x4d, 0x66, 0xe3, 0x21, 0xe9, 4, 0, 0, 0, 0};
    const corvina::detail::ObjectCrypt crypt = corvina::testing::Rc4Context(context);
    auto cipher = [&](std::string text) {
        corvina::testing::CryptObjectData(crypt, reinterpret_cast<unsigned char*>(text.data()),
                                          static_cast<int>(text.size()));
        return Hex(text);
    };
    // The file made elsewhere holds what the derivation gives.
    EXPECT_EQ(cipher("Hello secret"), Upper(kSecret4));

    EncryptedDoc opened(Encrypted(Standard(), false), "owner");
    CPDFDoc* doc = opened.Doc();
    ASSERT_TRUE(doc);
    auto* secret = dynamic_cast<CPDFString*>(doc->GetObj(CPDFObjRef(4, 0)));
    ASSERT_TRUE(secret && secret->Assign("Changed", 7));
    ASSERT_TRUE(doc->UpdateObj(CPDFObjRef(4, 0)));
    const std::string out = opened.Dir().File("out.pdf");
    ASSERT_TRUE(doc->Save(out.c_str(), false, false));
    ASSERT_TRUE(doc->Flush()) << doc->GetLastError().GetFactor();
    const std::string bytes = ScratchDir::Read(out);
    EXPECT_NE(bytes.find("4 0 obj\r\n<" + cipher("Changed") + ">\r\nendobj"), std::string::npos);
    EXPECT_NE(bytes.find("stream\n" + std::string(kHi5) + "\nendstream"), std::string::npos);
}

// Entries out of their bounds end the open with a clear InvalidFormat,
// before any password is tried.
TEST(CPDFDocEncrypt, EntriesOutOfBoundsAreRefusedClearly) {
    const std::string ou = "/O <" + std::string(kO) + "> /U <" + kU + "> /P -4 ";
    const std::string ou48 = "/O <" + std::string(kO) + "0102030405060708090a0b0c0d0e0f10> /U <" +
                             kU + "0102030405060708090a0b0c0d0e0f10> /P -4 ";
    struct Case {
        std::string encrypt;
        const char* factor;
    };
    const Case cases[] = {
        {"<< /Filter /Standard /V 2 /R 3 /Length 12 " + ou + ">>", "Length 12"},
        {"<< /Filter /Standard /V 2 /R 3 /Length 256 " + ou + ">>", "Length 256"},
        {"<< /Filter /Standard /V 2 /R 3 /Length 1000000 " + ou + ">>", "Length 1000000"},
        {"<< /Filter /Standard /V 2 /R 3 /Length 44 " + ou + ">>", "Length 44"},
        {"<< /Filter /Standard /V 4 /R 4 /StmF /Foo /StrF /StdCF /CF << /StdCF << /CFM /V2 >> >> " +
             ou + ">>",
         "crypt filter Foo missing"},
        {"<< /Filter /Standard /V 4 /R 4 /StmF /StdCF /StrF /StdCF " + ou + ">>",
         "crypt filter StdCF missing"},
        {"<< /Filter /Standard /V 4 /R 4 /StmF /StdCF /StrF /StdCF /CF << /StdCF << /CFM /StdCF "
         ">> >> " +
             ou + ">>",
         "CFM StdCF"},
        {"<< /Filter /Standard /V 4 /R 4 /StmF /StdCF /StrF /StdCF /CF << /StdCF << /CFM /AESV3 "
         ">> >> " +
             ou + ">>",
         "CFM AESV3"},
        {"<< /Filter /Standard /V 5 /R 6 /StmF /StdCF /StrF /StdCF /CF << /StdCF << /CFM /AESV3 "
         ">> >> " +
             ou48 + ">>",
         "OE"},
        {"<< /Filter /Standard /V 5 /R 6 /OE <00> /UE <00> /Perms <00> " + ou48 + ">>", "OE"},
    };
    for (const Case& c : cases) {
        EncryptedDoc opened(Encrypted(c.encrypt, false), "user");
        EXPECT_EQ(opened.Doc(), nullptr) << c.encrypt;
        EXPECT_EQ(opened.Factor(), std::string("invalid encryption dictionary: ") + c.factor)
            << c.encrypt;
        EXPECT_STREQ(opened.Error().GetMethod(), "Open");
        EXPECT_EQ(opened.Error().GetType(), CPDFException::InvalidFormat) << c.encrypt;
    }
}

}  // namespace
