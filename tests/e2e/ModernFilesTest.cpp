// The job on files with cross-reference streams and object streams, as qpdf
// and ghostscript write them: pages as qpdf sees them, every object carried
// over with its number and value, output that qpdf accepts, and one
// destination per page. An input that used object streams comes out compact
// (object streams and a cross-reference stream), no larger than it went in
// but for what the job adds; any other keeps its classic table.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/E2E.h"
#include "support/Fidelity.h"
#include "support/PdfBuilder.h"
#include "support/ScratchDir.h"

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

// Entries `qpdf --show-xref` lists as kept in an object stream.
int CompressedEntries(const std::string& file, const std::string& password = "") {
    std::vector<std::string> argv = {"qpdf"};
    if (!password.empty()) argv.push_back("--password=" + password);
    argv.insert(argv.end(), {"--show-xref", file});
    const e2e::RunResult r = e2e::Run(argv);
    int n = 0;
    for (size_t at = 0; (at = r.out.find(": compressed;", at)) != std::string::npos; ++at) ++n;
    return n;
}

class ModernFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2e::Have("qpdf")) GTEST_SKIP() << "qpdf is not installed";
    }
    std::string Shipped(const std::string& name) {
        return dir_.Write(
            name, e2e::ReadBytes(std::string(SOURCE_DIR) + "/tests/data/producers/" + name));
    }
    // The checks every modern input gets.
    void ExpectJobDone(const std::string& in, bool streams = true) {
        ASSERT_FALSE(in.empty()) << "the producer failed";
        const std::string bytes = e2e::ReadBytes(in);
        if (streams) {
            ASSERT_NE(bytes.find("/XRef"), std::string::npos) << in;
        }
        const auto pages = e2e::QpdfPages(in);
        ASSERT_FALSE(pages.empty());
        const e2e::Probe before = e2e::RunProbe(in);
        ASSERT_TRUE(before.ok) << before.run.out;
        EXPECT_EQ(before.pageRefs, pages);

        const std::string out = in + ".out.pdf";
        const e2e::RunResult r = e2e::Linkpoint({in, out});
        ASSERT_EQ(r.code, 0) << r.out;
        std::string check;
        EXPECT_TRUE(e2e::QpdfCheck(out, &check)) << check;
        EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
        EXPECT_EQ(e2e::QpdfPages(out), pages);
        EXPECT_EQ(Joined(e2e::JobDifferences(in, out)), "");
        // The header keeps the input's version. Objects that were in object
        // streams are in object streams again, with a cross-reference stream;
        // otherwise the trailer describes no stream.
        EXPECT_EQ(e2e::ReadBytes(out).substr(0, 8), bytes.substr(0, 8));
        const std::string trailer = e2e::QpdfObject(out, "trailer");
        const int packedIn = CompressedEntries(in);
        if (packedIn > 0) {
            EXPECT_NE(trailer.find("/Type /XRef"), std::string::npos) << trailer;
            EXPECT_EQ(trailer.find("/XRefStm"), std::string::npos) << trailer;
            EXPECT_GE(CompressedEntries(out), packedIn);
        } else {
            for (const char* key : {"/Type", "/W ", "/Index", "/Filter", "/XRefStm", "/Length"})
                EXPECT_EQ(trailer.find(key), std::string::npos) << key << " in " << trailer;
        }

        bool ok = false;
        std::set<std::string> perPage;
        for (const auto& d : e2e::PdfinfoDests(out, &ok))
            if (d.name == std::to_string(d.page)) perPage.insert(d.name);
        EXPECT_TRUE(ok);
        EXPECT_EQ(perPage.size(), pages.size());
    }
    ScratchDir dir_;
};

TEST_F(ModernFilesTest, QpdfObjectStreamsGenerated) {
    for (const char* name : {"pdftex.pdf", "libreoffice.pdf", "chromium.pdf"}) {
        SCOPED_TRACE(name);
        ExpectJobDone(e2e::QpdfRewrite(Shipped(name), dir_.File(std::string("gen-") + name),
                                       {"--object-streams=generate"}));
    }
}

TEST_F(ModernFilesTest, QpdfObjectStreamsPreservedAndStreamsCompressed) {
    const std::string gen = e2e::QpdfRewrite(Shipped("libreoffice.pdf"), dir_.File("gen.pdf"),
                                             {"--object-streams=generate"});
    ExpectJobDone(e2e::QpdfRewrite(gen, dir_.File("preserve.pdf"),
                                   {"--object-streams=preserve", "--compress-streams=y"}));
    const std::string plain =
        e2e::QpdfRewrite(Shipped("pdftex.pdf"), dir_.File("plain.pdf"),
                         {"--object-streams=disable", "--stream-data=uncompress"});
    ExpectJobDone(e2e::QpdfRewrite(plain, dir_.File("compressed.pdf"),
                                   {"--object-streams=generate", "--compress-streams=y"}));
}

TEST_F(ModernFilesTest, GhostscriptAtVersionOneFive) {
    E2E_REQUIRE("gs");
    const std::string ps =
        dir_.Write("p.ps",
                   "%!PS\n/Helvetica findfont 24 scalefont setfont\n"
                   "1 1 4 { 72 700 moveto (Page ) show 8 string cvs show showpage } for\n");
    const std::string out = dir_.File("gs15.pdf");
    const e2e::RunResult r =
        e2e::Run({"gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite",
                  "-dCompatibilityLevel=1.5", "-o", out, ps});
    ASSERT_EQ(r.code, 0) << r.err;
    // Ghostscript 10.0 writes a classic table even at 1.5; a later one writes streams.
    ExpectJobDone(out, e2e::ReadBytes(out).find("/XRef") != std::string::npos);
    // Its file through qpdf's object streams too.
    ExpectJobDone(e2e::QpdfRewrite(out, dir_.File("gs15-gen.pdf"), {"--object-streams=generate"}));
}

TEST_F(ModernFilesTest, ObjectStreamsOfQpdfStayCompact) {
    // A few destinations and a name tree cost well under 2% of these files.
    for (const char* name : {"pdftex.pdf", "libreoffice.pdf", "chromium.pdf"}) {
        SCOPED_TRACE(name);
        const std::string in = e2e::QpdfRewrite(Shipped(name), dir_.File(std::string("c-") + name),
                                                {"--object-streams=generate"});
        ASSERT_GT(CompressedEntries(in), 0);
        ExpectJobDone(in);
        const long before = static_cast<long>(e2e::ReadBytes(in).size());
        const long after = static_cast<long>(e2e::ReadBytes(in + ".out.pdf").size());
        EXPECT_LE(after, before + before / 50) << before << " -> " << after;
    }
}

TEST_F(ModernFilesTest, ClassicInputsKeepTheirTable) {
    // These producers write classic tables: so does the rewrite.
    for (const char* name : {"pdftex.pdf", "libreoffice.pdf", "chromium.pdf"}) {
        SCOPED_TRACE(name);
        const std::string in = Shipped(name);
        ASSERT_EQ(CompressedEntries(in), 0);
        ExpectJobDone(in, false);
        EXPECT_EQ(CompressedEntries(in + ".out.pdf"), 0);
        EXPECT_EQ(e2e::ReadBytes(in + ".out.pdf").find("/ObjStm"), std::string::npos);
    }
}

TEST_F(ModernFilesTest, ManySmallObjectsStaySmall) {
    // Thousands of one-word objects, as qpdf packs them: written one by one
    // they would take the file from a few kilobytes to hundreds.
    PdfBuilder b = PdfBuilder::OnePage();
    std::string kids;
    for (int n = 10; n < 5010; ++n) {
        b.Obj(n, "[" + std::to_string(n) + "]");
        kids += std::to_string(n) + " 0 R ";
    }
    b.Obj(4, "[" + kids + "]");
    b.Obj(1, "<< /Type /Catalog /Pages 2 0 R /Extra 4 0 R >>");
    const std::string plain = dir_.Write("small.pdf", b.Bytes());
    const std::string in =
        e2e::QpdfRewrite(plain, dir_.File("small-gen.pdf"), {"--object-streams=generate"});
    ExpectJobDone(in);
    const long before = static_cast<long>(e2e::ReadBytes(in).size());
    const long after = static_cast<long>(e2e::ReadBytes(in + ".out.pdf").size());
    EXPECT_LE(after, before + before / 50 + 1024) << before << " -> " << after;
    EXPECT_GE(CompressedEntries(in + ".out.pdf"), 5000);
}

TEST_F(ModernFilesTest, EncryptedObjectStreamsStayCompact) {
    // The object streams are encrypted as streams; what they hold is not
    // encrypted again, and the cross-reference stream never is.
    const std::string plain = Shipped("libreoffice.pdf");
    for (const char* bits : {"128", "256"}) {
        SCOPED_TRACE(bits);
        const std::string in =
            e2e::QpdfRewrite(plain, dir_.File(std::string("enc") + bits + ".pdf"),
                             {"--allow-weak-crypto", "--object-streams=generate", "--encrypt", "u",
                              "o", bits, "--"});
        ASSERT_FALSE(in.empty());
        const std::string out = in + ".out.pdf";
        const e2e::RunResult r = e2e::Linkpoint({in, out, "-pw", "u"});
        ASSERT_EQ(r.code, 0) << r.out;
        const e2e::RunResult check = e2e::Run({"qpdf", "--password=u", "--check", out});
        EXPECT_EQ(check.code, 0) << check.out << check.err;
        EXPECT_EQ(check.out.find("WARNING"), std::string::npos) << check.out;
        EXPECT_NE(e2e::Run({"qpdf", "--password=u", "--show-encryption", out}).out.find("R = "),
                  std::string::npos);
        EXPECT_GE(CompressedEntries(out, "u"), CompressedEntries(in, "u"));
        // Compared in the clear, object by object.
        EXPECT_EQ(Joined(e2e::JobDifferences(in, out, false, "u")), "");
        const long before = static_cast<long>(e2e::ReadBytes(in).size());
        EXPECT_LE(static_cast<long>(e2e::ReadBytes(out).size()), before + before / 50);
    }
}

}  // namespace
