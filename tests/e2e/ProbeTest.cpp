// Reading: the probe opens files from every producer and must see the pages
// qpdf sees; refused and damaged files end in a clean error report.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "support/E2E.h"
#include "support/E2EPdf.h"

namespace {

using e2e::Probe;
using e2e::RunProbe;

const std::set<std::string> kTypeTexts = {"Runtime Library Error", "System Error", "User Error",
                                          "Invalid Format", "Internal Error"};

// The probe's pages must be qpdf's pages, reference for reference.
void ExpectSamePages(const std::string& file, int expectedPages) {
    const Probe p = RunProbe(file);
    ASSERT_TRUE(p.ok) << p.run.out << p.run.err;
    EXPECT_EQ(p.pages, expectedPages);
    EXPECT_EQ(p.pages, e2e::QpdfPageCount(file));
    EXPECT_EQ(p.pageRefs, e2e::QpdfPages(file));
    EXPECT_EQ(static_cast<int>(p.pageRefs.size()), p.pages);
}

// A failure is the word "error" and the four report lines, nothing else.
void ExpectErrorBlock(const Probe& p) {
    EXPECT_EQ(p.run.code, 1) << p.run.out << p.run.err;
    const auto lines = e2e::Lines(p.run.out);
    ASSERT_GE(lines.size(), 5u) << p.run.out;
    const size_t at = lines.size() - 5;
    EXPECT_EQ(lines[at], "error");
    EXPECT_EQ(lines[at + 1].rfind("Module: ", 0), 0u) << lines[at + 1];
    EXPECT_EQ(lines[at + 2].rfind("Method: ", 0), 0u) << lines[at + 2];
    EXPECT_EQ(lines[at + 3].rfind("Type: ", 0), 0u) << lines[at + 3];
    EXPECT_EQ(lines[at + 4].rfind("Factor: ", 0), 0u) << lines[at + 4];
    EXPECT_TRUE(kTypeTexts.count(p.report.count("Type") ? p.report.at("Type") : "")) << p.run.out;
}

// Pages at several depths, attributes inherited from intermediate nodes, page
// numbers out of document order and one page of generation 2.
const char kMultiLevel[] =
    "%PDF-1.4\n"
    "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
    "2 0 obj\n<< /Type /Pages /Kids [3 0 R 4 0 R 12 0 R] /Count 6 /MediaBox [0 0 612 792]"
    " /Resources << /Font << >> >> >>\nendobj\n"
    "3 0 obj\n<< /Type /Pages /Parent 2 0 R /Kids [10 0 R 5 0 R] /Count 2 /Rotate 90 >>\n"
    "endobj\n"
    "4 0 obj\n<< /Type /Pages /Parent 2 0 R /Kids [6 0 R 7 0 R] /Count 3"
    " /CropBox [0 0 300 300] >>\nendobj\n"
    "5 0 obj\n<< /Type /Page /Parent 3 0 R >>\nendobj\n"
    "6 0 obj\n<< /Type /Pages /Parent 4 0 R /Kids [11 2 R 8 0 R] /Count 2 >>\nendobj\n"
    "7 0 obj\n<< /Type /Page /Parent 4 0 R /MediaBox [0 0 200 200] >>\nendobj\n"
    "8 0 obj\n<< /Type /Page /Parent 6 0 R >>\nendobj\n"
    "10 0 obj\n<< /Type /Page /Parent 3 0 R >>\nendobj\n"
    "11 2 obj\n<< /Type /Page /Parent 6 0 R >>\nendobj\n"
    "12 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n"
    "{xref}\ntrailer\n<< /Size {size} /Root 1 0 R >>\nstartxref\n{startxref}\n%%EOF\n";

const char kTrailer[] =
    "{xref}\ntrailer\n<< /Size {size} /Root 1 0 R /Prev {prev} >>\nstartxref\n{startxref}\n"
    "%%EOF\n";

TEST(ProbeReadTest, HandWrittenFlatTree) {
    ScratchDir dir;
    ExpectSamePages(dir.Write("flat.pdf", E2EPdf::Flat(5)), 5);
}

TEST(ProbeReadTest, HandWrittenMultiLevelTreeWithInheritance) {
    ScratchDir dir;
    const std::string file = dir.Write("tree.pdf", E2EPdf::Fill(kMultiLevel));
    ExpectSamePages(file, 6);
    const Probe p = RunProbe(file);
    const std::vector<std::pair<int, int>> order = {{10, 0}, {5, 0}, {11, 2},
                                                    {8, 0},  {7, 0}, {12, 0}};
    EXPECT_EQ(p.pageRefs, order);
}

// Two updates appended by hand: the first reorders the pages, redefines one
// and adds one; the second drops two. The newest section wins.
TEST(ProbeReadTest, IncrementalUpdates) {
    ScratchDir dir;
    const std::string base = E2EPdf::Flat(3);
    const std::string first = E2EPdf::Fill(
        "2 0 obj\n<< /Type /Pages /Kids [5 0 R 6 0 R 3 0 R 4 0 R] /Count 4"
        " /MediaBox [0 0 612 792] >>\nendobj\n"
        "4 0 obj\n<< /Type /Page /Parent 2 0 R /Rotate 180 >>\nendobj\n"
        "6 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n" +
            std::string(kTrailer),
        base);
    const std::string once = dir.Write("once.pdf", first);
    ExpectSamePages(once, 4);
    EXPECT_EQ(RunProbe(once).pageRefs,
              (std::vector<std::pair<int, int>>{{5, 0}, {6, 0}, {3, 0}, {4, 0}}));

    const std::string twice =
        dir.Write("twice.pdf", E2EPdf::Fill("2 0 obj\n<< /Type /Pages /Kids [6 0 R 4 0 R] /Count 2"
                                            " /MediaBox [0 0 612 792] >>\nendobj\n" +
                                                std::string(kTrailer),
                                            first));
    ExpectSamePages(twice, 2);
    EXPECT_EQ(RunProbe(twice).pageRefs, (std::vector<std::pair<int, int>>{{6, 0}, {4, 0}}));
}

TEST(ProbeReadTest, IncrementalUpdateOfGhostscriptFile) {
    E2E_REQUIRE("gs");
    E2E_REQUIRE("qpdf");
    ScratchDir dir;
    const std::string gs = e2e::GhostscriptPdf(dir, "gs.pdf", 3);
    ASSERT_FALSE(gs.empty());
    const auto before = e2e::QpdfPages(gs);
    ASSERT_EQ(before.size(), 3u);
    // The first page object again, rotated, in an appended section.
    std::string page = e2e::QpdfObject(gs, before[0].first);
    ASSERT_EQ(page.rfind("<<", 0), 0u) << page;
    const size_t rotate = page.find("/Rotate 0 ");
    if (rotate != std::string::npos)
        page.replace(rotate, 9, "/Rotate 90");
    else
        page.insert(2, " /Rotate 90");
    const std::string original = e2e::ReadBytes(gs);
    const std::string updated = E2EPdf::Fill(
        std::to_string(before[0].first) + " 0 obj\n" + page + "\nendobj\n" + "{xref}\ntrailer\n" +
            e2e::QpdfObject(gs, "trailer").insert(2, " /Prev {prev}") +
            "\nstartxref\n{startxref}\n%%EOF\n",
        original);
    const std::string file = dir.Write("updated.pdf", updated);
    ASSERT_NE(e2e::QpdfObject(file, before[0].first).find("/Rotate 90"), std::string::npos);
    ExpectSamePages(file, 3);
}

TEST(ProbeReadTest, Ghostscript) {
    E2E_REQUIRE("gs");
    E2E_REQUIRE("qpdf");
    ScratchDir dir;
    const std::string file = e2e::GhostscriptPdf(dir, "gs.pdf", 12);
    ASSERT_FALSE(file.empty());
    ExpectSamePages(file, 12);
}

TEST(ProbeReadTest, Groff) {
    E2E_REQUIRE("groff");
    E2E_REQUIRE("qpdf");
    ScratchDir dir;
    const std::string file = e2e::GroffPdf(dir, "man.pdf", 3);
    ASSERT_FALSE(file.empty());
    ExpectSamePages(file, 3);
}

TEST(ProbeReadTest, QpdfRewrites) {
    E2E_REQUIRE("gs");
    E2E_REQUIRE("qpdf");
    ScratchDir dir;
    const std::string gs = e2e::GhostscriptPdf(dir, "gs.pdf", 4);
    ASSERT_FALSE(gs.empty());
    const e2e::RunResult merged =
        e2e::Run({"qpdf", "--empty", "--pages", gs, "1-z", gs, "2,4", "--", dir.File("m.pdf")});
    ASSERT_EQ(merged.code, 0) << merged.err;
    ExpectSamePages(dir.File("m.pdf"), 6);
    ExpectSamePages(e2e::QpdfRewrite(gs, dir.File("qdf.pdf"), {"--qdf"}), 4);
    ExpectSamePages(e2e::QpdfRewrite(gs, dir.File("plain.pdf"),
                                     {"--object-streams=disable", "--stream-data=uncompress"}),
                    4);
}

TEST(ProbeReadTest, Linearized) {
    E2E_REQUIRE("gs");
    E2E_REQUIRE("qpdf");
    ScratchDir dir;
    const std::string gs = e2e::GhostscriptPdf(dir, "gs.pdf", 5);
    ASSERT_FALSE(gs.empty());
    const std::string lin =
        e2e::QpdfRewrite(gs, dir.File("lin.pdf"), {"--object-streams=disable", "--linearize"});
    ASSERT_FALSE(lin.empty());
    ExpectSamePages(lin, 5);
    ExpectSamePages(
        e2e::QpdfRewrite(dir.Write("tree.pdf", E2EPdf::Fill(kMultiLevel)), dir.File("treelin.pdf"),
                         {"--object-streams=disable", "--linearize"}),
        6);
}

TEST(ProbeReadTest, EncryptedFileIsRefused) {
    E2E_REQUIRE("qpdf");
    ScratchDir dir;
    const std::string plain = dir.Write("plain.pdf", E2EPdf::Flat(2));
    const std::string file = e2e::QpdfRewrite(
        plain, dir.File("enc.pdf"),
        {"--allow-weak-crypto", "--object-streams=disable", "--encrypt", "u", "o", "40", "--"});
    ASSERT_FALSE(file.empty());
    const Probe p = RunProbe(file);
    ExpectErrorBlock(p);
    EXPECT_EQ(p.run.out,
              "error\nModule: CPDFDoc\nMethod: Open\nType: User Error\nFactor: encrypted "
              "document: a password is needed\n");
}

// With its password the probe shows an encrypted file as qpdf decrypts it,
// whatever the handler.
TEST(ProbeReadTest, EncryptedFileOpensWithPassword) {
    E2E_REQUIRE("qpdf");
    ScratchDir dir;
    const std::string plain = dir.Write(
        "plain.pdf", E2EPdf::Fill(E2EPdf::Flat(2, "/Data 5 0 R",
                                               "5 0 obj\n<< /Length {len} >>\nstream\nsecret data\n"
                                               "endstream\nendobj\n")));
    const std::vector<std::vector<std::string>> handlers = {
        {"40"}, {"128", "--use-aes=n"}, {"128", "--use-aes=y"}, {"256", "--force-R5"}, {"256"}};
    for (const auto& handler : handlers) {
        std::vector<std::string> args = {"--allow-weak-crypto", "--object-streams=disable",
                                         "--encrypt", "u", "o"};
        args.insert(args.end(), handler.begin(), handler.end());
        args.push_back("--");
        const std::string file = e2e::QpdfRewrite(plain, dir.File("enc.pdf"), args);
        ASSERT_FALSE(file.empty());
        const std::string root =
            e2e::Run({"qpdf", "--password=u", "--show-object=trailer", file}).out;
        const int data =
            e2e::RefIn(
                e2e::Run({"qpdf", "--password=u",
                          "--show-object=" + std::to_string(e2e::RefIn(root, "Root").first), file})
                    .out,
                "Data")
                .first;
        ASSERT_GT(data, 0);
        const std::string expected =
            e2e::Run({"qpdf", "--password=u", "--show-object=" + std::to_string(data),
                      "--filtered-stream-data", file})
                .out;
        EXPECT_EQ(expected, "secret data");
        for (const char* password : {"u", "o"}) {
            const e2e::RunResult pages = e2e::Run({PROBE_BIN, "--password", password, file});
            EXPECT_EQ(pages.code, 0) << pages.out;
            EXPECT_EQ(pages.out.rfind("pages 2\n", 0), 0u) << pages.out;
            const e2e::RunResult stream = e2e::Run(
                {PROBE_BIN, "--password", password, "--stream", std::to_string(data), file});
            EXPECT_EQ(stream.code, 0);
            EXPECT_EQ(stream.out, expected) << handler[0];
        }
        const e2e::RunResult wrong = e2e::Run({PROBE_BIN, "--password", "x", file});
        EXPECT_EQ(wrong.code, 1);
        EXPECT_NE(wrong.out.find("Factor: incorrect password"), std::string::npos) << wrong.out;
    }
}

TEST(ProbeReadTest, EncryptionSummary) {
    E2E_REQUIRE("qpdf");
    ScratchDir dir;
    const std::string plain = dir.Write("plain.pdf", E2EPdf::Flat(2));
    EXPECT_EQ(e2e::Run({PROBE_BIN, "--encryption", plain}).out, "not encrypted\n");
    struct Case {
        std::vector<std::string> how;
        const char* password;
        std::string shown;
    };
    const Case cases[] = {
        {{"", "o", "40"},
         nullptr,
         "handler Standard\nrevision 2\nversion 1\nkey bits 40\nstrings RC4\nstreams RC4\n"
         "metadata encrypted\npermissions -4\nallow print modify copy annotate fill-forms "
         "extract assemble print-high\nopened-with user\n"},
        {{"u", "o", "128", "--use-aes=y", "--cleartext-metadata", "--print=none", "--modify=none"},
         "o",
         "handler Standard\nrevision 4\nversion 4\nkey bits 128\nstrings AES-128 StdCF\n"
         "streams AES-128 StdCF\nmetadata clear\npermissions -3376\nallow copy extract\n"
         "opened-with owner\n"},
        {{"u", "o", "256"},
         "u",
         "handler Standard\nrevision 6\nversion 5\nkey bits 256\nstrings AES-256 StdCF\n"
         "streams AES-256 StdCF\nmetadata encrypted\npermissions -4\nallow print modify copy "
         "annotate fill-forms extract assemble print-high\nopened-with user\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--allow-weak-crypto", "--object-streams=disable",
                                         "--encrypt"};
        args.insert(args.end(), c.how.begin(), c.how.end());
        args.push_back("--");
        const std::string file = e2e::QpdfRewrite(plain, dir.File("enc.pdf"), args);
        ASSERT_FALSE(file.empty());
        std::vector<std::string> probe = {PROBE_BIN, "--encryption", file};
        if (c.password) probe.insert(probe.begin() + 1, {"--password", c.password});
        const e2e::RunResult r = e2e::Run(probe);
        EXPECT_EQ(r.code, 0) << r.out;
        EXPECT_EQ(r.out, c.shown);
    }
}

TEST(ProbeReadTest, CrossReferenceStreamIsRead) {
    E2E_REQUIRE("qpdf");
    ScratchDir dir;
    const std::string plain = dir.Write("plain.pdf", E2EPdf::Flat(2));
    const std::string file =
        e2e::QpdfRewrite(plain, dir.File("xs.pdf"), {"--object-streams=generate"});
    ASSERT_FALSE(file.empty());
    ASSERT_NE(e2e::ReadBytes(file).find("/XRef"), std::string::npos);
    const Probe p = RunProbe(file);
    ASSERT_TRUE(p.ok) << p.run.out;
    EXPECT_EQ(p.pages, 2);
    EXPECT_EQ(p.pageRefs, e2e::QpdfPages(file));
}

// Damaged files: a clean error block or a sane result, never a crash or hang.
struct Damaged {
    const char* name;
    std::string bytes;
    bool job = true;  // also run the job on it
};

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    const size_t at = s.find(from);
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

std::string Doc(const std::string& objects, const std::string& trailerExtra = "") {
    return E2EPdf::Fill("%PDF-1.4\n" + objects + "{xref}\ntrailer\n<< /Size {size} /Root 1 0 R" +
                        trailerExtra + " >>\nstartxref\n{startxref}\n%%EOF\n");
}

// The offset of object num's entry in the first section replaced.
std::string SetEntryOffset(std::string pdf, int num, long offset) {
    const size_t table = pdf.find("xref\n0 ");
    const size_t line = pdf.find('\n', table + 5) + 1 + 20 * static_cast<size_t>(num);
    char text[16];
    std::snprintf(text, sizeof text, "%010ld", offset);
    pdf.replace(line, 10, std::string(text).substr(0, 10));
    return pdf;
}

const char kCatalog[] = "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";

std::vector<Damaged> DamagedFiles() {
    std::vector<Damaged> files;
    const std::string flat = E2EPdf::Flat(3);
    const std::string startxref = std::to_string(E2EPdf::LastStartxref(flat));
    files.push_back(
        {"StartxrefBeyondFile", Replace(flat, "startxref\n" + startxref, "startxref\n99999999")});
    files.push_back({"StartxrefNegative",
                     Replace(flat, "startxref\n" + startxref, "startxref\n-" + startxref)});
    files.push_back({"EntryBeyondFile", SetEntryOffset(flat, 3, 99999999)});
    files.push_back({"EntryNegative", SetEntryOffset(flat, 3, -1)});
    files.push_back({"EntryNamesAnotherObject",
                     Replace(flat, "<< /Type /Page /Parent 2 0 R >>\nendobj\n4 0 obj",
                             "<< /Type /Page /Parent 2 0 R >>\nendobj\n9 0 obj")});
    files.push_back({"PrevLoop", E2EPdf::Fill("4 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n"
                                              "{xref}\ntrailer\n<< /Size 6 /Root 1 0 R /Prev "
                                              "{startxref} >>\nstartxref\n{startxref}\n%%EOF\n",
                                              flat)});
    files.push_back({"KidsLoopSelf", Doc(std::string(kCatalog) +
                                         "2 0 obj\n<< /Type /Pages /Kids [3 0 R 2 0 R] /Count 2 "
                                         ">>\nendobj\n"
                                         "3 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n")});
    files.push_back({"KidsLoopThroughChild",
                     Doc(std::string(kCatalog) +
                         "2 0 obj\n<< /Type /Pages /Kids [4 0 R] /Count 5 >>\nendobj\n"
                         "3 0 obj\n<< /Type /Page /Parent 4 0 R >>\nendobj\n"
                         "4 0 obj\n<< /Type /Pages /Parent 2 0 R /Kids [3 0 R 2 0 R] /Count 5 "
                         ">>\nendobj\n")});
    files.push_back({"CountTooLarge", Replace(flat, "/Count 3", "/Count 100")});
    files.push_back({"CountTooSmall", Replace(flat, "/Count 3", "/Count 1")});
    files.push_back({"CountNegative", Replace(flat, "/Count 3", "/Count -7")});
    files.push_back({"CountHuge", Replace(flat, "/Count 3", "/Count 2147483647")});
    files.push_back({"KidIsNoDictionary",
                     Doc(std::string(kCatalog) +
                         "2 0 obj\n<< /Type /Pages /Kids [3 0 R 42 (x) 9 0 R] /Count 4 >>\nendobj\n"
                         "3 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n")});
    files.push_back({"PageIsStreamWithoutEndstream",
                     Doc(std::string(kCatalog) +
                         "2 0 obj\n<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>\nendobj\n"
                         "3 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n"
                         "4 0 obj\n<< /Type /Page /Parent 2 0 R /Length 40 >>\nstream\nBT "
                         "ET\nendobj\n")});
    files.push_back({"ContentsWithoutEndstream",
                     Doc(std::string(kCatalog) +
                         "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n"
                         "3 0 obj\n<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>\nendobj\n"
                         "4 0 obj\n<< /Length 5000 >>\nstream\nBT ET\nendobj\n")});
    files.push_back(
        {"LengthNegative", Doc(std::string(kCatalog) +
                               "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n"
                               "3 0 obj\n<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>\nendobj\n"
                               "4 0 obj\n<< /Length -5 >>\nstream\nBT ET\nendstream\nendobj\n")});
    files.push_back(
        {"DeepNesting", Doc(std::string(kCatalog) +
                            "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n"
                            "3 0 obj\n<< /Type /Page /Parent 2 0 R /Deep " +
                            std::string(100000, '[') + " >>\nendobj\n")});
    files.push_back({"DeepPageTree", [] {
                         std::string objects = kCatalog;
                         const int depth = 2000;
                         for (int i = 0; i < depth; ++i)
                             objects += std::to_string(i + 2) + " 0 obj\n<< /Type /Pages /Kids [" +
                                        std::to_string(i + 3) + " 0 R] /Count 1 >>\nendobj\n";
                         objects +=
                             std::to_string(depth + 2) + " 0 obj\n<< /Type /Page >>\nendobj\n";
                         return Doc(objects);
                     }()});
    files.push_back({"NoRoot", Replace(flat, "/Root 1 0 R", "")});
    files.push_back({"RootIsNumber", Replace(flat, "/Root 1 0 R", "/Root 7")});
    files.push_back({"PagesMissing", Replace(flat, "/Pages 2 0 R", "/Pages 77 0 R")});
    files.push_back({"SubsectionHuge", Replace(flat, "xref\n0 ", "xref\n0 2000000000\n0 ")});
    files.push_back({"SubsectionNegative", Replace(flat, "xref\n0 ", "xref\n0 -4\n0 ")});
    files.push_back({"SizeHuge", Replace(flat, "/Size 6", "/Size 2147483647")});
    files.push_back({"NoHeader", flat.substr(9)});
    files.push_back({"Empty", ""});
    files.push_back({"Garbage", std::string(2000, '\xFF')});
    files.push_back({"TruncatedQuarter", flat.substr(0, flat.size() / 4)});
    files.push_back({"TruncatedHalf", flat.substr(0, flat.size() / 2)});
    files.push_back({"TruncatedInXref", flat.substr(0, flat.find("trailer") - 7)});
    files.push_back({"TruncatedInStartxref", flat.substr(0, flat.size() - 8)});
    files.push_back({"TruncatedInEof", flat.substr(0, flat.size() - 3)});
    return files;
}

class ProbeDamagedTest : public ::testing::TestWithParam<Damaged> {};

TEST_P(ProbeDamagedTest, CleanErrorOrSaneResult) {
    ScratchDir dir;
    const std::string file = dir.Write("damaged.pdf", GetParam().bytes);
    const Probe p = RunProbe(file);
    ASSERT_TRUE(p.run.code == 0 || p.run.code == 1) << "exit " << p.run.code << "\n"
                                                    << p.run.out << p.run.err;
    if (p.run.code == 0) {
        EXPECT_TRUE(p.ok) << p.run.out;
        EXPECT_EQ(static_cast<int>(p.pageRefs.size()), p.pages);
    } else {
        ExpectErrorBlock(p);
    }
    // Nothing on standard error but what the library repaired.
    for (const std::string& line : e2e::Lines(p.run.err))
        EXPECT_EQ(line.rfind("warning: ", 0), 0u) << p.run.err;
}

// The job reads every object of the file; it too must end cleanly and must
// leave the input as it was.
TEST_P(ProbeDamagedTest, JobEndsCleanly) {
    if (!GetParam().job) GTEST_SKIP();
    ScratchDir dir;
    const std::string file = dir.Write("damaged.pdf", GetParam().bytes);
    const e2e::RunResult r = e2e::Linkpoint({file, dir.File("out.pdf")});
    ASSERT_TRUE(r.code == 0 || r.code == 1) << "exit " << r.code << "\n" << r.out << r.err;
    if (r.code == 1) {
        EXPECT_EQ(r.out.find("Finish at: "), std::string::npos) << r.out;
        EXPECT_FALSE(e2e::Exists(dir.File("out.pdf")));
    } else {
        // The output may carry the damage over (a lying Count), but reading
        // it ends cleanly too.
        const Probe again = RunProbe(dir.File("out.pdf"));
        EXPECT_TRUE(again.run.code == 0 || again.run.code == 1) << again.run.code;
    }
    EXPECT_EQ(e2e::ReadBytes(file), GetParam().bytes);
    EXPECT_EQ(e2e::Entries(dir.Path(), "cv"), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Files, ProbeDamagedTest, ::testing::ValuesIn(DamagedFiles()),
                         [](const ::testing::TestParamInfo<Damaged>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
