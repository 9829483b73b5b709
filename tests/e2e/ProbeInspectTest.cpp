// The probe as an inspection command: objects, trailer and table as qpdf
// shows them, destinations as pdfinfo lists them, the outline, and the JSON
// document read back by Python's parser.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/E2E.h"
#include "support/E2EPdf.h"
#include "support/XRefStreamPdf.h"

namespace {

using e2e::Lines;
using e2e::RunResult;

RunResult Probe(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {PROBE_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    return e2e::Run(argv);
}

// A string token's bytes as lowercase hex, however it was written.
std::string StringHex(const std::string& token) {
    std::string bytes;
    if (token[0] == '<') {
        std::string digits;
        for (char c : token.substr(1, token.size() - 2))
            if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
        if (digits.size() % 2) digits += '0';
        for (size_t i = 0; i < digits.size(); i += 2)
            bytes += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
    } else {
        const std::string body = token.substr(1, token.size() - 2);
        for (size_t i = 0; i < body.size(); ++i) {
            if (body[i] != '\\' || i + 1 == body.size()) {
                bytes += body[i];
                continue;
            }
            const char e = body[++i];
            if (e >= '0' && e <= '7') {
                int v = 0, n = 0;
                for (; n < 3 && i < body.size() && body[i] >= '0' && body[i] <= '7'; ++n, ++i)
                    v = v * 8 + (body[i] - '0');
                --i;
                bytes += static_cast<char>(v);
            } else if (e == 'n') {
                bytes += '\n';
            } else if (e == 'r') {
                bytes += '\r';
            } else if (e == 't') {
                bytes += '\t';
            } else if (e == 'b') {
                bytes += '\b';
            } else if (e == 'f') {
                bytes += '\f';
            } else if (e != '\n') {
                bytes += e;
            }
        }
    }
    std::string hex = "<";
    for (unsigned char c : bytes) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02x", c);
        hex += buf;
    }
    return hex + ">";
}

// PDF syntax as tokens, so that spacing and the spelling of strings do not
// count: delimiters and names stand alone, strings become their bytes.
std::vector<std::string> Tokens(const std::string& text) {
    std::vector<std::string> out;
    std::string word;
    auto end = [&] {
        if (!word.empty()) out.push_back(word);
        word.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '(') {
            end();
            int depth = 0;
            size_t j = i;
            for (; j < text.size(); ++j) {
                if (text[j] == '\\') {
                    ++j;
                    continue;
                }
                if (text[j] == '(') ++depth;
                if (text[j] == ')' && --depth == 0) break;
            }
            out.push_back(StringHex(text.substr(i, j - i + 1)));
            i = j;
        } else if ((c == '<' || c == '>') && i + 1 < text.size() && text[i + 1] == c) {
            end();
            out.push_back(std::string(2, c));
            ++i;
        } else if (c == '<') {
            end();
            const size_t j = text.find('>', i);
            if (j == std::string::npos) {  // no end: the rest as one token
                out.push_back(text.substr(i));
                break;
            }
            out.push_back(StringHex(text.substr(i, j - i + 1)));
            i = j;
        } else if (c == '[' || c == ']') {
            end();
            out.push_back(std::string(1, c));
        } else if (c == '/') {
            end();
            word = "/";
        } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            end();
        } else {
            word += c;
        }
    }
    end();
    return out;
}

// Values of every kind, a stream compressed and one not, a string with
// delimiters, an old-style Dests dictionary, a name tree and an outline.
std::string Sample() {
    const std::string data = "BT /F1 12 Tf (Hello) Tj ET";
    const std::string packed = Deflate(data);
    return E2EPdf::Fill(
        "%PDF-1.5\n"
        "1 0 obj\n<< /Type /Catalog /Pages 2 0 R /Names << /Dests 10 0 R >> /Dests 11 0 R"
        " /Outlines 12 0 R >>\nendobj\n"
        "2 0 obj\n<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /MediaBox [0 0 612 792] >>\n"
        "endobj\n"
        "3 0 obj\n<< /Type /Page /Parent 2 0 R /Contents 6 0 R >>\nendobj\n"
        "4 0 obj\n<< /Type /Page /Parent 2 0 R /Contents 7 0 R >>\nendobj\n"
        "5 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n"
        "6 0 obj\n<< /Length {len} >>\nstream\n" +
        data +
        "\nendstream\nendobj\n"
        "7 0 obj\n<< /Length {len} /Filter /FlateDecode >>\nstream\n" +
        packed +
        "\nendstream\nendobj\n"
        "8 0 obj\n[1 -2.5 true false null /N#20ame (a \\(b\\) c) <414243> 3 0 R"
        " << /K [] >>]\nendobj\n"
        "9 0 obj\n<< /Title (text) >>\nendobj\n"
        "10 0 obj\n<< /Names [(alpha) [3 0 R /XYZ 0 792 null] (beta) 13 0 R"
        " (gamma) << /D [5 0 R /Fit] >>] >>\nendobj\n"
        "11 0 obj\n<< /old [4 0 R /FitH 500] /older [3 0 R /Fit] >>\nendobj\n"
        "12 0 obj\n<< /Type /Outlines /First 14 0 R /Last 15 0 R /Count 3 >>\nendobj\n"
        "13 0 obj\n[4 0 R /FitV 100]\nendobj\n"
        "14 0 obj\n<< /Title (Chapter one) /Parent 12 0 R /Next 15 0 R /First 16 0 R"
        " /Last 16 0 R /Dest [3 0 R /Fit] >>\nendobj\n"
        "15 0 obj\n<< /Title <FEFF00DC0062006500720020> /Parent 12 0 R /Prev 14 0 R"
        " /Dest (beta) >>\nendobj\n"
        "16 0 obj\n<< /Title (Section) /Parent 14 0 R /A << /S /GoTo /D /old >> >>\nendobj\n"
        "{xref}\ntrailer\n<< /Size {size} /Root 1 0 R /Info 9 0 R"
        " /ID [<00112233445566778899AABBCCDDEEFF> <00112233445566778899AABBCCDDEEFF>] >>\n"
        "startxref\n{startxref}\n%%EOF\n");
}

TEST(ProbeInspectTest, ObjectsAndTrailerAreQpdfs) {
    E2E_REQUIRE("qpdf");
    ScratchDir dir;
    const std::string file = dir.Write("sample.pdf", Sample());
    std::string check;
    ASSERT_TRUE(e2e::QpdfCheck(file, &check)) << check;
    for (int num = 1; num <= 16; ++num) {
        const RunResult r = Probe({"--object", std::to_string(num), file});
        ASSERT_EQ(r.code, 0) << num << r.out << r.err;
        // qpdf says "Object is stream.  Dictionary:" before a stream's dictionary.
        std::string theirs = e2e::QpdfObject(file, num);
        if (theirs.rfind("Object is stream.", 0) == 0) theirs.erase(0, theirs.find("<<"));
        EXPECT_EQ(Tokens(r.out), Tokens(theirs)) << num << ": " << r.out;
    }
    const RunResult t = Probe({"--trailer", file});
    ASSERT_EQ(t.code, 0) << t.out;
    EXPECT_EQ(Tokens(t.out), Tokens(e2e::QpdfObject(file, "trailer"))) << t.out;
}

TEST(ProbeInspectTest, StreamDataRawAndDecoded) {
    ScratchDir dir;
    const std::string file = dir.Write("sample.pdf", Sample());
    const std::string packed = Deflate("BT /F1 12 Tf (Hello) Tj ET");
    const RunResult raw = Probe({"--object", "7", "--raw", file});
    ASSERT_EQ(raw.code, 0) << raw.out << raw.err;
    const size_t at = raw.out.find(">>\nstream\n");
    ASSERT_NE(at, std::string::npos) << raw.out;
    // As stored: up to "endstream", the line end before it included.
    EXPECT_EQ(raw.out.substr(at + 10), packed + "\n\nendstream\n");
    const RunResult decoded = Probe({"--decoded", "--object", "7", file});
    ASSERT_EQ(decoded.code, 0) << decoded.out << decoded.err;
    EXPECT_NE(decoded.out.find(">>\nstream\nBT /F1 12 Tf (Hello) Tj ET\nendstream\n"),
              std::string::npos)
        << decoded.out;
    // Without either, the dictionary alone.
    const RunResult dict = Probe({"--object", "7", file});
    EXPECT_EQ(dict.out.find("stream\n"), std::string::npos) << dict.out;
}

TEST(ProbeInspectTest, WrongUseAndMissingObjects) {
    ScratchDir dir;
    const std::string file = dir.Write("sample.pdf", Sample());
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--decoded", file},
                                                 {"--raw", "--trailer", file},
                                                 {"--object", "7", "--raw", "--decoded", file},
                                                 {"--xref", "--dests", file},
                                                 {"--object", "x", file},
                                                 {"--decoded", "--stream", "6", file}}) {
        const RunResult r = Probe(args);
        EXPECT_EQ(r.code, 2) << args[0] << " " << args[1];
        EXPECT_NE(r.err.find("usage: corvina-probe"), std::string::npos);
    }
    const RunResult missing = Probe({"--object", "99", file});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.out.find("Factor: no such object: 99"), std::string::npos) << missing.out;
}

// "N G kind a [b]" from the probe, "N/G: uncompressed; offset = A" or
// "N/G: compressed; stream = S, index = I" from qpdf, both as one map.
using XRefMap = std::map<int, std::tuple<int, std::string, int, int>>;

XRefMap ProbeXRef(const std::string& out, std::set<int>* freed) {
    XRefMap map;
    for (const std::string& line : Lines(out)) {
        std::istringstream in(line);
        int num = -1, gen = -1, a = -1, b = -1;
        std::string kind;
        in >> num >> gen >> kind >> a;
        if (kind == "free") {
            freed->insert(num);
            continue;
        }
        if (kind == "stream") in >> b;
        map[num] = {gen, kind, a, b};
    }
    return map;
}

XRefMap QpdfXRef(const std::string& file) {
    XRefMap map;
    for (const std::string& line : Lines(e2e::Run({"qpdf", "--show-xref", file}).out)) {
        int num = -1, gen = -1, a = -1, b = -1;
        if (std::sscanf(line.c_str(), "%d/%d: uncompressed; offset = %d", &num, &gen, &a) == 3)
            map[num] = {gen, "offset", a, -1};
        else if (std::sscanf(line.c_str(), "%d/%d: compressed; stream = %d, index = %d", &num, &gen,
                             &a, &b) == 4)
            map[num] = {gen, "stream", a, b};
    }
    return map;
}

TEST(ProbeInspectTest, XRefIsQpdfsForTablesAndObjectStreams) {
    E2E_REQUIRE("qpdf");
    ScratchDir dir;
    const std::string classic = dir.Write("sample.pdf", Sample());
    XRefStreamPdf x;
    x.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    x.ObjStm(5, {{2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 9 9] >>"},
                 {3, "<< /Type /Page /Parent 2 0 R >>"},
                 {4, "<< /Type /Page /Parent 2 0 R >>"}});
    x.Obj(7, "(freed below)");
    x.editRows = [](std::map<int, XRefStreamPdf::Row>& rows) { rows[7] = {0, 0, 1}; };
    const std::string packed = dir.Write("objstm.pdf", x.Bytes());
    for (const std::string& file : {classic, packed}) {
        const RunResult r = Probe({"--xref", file});
        ASSERT_EQ(r.code, 0) << r.out << r.err;
        std::set<int> freed;
        const XRefMap ours = ProbeXRef(r.out, &freed);
        EXPECT_FALSE(ours.empty());
        EXPECT_EQ(ours, QpdfXRef(file)) << r.out;
        EXPECT_EQ(freed, (file == packed ? std::set<int>{7} : std::set<int>{})) << r.out;
    }
    // The object streams' objects are there as such, and a free entry with
    // the next free number and its generation.
    const RunResult r = Probe({"--xref", packed});
    EXPECT_NE(r.out.find("3 0 stream 5 1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("7 1 free 0\n"), std::string::npos) << r.out;
}

TEST(ProbeInspectTest, DestsOfTreeAndCatalogAreThoseOfPdfinfo) {
    E2E_REQUIRE("pdfinfo");
    ScratchDir dir;
    const std::string file = dir.Write("sample.pdf", Sample());
    const RunResult r = Probe({"--dests", file});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(r.out,
              "tree\t1\t/XYZ 0 792 null\talpha\n"
              "tree\t2\t/FitV 100\tbeta\n"
              "tree\t3\t/Fit\tgamma\n"
              "dests\t2\t/FitH 500\told\n"
              "dests\t1\t/Fit\tolder\n");
    // pdfinfo lists the same names with the same pages, whatever its order.
    std::set<std::pair<std::string, int>> ours, theirs;
    for (const std::string& line : Lines(r.out)) {
        const size_t name = line.rfind('\t');
        ours.insert({line.substr(name + 1), std::atoi(line.c_str() + line.find('\t') + 1)});
    }
    bool ok = false;
    for (const e2e::InfoDest& d : e2e::PdfinfoDests(file, &ok)) theirs.insert({d.name, d.page});
    ASSERT_TRUE(ok);
    EXPECT_EQ(ours, theirs);
}

TEST(ProbeInspectTest, OutlineWithDepthsAndPages) {
    ScratchDir dir;
    const std::string file = dir.Write("sample.pdf", Sample());
    const RunResult r = Probe({"--outline", file});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(r.out,
              "1\t1\tChapter one\n2\t2\tSection\n1\t2\t\xC3\x9C"
              "ber \n");
    // An outline whose items point back at each other ends.
    const std::string loop = dir.Write(
        "loop.pdf", E2EPdf::Flat(1, "/Outlines 4 0 R",
                                 "4 0 obj\n<< /First 5 0 R >>\nendobj\n"
                                 "5 0 obj\n<< /Title (a) /Next 6 0 R /First 5 0 R >>\nendobj\n"
                                 "6 0 obj\n<< /Title (b) /Next 5 0 R >>\nendobj\n"));
    const RunResult l = Probe({"--outline", loop});
    EXPECT_EQ(l.code, 0);
    EXPECT_EQ(l.out, "1\t0\ta\n1\t0\tb\n");
}

// The probe's JSON read by Python, and a few of its values printed back.
std::string ReadJson(const std::string& file, const std::string& expr) {
    const RunResult j = Probe({"--json", file});
    EXPECT_EQ(j.code, 0) << j.out << j.err;
    const std::string path = file + ".json";
    e2e::WriteBytes(path, j.out);
    const RunResult py =
        e2e::Run({"python3", "-c",
                  "import json,sys\nd=json.load(open(sys.argv[1],encoding='utf-8'))\n"
                  "print(" +
                      expr + ")",
                  path});
    EXPECT_EQ(py.code, 0) << py.err << j.out;
    return py.out;
}

TEST(ProbeInspectTest, JsonParsesAndHoldsWhatTheOtherViewsShow) {
    E2E_REQUIRE("python3");
    ScratchDir dir;
    const std::string file = dir.Write("sample.pdf", Sample());
    EXPECT_EQ(ReadJson(file, "d['version'], len(d['pages']), d['pages'][2]"),
              "1.5 3 {'page': 3, 'object': [5, 0]}\n");
    EXPECT_EQ(
        ReadJson(file, "[(x['source'], x['name'], x['page'], x['view']) for x in d['dests']]"),
        "[('tree', 'alpha', 1, '/XYZ 0 792 null'), ('tree', 'beta', 2, '/FitV 100'), "
        "('tree', 'gamma', 3, '/Fit'), ('dests', 'old', 2, '/FitH 500'), "
        "('dests', 'older', 1, '/Fit')]\n");
    EXPECT_EQ(ReadJson(file, "sorted(d['trailer']), d['trailer']['Root'], d['encryption']"),
              "['ID', 'Info', 'Root', 'Size'] 1 0 R None\n");

    // Names that need escaping: quotes, a backslash, a control byte, bytes
    // that are no UTF-8.
    const std::string odd = dir.Write(
        "odd.pdf", E2EPdf::Flat(1, "/Names << /Dests 4 0 R >>",
                                "4 0 obj\n<< /Names [(a\"b\\\\c\\001) [3 0 R /Fit] (\\377x) [3 0 R"
                                " /Fit]] >>\nendobj\n"));
    EXPECT_EQ(ReadJson(odd, "[x['name'] for x in d['dests']]"),
              "['a\"b\\\\c\\x01', '\xEF\xBF\xBDx']\n");
}

TEST(ProbeInspectTest, JsonSummarisesEncryption) {
    E2E_REQUIRE("qpdf");
    E2E_REQUIRE("python3");
    ScratchDir dir;
    const std::string plain = dir.Write("plain.pdf", Sample());
    const std::string locked = dir.File("aes.pdf");
    ASSERT_EQ(e2e::Run({"qpdf", "--encrypt", "user", "owner", "256", "--", plain, locked}).code, 0);
    const RunResult r = Probe({"--password", "owner", "--json", locked});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    const std::string path = dir.Write("aes.json", r.out);
    const RunResult py = e2e::Run({"python3", "-c",
                                   "import json,sys\ne=json.load(open(sys.argv[1]))['encryption']\n"
                                   "print(e['revision'], e['key_bits'], e['strings'], e['streams'],"
                                   " e['opened_with'], e['metadata_encrypted'])",
                                   path});
    EXPECT_EQ(py.out, "6 256 AES-256 AES-256 owner True\n") << r.out;
}

}  // namespace
