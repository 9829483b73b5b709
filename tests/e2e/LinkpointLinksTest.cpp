// The names the job keeps and makes, as readers resolve them: links, GoTo
// actions and outline items that name destinations by their bytes must reach
// the same pages after the job, in MuPDF and in poppler, and the names the
// job makes must be found under the bytes producers write.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/E2E.h"
#include "support/E2EPdf.h"

namespace {

using e2e::RunResult;

struct Resolved {
    int links = -1;
    int outline = -1;
    bool operator==(const Resolved&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Resolved& r) {
    return os << "{links " << r.links << ", outline " << r.outline << "}";
}

// Internal links and outline items MuPDF resolves to a page.
Resolved MupdfResolved(const std::string& file) {
    const RunResult r = e2e::Run(
        {"mutool", "run", std::string(SOURCE_DIR) + "/tests/support/mupdf-links.js", file});
    Resolved out;
    std::smatch m;
    if (std::regex_search(r.out, m, std::regex("links (\\d+) (\\d+)"))) out.links = std::stoi(m[2]);
    if (std::regex_search(r.out, m, std::regex("outline (\\d+) (\\d+)")))
        out.outline = std::stoi(m[2]);
    return out;
}

// Links poppler resolves (an href ending in a page number) and outline items
// with a page.
Resolved PopplerResolved(const std::string& file) {
    const RunResult r = e2e::Run({"pdftohtml", "-xml", "-stdout", "-i", "-q", file});
    if (r.code != 0) return {};
    Resolved out{0, 0};
    const std::regex link("<a href=\"[^\"]*#\\d+\">"), item("<item page=\"\\d+\">");
    out.links =
        static_cast<int>(std::distance(std::sregex_iterator(r.out.begin(), r.out.end(), link), {}));
    out.outline =
        static_cast<int>(std::distance(std::sregex_iterator(r.out.begin(), r.out.end(), item), {}));
    return out;
}

// The keys of the output's Dests root as qpdf prints them: (text) or <hex>,
// so equal keys print alike and different bytes differently.
std::vector<std::string> TreeKeys(const std::string& file) {
    // The name dictionary may stand in the catalog itself.
    std::string holder = e2e::QpdfFollow(file, {"Root"});
    const auto names = e2e::RefIn(holder, "Names");
    if (names.first >= 0)
        holder =
            e2e::QpdfObject(file, std::to_string(names.first) + "," + std::to_string(names.second));
    const auto dests = e2e::RefIn(holder, "Dests");
    const std::string root =
        e2e::QpdfObject(file, std::to_string(dests.first) + "," + std::to_string(dests.second));
    const size_t open = root.find("/Names [");
    std::vector<std::string> keys;
    if (open == std::string::npos) return keys;
    bool key = true;
    for (size_t i = open + 8; i < root.size() && root[i] != ']';) {
        const char c = root[i];
        if (c == ' ' || c == '\n') {
            ++i;
        } else if (c == '(' || (c == '<' && root.compare(i, 2, "<<") != 0)) {
            size_t end = i + 1;
            for (int depth = 1; end < root.size() && (c == '<' ? root[end] != '>' : depth > 0);
                 ++end) {
                if (c == '(' && root[end] == '\\')
                    ++end;
                else if (c == '(' && root[end] == '(')
                    ++depth;
                else if (c == '(' && root[end] == ')')
                    --depth;
            }
            if (c == '<') ++end;
            if (key) keys.push_back(root.substr(i, end - i));
            key = !key;
            i = end;
        } else {
            // A value: "N G R".
            int num = 0, gen = 0;
            int used = 0;
            if (std::sscanf(root.c_str() + i, "%d %d R%n", &num, &gen, &used) < 2 || used == 0)
                return {};
            key = !key;
            i += static_cast<size_t>(used);
        }
    }
    return keys;
}

// Three pages of text; links, a GoTo action and outline items name
// destinations by byte strings, as LaTeX's hyperref, LibreOffice and most
// libraries write them. The tree has two leaves under a root. The links to
// (2) and (3) name destinations only the job makes.
std::string LinkedDocument() {
    std::string pdf = "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
    pdf += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R /Names 20 0 R /Outlines 30 0 R >>\nendobj\n";
    pdf +=
        "2 0 obj\n<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /MediaBox [0 0 612 792] "
        ">>\nendobj\n";
    const char* annots[] = {
        "[<< /Type /Annot /Subtype /Link /Rect [70 695 320 715] /Border [0 0 0] /Dest "
        "(section.2) >> << /Type /Annot /Subtype /Link /Rect [70 645 320 665] /Border [0 0 0] "
        "/A << /S /GoTo /D (page.1) >> >> << /Type /Annot /Subtype /Link /Rect [70 595 320 615] "
        "/Border [0 0 0] /Dest (2) >>]",
        "[<< /Type /Annot /Subtype /Link /Rect [70 695 320 715] /Border [0 0 0] /Dest "
        "(section.3) >> << /Type /Annot /Subtype /Link /Rect [70 645 320 665] /Border [0 0 0] "
        "/A << /S /GoTo /D (3) >> >>]",
        "[<< /Type /Annot /Subtype /Link /Rect [70 695 320 715] /Border [0 0 0] /Dest "
        "(Doc-Start) >>]"};
    for (int p = 0; p < 3; ++p) {
        pdf += std::to_string(3 + p) +
               " 0 obj\n<< /Type /Page /Parent 2 0 R /Resources << /Font "
               "<< /F1 6 0 R >> >> /Contents " +
               std::to_string(7 + p) + " 0 R /Annots " + annots[p] + " >>\nendobj\n";
    }
    pdf += "6 0 obj\n<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>\nendobj\n";
    for (int p = 0; p < 3; ++p) {
        const std::string text = "BT /F1 14 Tf 72 700 Td (Link one on page " +
                                 std::to_string(p + 1) +
                                 ") Tj 0 -50 Td (Link two) Tj 0 -50 Td (Link three) Tj ET\n";
        pdf += std::to_string(7 + p) + " 0 obj\n<< /Length {len} >>\nstream\n" + text +
               "endstream\nendobj\n";
    }
    pdf += "20 0 obj\n<< /Dests 21 0 R >>\nendobj\n";
    pdf += "21 0 obj\n<< /Kids [22 0 R 23 0 R] >>\nendobj\n";
    pdf +=
        "22 0 obj\n<< /Limits [(Doc-Start) (page.1)] /Names [(Doc-Start) 24 0 R (page.1) 25 "
        "0 R] >>\nendobj\n";
    pdf +=
        "23 0 obj\n<< /Limits [(section.2) (section.3)] /Names [(section.2) 26 0 R "
        "(section.3) 27 0 R] >>\nendobj\n";
    pdf += "24 0 obj\n<< /D [3 0 R /XYZ 0 792 null] >>\nendobj\n";
    pdf += "25 0 obj\n[3 0 R /XYZ 0 792 null]\nendobj\n";
    pdf += "26 0 obj\n[4 0 R /XYZ 72 700 null]\nendobj\n";
    pdf += "27 0 obj\n<< /D [5 0 R /Fit] >>\nendobj\n";
    pdf += "30 0 obj\n<< /Type /Outlines /First 31 0 R /Last 32 0 R /Count 2 >>\nendobj\n";
    pdf += "31 0 obj\n<< /Title (Two) /Parent 30 0 R /Next 32 0 R /Dest (section.2) >>\nendobj\n";
    pdf +=
        "32 0 obj\n<< /Title (Three) /Parent 30 0 R /Prev 31 0 R /A << /S /GoTo /D "
        "(section.3) >> >>\nendobj\n";
    pdf += "{xref}\ntrailer\n<< /Size {size} /Root 1 0 R >>\nstartxref\n{startxref}\n%%EOF\n";
    return E2EPdf::Fill(pdf);
}

// The names "ページ1" and "ページ2" as pdfinfo prints them, in UTF-8.
const std::vector<std::string> kPageNames = {
    "\xE3\x83\x9A\xE3\x83\xBC\xE3\x82\xB8"
    "1",
    "\xE3\x83\x9A\xE3\x83\xBC\xE3\x82\xB8"
    "2"};

std::vector<std::string> InfoNames(const std::string& file) {
    std::vector<std::string> names;
    for (const auto& d : e2e::PdfinfoDests(file)) names.push_back(d.name);
    return names;
}

class LinkpointLinksTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!e2e::Have("mutool") || !e2e::Have("pdftohtml")) GTEST_SKIP() << "no readers";
    }

    // The job in a UTF-8 locale, as a user's shell runs it.
    RunResult Job(const std::vector<std::string>& args, const std::string& locale = "C.UTF-8",
                  const std::string& locpath = "") {
        std::vector<std::string> argv = {"env", "LC_ALL=" + locale};
        if (!locpath.empty()) argv.push_back("LOCPATH=" + locpath);
        argv.push_back(LINKPOINT_BIN);
        argv.insert(argv.end(), args.begin(), args.end());
        return e2e::Run(argv);
    }

    ScratchDir dir_;
};

TEST_F(LinkpointLinksTest, LinksActionsAndOutlineStillResolveAndReachNewNames) {
    const std::string in = dir_.Write("in.pdf", LinkedDocument());
    ASSERT_TRUE(e2e::QpdfCheck(in));
    // Before: the four names the tree holds resolve, (2) and (3) do not.
    EXPECT_EQ(MupdfResolved(in), (Resolved{4, 2}));
    EXPECT_EQ(PopplerResolved(in), (Resolved{4, 2}));

    const std::string out = dir_.File("out.pdf");
    const RunResult r = Job({in, out, "-l", ""});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(e2e::QpdfCheck(out));
    EXPECT_EQ(MupdfResolved(out), (Resolved{6, 2}));
    EXPECT_EQ(PopplerResolved(out), (Resolved{6, 2}));
    // Old keys as they were, new ones as byte strings, in the order of the
    // keys' bytes.
    EXPECT_EQ(TreeKeys(out), (std::vector<std::string>{"(1)", "(2)", "(3)", "(Doc-Start)",
                                                       "(page.1)", "(section.2)", "(section.3)"}));
}

TEST_F(LinkpointLinksTest, GhostscriptPdfmarkLinksStillResolve) {
    E2E_REQUIRE("gs");
    const std::string ps = dir_.Write(
        "links.ps",
        "%!PS\n/Helvetica findfont 14 scalefont setfont\n"
        "[ /Dest /sec.one /View [/XYZ null null null] /DEST pdfmark\n"
        "[ /Title (Section one) /Dest /sec.one /OUT pdfmark\n"
        "[ /Title (Section two) /Dest /sec.two /OUT pdfmark\n"
        "72 700 moveto (Section one: see section two) show\n"
        "[ /Rect [72 690 300 715] /Border [0 0 0] /Dest /sec.two /Subtype /Link /ANN pdfmark\n"
        "72 600 moveto (Back to section one) show\n"
        "[ /Rect [72 590 300 615] /Border [0 0 0] /Action << /S /GoTo /D (sec.one) >> "
        "/Subtype /Link /ANN pdfmark\nshowpage\n"
        "[ /Dest /sec.two /View [/XYZ null null null] /DEST pdfmark\n"
        "72 700 moveto (Section two: back to one) show\n"
        "[ /Rect [72 690 300 715] /Border [0 0 0] /Dest /sec.one /Subtype /Link /ANN pdfmark\n"
        "showpage\n");
    const std::string in = dir_.File("in.pdf");
    ASSERT_EQ(
        e2e::Run({"gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite", "-o", in, ps})
            .code,
        0);
    const Resolved mupdf = MupdfResolved(in), poppler = PopplerResolved(in);
    ASSERT_EQ(mupdf, (Resolved{3, 2}));
    ASSERT_EQ(poppler, (Resolved{3, 2}));

    const std::string out = dir_.File("out.pdf");
    ASSERT_EQ(Job({in, out, "-fm", "p%d", "-l", ""}).code, 0);
    EXPECT_TRUE(e2e::QpdfCheck(out));
    EXPECT_EQ(MupdfResolved(out), mupdf);
    EXPECT_EQ(PopplerResolved(out), poppler);
    EXPECT_EQ(TreeKeys(out), (std::vector<std::string>{"(p1)", "(p2)", "(sec.one)", "(sec.two)"}));
}

// A tree whose keys are spelt every way a file may spell them.
std::string MixedKeys() {
    return E2EPdf::Fill(
        "%PDF-1.4\n"
        "1 0 obj\n<< /Type /Catalog /Pages 2 0 R /Names 6 0 R >>\nendobj\n"
        "2 0 obj\n<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /MediaBox [0 0 612 792] "
        ">>\nendobj\n"
        "3 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n"
        "4 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n"
        "5 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n"
        "6 0 obj\n<< /Dests 7 0 R >>\nendobj\n"
        "7 0 obj\n<< /Names [<FEFF0031> 8 0 R (Doc-Start) 9 0 R (a\\(b\\)) 10 0 R "
        "(\\202\\240) 11 0 R] >>\nendobj\n"
        "8 0 obj\n<< /D [5 0 R /Fit] >>\nendobj\n"
        "9 0 obj\n<< /D [3 0 R /Fit] >>\nendobj\n"
        "10 0 obj\n<< /D [4 0 R /Fit] >>\nendobj\n"
        "11 0 obj\n<< /D [5 0 R /Fit] >>\nendobj\n"
        "{xref}\ntrailer\n<< /Size {size} /Root 1 0 R >>\nstartxref\n{startxref}\n%%EOF\n");
}

TEST_F(LinkpointLinksTest, KeysKeepTheirBytesAndOneNameHasOneKey) {
    const std::string in = dir_.Write("in.pdf", MixedKeys());
    const std::string out = dir_.File("out.pdf");
    const std::string log = dir_.File("log.txt");
    ASSERT_EQ(Job({in, out, "-l", log}).code, 0);
    // <FEFF0031> is the name 1: kept, with its destination, and not doubled.
    EXPECT_EQ(
        e2e::CheckSuccessLog(e2e::ReadBytes(log), in, out, {"Named destination already exists: 1"}),
        "");
    EXPECT_EQ(TreeKeys(out), (std::vector<std::string>{"(2)", "(3)", "(Doc-Start)", "(a\\(b\\))",
                                                       "<82a0>", "<feff0031>"}));
    bool ok = false;
    for (const auto& d : e2e::PdfinfoDests(out, &ok))
        if (d.name == "1") {
            EXPECT_EQ(d.page, 3);
        }
    EXPECT_TRUE(ok);
    EXPECT_TRUE(e2e::QpdfCheck(out));

    // With -o the name is replaced under the key the file gave it.
    const std::string over = dir_.File("over.pdf");
    ASSERT_EQ(Job({in, over, "-o", "-l", ""}).code, 0);
    EXPECT_EQ(TreeKeys(over), (std::vector<std::string>{"(2)", "(3)", "(Doc-Start)", "(a\\(b\\))",
                                                        "<82a0>", "<feff0031>"}));
    int ones = 0;
    for (const auto& d : e2e::PdfinfoDests(over, &ok)) {
        if (d.name != "1") continue;
        ++ones;
        EXPECT_EQ(d.page, 1);
        EXPECT_EQ(d.view, "XYZ null null null");
    }
    EXPECT_EQ(ones, 1);
}

TEST_F(LinkpointLinksTest, AKidThatNamesAPageLeavesThePageAlone) {
    // A broken tree whose Kids name the page tree and a page: the job reads
    // the names it finds and removes only the tree's own nodes.
    const std::string in =
        dir_.Write("in.pdf", E2EPdf::Flat(2, "/Names 5 0 R",
                                          "5 0 obj\n<< /Dests 6 0 R >>\nendobj\n"
                                          "6 0 obj\n<< /Kids [7 0 R 3 0 R 2 0 R] >>\nendobj\n"
                                          "7 0 obj\n<< /Names [(x) [4 0 R /Fit]] >>\nendobj\n"));
    const std::string out = dir_.File("out.pdf");
    ASSERT_EQ(Job({in, out, "-l", ""}).code, 0);
    EXPECT_TRUE(e2e::QpdfCheck(out));
    EXPECT_EQ(e2e::QpdfPages(out), e2e::QpdfPages(in));
    EXPECT_EQ(TreeKeys(out), (std::vector<std::string>{"(1)", "(2)", "(x)"}));
    EXPECT_EQ(e2e::QpdfObject(out, 7), "null");
}

TEST_F(LinkpointLinksTest, NonAsciiNamesInAUtf8Locale) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(2));
    const std::string out = dir_.File("out.pdf");
    ASSERT_EQ(Job({in, out, "-fm", "\xE3\x83\x9A\xE3\x83\xBC\xE3\x82\xB8%d", "-l", ""}).code, 0);
    EXPECT_EQ(InfoNames(out), kPageNames);
    EXPECT_EQ(TreeKeys(out),
              (std::vector<std::string>{"<feff30da30fc30b80031>", "<feff30da30fc30b80032>"}));

    const std::string cafe = dir_.File("cafe.pdf");
    ASSERT_EQ(Job({in, cafe, "-fm", "caf\xC3\xA9%d", "-sp", "2", "-l", ""}).code, 0);
    const auto dests = e2e::PdfinfoDests(cafe);
    ASSERT_EQ(dests.size(), 1u);
    EXPECT_EQ(dests[0].name,
              "caf\xC3\xA9"
              "2");
    EXPECT_EQ(dests[0].page, 2);
}

TEST_F(LinkpointLinksTest, AFormatTheLocaleCannotReadIsRefused) {
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(2));
    const std::string before = e2e::ReadBytes(in);
    const RunResult r = Job({in, "-fm", "p\xFF%d"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(e2e::ReadBytes(in), before);
    EXPECT_EQ(e2e::Entries(dir_.Path()), std::vector<std::string>{"in.pdf"});
    EXPECT_NE(r.out.find("%%[ Error: cannot make a destination name: p\xFF%d ]%%"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Factor: name format is not valid UTF-8 text: p\xFF%d"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Finish at"), std::string::npos);
}

TEST_F(LinkpointLinksTest, ShiftJisLocaleGivesTheSameNames) {
    // A Shift-JIS locale made for the test alone; systems without the
    // sources for it skip.
    const std::string locales = dir_.File("locales");
    std::filesystem::create_directory(locales);
    const RunResult made =
        e2e::Run({"localedef", "-c", "-i", "ja_JP", "-f", "SHIFT_JIS", locales + "/ja_JP.SJIS"});
    if (!e2e::Exists(locales + "/ja_JP.SJIS")) GTEST_SKIP() << "localedef: " << made.err;
    const std::string in = dir_.Write("in.pdf", E2EPdf::Flat(2));
    const std::string out = dir_.File("out.pdf");
    const RunResult r =
        Job({in, out, "-fm", "\x83\x79\x81\x5B\x83\x57%d", "-l", ""}, "ja_JP.SJIS", locales);
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(InfoNames(out), kPageNames);
}

}  // namespace
