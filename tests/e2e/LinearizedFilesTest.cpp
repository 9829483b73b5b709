// Linearized files of real producers: the parameters the library reads are
// those qpdf shows, the hint stream is found, and the job's output of them is
// a plain file that qpdf checks without a word about linearization.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/E2E.h"
#include "support/ScratchDir.h"

namespace {

// qpdf --show-linearization's header, as the probe prints it.
std::string QpdfParameters(const std::string& file) {
    const e2e::RunResult r = e2e::Run({"qpdf", "--show-linearization", file});
    std::map<std::string, std::string> v;
    for (const std::string& line : e2e::Lines(r.out)) {
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) v.emplace(line.substr(0, colon), line.substr(colon + 2));
    }
    return "L " + v["file_size"] + "\nO " + v["first_page_object"] + "\nE " + v["first_page_end"] +
           "\nN " + v["npages"] + "\nT " + v["xref_zero_offset"] + "\nH " + v["H_offset"] + " " +
           v["H_length"] + "\n";
}

TEST(LinearizedFilesTest, ParametersReadAndOutputPlain) {
    E2E_REQUIRE("qpdf");
    E2E_REQUIRE("gs");
    E2E_REQUIRE("pdfinfo");
    ScratchDir dir;
    const std::string gs = e2e::GhostscriptPdf(dir, "gs.pdf", 3);
    const std::string tex = std::string(SOURCE_DIR) + "/tests/data/producers/pdftex.pdf";
    ASSERT_FALSE(gs.empty());
    std::vector<std::pair<std::string, int>> inputs;
    for (const auto& [in, pages] : {std::pair{gs, 3}, std::pair{tex, 3}}) {
        const std::string base = dir.File(std::to_string(inputs.size()));
        inputs.emplace_back(
            e2e::QpdfRewrite(in, base + "q.pdf", {"--object-streams=disable", "--linearize"}),
            pages);
        const e2e::RunResult r =
            e2e::Run({"gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite",
                      "-dFastWebView=true", "-sOutputFile=" + base + "g.pdf", in});
        inputs.emplace_back(r.code == 0 ? base + "g.pdf" : "", pages);
    }
    for (const auto& [in, pages] : inputs) {
        SCOPED_TRACE(in);
        ASSERT_FALSE(in.empty());
        const e2e::RunResult probe = e2e::Run({PROBE_BIN, "--linearization", in});
        EXPECT_EQ(probe.code, 0);
        EXPECT_EQ(probe.out, QpdfParameters(in));
        EXPECT_EQ(probe.err, "");

        const std::string out = in + ".out.pdf";
        ASSERT_EQ(e2e::Linkpoint({in, out}).code, 0);
        std::string check;
        EXPECT_TRUE(e2e::QpdfCheck(out, &check)) << check;
        EXPECT_NE(check.find("File is not linearized"), std::string::npos) << check;
        EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
        EXPECT_EQ(e2e::Run({PROBE_BIN, "--linearization", out}).out, "not linearized\n");
        const std::vector<e2e::InfoDest> dests = e2e::PdfinfoDests(out);
        int perPage = 0;
        for (const e2e::InfoDest& d : dests)
            if (d.name == std::to_string(d.page)) ++perPage;
        EXPECT_EQ(perPage, pages);
    }
}

}  // namespace
