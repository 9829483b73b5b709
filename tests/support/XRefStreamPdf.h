#pragma once

// PDF files whose cross-reference section is a stream, written by hand so
// that every field of it (and of the object streams it points into) can be
// set to what a hostile file would hold. Offsets and rows are computed; the
// knobs change them afterwards.

#include <functional>
#include <map>
#include <string>
#include <vector>

class XRefStreamPdf {
public:
    struct Row {
        int type = 1;
        long long f2 = 0;
        long long f3 = 0;
    };

    // A plain indirect object (generation 0), written in number order.
    XRefStreamPdf& Obj(int num, const std::string& body);
    // An object stream holding the objects given (number, text), in order.
    XRefStreamPdf& ObjStm(int num, const std::vector<std::pair<int, std::string>>& objects,
                          const std::string& extraDict = "");

    // The xref stream's own number (default: highest + 1).
    int xrefNum = 0;
    // Entries of the stream dictionary; empty strings leave them computed.
    std::string w = "[1 4 2]";
    std::string index;
    std::string size;
    std::string extraDict = "/Root 1 0 R";
    // Flate with a PNG Up predictor on the rows, as most producers write.
    bool compress = true;
    // Changes the rows (by object number) after they are computed.
    std::function<void(std::map<int, Row>&)> editRows;
    // Changes an object stream's header ("num off ...") or /N, /First.
    std::function<void(int stm, std::string& header, int& n, int& first)> editObjStm;

    // The whole file; with a base, an update appended to it (whose startxref
    // becomes /Prev unless extraDict has one).
    std::string Bytes(const std::string& base = "") const;

private:
    struct Stm {
        std::vector<std::pair<int, std::string>> objects;
        std::string extraDict;
    };
    std::map<int, std::string> objects_;
    std::map<int, Stm> stms_;
};

// zlib's deflate of data, for templates that hold compressed streams.
std::string Deflate(const std::string& data);
