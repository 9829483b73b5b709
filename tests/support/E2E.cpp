#include "support/E2E.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

namespace e2e {

namespace {

// Generous: every run here takes well under a second; the limit only turns a
// hang into a failure.
constexpr const char* kTimeLimit = "20";

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    const size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Runs of spaces become one space.
std::string Squeeze(const std::string& s) {
    std::string out;
    for (char c : Trim(s)) {
        if (c == ' ' && !out.empty() && out.back() == ' ') continue;
        out += c;
    }
    return out;
}

}  // namespace

RunResult Run(const std::vector<std::string>& argv, const std::string& cwd) {
    RunResult r;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0) return r;
    if (pipe(errPipe) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return r;
    }
    std::vector<std::string> full = {"timeout", "-k", "5", kTimeLimit};
    full.insert(full.end(), argv.begin(), argv.end());
    std::vector<char*> args;
    for (auto& a : full) args.push_back(a.data());
    args.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(outPipe[1]);
        close(errPipe[0]);
        close(errPipe[1]);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return r;
    }
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&r.out, &r.err};
    int live = 2;
    while (live > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --live;
            }
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        r.code = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        r.code = 128 + WTERMSIG(status);
    return r;
}

bool Have(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
    }
    return false;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::stringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::vector<std::string> Entries(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

RunResult Linkpoint(const std::vector<std::string>& args, const std::string& cwd) {
    std::vector<std::string> argv = {LINKPOINT_BIN};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv, cwd);
}

Probe RunProbe(const std::string& file) {
    Probe p;
    p.run = Run({PROBE_BIN, file});
    for (const std::string& line : Lines(p.run.out)) {
        std::istringstream in(line);
        std::string word;
        in >> word;
        if (word == "pages") {
            in >> p.pages;
        } else if (word == "page") {
            int index = 0, num = 0, gen = 0;
            in >> index >> num >> gen;
            p.pageRefs.emplace_back(num, gen);
        } else if (word == "dest") {
            // The name may hold spaces: the reference is at the end.
            const std::string rest = line.substr(5);
            ProbeDest d;
            if (rest.size() >= 7 && rest.compare(rest.size() - 7, 7, " direct") == 0) {
                d.name = rest.substr(0, rest.size() - 7);
            } else {
                const size_t g = rest.rfind(' ');
                const size_t n = g == std::string::npos ? g : rest.rfind(' ', g - 1);
                if (n == std::string::npos) continue;
                d.name = rest.substr(0, n);
                d.num = std::atoi(rest.c_str() + n + 1);
                d.gen = std::atoi(rest.c_str() + g + 1);
            }
            p.dests.push_back(d);
        } else {
            const size_t colon = line.find(": ");
            if (colon != std::string::npos)
                p.report[line.substr(0, colon)] = line.substr(colon + 2);
            else if (line.size() > 1 && line.back() == ':')
                p.report[line.substr(0, line.size() - 1)] = "";
        }
    }
    p.ok = p.run.code == 0 && p.pages >= 0;
    return p;
}

std::vector<std::string> DestNames(const Probe& probe) {
    std::vector<std::string> names;
    for (const ProbeDest& d : probe.dests) names.push_back(d.name);
    return names;
}

bool IsCtime(const std::string& text) {
    static const std::regex form(
        "(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
        "[ 123][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}");
    return std::regex_match(text, form);
}

std::string CheckSuccessLog(const std::string& log, const std::string& in, const std::string& out,
                            const std::vector<std::string>& notices) {
    const std::vector<std::string> lines = Lines(log);
    if (log.empty() || log.back() != '\n') return "log does not end a line:\n" + log;
    if (lines.size() != notices.size() + 5)
        return "expected " + std::to_string(notices.size() + 5) + " lines:\n" + log;
    if (lines[0].rfind("Start at: ", 0) != 0 || !IsCtime(lines[0].substr(10)))
        return "first line: " + lines[0];
    if (lines[1] != "InputFile: " + in) return "second line: " + lines[1];
    if (lines[2] != "OutputFile: " + out) return "third line: " + lines[2];
    for (size_t i = 0; i < notices.size(); ++i)
        if (lines[3 + i] != notices[i]) return "notice: " + lines[3 + i] + " for " + notices[i];
    if (!IsCountsLine(lines[lines.size() - 2])) return "counts line: " + lines[lines.size() - 2];
    if (lines.back().rfind("Finish at: ", 0) != 0 || !IsCtime(lines.back().substr(11)))
        return "last line: " + lines.back();
    return "";
}

bool IsCountsLine(const std::string& line) {
    long added, replaced, present, removed;
    char end;
    return std::sscanf(line.c_str(), "Added %ld, replaced %ld, already present %ld%c", &added,
                       &replaced, &present, &end) == 3 ||
           std::sscanf(line.c_str(), "Removed %ld%c", &removed, &end) == 1;
}

std::string CountsLine(const std::string& log) {
    for (const std::string& line : Lines(log))
        if (IsCountsLine(line)) return line;
    return "";
}

std::vector<std::pair<int, int>> QpdfPages(const std::string& file) {
    std::vector<std::pair<int, int>> refs;
    const RunResult r = Run({"qpdf", "--show-pages", file});
    if (r.code != 0 && r.code != 3) return refs;  // 3: warnings only
    for (const std::string& line : Lines(r.out)) {
        int index = 0, num = 0, gen = 0;
        char keyword = 0;
        if (std::sscanf(line.c_str(), "page %d: %d %d %c", &index, &num, &gen, &keyword) == 4 &&
            keyword == 'R')
            refs.emplace_back(num, gen);
    }
    return refs;
}

int QpdfPageCount(const std::string& file) {
    const RunResult r = Run({"qpdf", "--show-npages", file});
    if (r.code != 0 && r.code != 3) return -1;
    return std::atoi(r.out.c_str());
}

bool QpdfCheck(const std::string& file, std::string* output) {
    const RunResult r = Run({"qpdf", "--check", file});
    if (output) *output = r.out + r.err;
    return r.code == 0;
}

std::string QpdfObject(const std::string& file, const std::string& id) {
    const RunResult r = Run({"qpdf", "--show-object=" + id, file});
    return r.code == 0 || r.code == 3 ? Trim(r.out.substr(0, r.out.find_last_not_of('\n') + 1))
                                      : "";
}

std::string QpdfObject(const std::string& file, int num) {
    return QpdfObject(file, std::to_string(num));
}

std::pair<int, int> RefIn(const std::string& text, const std::string& key) {
    const std::string needle = "/" + key + " ";
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
        int num = 0, gen = 0;
        char keyword = 0;
        if (std::sscanf(text.c_str() + at + needle.size(), "%d %d %c", &num, &gen, &keyword) == 3 &&
            keyword == 'R')
            return {num, gen};
    }
    return {-1, -1};
}

std::string QpdfFollow(const std::string& file, const std::vector<std::string>& keys, int* num) {
    std::string text = QpdfObject(file, "trailer");
    for (const std::string& key : keys) {
        const auto ref = RefIn(text, key);
        if (ref.first < 0) return "";
        if (num) *num = ref.first;
        text = QpdfObject(file, std::to_string(ref.first) + "," + std::to_string(ref.second));
    }
    return text;
}

std::vector<InfoDest> PdfinfoDests(const std::string& file, bool* ok) {
    std::vector<InfoDest> dests;
    const RunResult r = Run({"pdfinfo", "-dests", file});
    if (ok) *ok = r.code == 0;
    for (const std::string& line : Lines(r.out)) {
        // "   1 [ XYZ null null null ] "name""
        const size_t open = line.find("[ ");
        const size_t close = line.find(" ]", open);
        const size_t quote = line.find('"', close);
        if (open == std::string::npos || close == std::string::npos || quote == std::string::npos)
            continue;
        InfoDest d;
        d.page = std::atoi(line.substr(0, open).c_str());
        d.view = Squeeze(line.substr(open + 2, close - open - 2));
        const size_t end = line.rfind('"');
        d.name = end > quote ? line.substr(quote + 1, end - quote - 1) : "";
        dests.push_back(d);
    }
    return dests;
}

std::string GhostscriptPdf(const ScratchDir& dir, const std::string& name, int pages) {
    std::ostringstream ps;
    ps << "%!PS\n/Helvetica findfont 24 scalefont setfont\n"
       << "1 1 " << pages << " { 72 700 moveto (Page ) show 8 string cvs show showpage } for\n";
    const std::string source = dir.Write(name + ".ps", ps.str());
    const std::string out = dir.File(name);
    const RunResult r = Run(
        {"gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pdfwrite", "-o", out, source});
    if (r.code != 0 || !Exists(out)) return "";
    // Ghostscript 10 writes a classic table; should a later one write a
    // cross-reference stream, qpdf turns it back into a table.
    if (ReadBytes(out).find("\nxref") == std::string::npos) {
        const std::string classic = out + ".classic";
        if (QpdfRewrite(out, classic, {"--object-streams=disable"}).empty() ||
            std::rename(classic.c_str(), out.c_str()) != 0)
            return "";
    }
    return out;
}

std::string GroffPdf(const ScratchDir& dir, const std::string& name, int pages) {
    std::ostringstream man;
    man << ".TH LINKTEST 1\n.SH NAME\nlinktest \\- a page for the tests\n.SH DESCRIPTION\n";
    for (int p = 1; p <= pages; ++p) {
        if (p > 1) man << ".bp\n";
        man << "Text of page " << p << ".\n";
    }
    const std::string source = dir.Write(name + ".1", man.str());
    const RunResult r = Run({"groff", "-man", "-Tpdf", source});
    if (r.code != 0 || r.out.rfind("%PDF-", 0) != 0) return "";
    return dir.Write(name, r.out);
}

std::string QpdfRewrite(const std::string& in, const std::string& out,
                        const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"qpdf"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(in);
    argv.push_back(out);
    const RunResult r = Run(argv);
    return (r.code == 0 || r.code == 3) && Exists(out) ? out : "";
}

}  // namespace e2e
