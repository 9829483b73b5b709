#include "support/E2EPdf.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>

namespace {

struct Entry {
    long offset;
    int gen;
};

// "N G obj" at the start of a line.
bool ObjectLine(const std::string& line, int& num, int& gen) {
    char keyword[4] = "";
    return std::sscanf(line.c_str(), "%d %d %3s", &num, &gen, keyword) == 3 &&
           std::string(keyword) == "obj" && line[0] >= '0' && line[0] <= '9';
}

std::string EntryLine(long offset, int gen, char type) {
    char text[32];
    std::snprintf(text, sizeof text, "%010ld %05d %c \n", offset, gen, type);
    return text;
}

// The data between "stream" and "endstream" that follow position `from`.
long StreamLength(const std::string& templ, size_t from) {
    size_t start = templ.find("stream", from);
    while (start != std::string::npos && start >= 3 && templ.compare(start - 3, 3, "end") == 0)
        start = templ.find("stream", start + 6);
    if (start == std::string::npos) return 0;
    start += 6;
    if (templ.compare(start, 2, "\r\n") == 0)
        start += 2;
    else if (start < templ.size() && templ[start] == '\n')
        ++start;
    size_t end = templ.find("endstream", start);
    if (end == std::string::npos) return 0;
    if (end > start && templ[end - 1] == '\n') --end;
    if (end > start && templ[end - 1] == '\r') --end;
    return static_cast<long>(end - start);
}

// The value of the last "/Size" in a file, or 0.
int LastSize(const std::string& pdf) {
    const size_t at = pdf.rfind("/Size");
    return at == std::string::npos ? 0 : std::atoi(pdf.c_str() + at + 5);
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

}  // namespace

std::string E2EPdf::Fill(const std::string& templ, const std::string& base) {
    std::string out = base;
    std::map<int, Entry> section;  // objects since the last {xref}
    int highest = base.empty() ? 0 : LastSize(base) - 1;
    bool first = base.empty();
    long startxref = base.empty() ? -1 : LastStartxref(base);
    long prev = -1;

    size_t pos = 0;
    while (pos < templ.size()) {
        size_t eol = templ.find('\n', pos);
        eol = eol == std::string::npos ? templ.size() : eol + 1;
        std::string line = templ.substr(pos, eol - pos);

        int num = 0, gen = 0;
        if (ObjectLine(line, num, gen)) {
            section[num] = {static_cast<long>(out.size()), gen};
            highest = std::max(highest, num);
        }
        if (line.rfind("{xref}", 0) == 0) {
            prev = startxref;
            startxref = static_cast<long>(out.size());
            std::string table = "xref\n";
            if (first) {
                table += "0 " + std::to_string(highest + 1) + "\n" + EntryLine(0, 65535, 'f');
                for (int n = 1; n <= highest; ++n) {
                    auto it = section.find(n);
                    table += it == section.end()
                                 ? EntryLine(0, 0, 'f')
                                 : EntryLine(it->second.offset, it->second.gen, 'n');
                }
            } else {
                for (auto it = section.begin(); it != section.end();) {
                    auto run = it;
                    int count = 0;
                    while (run != section.end() && run->first == it->first + count) {
                        ++run;
                        ++count;
                    }
                    table += std::to_string(it->first) + " " + std::to_string(count) + "\n";
                    for (; it != run; ++it)
                        table += EntryLine(it->second.offset, it->second.gen, 'n');
                }
            }
            line.replace(0, 6, table);
            if (line.size() > table.size() && line[table.size()] == '\n')
                line.erase(table.size(), 1);  // the table ends its own line
            section.clear();
            first = false;
        }
        if (line.find("{len}") != std::string::npos)
            ReplaceAll(line, "{len}", std::to_string(StreamLength(templ, pos)));
        ReplaceAll(line, "{size}", std::to_string(highest + 1));
        ReplaceAll(line, "{startxref}", std::to_string(startxref));
        ReplaceAll(line, "{prev}", std::to_string(prev));
        out += line;
        pos = eol;
    }
    return out;
}

std::string E2EPdf::Flat(int pages, const std::string& catalogExtra,
                         const std::string& extraObjects) {
    std::string kids;
    std::string pageObjects;
    for (int p = 0; p < pages; ++p) {
        const std::string num = std::to_string(p + 3);
        kids += (p ? " " : "") + num + " 0 R";
        pageObjects += num + " 0 obj\n<< /Type /Page /Parent 2 0 R >>\nendobj\n";
    }
    std::string templ = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    templ += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R" +
             (catalogExtra.empty() ? "" : " " + catalogExtra) + " >>\nendobj\n";
    templ += "2 0 obj\n<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) +
             " /MediaBox [0 0 612 792] >>\nendobj\n";
    templ += pageObjects + extraObjects;
    templ += "{xref}\ntrailer\n<< /Size {size} /Root 1 0 R >>\nstartxref\n{startxref}\n%%EOF\n";
    return Fill(templ);
}

long E2EPdf::LastStartxref(const std::string& pdf) {
    const size_t at = pdf.rfind("startxref");
    return at == std::string::npos ? -1 : std::atol(pdf.c_str() + at + 9);
}
