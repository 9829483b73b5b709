// make-big-pdf OUT PAGES [PER_NODE [reversed]]: writes a classic-xref PDF with PAGES pages,
// each with a Flate-compressed content stream, and an image on every tenth page, so the
// file is large enough to measure rewriting speed and memory. With "reversed" the objects
// lie in the file in the reverse of their numbers' order, as objects an update replaced
// do, so a rewrite in number order goes back for each.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Deflate(const std::string& in) {
    uLongf size = compressBound(in.size());
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(in.data()), in.size(), 6);
    out.resize(size);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5 || (argc == 5 && std::string(argv[4]) != "reversed")) {
        std::fprintf(stderr, "usage: make-big-pdf OUT PAGES [PAGES_PER_NODE [reversed]]\n");
        return 2;
    }
    const bool reversed = argc == 5;
    const int pages = std::atoi(argv[2]);
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || pages < 1) return 1;
    std::vector<long> offsets;
    long pos = 0;
    // Reversed: the body's objects are kept by number and written at its end.
    std::vector<std::string> held;
    std::string* holding = nullptr;
    auto put = [&](const std::string& s) {
        if (holding) {
            *holding += s;
            return;
        }
        std::fwrite(s.data(), 1, s.size(), f);
        pos += static_cast<long>(s.size());
    };
    auto begin = [&](int num) {
        if (static_cast<int>(offsets.size()) < num + 1) offsets.resize(num + 1, 0);
        if (reversed) {
            if (static_cast<int>(held.size()) < num + 1) held.resize(num + 1);
            holding = &held[num];
        } else {
            offsets[num] = pos;
        }
        put(std::to_string(num) + " 0 obj\n");
    };
    put("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    // 1 catalog, 2 page tree (balanced two levels), 3 font, then per page:
    // page, contents, and every tenth page an image.
    // Pages per inner node: 100 gives a two-level tree, PAGES a flat one.
    const int perNode = argc >= 4 ? std::max(1, std::atoi(argv[3])) : 100;
    const int nodes = (pages + perNode - 1) / perNode;
    const int firstNode = 4;
    const int firstPage = firstNode + nodes;
    std::vector<int> pageNum(pages), contentNum(pages), imageNum(pages, 0);
    int next = firstPage;
    for (int i = 0; i < pages; ++i) {
        pageNum[i] = next++;
        contentNum[i] = next++;
        if (i % 10 == 0) imageNum[i] = next++;
    }
    begin(1);
    put("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    begin(2);
    std::string kids;
    for (int n = 0; n < nodes; ++n) kids += std::to_string(firstNode + n) + " 0 R ";
    put("<< /Type /Pages /Count " + std::to_string(pages) + " /Kids [" + kids +
        "] /MediaBox [0 0 612 792] >>\nendobj\n");
    begin(3);
    put("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>\nendobj\n");
    for (int n = 0; n < nodes; ++n) {
        begin(firstNode + n);
        std::string k;
        int count = 0;
        for (int i = n * perNode; i < pages && i < (n + 1) * perNode; ++i, ++count)
            k += std::to_string(pageNum[i]) + " 0 R ";
        put("<< /Type /Pages /Parent 2 0 R /Count " + std::to_string(count) + " /Kids [" + k +
            "] >>\nendobj\n");
    }
    unsigned seed = 12345;
    for (int i = 0; i < pages; ++i) {
        const int node = firstNode + i / perNode;
        begin(pageNum[i]);
        std::string res = "/Font << /F1 3 0 R >>";
        if (imageNum[i]) res += " /XObject << /Im1 " + std::to_string(imageNum[i]) + " 0 R >>";
        put("<< /Type /Page /Parent " + std::to_string(node) + " 0 R /Resources << " + res +
            " >> /Contents " + std::to_string(contentNum[i]) + " 0 R >>\nendobj\n");
        std::string text = "BT /F1 11 Tf 72 720 Td 14 TL\n";
        for (int line = 0; line < 40; ++line)
            text += "(Page " + std::to_string(i + 1) + " line " + std::to_string(line) +
                    ": The quick brown fox jumps over the lazy dog.) '\n";
        text += "ET\n";
        if (imageNum[i]) text += "q 200 0 0 150 72 100 cm /Im1 Do Q\n";
        const std::string data = Deflate(text);
        begin(contentNum[i]);
        put("<< /Length " + std::to_string(data.size()) + " /Filter /FlateDecode >>\nstream\n");
        put(data);
        put("\nendstream\nendobj\n");
        if (imageNum[i]) {
            // Noise does not compress: the image streams make up most of the file.
            std::string pixels(160 * 120 * 3, '\0');
            for (auto& c : pixels) {
                seed = seed * 1103515245u + 12345u;
                c = static_cast<char>(seed >> 16);
            }
            const std::string img = Deflate(pixels);
            begin(imageNum[i]);
            put("<< /Type /XObject /Subtype /Image /Width 160 /Height 120 /ColorSpace "
                "/DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode /Length " +
                std::to_string(img.size()) + " >>\nstream\n");
            put(img);
            put("\nendstream\nendobj\n");
        }
    }
    holding = nullptr;
    for (int num = static_cast<int>(held.size()) - 1; num >= 1; --num) {
        offsets[num] = pos;
        put(held[num]);
        std::string().swap(held[num]);
    }
    const long xref = pos;
    const int size = next;
    put("xref\n0 " + std::to_string(size) + "\n0000000000 65535 f \n");
    char line[32];
    for (int i = 1; i < size; ++i) {
        std::snprintf(line, sizeof line, "%010ld 00000 n \n", offsets[i]);
        put(line);
    }
    put("trailer\n<< /Size " + std::to_string(size) + " /Root 1 0 R >>\nstartxref\n" +
        std::to_string(xref) + "\n%%EOF\n");
    std::fclose(f);
    return 0;
}
