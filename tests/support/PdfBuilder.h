#pragma once

#include <map>
#include <string>

// Writes a classic PDF file (header, one body, one cross-reference table with
// 20-byte lines, trailer, startxref, %%EOF) from object bodies, so that tests
// can state just the objects and leave the offsets to the builder. Numbers
// missing between 1 and the largest one become free entries.
class PdfBuilder {
public:
    // body is what stands between "num gen obj" and "endobj".
    PdfBuilder& Obj(int num, const std::string& body, int gen = 0);
    PdfBuilder& Root(int num, int gen = 0);
    PdfBuilder& Info(int num, int gen = 0);
    // More trailer entries, written as given.
    PdfBuilder& TrailerExtra(const std::string& entries);

    std::string Bytes() const;

    // A one-page document (catalog 1, page tree 2, page 3) to which tests add
    // objects from 4 on.
    static PdfBuilder OnePage();

private:
    struct Object {
        int gen;
        std::string body;
    };
    std::map<int, Object> objects_;
    std::string root_;
    std::string info_;
    std::string extra_;
};
