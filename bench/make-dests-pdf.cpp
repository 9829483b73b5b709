// make-dests-pdf OUT NAMES [PER_LEAF [direct]]: writes a ten-page PDF whose Dests name tree
// holds NAMES names (n0000000, n0000001, ...), in leaves of PER_LEAF names under one root
// (default: one leaf, the root itself). Each name points to a destination dictionary of its
// own, or with "direct" holds its destination array in the tree itself, as some producers
// write it. The tree is what a second run over a very large book reads, merges and writes.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5 || (argc == 5 && std::string(argv[4]) != "direct")) {
        std::fprintf(stderr, "usage: make-dests-pdf OUT NAMES [PER_LEAF [direct]]\n");
        return 2;
    }
    const long names = std::atol(argv[2]);
    const long perLeaf = argc >= 4 ? std::max(1L, std::atol(argv[3])) : names;
    const bool direct = argc == 5;
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || names < 1) return 1;
    std::vector<long> offsets;
    long pos = 0;
    auto put = [&](const std::string& s) {
        std::fwrite(s.data(), 1, s.size(), f);
        pos += static_cast<long>(s.size());
    };
    auto begin = [&](long num) {
        if (static_cast<long>(offsets.size()) < num + 1) offsets.resize(num + 1, 0);
        offsets[num] = pos;
        put(std::to_string(num) + " 0 obj\n");
    };
    constexpr int kPages = 10;
    // 1 catalog, 2 page tree, 3 names dictionary, 4 tree root, 5.. pages, then leaves, then
    // the destinations.
    const long firstPage = 5;
    const long leaves = names > perLeaf ? (names + perLeaf - 1) / perLeaf : 0;
    const long firstLeaf = firstPage + kPages;
    const long firstDest = firstLeaf + leaves;
    auto key = [](long i) {
        char text[32];  // room for any long, as the compiler checks
        std::snprintf(text, sizeof text, "n%07ld", i);
        return std::string(text);
    };
    auto value = [&](long i) {
        const long page = firstPage + i % kPages;
        if (direct) return "[" + std::to_string(page) + " 0 R /Fit]";
        return std::to_string(firstDest + i) + " 0 R";
    };
    auto pairs = [&](long from, long to) {
        std::string out = "/Names [";
        for (long i = from; i < to; ++i) out += "(" + key(i) + ") " + value(i) + "\n";
        return out + "]";
    };
    put("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    begin(1);
    put("<< /Type /Catalog /Pages 2 0 R /Names 3 0 R >>\nendobj\n");
    begin(2);
    std::string kids;
    for (int p = 0; p < kPages; ++p) kids += std::to_string(firstPage + p) + " 0 R ";
    put("<< /Type /Pages /Count " + std::to_string(kPages) + " /Kids [" + kids +
        "] /MediaBox [0 0 612 792] >>\nendobj\n");
    begin(3);
    put("<< /Dests 4 0 R >>\nendobj\n");
    begin(4);
    if (leaves == 0) {
        put("<< " + pairs(0, names) + " >>\nendobj\n");
    } else {
        std::string k = "<< /Kids [";
        for (long l = 0; l < leaves; ++l) k += std::to_string(firstLeaf + l) + " 0 R\n";
        put(k + "] >>\nendobj\n");
    }
    for (int p = 0; p < kPages; ++p) {
        begin(firstPage + p);
        put("<< /Type /Page /Parent 2 0 R >>\nendobj\n");
    }
    for (long l = 0; l < leaves; ++l) {
        const long from = l * perLeaf;
        const long to = std::min(names, from + perLeaf);
        begin(firstLeaf + l);
        put("<< /Limits [(" + key(from) + ") (" + key(to - 1) + ")] " + pairs(from, to) +
            " >>\nendobj\n");
    }
    long size = firstDest;
    if (!direct) {
        for (long i = 0; i < names; ++i) {
            begin(firstDest + i);
            put("<< /D [" + std::to_string(firstPage + i % kPages) + " 0 R /Fit] >>\nendobj\n");
        }
        size = firstDest + names;
    }
    const long xref = pos;
    put("xref\n0 " + std::to_string(size) + "\n0000000000 65535 f \n");
    char line[32];
    for (long i = 1; i < size; ++i) {
        std::snprintf(line, sizeof line, "%010ld 00000 n \n", offsets[i]);
        put(line);
    }
    put("trailer\n<< /Size " + std::to_string(size) + " /Root 1 0 R >>\nstartxref\n" +
        std::to_string(xref) + "\n%%EOF\n");
    return std::fclose(f) == 0 ? 0 : 1;
}
