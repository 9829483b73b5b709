#pragma once

// Running the built programs and the independent PDF tools from the
// end-to-end tests, and reading what they print.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/ScratchDir.h"

namespace e2e {

// What a child process left behind. A child killed by the time limit or by a
// signal has a code of 124 or 128 + the signal, as timeout(1) reports it.
struct RunResult {
    std::string out;
    std::string err;
    int code = -1;
};

// Runs argv[0] (looked up in PATH) with a time limit of 20 seconds, in cwd
// when it is not empty, with no standard input.
RunResult Run(const std::vector<std::string>& argv, const std::string& cwd = "");

// True when the program can be found in PATH.
bool Have(const std::string& program);

// Whole contents of a file, or "" when it cannot be read.
std::string ReadBytes(const std::string& path);
// Writes bytes to a file, replacing it; false on failure.
bool WriteBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// The text split at '\n' (a final empty piece is dropped).
std::vector<std::string> Lines(const std::string& text);
// Names in a directory that start with prefix, sorted.
std::vector<std::string> Entries(const std::string& dir, const std::string& prefix = "");

// The two programs under test.
RunResult Linkpoint(const std::vector<std::string>& args, const std::string& cwd = "");

struct ProbeDest {
    std::string name;  // UTF-8
    int num = -1;      // -1 for a direct destination
    int gen = -1;
    bool operator==(const ProbeDest&) const = default;
};

struct Probe {
    RunResult run;
    bool ok = false;  // exit 0 with a "pages" line
    int pages = -1;
    std::vector<std::pair<int, int>> pageRefs;
    std::vector<ProbeDest> dests;
    // The four report lines of a failure, by their label ("Module", ...).
    std::map<std::string, std::string> report;
};
Probe RunProbe(const std::string& file);
// The destination names the probe listed, in tree order.
std::vector<std::string> DestNames(const Probe& probe);

// Checks the log of a successful run: "Start at: <ctime>", "InputFile: in",
// "OutputFile: out", the notices in order, the counts line, "Finish at:
// <ctime>" and nothing else. Returns "" when it matches, else what is wrong.
std::string CheckSuccessLog(const std::string& log, const std::string& in, const std::string& out,
                            const std::vector<std::string>& notices = {});
// True for "Added N, replaced N, already present N" and "Removed N".
bool IsCountsLine(const std::string& line);
// The log's counts line, or "".
std::string CountsLine(const std::string& log);
// True for the ctime form "Www Mmm dd hh:mm:ss yyyy".
bool IsCtime(const std::string& text);

// The independent readers.
// Page references as `qpdf --show-pages` lists them; empty on failure.
std::vector<std::pair<int, int>> QpdfPages(const std::string& file);
// `qpdf --show-npages`, or -1.
int QpdfPageCount(const std::string& file);
// `qpdf --check` passes.
bool QpdfCheck(const std::string& file, std::string* output = nullptr);

// `qpdf --show-object=ID` ("trailer" or a number), trimmed; "null" for a
// number that names no object, "" when qpdf fails.
std::string QpdfObject(const std::string& file, const std::string& id);
std::string QpdfObject(const std::string& file, int num);
// The reference "/Key N G R" in an object's text, or {-1, -1}.
std::pair<int, int> RefIn(const std::string& text, const std::string& key);
// Follows a chain of keys from the trailer ("Root", "Names", "Dests") and
// returns the text of the last object reached ("" when a link is missing).
std::string QpdfFollow(const std::string& file, const std::vector<std::string>& keys,
                       int* num = nullptr);

struct InfoDest {
    int page = 0;
    std::string view;  // "XYZ null null null", "FitH 500", ...
    std::string name;
};
// `pdfinfo -dests`, one entry per named destination in the order listed.
std::vector<InfoDest> PdfinfoDests(const std::string& file, bool* ok = nullptr);

// The producers. Each returns the path written, or "" when it failed.
// A document of `pages` pages from a PostScript program, through ghostscript.
std::string GhostscriptPdf(const ScratchDir& dir, const std::string& name, int pages);
// A short man page with `pages` forced page breaks, through groff -Tpdf.
std::string GroffPdf(const ScratchDir& dir, const std::string& name, int pages);
// `qpdf args... in out` with classic cross-reference tables; "" on failure.
std::string QpdfRewrite(const std::string& in, const std::string& out,
                        const std::vector<std::string>& args);

}  // namespace e2e

// Skips the current test when a producer or reader is not installed.
#define E2E_REQUIRE(program)                                                     \
    do {                                                                         \
        if (!e2e::Have(program)) GTEST_SKIP() << program << " is not installed"; \
    } while (0)
