#include "support/PdfBuilder.h"

#include <cstdio>
#include <vector>

namespace {

std::string Ref(int num, int gen) {
    return std::to_string(num) + " " + std::to_string(gen) + " R";
}

std::string XRefLine(long offset, int gen, char kind) {
    char line[32];
    std::snprintf(line, sizeof line, "%010ld %05d %c \n", offset, gen, kind);
    return line;
}

}  // namespace

PdfBuilder& PdfBuilder::Obj(int num, const std::string& body, int gen) {
    objects_[num] = {gen, body};
    return *this;
}

PdfBuilder& PdfBuilder::Root(int num, int gen) {
    root_ = Ref(num, gen);
    return *this;
}

PdfBuilder& PdfBuilder::Info(int num, int gen) {
    info_ = Ref(num, gen);
    return *this;
}

PdfBuilder& PdfBuilder::TrailerExtra(const std::string& entries) {
    extra_ = entries;
    return *this;
}

std::string PdfBuilder::Bytes() const {
    std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    const int size = objects_.empty() ? 1 : objects_.rbegin()->first + 1;
    std::vector<long> offsets(size, -1);
    for (const auto& [num, obj] : objects_) {
        offsets[num] = static_cast<long>(out.size());
        out += std::to_string(num) + " " + std::to_string(obj.gen) + " obj\n" + obj.body +
               "\nendobj\n";
    }
    const long xref = static_cast<long>(out.size());
    out += "xref\n0 " + std::to_string(size) + "\n";
    // Free entries chain in ascending order; entry 0 heads the list.
    std::vector<int> freeNums;
    for (int n = 1; n < size; ++n)
        if (offsets[n] < 0) freeNums.push_back(n);
    out += XRefLine(freeNums.empty() ? 0 : freeNums[0], 65535, 'f');
    size_t nextFree = 1;
    for (int n = 1; n < size; ++n) {
        if (offsets[n] >= 0) {
            out += XRefLine(offsets[n], objects_.at(n).gen, 'n');
        } else {
            out += XRefLine(nextFree < freeNums.size() ? freeNums[nextFree] : 0, 0, 'f');
            ++nextFree;
        }
    }
    out += "trailer\n<< /Size " + std::to_string(size);
    if (!root_.empty()) out += " /Root " + root_;
    if (!info_.empty()) out += " /Info " + info_;
    if (!extra_.empty()) out += " " + extra_;
    out += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

PdfBuilder PdfBuilder::OnePage() {
    PdfBuilder pdf;
    pdf.Obj(1, "<< /Type /Catalog /Pages 2 0 R >>")
        .Obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
        .Obj(3, "<< /Type /Page /Parent 2 0 R >>")
        .Root(1);
    return pdf;
}
