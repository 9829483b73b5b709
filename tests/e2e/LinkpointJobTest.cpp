// The named-destination job run through the binary: which names it writes,
// where they point, and what independent readers make of the output.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/E2E.h"
#include "support/E2EPdf.h"
#include "support/PdfBuilder.h"

namespace {

using e2e::Linkpoint;
using e2e::RunProbe;
using e2e::RunResult;
using Names = std::vector<std::string>;

Names Numbers(int first, int last) {
    Names names;
    for (int p = first; p <= last; ++p) names.push_back(std::to_string(p));
    return names;
}

// Every named destination pdfinfo lists must be expected, on its page, with
// its view; every expected one must be listed.
void ExpectDests(const std::string& file,
                 const std::map<std::string, std::pair<int, std::string>>& expected) {
    bool ok = false;
    const auto dests = e2e::PdfinfoDests(file, &ok);
    ASSERT_TRUE(ok) << file;
    std::map<std::string, std::pair<int, std::string>> seen;
    for (const auto& d : dests) seen[d.name] = {d.page, d.view};
    EXPECT_EQ(seen, expected);
}

// Names 1..n on pages 1..n with the default view.
std::map<std::string, std::pair<int, std::string>> DefaultDests(int pages) {
    std::map<std::string, std::pair<int, std::string>> dests;
    for (int p = 1; p <= pages; ++p) dests[std::to_string(p)] = {p, "XYZ null null null"};
    return dests;
}

// The object a probed destination names.
std::string DestObject(const std::string& file, const e2e::ProbeDest& d) {
    return e2e::QpdfObject(file, std::to_string(d.num) + "," + std::to_string(d.gen));
}

// The Dests root: one node holding every name, no Kids, no Limits.
void ExpectSingleNode(const std::string& file) {
    const std::string root = e2e::QpdfFollow(file, {"Root", "Names", "Dests"});
    ASSERT_NE(root, "") << file;
    EXPECT_NE(root.find("/Names ["), std::string::npos) << root;
    EXPECT_EQ(root.find("/Kids"), std::string::npos) << root;
    EXPECT_EQ(root.find("/Limits"), std::string::npos) << root;
}

class LinkpointJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2e::Have("qpdf") || !e2e::Have("pdfinfo")) GTEST_SKIP() << "qpdf or pdfinfo missing";
    }
    // Runs the job from in to out and expects success with the given notices.
    RunResult Job(const std::string& in, const std::string& out,
                  std::vector<std::string> options = {},
                  const std::vector<std::string>& notices = {}) {
        std::vector<std::string> args = {in, out};
        args.insert(args.end(), options.begin(), options.end());
        RunResult r = Linkpoint(args);
        EXPECT_EQ(r.code, 0) << r.out << r.err;
        EXPECT_EQ(e2e::CheckSuccessLog(r.out, in, out, notices), "");
        EXPECT_EQ(r.err, "");
        if (check_) {
            std::string check;
            EXPECT_TRUE(e2e::QpdfCheck(out, &check)) << check;
        }
        return r;
    }
    ScratchDir dir_;
    bool check_ = true;  // qpdf --check every output (loops over options turn it off)
};

TEST_F(LinkpointJobTest, DefaultRunNamesEveryPage) {
    E2E_REQUIRE("gs");
    const std::string in = e2e::GhostscriptPdf(dir_, "in.pdf", 3);
    ASSERT_FALSE(in.empty());
    const std::string before = e2e::ReadBytes(in);
    const std::string out = dir_.File("out.pdf");
    Job(in, out);
    EXPECT_EQ(e2e::ReadBytes(in), before);
    ExpectDests(out, DefaultDests(3));
    ExpectSingleNode(out);

    const auto probe = RunProbe(out);
    ASSERT_TRUE(probe.ok);
    EXPECT_EQ(e2e::DestNames(probe), Numbers(1, 3));
    EXPECT_EQ(probe.pageRefs, e2e::QpdfPages(in));
    for (size_t i = 0; i < probe.dests.size(); ++i) {
        const auto page = probe.pageRefs[i];
        EXPECT_EQ(DestObject(out, probe.dests[i]), "<< /D [ " + std::to_string(page.first) + " " +
                                                       std::to_string(page.second) +
                                                       " R /XYZ null null null ] >>");
    }
    // ASCII names are byte strings, as producers write them and links name
    // them.
    const std::string root = e2e::QpdfFollow(out, {"Root", "Names", "Dests"});
    EXPECT_NE(root.find("(1)"), std::string::npos) << root;
    EXPECT_NE(root.find("(3)"), std::string::npos) << root;
    EXPECT_EQ(root.find("<feff"), std::string::npos) << root;
    // The document information is stamped.
    EXPECT_NE(e2e::QpdfFollow(out, {"Info"}).find("/Producer (corvina)"), std::string::npos);
}

TEST_F(LinkpointJobTest, NamesAreSortedAsText) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(12));
    const std::string out = dir_.File("out.pdf");
    Job(in, out);
    EXPECT_EQ(e2e::DestNames(RunProbe(out)),
              (Names{"1", "10", "11", "12", "2", "3", "4", "5", "6", "7", "8", "9"}));
    ExpectDests(out, DefaultDests(12));
    ExpectSingleNode(out);
}

TEST_F(LinkpointJobTest, OtherProducers) {
    std::vector<std::pair<std::string, int>> inputs;
    if (e2e::Have("groff")) inputs.emplace_back(e2e::GroffPdf(dir_, "groff.pdf", 3), 3);
    if (e2e::Have("gs")) {
        const std::string gs = e2e::GhostscriptPdf(dir_, "gs.pdf", 4);
        inputs.emplace_back(gs, 4);
        inputs.emplace_back(
            e2e::QpdfRewrite(gs, dir_.File("lin.pdf"), {"--object-streams=disable", "--linearize"}),
            4);
        inputs.emplace_back(e2e::QpdfRewrite(gs, dir_.File("qdf.pdf"), {"--qdf"}), 4);
    }
    for (const auto& [in, pages] : inputs) {
        SCOPED_TRACE(in);
        ASSERT_FALSE(in.empty());
        const std::string out = in + ".out.pdf";
        Job(in, out);
        ExpectDests(out, DefaultDests(pages));
        EXPECT_EQ(RunProbe(out).pageRefs, e2e::QpdfPages(in));
    }
}

struct RangeCase {
    std::vector<std::string> options;
    Names names;
};

TEST_F(LinkpointJobTest, PageRangeClamping) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(5));
    const std::vector<RangeCase> cases = {
        {{}, Numbers(1, 5)},
        {{"-sp", "0"}, Numbers(1, 5)},
        {{"-sp", " -3"}, Numbers(1, 5)},  // atol reads the sign after the blank
        {{"-sp", "abc"}, Numbers(1, 5)},
        {{"-sp", "2", "-ep", "4"}, Numbers(2, 4)},
        {{"-sp", "4"}, Numbers(4, 5)},
        {{"-sp", "5", "-ep", "5"}, Numbers(5, 5)},
        {{"-ep", "0"}, Numbers(1, 5)},
        {{"-ep", "5"}, Numbers(1, 5)},
        {{"-ep", "99"}, Numbers(1, 5)},
        {{"-ep", "2", "-ep", "3"}, Numbers(1, 3)},
        {{"-sp", "-1", "-ep", "2"}, Numbers(1, 2)},  // a value may start with '-'
        {{"-sp", "3", "-ep", "2"}, {}},
        {{"-sp", "6"}, {}},
        {{"-ep", " -1"}, {}},
    };
    int run = 0;
    check_ = false;
    for (const RangeCase& c : cases) {
        std::string label;
        for (const auto& o : c.options) label += "'" + o + "' ";
        SCOPED_TRACE(label);
        const std::string out = dir_.File("out" + std::to_string(run++) + ".pdf");
        Job(in, out, c.options);
        const auto probe = RunProbe(out);
        ASSERT_TRUE(probe.ok);
        EXPECT_EQ(e2e::DestNames(probe), c.names);
        if (c.names.empty()) {
            EXPECT_EQ(e2e::QpdfFollow(out, {"Root", "Names"}), "");
        }
    }
}

// An existing tree of several levels, unsorted, with a name the job will make
// again ("2"), an array destination and a limits entry on every node.
const char kTree[] =
    "6 0 obj\n<< /Dests 7 0 R >>\nendobj\n"
    "7 0 obj\n<< /Kids [8 0 R 9 0 R] >>\nendobj\n"
    "8 0 obj\n<< /Limits [(2) (alpha)] /Kids [10 0 R] >>\nendobj\n"
    "9 0 obj\n<< /Limits [(nu) (zeta)] /Names [(zeta) 12 0 R (nu) 13 0 R] >>\nendobj\n"
    "10 0 obj\n<< /Limits [(2) (alpha)] /Names [(alpha) 11 0 R (2) 14 0 R] >>\nendobj\n"
    "11 0 obj\n<< /D [3 0 R /Fit] >>\nendobj\n"
    "12 0 obj\n[4 0 R /XYZ 0 0 0]\nendobj\n"
    "13 0 obj\n<< /D [5 0 R /FitH 100] >>\nendobj\n"
    "14 0 obj\n<< /D [5 0 R /Fit] >>\nendobj\n";

TEST_F(LinkpointJobTest, MultiLevelTreeMergedIntoOneSortedNode) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3, "/Names 6 0 R", kTree));
    const std::string out = dir_.File("out.pdf");
    Job(in, out, {}, {"Named destination already exists: 2"});
    const auto probe = RunProbe(out);
    ASSERT_TRUE(probe.ok);
    EXPECT_EQ(e2e::DestNames(probe), (Names{"1", "2", "3", "alpha", "nu", "zeta"}));
    // Old destinations keep their objects.
    EXPECT_EQ(probe.dests[1], (e2e::ProbeDest{"2", 14, 0}));
    EXPECT_EQ(probe.dests[3], (e2e::ProbeDest{"alpha", 11, 0}));
    EXPECT_EQ(probe.dests[4], (e2e::ProbeDest{"nu", 13, 0}));
    EXPECT_EQ(probe.dests[5], (e2e::ProbeDest{"zeta", 12, 0}));
    auto expected = DefaultDests(3);
    expected["2"] = {3, "Fit"};
    expected["alpha"] = {1, "Fit"};
    expected["nu"] = {3, "FitH 100"};
    expected["zeta"] = {2, "XYZ 0 0 null"};  // pdfinfo shows zoom 0 as null
    ExpectDests(out, expected);
    ExpectSingleNode(out);
    // Every node of the old tree is gone.
    for (int node : {7, 8, 9, 10}) EXPECT_EQ(e2e::QpdfObject(out, node), "null") << node;
}

TEST_F(LinkpointJobTest, EmptyRangeStillRewritesTheTree) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3, "/Names 6 0 R", kTree));
    const std::string out = dir_.File("out.pdf");
    Job(in, out, {"-sp", "3", "-ep", "2"});
    EXPECT_EQ(e2e::DestNames(RunProbe(out)), (Names{"2", "alpha", "nu", "zeta"}));
    ExpectSingleNode(out);
    for (int node : {7, 8, 9, 10}) EXPECT_EQ(e2e::QpdfObject(out, node), "null") << node;
}

TEST_F(LinkpointJobTest, FlatTreeLastDuplicateWins) {
    const std::string tree =
        "6 0 obj\n<< /Dests 7 0 R >>\nendobj\n"
        "7 0 obj\n<< /Names [(b) 8 0 R (a) 9 0 R (b) 10 0 R] >>\nendobj\n"
        "8 0 obj\n<< /D [3 0 R /Fit] >>\nendobj\n"
        "9 0 obj\n<< /D [4 0 R /Fit] >>\nendobj\n"
        "10 0 obj\n<< /D [5 0 R /Fit] >>\nendobj\n";
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3, "/Names 6 0 R", tree));
    const std::string out = dir_.File("out.pdf");
    Job(in, out, {"-sp", "9"});
    const auto probe = RunProbe(out);
    EXPECT_EQ(probe.dests, (std::vector<e2e::ProbeDest>{{"a", 9, 0}, {"b", 10, 0}}));
    ExpectSingleNode(out);
}

TEST_F(LinkpointJobTest, ShiftJisKeyKeepsItsBytes) {
    const std::string tree =
        "6 0 obj\n<< /Dests 7 0 R >>\nendobj\n"
        "7 0 obj\n<< /Names [(\x82\xA0) 8 0 R <FEFF30A2> 9 0 R] >>\nendobj\n"
        "8 0 obj\n<< /D [4 0 R /Fit] >>\nendobj\n"
        "9 0 obj\n<< /D [5 0 R /Fit] >>\nendobj\n";
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3, "/Names 6 0 R", tree));
    const std::string out = dir_.File("out.pdf");
    Job(in, out, {"-ep", "1"});
    const auto probe = RunProbe(out);
    ASSERT_EQ(probe.dests.size(), 3u);
    EXPECT_EQ(probe.dests[1], (e2e::ProbeDest{"\u3042", 8, 0}));
    EXPECT_EQ(probe.dests[2], (e2e::ProbeDest{"\u30A2", 9, 0}));
    // The keys are written as the file wrote them: a link that names (\202\240)
    // still finds it.
    const std::string root = e2e::QpdfFollow(out, {"Root", "Names", "Dests"});
    EXPECT_NE(root.find("<82a0> 8 0 R"), std::string::npos) << root;
    EXPECT_NE(root.find("<feff30a2> 9 0 R"), std::string::npos) << root;
}

TEST_F(LinkpointJobTest, DirectDestinationsBecomeObjects) {
    const std::string tree =
        "6 0 obj\n<< /Dests 7 0 R >>\nendobj\n"
        "7 0 obj\n<< /Names [(d1) [3 0 R /Fit] (d2) << /D [4 0 R /FitV 20] >> (d3) 8 0 R] "
        ">>\nendobj\n"
        "8 0 obj\n<< /D [5 0 R /Fit] >>\nendobj\n";
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3, "/Names 6 0 R", tree));
    const std::string out = dir_.File("out.pdf");
    Job(in, out, {"-sp", "9"});
    const auto probe = RunProbe(out);
    ASSERT_EQ(e2e::DestNames(probe), (Names{"d1", "d2", "d3"}));
    for (const auto& d : probe.dests) EXPECT_GT(d.num, 0) << d.name;
    EXPECT_EQ(DestObject(out, probe.dests[0]), "[ 3 0 R /Fit ]");
    EXPECT_EQ(DestObject(out, probe.dests[1]), "<< /D [ 4 0 R /FitV 20 ] >>");
    ExpectDests(out, {{"d1", {1, "Fit"}}, {"d2", {2, "FitV 20"}}, {"d3", {3, "Fit"}}});
}

TEST_F(LinkpointJobTest, KidsThatAreNoNodesAreSkipped) {
    const std::string tree =
        "6 0 obj\n<< /Dests 7 0 R >>\nendobj\n"
        "7 0 obj\n<< /Kids [8 0 R 42 (x) [1 2] 10 0 R 9 0 R] >>\nendobj\n"
        "8 0 obj\n<< /Names [(a) 10 0 R] >>\nendobj\n"
        "9 0 obj\n<< /Names [(c) 10 0 R 17 10 0 R] >>\nendobj\n"
        "10 0 obj\n<< /D [3 0 R /Fit] >>\nendobj\n";
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3, "/Names 6 0 R", tree));
    const std::string out = dir_.File("out.pdf");
    Job(in, out, {"-sp", "9"});
    EXPECT_EQ(RunProbe(out).dests, (std::vector<e2e::ProbeDest>{{"a", 10, 0}, {"c", 10, 0}}));
}

// A Names array of odd length, or a kid naming no object: the bad part is
// skipped and every other name is kept.
TEST_F(LinkpointJobTest, OddNamesAndMissingKidsAreSkipped) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"8 0 R 9 0 R", "(a) 10 0 R (b)"},
        {"8 0 R 99 0 R 9 0 R", "(a) 10 0 R"},
    };
    int run = 0;
    for (const auto& [kids, names] : cases) {
        SCOPED_TRACE(kids + " / " + names);
        const std::string tree =
            "6 0 obj\n<< /Dests 7 0 R >>\nendobj\n"
            "7 0 obj\n<< /Kids [" +
            kids +
            "] >>\nendobj\n"
            "8 0 obj\n<< /Names [" +
            names +
            "] >>\nendobj\n"
            "9 0 obj\n<< /Names [(c) 10 0 R] >>\nendobj\n"
            "10 0 obj\n<< /D [3 0 R /Fit] >>\nendobj\n";
        const std::string in =
            dir_.Write("in" + std::to_string(run) + ".pdf", E2EPdf::Flat(3, "/Names 6 0 R", tree));
        const std::string out = dir_.File("out" + std::to_string(run++) + ".pdf");
        Job(in, out, {"-sp", "9"});
        EXPECT_EQ(RunProbe(out).dests, (std::vector<e2e::ProbeDest>{{"a", 10, 0}, {"c", 10, 0}}));
    }
}

TEST_F(LinkpointJobTest, TreeWithKidsLoopEnds) {
    const std::string tree =
        "6 0 obj\n<< /Dests 7 0 R >>\nendobj\n"
        "7 0 obj\n<< /Kids [8 0 R] >>\nendobj\n"
        "8 0 obj\n<< /Kids [7 0 R 9 0 R 8 0 R] >>\nendobj\n"
        "9 0 obj\n<< /Names [(c) 10 0 R] >>\nendobj\n"
        "10 0 obj\n<< /D [3 0 R /Fit] >>\nendobj\n";
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3, "/Names 6 0 R", tree));
    const std::string out = dir_.File("out.pdf");
    const RunResult r = Linkpoint({in, out, "-ep", "1"});
    ASSERT_TRUE(r.code == 0 || r.code == 1) << r.code << r.out;
    if (r.code == 0) {
        EXPECT_EQ(e2e::DestNames(RunProbe(out)), (Names{"1", "c"}));
    }
}

// Names and tree nodes that point at what the job works on: the name
// dictionary as its own Dests, a name whose value is the catalog or the name
// dictionary. Nothing the job holds may be deleted under it, whatever the
// options.
TEST_F(LinkpointJobTest, NamesPointingAtTheJobsOwnObjectsAreNotDeleted) {
    const std::string selfTree =
        "6 0 obj\n<< /Dests 6 0 R /Names [(a) 1 0 R (b) 6 0 R] >>\nendobj\n";
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, {"-o"}, {"-d"}, {"-o", "-fm", "a"}}) {
        const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3, "/Names 6 0 R", selfTree));
        const std::string out = dir_.File("out.pdf");
        std::vector<std::string> args = {in, out};
        args.insert(args.end(), options.begin(), options.end());
        const RunResult r = Linkpoint(args);
        ASSERT_TRUE(r.code == 0 || r.code == 1) << r.code << r.out;
        if (r.code == 0) {
            EXPECT_TRUE(e2e::QpdfCheck(out));
            EXPECT_EQ(RunProbe(out).pages, 3);
        }
    }
}

TEST_F(LinkpointJobTest, ZeroPaddedFormat) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3));
    const std::string out = dir_.File("out.pdf");
    Job(in, out, {"-fm", "page%03d"});
    EXPECT_EQ(e2e::DestNames(RunProbe(out)), (Names{"page001", "page002", "page003"}));
    ExpectDests(out, {{"page001", {1, "XYZ null null null"}},
                      {"page002", {2, "XYZ null null null"}},
                      {"page003", {3, "XYZ null null null"}}});
}

TEST_F(LinkpointJobTest, IntegerConversionsWithFlags) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(11));
    const std::vector<std::pair<std::string, Names>> cases = {
        {"p%%%+d", {"p%+10", "p%+11"}}, {"%#x", {"0xa", "0xb"}},
        {"%X-%o", {"A-0", "B-0"}},  // the second conversion gets a zero
        {"%-4ld|", {"10  |", "11  |"}}, {"%.3u", {"010", "011"}},
        {"%i%d", {"100", "110"}},  // the second conversion gets a zero
        {"%hhd", {"10", "11"}},         {"%lli", {"10", "11"}},
        {"%ld.%li", {"10.0", "11.0"}},  // the plain forms printf is not asked for
    };
    int run = 0;
    check_ = false;
    for (const auto& [format, names] : cases) {
        SCOPED_TRACE(format);
        const std::string out = dir_.File("out" + std::to_string(run++) + ".pdf");
        Job(in, out, {"-fm", format, "-sp", "10"});
        EXPECT_EQ(e2e::DestNames(RunProbe(out)), names);
    }
}

TEST_F(LinkpointJobTest, FormatWithoutConversionGivesOneName) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3));
    const std::string out = dir_.File("out.pdf");
    Job(in, out, {"-fm", "top"},
        {"Named destination already exists: top", "Named destination already exists: top"});
    const auto probe = RunProbe(out);
    EXPECT_EQ(e2e::DestNames(probe), (Names{"top"}));
    ExpectDests(out, {{"top", {1, "XYZ null null null"}}});
}

TEST_F(LinkpointJobTest, UnsafeFormatsAreRefused) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3));
    const std::string before = e2e::ReadBytes(in);
    for (const std::string& format :
         Names{"%s", "%n", "%f", "%c", "%p", "%1$d", "%d%s", "%", "abc%", "%d%d%d%d%d%d%d%d%d%d",
               "%300d", std::string(256, 'x'), "%*.*d%*.*d%*.*d%d"}) {
        SCOPED_TRACE(format);
        const std::string out = dir_.File("out.pdf");
        const RunResult r = Linkpoint({in, out, "-fm", format});
        EXPECT_EQ(r.code, 1);
        const auto lines = e2e::Lines(r.out);
        ASSERT_EQ(lines.size(), 4u) << r.out;
        EXPECT_EQ(lines[3], "Invalid Format: " + format);
        EXPECT_FALSE(e2e::Exists(out));
        EXPECT_EQ(e2e::ReadBytes(in), before);
    }
    // The longest name that fits: 255 bytes.
    const std::string out = dir_.File("long.pdf");
    Job(in, out, {"-fm", std::string(254, 'x') + "%d", "-ep", "1"});
    EXPECT_EQ(e2e::DestNames(RunProbe(out)), (Names{std::string(254, 'x') + "1"}));
}

TEST_F(LinkpointJobTest, FitTypeWithOperand) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(2));
    const std::string out = dir_.File("out.pdf");
    Job(in, out, {"-ft", "/FitH 500"});
    const auto probe = RunProbe(out);
    ASSERT_EQ(probe.dests.size(), 2u);
    EXPECT_EQ(DestObject(out, probe.dests[0]), "<< /D [ 3 0 R /FitH 500 ] >>");
    EXPECT_EQ(DestObject(out, probe.dests[1]), "<< /D [ 4 0 R /FitH 500 ] >>");
    ExpectDests(out, {{"1", {1, "FitH 500"}}, {"2", {2, "FitH 500"}}});
}

TEST_F(LinkpointJobTest, UnknownFitNamePasses) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(2));
    const std::string out = dir_.File("out.pdf");
    Job(in, out, {"-ft", "/Foo"});
    const auto probe = RunProbe(out);
    ASSERT_EQ(probe.dests.size(), 2u);
    EXPECT_EQ(DestObject(out, probe.dests[1]), "<< /D [ 4 0 R /Foo ] >>");
}

TEST_F(LinkpointJobTest, IncompleteFitTypeFails) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(2));
    const std::string before = e2e::ReadBytes(in);
    int run = 0;
    for (const std::string fit : {"/FitH", "/XYZ 1", "/FitR 1 2 3", "", "[", "/Fit (x"}) {
        SCOPED_TRACE(fit);
        const std::string out = dir_.File("out" + std::to_string(run++) + ".pdf");
        const RunResult r = Linkpoint({in, out, "-ft", fit});
        EXPECT_EQ(r.code, 1);
        const auto lines = e2e::Lines(r.out);
        ASSERT_EQ(lines.size(), 4u) << r.out;
        EXPECT_EQ(lines[3], "Invalid FitType: " + fit);
        EXPECT_FALSE(e2e::Exists(out));
        EXPECT_EQ(e2e::ReadBytes(in), before);
        EXPECT_EQ(e2e::Entries(dir_.Path(), "cv"), Names{});
    }
}

TEST_F(LinkpointJobTest, SecondRunReportsEveryExistingName) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3));
    const std::string once = dir_.File("once.pdf");
    const std::string twice = dir_.File("twice.pdf");
    Job(in, once);
    Job(once, twice, {},
        {"Named destination already exists: 1", "Named destination already exists: 2",
         "Named destination already exists: 3"});
    const auto first = RunProbe(once);
    const auto second = RunProbe(twice);
    EXPECT_EQ(second.dests, first.dests);
    ExpectDests(twice, DefaultDests(3));
    ExpectSingleNode(twice);
}

TEST_F(LinkpointJobTest, OverwriteReplacesTheDestinations) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3));
    const std::string once = dir_.File("once.pdf");
    const std::string twice = dir_.File("twice.pdf");
    Job(in, once);
    Job(once, twice, {"-o", "-ft", "/Fit"});
    const auto first = RunProbe(once);
    const auto second = RunProbe(twice);
    ASSERT_EQ(e2e::DestNames(second), Numbers(1, 3));
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(first.dests[i].num == second.dests[i].num &&
                     first.dests[i].gen == second.dests[i].gen);
        // The old object is gone from the output.
        EXPECT_EQ(DestObject(twice, first.dests[i]), "null");
    }
    ExpectDests(twice, {{"1", {1, "Fit"}}, {"2", {2, "Fit"}}, {"3", {3, "Fit"}}});
}

TEST_F(LinkpointJobTest, ExistingNameKeptWithoutOverwrite) {
    const std::string tree =
        "6 0 obj\n<< /Dests 7 0 R >>\nendobj\n"
        "7 0 obj\n<< /Names [(2) 8 0 R] >>\nendobj\n"
        "8 0 obj\n<< /D [5 0 R /Fit] >>\nendobj\n";
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3, "/Names 6 0 R", tree));
    const std::string out = dir_.File("out.pdf");
    Job(in, out, {"-fm", "%d"}, {"Named destination already exists: 2"});
    auto expected = DefaultDests(3);
    expected["2"] = {3, "Fit"};
    ExpectDests(out, expected);
    EXPECT_EQ(RunProbe(out).dests[1], (e2e::ProbeDest{"2", 8, 0}));
}

TEST_F(LinkpointJobTest, DeleteRemovesEveryDestination) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3, "/Names 6 0 R", kTree));
    const std::string out = dir_.File("out.pdf");
    Job(in, out, {"-d", "-sp", "2", "-ep", "2", "-fm", "%s", "-ft", "/FitH", "-o"});
    const auto probe = RunProbe(out);
    ASSERT_TRUE(probe.ok);
    EXPECT_TRUE(probe.dests.empty());
    ExpectDests(out, {});
    EXPECT_EQ(e2e::QpdfFollow(out, {"Root", "Names"}), "<< >>");
    for (int obj : {7, 8, 9, 10, 11, 12, 13, 14})
        EXPECT_EQ(e2e::QpdfObject(out, obj), "null") << obj;
}

TEST_F(LinkpointJobTest, DeleteWithoutTreeKeepsEveryObject) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(3, "", "6 0 obj\n(six)\nendobj\n"));
    const std::string out = dir_.File("out.pdf");
    Job(in, out, {"-d"});
    for (int obj = 1; obj <= 6; ++obj)
        EXPECT_EQ(e2e::QpdfObject(out, obj), e2e::QpdfObject(in, obj));
    const std::string bytes = e2e::ReadBytes(out);
    // One section: one table, one trailer, no Prev.
    EXPECT_EQ(bytes.find("\nxref"), bytes.rfind("\nxref"));
    EXPECT_EQ(bytes.find("trailer"), bytes.rfind("trailer"));
    EXPECT_EQ(bytes.find("/Prev"), std::string::npos);
}

// A trailer Size far above the objects the file has: new objects are
// numbered after the largest table, and the output reads back.
TEST_F(LinkpointJobTest, HugeSizeGivesReadableOutput) {
    std::string pdf = E2EPdf::Flat(3);
    pdf.replace(pdf.find("/Size 6"), 7, "/Size 2147483647");
    const std::string in = dir_.Write("in.pdf", pdf);
    const std::string out = dir_.File("out.pdf");
    const RunResult r = Linkpoint({in, out});
    if (r.code == 0) {
        EXPECT_EQ(e2e::DestNames(RunProbe(out)), Numbers(1, 3));
        EXPECT_TRUE(e2e::QpdfCheck(out));
    } else {
        EXPECT_EQ(r.code, 1);
        EXPECT_FALSE(e2e::Exists(out));
    }
}

TEST_F(LinkpointJobTest, SampleFile) {
    const std::string in = std::string(SOURCE_DIR) + "/samples/sample.pdf";
    const std::string out = dir_.File("out.pdf");
    Job(in, out);
    auto expected = DefaultDests(3);
    expected["intro"] = {1, "Fit"};
    ExpectDests(out, expected);
    EXPECT_EQ(e2e::DestNames(RunProbe(out)), (Names{"1", "2", "3", "intro"}));
}

}  // namespace

TEST_F(LinkpointJobTest, AttachedPdfHoldingEndstreamComesThroughWhole) {
    // An uncompressed attached file whose data holds "endstream" and "endobj"
    // of its own; Length (direct and indirect) says where the data ends.
    // (No "N G obj" line in it: the template filler would take it for one.)
    const std::string attached =
        "%PDF-1.4\n%object 1 follows\n<< /Length 3 >>\nstream\nabc\nendstream\nendobj\n"
        "trailer\n<< /Root 1 0 R >>\n%%EOF";
    const std::string n = std::to_string(attached.size());
    const std::string extra = "4 0 obj\n<< /Type /EmbeddedFile /Length " + n + " >>\nstream\n" +
                              attached +
                              "\nendstream\nendobj\n5 0 obj\n<< /Type /EmbeddedFile /Length 6 0 R "
                              ">>\nstream\n" +
                              attached + "\nendstream\nendobj\n6 0 obj\n" + n + "\nendobj\n";
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(1, "/Attached [4 0 R 5 0 R]", extra));
    {
        // The input is sound as written.
        std::string check;
        ASSERT_TRUE(e2e::QpdfCheck(in, &check)) << check;
        ASSERT_EQ(check.find("WARNING"), std::string::npos) << check;
    }
    const std::string out = dir_.File("out.pdf");
    Job(in, out);
    std::string check;
    EXPECT_TRUE(e2e::QpdfCheck(out, &check)) << check;
    EXPECT_EQ(check.find("WARNING"), std::string::npos) << check;
    EXPECT_EQ(check.find("recover"), std::string::npos) << check;
    // The stream bytes are those of the input.
    const std::string bytes = e2e::ReadBytes(out);
    for (const char* num : {"4", "5"}) {
        const size_t at = bytes.find(std::string(num) + " 0 obj\n");
        ASSERT_NE(at, std::string::npos) << num;
        const size_t data = bytes.find("stream\n", at) + 7;
        EXPECT_EQ(bytes.compare(data, attached.size() + 10, attached + "\nendstream"), 0) << num;
    }
}

// Kids that name one page twice, directly or through a shared node: viewers
// show the page at each position, so each position gets its destination,
// naming the page object found there.
TEST_F(LinkpointJobTest, PageListedTwiceGetsADestinationPerPosition) {
    struct Case {
        const char* what;
        PdfBuilder pdf;
        std::vector<int> pages;  // object number at each position
    } cases[] = {
        {"same kid twice",
         PdfBuilder()
             .Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
             .Obj(2, "<< /Type /Pages /Kids [3 0 R 3 0 R 4 0 R] /Count 3 >>")
             .Obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] >>")
             .Obj(4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] >>")
             .Root(1),
         {3, 3, 4}},
        {"shared node",
         PdfBuilder()
             .Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
             .Obj(2, "<< /Type /Pages /Kids [5 0 R 5 0 R] /Count 4 >>")
             .Obj(3, "<< /Type /Page /Parent 5 0 R /MediaBox [0 0 100 100] >>")
             .Obj(4, "<< /Type /Page /Parent 5 0 R /MediaBox [0 0 100 100] >>")
             .Obj(5, "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R 4 0 R] /Count 2 >>")
             .Root(1),
         {3, 4, 3, 4}},
    };
    check_ = false;  // qpdf objects to the input's tree itself
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string in = dir_.Write("in.pdf", c.pdf.Bytes());
        const std::string out = dir_.File("out.pdf");
        Job(in, out);
        const auto probe = RunProbe(out);
        ASSERT_TRUE(probe.ok);
        ASSERT_EQ(probe.dests.size(), c.pages.size());
        for (size_t i = 0; i < c.pages.size(); ++i) {
            EXPECT_EQ(probe.dests[i].name, std::to_string(i + 1));
            EXPECT_EQ(DestObject(out, probe.dests[i]),
                      "<< /D [ " + std::to_string(c.pages[i]) + " 0 R /XYZ null null null ] >>");
        }
        // No worse than the input in qpdf's eyes (it calls a shared node a loop).
        EXPECT_EQ(e2e::QpdfCheck(out), e2e::QpdfCheck(in));
    }
}

TEST_F(LinkpointJobTest, PageTreeLoopIsRefusedWithItsObject) {
    const std::string in = dir_.Write(
        "in.pdf", PdfBuilder()
                      .Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
                      .Obj(2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 3 >>")
                      .Obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] >>")
                      .Obj(4, "<< /Type /Page /Parent 5 0 R /MediaBox [0 0 100 100] >>")
                      .Obj(5, "<< /Type /Pages /Parent 2 0 R /Kids [4 0 R 2 0 R] /Count 2 >>")
                      .Root(1)
                      .Bytes());
    const std::string before = e2e::ReadBytes(in);
    const RunResult r = Linkpoint({in, dir_.File("out.pdf")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Type: Invalid Format\nFactor: page tree loops at object 2 0"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(e2e::ReadBytes(in), before);
    EXPECT_FALSE(e2e::Exists(dir_.File("out.pdf")));
}

// A reference whose generation the table does not hold names nothing: the
// job treats the catalog as having no name dictionary (it used to keep one
// the save never wrote, and lose it).
TEST_F(LinkpointJobTest, ReferenceToAnotherGenerationNamesNothing) {
    const std::string in =
        dir_.Write("in.pdf", PdfBuilder()
                                 .Obj(1, "<< /Type /Catalog /Pages 2 0 R /Names 4 0 R >>")
                                 .Obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
                                 .Obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 9 9] >>")
                                 .Obj(4, "<< /Dests << /Names [(old) [3 0 R /Fit]] >> >>", 7)
                                 .Root(1)
                                 .Bytes());
    const std::string out = dir_.File("out.pdf");
    check_ = false;  // qpdf warns about the input's dangling reference itself
    Job(in, out);
    EXPECT_EQ(e2e::DestNames(RunProbe(out)), Names{"1"});
    EXPECT_NE(e2e::QpdfObject(out, "4,7"), "");  // the other generation is carried over
}
