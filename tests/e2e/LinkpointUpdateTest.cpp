// -i: the job's changes appended as an incremental update. The input's bytes
// stay a byte-exact prefix of the output, the newest section keeps the form
// of the input's newest one, and qpdf, poppler, MuPDF and this library read
// the result. Signed documents keep valid signatures only this way.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>

#include <string>
#include <vector>

#include "support/E2E.h"
#include "support/E2EPdf.h"

namespace {

using e2e::RunResult;

std::string Pad10(long v) {
    std::string s = std::to_string(v);
    return std::string(10 - s.size(), '0') + s;
}

// A hybrid file: a classic table whose trailer names a cross-reference
// stream (/XRefStm) for the font kept in an object stream.
std::string Hybrid() {
    std::string file = "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
    long at[8] = {};
    auto put = [&](int num, const std::string& body) {
        at[num] = static_cast<long>(file.size());
        file += std::to_string(num) + " 0 obj\n" + body + "\nendobj\n";
    };
    put(1, "<< /Type /Catalog /Pages 2 0 R >>");
    put(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>");
    put(3,
        "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 6 0 R "
        ">>");
    const std::string header = "5 0 ";
    const std::string stm = header + "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>\n";
    put(4, "<< /Type /ObjStm /N 1 /First " + std::to_string(header.size()) + " /Length " +
               std::to_string(stm.size()) + " >>\nstream\n" + stm + "\nendstream");
    put(6, "<< /Length 34 >>\nstream\nBT /F1 12 Tf 72 720 Td (Hi) Tj ET\n\nendstream");
    const std::string rows("\x02\x00\x00\x00\x04\x00\x00", 7);
    put(7, "<< /Type /XRef /W [1 4 2] /Index [5 1] /Size 8 /Length 7 >>\nstream\n" + rows +
               "\nendstream");
    const long xref = static_cast<long>(file.size());
    file += "xref\n0 8\n0000000000 65535 f \n";
    for (int n = 1; n <= 7; ++n)
        file += n == 5 ? "0000000000 65535 f \n" : Pad10(at[n]) + " 00000 n \n";
    file += "trailer\n<< /Size 8 /Root 1 0 R /XRefStm " + std::to_string(at[7]) +
            " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return file;
}

class LinkpointUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* p : {"qpdf", "pdfinfo", "mutool", "groff"})
            if (!e2e::Have(p)) GTEST_SKIP() << p << " is not installed";
    }

    // A 3-page classic file from groff, and its forms through qpdf.
    std::string Classic() { return e2e::GroffPdf(dir_, "classic.pdf", 3); }
    std::string Qpdf(const std::string& name, const std::vector<std::string>& args) {
        const std::string out = dir_.File(name);
        std::vector<std::string> argv{"qpdf"};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.push_back(Classic());
        argv.push_back(out);
        const RunResult r = e2e::Run(argv);
        return r.code == 0 ? out : "";
    }

    // Runs -i on in into out and checks what every update must be. Returns
    // the log.
    std::string ExpectUpdate(const std::string& in, const std::string& out, bool streamSection,
                             int names, const std::vector<std::string>& extra = {}) {
        SCOPED_TRACE(in);
        const std::string before = e2e::ReadBytes(in);
        const std::string kept = dir_.Write("kept.bytes", before);
        std::vector<std::string> args{"-i", in, out};
        args.insert(args.end(), extra.begin(), extra.end());
        const RunResult r = e2e::Linkpoint(args);
        EXPECT_EQ(r.code, 0) << r.out << r.err;
        const std::string after = e2e::ReadBytes(out);
        EXPECT_GT(after.size(), before.size());
        const RunResult cmp = e2e::Run({"cmp", "-n", std::to_string(before.size()), kept, out});
        EXPECT_EQ(cmp.code, 0) << "the old revision moved: " << cmp.out;
        if (in != out) {
            EXPECT_EQ(e2e::ReadBytes(in), before);
        }
        const std::string update = after.substr(before.size());
        EXPECT_EQ(update.find("/Type /XRef") != std::string::npos, streamSection) << update;
        EXPECT_EQ(update.find("\nxref") != std::string::npos, !streamSection);
        EXPECT_NE(update.find("/Prev"), std::string::npos);

        std::string check;
        EXPECT_TRUE(e2e::QpdfCheck(out, &check)) << check;
        EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
        bool ok = false;
        EXPECT_EQ(e2e::PdfinfoDests(out, &ok).size(), static_cast<size_t>(names));
        EXPECT_TRUE(ok);
        const RunResult mu = e2e::Run({"mutool", "info", out});
        EXPECT_EQ(mu.code, 0) << mu.err;
        EXPECT_EQ(mu.err.find("error"), std::string::npos) << mu.err;
        const e2e::Probe probe = e2e::RunProbe(out);
        EXPECT_TRUE(probe.ok) << probe.run.out;
        EXPECT_EQ(probe.dests.size(), static_cast<size_t>(names));
        // Nothing is left beside the output.
        EXPECT_EQ(e2e::Entries(dir_.Path(), "cv"), std::vector<std::string>{});
        return r.out;
    }

    ScratchDir dir_;
};

TEST_F(LinkpointUpdateTest, EveryFormGetsAnUpdateOfItsOwnKind) {
    const std::string classic = Classic();
    ASSERT_FALSE(classic.empty());
    ExpectUpdate(classic, dir_.File("classic.out.pdf"), false, 3);

    const std::string streams = Qpdf("streams.pdf", {"--object-streams=generate"});
    ASSERT_FALSE(streams.empty());
    ExpectUpdate(streams, dir_.File("streams.out.pdf"), true, 3);

    const std::string hybrid = dir_.Write("hybrid.pdf", Hybrid());
    ExpectUpdate(hybrid, dir_.File("hybrid.out.pdf"), false, 1);

    // An update of an update: the chain grows by one section.
    const std::string twice = dir_.File("twice.pdf");
    ExpectUpdate(dir_.File("streams.out.pdf"), twice, true, 6, {"-fm", "again%d"});
}

TEST_F(LinkpointUpdateTest, LinearizedInputStaysReadableAndTheLogSaysItIsStale) {
    const std::string lin = Qpdf("lin.pdf", {"--linearize"});
    ASSERT_FALSE(lin.empty());
    const std::string log = ExpectUpdate(lin, dir_.File("lin.out.pdf"), false, 3);
    EXPECT_NE(
        log.find("Notice: the linearization of " + lin + " is stale after an incremental update"),
        std::string::npos)
        << log;
}

TEST_F(LinkpointUpdateTest, InPlaceTheInputIsReplacedByItsUpdatedCopy) {
    const std::string in = Classic();
    ASSERT_FALSE(in.empty());
    const std::string before = e2e::ReadBytes(in);
    // A second link to the input keeps the old file: the update is a new
    // file renamed over the name, never the old one written into.
    const std::string link = dir_.File("old.pdf");
    ASSERT_EQ(::link(in.c_str(), link.c_str()), 0);
    ExpectUpdate(in, in, false, 3);
    EXPECT_EQ(e2e::ReadBytes(link), before);
}

TEST_F(LinkpointUpdateTest, AnUpdateIntoAPipeIsTheWholeFile) {
    const std::string in = Classic();
    ASSERT_FALSE(in.empty());
    const std::string out = dir_.File("piped.pdf");
    const RunResult r = e2e::Run({"sh", "-c",
                                  std::string(LINKPOINT_BIN) + " -i -l '' \"$0\" /dev/stdout | cat "
                                                               ">\"$1\"",
                                  in, out});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string before = e2e::ReadBytes(in);
    EXPECT_EQ(e2e::ReadBytes(out).compare(0, before.size(), before), 0);
    EXPECT_TRUE(e2e::QpdfCheck(out));
    EXPECT_EQ(e2e::PdfinfoDests(out).size(), 3u);
}

TEST_F(LinkpointUpdateTest, EncryptedInputGetsAnEncryptedUpdate) {
    const std::string plain = Classic();
    ASSERT_FALSE(plain.empty());
    const std::string enc = dir_.File("enc.pdf");
    ASSERT_EQ(e2e::Run({"qpdf", "--encrypt", "user", "owner", "256", "--", plain, enc}).code, 0);
    const std::string out = dir_.File("enc.out.pdf");
    const RunResult r = e2e::Linkpoint({"-i", "-pw", "owner", enc, out});
    ASSERT_EQ(r.code, 0) << r.out;
    const std::string before = e2e::ReadBytes(enc);
    EXPECT_EQ(e2e::ReadBytes(out).compare(0, before.size(), before), 0);
    const RunResult check = e2e::Run({"qpdf", "--check", "--password=user", out});
    EXPECT_EQ(check.code, 0) << check.out << check.err;
    const RunResult dests = e2e::Run({"pdfinfo", "-upw", "user", "-dests", out});
    EXPECT_EQ(dests.code, 0);
    EXPECT_NE(dests.out.find("\"3\""), std::string::npos) << dests.out;
    // The appended strings are encrypted with the document's key: none is
    // in clear, and qpdf decrypts the producer.
    const std::string update = e2e::ReadBytes(out).substr(before.size());
    EXPECT_EQ(update.find("(corvina)"), std::string::npos);
    EXPECT_EQ(update.find("(1)"), std::string::npos);
    const RunResult info = e2e::Run({"pdfinfo", "-upw", "user", out});
    EXPECT_NE(info.out.find("Producer:        corvina"), std::string::npos) << info.out;
}

TEST_F(LinkpointUpdateTest, ASecondRunOnTheSameFileFailsAtOnce) {
    const std::string in = Classic();
    ASSERT_FALSE(in.empty());
    const std::string before = e2e::ReadBytes(in);
    const int fd = ::open(in.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const RunResult r = e2e::Linkpoint({in});
    ::close(fd);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("%%[ Error: cannot lock PDF Document: " + in + " ]%%"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Factor: another run is working on this file"), std::string::npos);
    EXPECT_EQ(e2e::ReadBytes(in), before);
    EXPECT_EQ(e2e::Entries(dir_.Path(), "cv"), std::vector<std::string>{});
    // Released, the same run goes through.
    EXPECT_EQ(e2e::Linkpoint({in}).code, 0);
}

// ---- Signed documents -------------------------------------------------------

class LinkpointSignedTest : public LinkpointUpdateTest {
protected:
    // A document signed by pdfsig with a self-signed certificate from a
    // fresh NSS database; "" (with why set) when this machine cannot sign.
    std::string Signed(std::string* why) {
        for (const char* p : {"certutil", "pdfsig"}) {
            if (!e2e::Have(p)) {
                *why = std::string(p) + " is not installed";
                return "";
            }
        }
        const std::string db = dir_.File("nss");
        if (::mkdir(db.c_str(), 0700) != 0) return "";
        nss_ = "sql:" + db;
        const std::string noise = dir_.Write("noise", std::string(2048, 'n') + dir_.Path());
        RunResult r = e2e::Run({"certutil", "-N", "-d", nss_, "--empty-password"});
        if (r.code == 0)
            r = e2e::Run({"certutil",
                          "-S",
                          "-x",
                          "-n",
                          "signer",
                          "-s",
                          "CN=Test Signer",
                          "-t",
                          "CT,C,C",
                          "-k",
                          "rsa",
                          "-g",
                          "2048",
                          "-Z",
                          "SHA256",
                          "-v",
                          "12",
                          "--keyUsage",
                          "digitalSignature,nonRepudiation",
                          "-d",
                          nss_,
                          "-z",
                          noise});
        const std::string in = Classic();
        const std::string out = dir_.File("signed.pdf");
        if (r.code == 0 && !in.empty())
            r = e2e::Run({"pdfsig", "-add-signature", "-nssdir", nss_, "-nick", "signer", in, out});
        if (r.code != 0 || !e2e::Exists(out) || !Valid(out)) {
            *why = "signing failed here: " + r.out + r.err;
            return "";
        }
        return out;
    }
    bool Valid(const std::string& file) {
        const RunResult r = e2e::Run({"pdfsig", "-nssdir", nss_, file});
        return r.out.find("Signature Validation: Signature is Valid.") != std::string::npos &&
               r.out.find("Digest Mismatch") == std::string::npos;
    }
    std::string nss_;
};

TEST_F(LinkpointSignedTest, ASignedDocumentIsOnlyUpdated) {
    std::string why;
    const std::string in = Signed(&why);
    if (in.empty()) GTEST_SKIP() << why;
    const std::string before = e2e::ReadBytes(in);

    // A full rewrite would move every signed byte: refused, nothing written.
    const RunResult full = e2e::Linkpoint({in, dir_.File("full.pdf")});
    EXPECT_EQ(full.code, 1);
    EXPECT_NE(full.out.find("%%[ Error: cannot change PDF Document: " + in + " ]%%"),
              std::string::npos)
        << full.out;
    EXPECT_NE(full.out.find("use -i to append an incremental update"), std::string::npos);
    EXPECT_FALSE(e2e::Exists(dir_.File("full.pdf")));
    EXPECT_EQ(e2e::Linkpoint({in}).code, 1);
    EXPECT_EQ(e2e::ReadBytes(in), before);

    const std::string out = dir_.File("updated.pdf");
    ExpectUpdate(in, out, false, 3);
    EXPECT_TRUE(Valid(out)) << e2e::Run({"pdfsig", "-nssdir", nss_, out}).out;
    // In place as well.
    ExpectUpdate(in, in, false, 3);
    EXPECT_TRUE(Valid(in));
}

// The structure of a certification that allows no change: the catalog's
// Perms names a signature whose reference says DocMDP with P 1. Its bytes
// are not a real signature (no tool here certifies), which the check does
// not need.
TEST_F(LinkpointUpdateTest, ACertificationAllowingNoChangeIsRefusedEvenWithI) {
    const std::string sig =
        "<< /Type /Sig /Filter /Adobe.PPKLite /SubFilter /adbe.pkcs7.detached /ByteRange [0 0 0 "
        "0] /Contents <00> /Reference [<< /Type /SigRef /TransformMethod /DocMDP /TransformParams "
        "<< /Type /TransformParams /P 1 /V /1.2 >> >>] >>";
    for (int p : {1, 2}) {
        SCOPED_TRACE(p);
        std::string body = sig;
        if (p == 2) body.replace(body.find("/P 1"), 4, "/P 2");
        std::string file = "%PDF-1.7\n";
        std::vector<long> at;
        auto put = [&](const std::string& text) {
            at.push_back(static_cast<long>(file.size()));
            file += std::to_string(at.size()) + " 0 obj\n" + text + "\nendobj\n";
        };
        put("<< /Type /Catalog /Pages 2 0 R /Perms << /DocMDP 4 0 R >> /AcroForm << /Fields [5 0 "
            "R] /SigFlags 3 >> >>");
        put("<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 612 792] >>");
        put("<< /Type /Page /Parent 2 0 R /Annots [5 0 R] >>");
        put(body);
        put("<< /FT /Sig /T (Cert) /V 4 0 R /Type /Annot /Subtype /Widget /Rect [0 0 0 0] /P 3 0 "
            "R >>");
        const long xref = static_cast<long>(file.size());
        file += "xref\n0 6\n0000000000 65535 f \n";
        for (long a : at) file += Pad10(a) + " 00000 n \n";
        file +=
            "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        const std::string in = dir_.Write("cert" + std::to_string(p) + ".pdf", file);
        const RunResult r = e2e::Linkpoint({"-i", in, dir_.File("out.pdf")});
        if (p == 1) {
            EXPECT_EQ(r.code, 1);
            EXPECT_NE(r.out.find("Factor: the document is certified with a signature that allows "
                                 "no changes"),
                      std::string::npos)
                << r.out;
            EXPECT_FALSE(e2e::Exists(dir_.File("out.pdf")));
        } else {
            EXPECT_EQ(r.code, 0) << r.out;
            std::remove(dir_.File("out.pdf").c_str());
            // Without -i it is a signed document like any other.
            EXPECT_EQ(e2e::Linkpoint({in, dir_.File("out.pdf")}).code, 1);
        }
        EXPECT_EQ(e2e::ReadBytes(in), file);
    }
}

}  // namespace
