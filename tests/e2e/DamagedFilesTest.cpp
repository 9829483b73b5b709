// Damaged files the way real ones come: each kind of damage as a template,
// repaired by the job with a warning that names the repair, into an output
// that independent readers find clean, with the pages and content streams
// qpdf itself recovers from the damaged input.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/E2E.h"
#include "support/E2EPdf.h"

namespace {

using e2e::Run;

// Three pages with one-line content streams (so that a change of line ends
// leaves their data whole); the third holds bytes that look like objects.
const char kTemplate[] =
    "%PDF-1.4\n"
    "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
    "2 0 obj\n<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /MediaBox [0 0 200 200] >>\n"
    "endobj\n"
    "3 0 obj\n<< /Type /Page /Parent 2 0 R /Contents 6 0 R >>\nendobj\n"
    "4 0 obj\n<< /Type /Page /Parent 2 0 R /Contents 7 0 R >>\nendobj\n"
    "5 0 obj\n<< /Type /Page /Parent 2 0 R /Contents 8 0 R >>\nendobj\n"
    "6 0 obj\n<< /Length {len} >>\nstream\n0 0 m 100 100 l S\nendstream\nendobj\n"
    "7 0 obj\n<< /Length {len} >>\nstream\n0 0 m 150 50 l S % 2 0 obj\nendstream\nendobj\n"
    "8 0 obj\n<< /Length {len} >>\nstream\nBT (1 0 obj << >> endobj \\() Tj ET\nendstream\n"
    "endobj\n"
    "9 0 obj\n<< /Producer (damage test) >>\nendobj\n"
    "{xref}"
    "trailer\n<< /Size {size} /Root 1 0 R /Info 9 0 R >>\n"
    "startxref\n{startxref}\n%%EOF\n";

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// The part of s from the last `from` up to (not including) the next `to`
// taken out.
std::string Cut(const std::string& s, const std::string& from, const std::string& to) {
    const size_t a = s.rfind(from);
    const size_t b = s.find(to, a);
    return s.substr(0, a) + s.substr(b);
}

struct Damage {
    const char* name;
    std::function<std::string(const std::string&)> apply;
    const char* warning;  // what the log's warning says
    // qpdf keeps the line end before "endstream" in a stream whose Length it
    // finds wrong; this reader does not, as the Length of a sound file would
    // not count it: compared with the file before the damage.
    bool againstSound = false;
};

const std::vector<Damage>& Damages() {
    static const std::vector<Damage> all = {
        {"bytes before the header",
         [](const std::string& s) { return "Content-Type: application/pdf\r\n\r\n" + s; },
         "33 bytes before the %PDF- header ignored"},
        {"line ends re-encoded", [](const std::string& s) { return Replace(s, "\n", "\r\n"); },
         "cross-reference table rebuilt: 9 objects found"},
        {"startxref pointing nowhere",
         [](const std::string& s) {
             const size_t at = s.rfind("startxref\n") + 10;
             return s.substr(0, at) + "60" + s.substr(s.find('\n', at));
         },
         "cross-reference table rebuilt: 9 objects found (cross-reference stream at offset 60: "
         "no object starts here)"},
        {"startxref far from the end",
         [](const std::string& s) { return s + std::string(1500, '\n') + "junk\n"; },
         "cross-reference table rebuilt: 9 objects found (Cannot find startxref)"},
        {"table with wrong entries",
         [](const std::string& s) {
             // Entries of objects 3 and 6 swapped.
             const size_t table = s.rfind("\nxref\n") + 1;
             std::string out = s;
             const size_t e3 = table + 10 + 3 * 20, e6 = table + 10 + 6 * 20;
             for (int i = 0; i < 10; ++i) std::swap(out[e3 + i], out[e6 + i]);
             return out;
         },
         "cross-reference table rebuilt: 9 objects found (object 6 0 is not at offset 151)"},
        {"no table at all", [](const std::string& s) { return Cut(s, "xref\n0 ", "trailer"); },
         "cross-reference table rebuilt: 9 objects found"},
        {"missing trailer", [](const std::string& s) { return Cut(s, "trailer", "startxref"); },
         "cross-reference table rebuilt: 9 objects found"},
        {"broken trailer",
         [](const std::string& s) { return Replace(s, "/Info 9 0 R >>", "/Info 9 0 R /X (>>"); },
         "cross-reference table rebuilt: 9 objects found"},
        {"wrong /Length",
         [](const std::string& s) {
             return Replace(s, "<< /Length 26 >>\nstream\n0 0 m 150",
                            "<< /Length 99 >>\nstream\n0 0 m 150");
         },
         "object 7 0: wrong /Length, the data runs to its endstream (26 bytes)", true},
        {"file cut short",
         [](const std::string& s) { return s.substr(0, s.rfind("\nxref\n") + 60); },
         "cross-reference table rebuilt: 9 objects found (Cannot find startxref)"},
    };
    return all;
}

// The content streams of each page, decoded, as qpdf reads the file (it
// repairs a damaged one as it goes).
std::vector<std::string> PageContents(const std::string& file) {
    std::vector<std::string> pages;
    const e2e::RunResult shown = Run({"qpdf", "--show-pages", file});
    for (const std::string& line : e2e::Lines(shown.out)) {
        if (line.rfind("page ", 0) == 0) {
            pages.emplace_back();
        } else if (line.rfind("    ", 0) == 0 && !pages.empty()) {
            const std::string num = line.substr(4, line.find(' ', 4) - 4);
            const e2e::RunResult data =
                Run({"qpdf", "--show-object=" + num, "--filtered-stream-data", file});
            pages.back() += data.out;
        }
    }
    return pages;
}

// What every repaired output must be. The pages are those qpdf recovers
// from the damaged file or, where it recovers nothing (no trailer left), those
// of the file before the damage.
void ExpectRepaired(std::string damaged, const std::string& out, const std::string& log,
                    const std::string& warning, const std::string& sound = "") {
    if (!sound.empty() && e2e::QpdfPageCount(damaged) < 0) damaged = sound;
    EXPECT_NE(log.find("%%[ Warning: " + warning), std::string::npos) << log;
    EXPECT_EQ(log.find("Error"), std::string::npos) << log;
    std::string check;
    EXPECT_TRUE(e2e::QpdfCheck(out, &check)) << check;
    const int pages = e2e::QpdfPageCount(damaged);
    EXPECT_GT(pages, 0);
    EXPECT_EQ(e2e::QpdfPageCount(out), pages);
    EXPECT_EQ(PageContents(out), PageContents(damaged));
    bool ok = false;
    const std::vector<e2e::InfoDest> dests = e2e::PdfinfoDests(out, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(static_cast<int>(dests.size()), pages);
    std::set<int> seen;
    for (const auto& d : dests) seen.insert(d.page);
    EXPECT_EQ(static_cast<int>(seen.size()), pages);
}

}  // namespace

TEST(DamagedFilesTest, EachKindOfDamageIsRepairedWithAWarning) {
    E2E_REQUIRE("qpdf");
    E2E_REQUIRE("pdfinfo");
    const std::string clean = E2EPdf::Fill(kTemplate);
    ScratchDir dir;
    const std::string sound = dir.Write("sound.pdf", clean);
    for (const Damage& d : Damages()) {
        SCOPED_TRACE(d.name);
        const std::string bytes = d.apply(clean);
        ASSERT_NE(bytes, clean);
        const std::string in = dir.Write("in.pdf", bytes);
        const std::string out = dir.File("out.pdf");
        const e2e::RunResult r = e2e::Linkpoint({in, out});
        ASSERT_EQ(r.code, 0) << r.out;
        EXPECT_EQ(e2e::ReadBytes(in), bytes);
        ExpectRepaired(d.againstSound ? sound : in, out, r.out, d.warning, sound);
        // The output needs no repair: the job on it warns of nothing.
        const e2e::RunResult again = e2e::Linkpoint({out, dir.File("again.pdf"), "-o"});
        EXPECT_EQ(again.code, 0);
        EXPECT_EQ(again.out.find("Warning"), std::string::npos) << again.out;
    }
}

TEST(DamagedFilesTest, ProbeListsTheRepairs) {
    ScratchDir dir;
    const std::string in =
        dir.Write("in.pdf", "junk\n" + Cut(E2EPdf::Fill(kTemplate), "xref\n0 ", "trailer"));
    const e2e::Probe probe = e2e::RunProbe(in);
    ASSERT_TRUE(probe.ok) << probe.run.err;
    EXPECT_EQ(probe.pages, 3);
    EXPECT_EQ(
        e2e::Lines(probe.run.err),
        (std::vector<std::string>{
            "warning: 5 bytes before the %PDF- header ignored",
            "warning: cross-reference table rebuilt: 9 objects found (no cross-reference table at "
            "offset 612)"}));
}

// Files a real producer wrote, with their tables lost: an encrypted one
// (the key comes from the trailer found) and one whose objects lie in object
// streams behind a cross-reference stream.
TEST(DamagedFilesTest, ProducerFilesWithoutTheirTables) {
    E2E_REQUIRE("qpdf");
    E2E_REQUIRE("pdfinfo");
    ScratchDir dir;
    const std::string plain = dir.Write("plain.pdf", E2EPdf::Fill(kTemplate));
    struct Case {
        const char* name;
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {"encrypted",
         {"--object-streams=disable", "--allow-weak-crypto", "--encrypt", "", "owner", "128",
          "--"}},
        {"object streams", {"--object-streams=generate"}},
        {"aes-256 in object streams",
         {"--object-streams=generate", "--encrypt", "", "owner", "256", "--"}},
        {"aes-256 without trailer",
         {"--object-streams=disable", "--encrypt", "", "owner", "256", "--"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> argv = {"qpdf"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        argv.push_back(plain);
        argv.push_back(dir.File("made.pdf"));
        ASSERT_EQ(e2e::Run(argv).code, 0);
        std::string bytes = e2e::ReadBytes(dir.File("made.pdf"));
        // startxref now leads nowhere.
        const size_t at = bytes.rfind("startxref") + 10;
        bytes = bytes.substr(0, at) + "17" + bytes.substr(bytes.find_first_of("\r\n", at));
        // Without its trailer the AES-256 file still names its encryption
        // dictionary (which needs no ID).
        if (c.name == std::string("aes-256 without trailer"))
            bytes = Cut(bytes, "trailer", "startxref");
        const std::string in = dir.Write("in.pdf", bytes);
        const std::string out = dir.File("out.pdf");
        const e2e::RunResult r = e2e::Linkpoint({in, out});
        ASSERT_EQ(r.code, 0) << r.out;
        ExpectRepaired(in, out, r.out, "cross-reference table rebuilt: ", dir.File("made.pdf"));
    }
}

TEST(DamagedFilesTest, NoCatalogOrNoPagesIsACleanRefusal) {
    ScratchDir dir;
    const std::string clean = E2EPdf::Fill(kTemplate);
    struct Case {
        const char* name;
        std::string bytes;
        const char* factor;
    };
    const std::vector<Case> cases = {
        {"no catalog",
         Replace(Cut(Cut(clean, "xref\n0 ", "trailer"), "trailer", "startxref"),
                 "/Type /Catalog /Pages 2 0 R", "/Pages 2 0 R"),
         "Factor: damaged file: no document catalog among the 9 objects found"},
        {"nothing but a header", "%PDF-1.4\n%%EOF\n",
         "Factor: damaged file: no document catalog among the 0 objects found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string& bytes = c.bytes;
        const std::string in = dir.Write("in.pdf", bytes);
        const e2e::RunResult r = e2e::Linkpoint({in, dir.File("out.pdf")});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.out.find(c.factor), std::string::npos) << r.out;
        EXPECT_FALSE(e2e::Exists(dir.File("out.pdf")));
        EXPECT_EQ(e2e::ReadBytes(in), bytes);
    }
}
