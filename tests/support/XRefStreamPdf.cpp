#include "support/XRefStreamPdf.h"

#include <zlib.h>

#include <algorithm>

XRefStreamPdf& XRefStreamPdf::Obj(int num, const std::string& body) {
    objects_[num] = body;
    return *this;
}

XRefStreamPdf& XRefStreamPdf::ObjStm(int num,
                                     const std::vector<std::pair<int, std::string>>& objects,
                                     const std::string& extra) {
    stms_[num] = {objects, extra};
    return *this;
}

std::string Deflate(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size,
             reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()));
    out.resize(size);
    return out;
}

std::string XRefStreamPdf::Bytes(const std::string& base) const {
    std::string file = base.empty() ? "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n" : base;
    std::map<int, Row> rows;
    int highest = 0;
    auto put = [&](int num, const std::string& body) {
        rows[num] = {1, static_cast<long long>(file.size()), 0};
        file += std::to_string(num) + " 0 obj\n" + body + "\nendobj\n";
        highest = std::max(highest, num);
    };
    for (const auto& [num, body] : objects_) put(num, body);
    for (const auto& [num, stm] : stms_) {
        std::string header, data;
        for (size_t i = 0; i < stm.objects.size(); ++i) {
            header +=
                std::to_string(stm.objects[i].first) + " " + std::to_string(data.size()) + " ";
            data += stm.objects[i].second + "\n";
            rows[stm.objects[i].first] = {2, num, static_cast<long long>(i)};
            highest = std::max(highest, stm.objects[i].first);
        }
        int n = static_cast<int>(stm.objects.size());
        int first = static_cast<int>(header.size());
        if (editObjStm) editObjStm(num, header, n, first);
        const std::string packed = Deflate(header + data);
        put(num, "<< /Type /ObjStm /N " + std::to_string(n) + " /First " + std::to_string(first) +
                     " /Filter /FlateDecode /Length " + std::to_string(packed.size()) + " " +
                     stm.extraDict + " >>\nstream\n" + packed + "\nendstream");
    }
    const int self = xrefNum ? xrefNum : highest + 1;
    const long long at = static_cast<long long>(file.size());
    rows[self] = {1, at, 0};
    if (base.empty()) rows[0] = {0, 0, 65535};
    if (editRows) editRows(rows);

    std::string data;
    const int width = 7;
    std::string autoIndex;
    int runStart = -1, runLen = 0;
    for (const auto& [num, r] : rows) {
        const unsigned char b[7] = {
            static_cast<unsigned char>(r.type),     static_cast<unsigned char>(r.f2 >> 24),
            static_cast<unsigned char>(r.f2 >> 16), static_cast<unsigned char>(r.f2 >> 8),
            static_cast<unsigned char>(r.f2),       static_cast<unsigned char>(r.f3 >> 8),
            static_cast<unsigned char>(r.f3)};
        if (runStart >= 0 && num == runStart + runLen) {
            ++runLen;
        } else {
            if (runStart >= 0)
                autoIndex += std::to_string(runStart) + " " + std::to_string(runLen) + " ";
            runStart = num;
            runLen = 1;
        }
        data.append(reinterpret_cast<const char*>(b), width);
    }
    autoIndex += std::to_string(runStart) + " " + std::to_string(runLen);
    std::string filter;
    if (compress) {
        // PNG Up on every row: each row gets its tag and the difference to the row above.
        std::string predicted, above(width, '\0');
        for (size_t i = 0; i < data.size(); i += width) {
            predicted += '\x02';
            for (int j = 0; j < width; ++j) predicted += static_cast<char>(data[i + j] - above[j]);
            above = data.substr(i, width);
        }
        data = Deflate(predicted);
        filter = " /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 7 >>";
    }
    std::string dict = "<< /Type /XRef /W " + w + " /Index [" +
                       (index.empty() ? autoIndex : index) + "] /Size " +
                       (size.empty() ? std::to_string(std::max(highest, self) + 1) : size) +
                       filter + " /Length " + std::to_string(data.size()) + " " + extraDict;
    if (!base.empty() && extraDict.find("/Prev") == std::string::npos) {
        const size_t s = base.rfind("startxref");
        dict += " /Prev " + std::to_string(std::stol(base.substr(s + 10)));
    }
    file += std::to_string(self) + " 0 obj\n" + dict + " >>\nstream\n" + data +
            "\nendstream\nendobj\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
    return file;
}
