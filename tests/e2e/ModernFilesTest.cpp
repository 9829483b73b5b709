// The job on files with cross-reference streams and object streams, as qpdf
// and ghostscript write them: pages as qpdf sees them, every object carried
// over with its number and value, output that qpdf accepts, and one
// destination per page.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/E2E.h"
#include "support/Fidelity.h"
#include "support/ScratchDir.h"

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
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
        // The header keeps the input's version; the trailer describes no stream.
        EXPECT_EQ(e2e::ReadBytes(out).substr(0, 8), bytes.substr(0, 8));
        const std::string trailer = e2e::QpdfObject(out, "trailer");
        for (const char* key : {"/Type", "/W ", "/Index", "/Filter", "/XRefStm", "/Length"})
            EXPECT_EQ(trailer.find(key), std::string::npos) << key << " in " << trailer;

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

}  // namespace
