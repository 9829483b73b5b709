#include "pdf/file/ObjectExtent.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "pdf/io/FileInStream.h"
#include "pdf/io/MemInStream.h"
#include "support/ScratchDir.h"

namespace corvina::detail {
namespace {

// The extent of object 4 0 at offset 0 of text (end -1 when it is refused).
ObjectExtent Scan(InStream& in, const LengthResolver& resolve, CPDFObjRef ref) {
    ObjectExtent extent;
    if (!ScanObjectExtent(in, 0, ref, resolve, &extent)) return ObjectExtent();
    EXPECT_EQ(extent.begin, 0);
    return extent;
}

// The same from memory, where the text ends the data, and, with a line end
// after it (so that the look past "endobj" stays inside the buffer), from
// memory again and from a file read through buffers of every size up to the
// text's, so that a window ends at every byte of the object and the rest is
// read through refills. All must agree.
ObjectExtent ScanEverywhere(const std::string& text, const LengthResolver& resolve = nullptr,
                            CPDFObjRef ref = CPDFObjRef(4, 0)) {
    MemInStream mem(text.data(), static_cast<int>(text.size()));
    const ObjectExtent whole = Scan(mem, resolve, ref);
    const std::string more = text + "\n";
    MemInStream longer(more.data(), static_cast<int>(more.size()));
    const ObjectExtent windowed = Scan(longer, resolve, ref);
    EXPECT_EQ(windowed.end, whole.end) << text;
    EXPECT_EQ(windowed.type, whole.type) << text;
    static const ScratchDir dir;
    const std::string path = dir.Write("object.pdf", more);
    const int length = static_cast<int>(more.size());
    for (int size = 1; size <= length; size += size < 320 ? 1 : length / 7) {
        FileInStream file(size);
        EXPECT_TRUE(file.Open(path.c_str(), "rb", 0, -1, size));
        const ObjectExtent cut = Scan(file, resolve, ref);
        EXPECT_EQ(cut.end, whole.end) << "buffer of " << size << " bytes: " << text;
        EXPECT_EQ(cut.type, whole.type) << "buffer of " << size << " bytes: " << text;
    }
    return whole;
}

int End(const std::string& text, const LengthResolver& resolve = nullptr,
        CPDFObjRef ref = CPDFObjRef(4, 0)) {
    return ScanEverywhere(text, resolve, ref).end;
}

int Len(const std::string& s) {
    return static_cast<int>(s.size());
}

TEST(ObjectExtent, EndsAfterEndobjForEveryKindOfValue) {
    for (const std::string body :
         {"<< /Type /Page /Kids [1 0 R 2 0 R] /Rect [0 -1.5 +3 .25] /N null /B true >>",
          "[(a\\) (b) c) <41 42> << /X <<>> >> [[]]] %comment ] >>\n", "(string)", "12 0 R",
          "/Name", "-4.5", "<<>>", "<</A(x)/B[1 2]>>"}) {
        const std::string obj = "4 0 obj\n" + body + "\nendobj";
        EXPECT_EQ(End(obj + "\n5 0 obj"), Len(obj)) << body;
    }
    // A stream with its data holding the keywords, a direct Length and a
    // CR LF before the data.
    const std::string data = "xx endstream\nendobj\n";
    const std::string stream = "4 0 obj <</Length " + std::to_string(data.size()) +
                               " /Filter /X>>stream\r\n" + data + "\nendstream endobj";
    EXPECT_EQ(End(stream + "\r\n"), Len(stream));
}

TEST(ObjectExtent, TellsTheTypeOfTheObjectsDictionary) {
    struct Case {
        const char* body;
        std::optional<std::string> type;
    } cases[] = {
        {"<< /Type /Page /Kids [<< /Type /Pages >>] >>", "Page"},  // the top level's own
        {"<</Parent 2 0 R/Type/Pages>>", "Pages"},
        {"<< /Length 0 /Type /XObject >>stream\n\nendstream", "XObject"},
        {"<< /Kids [] >>", ""},
        {"<< /Type /Pa#67e >>", std::nullopt},  // escaped: the reader decides
        {"<< /Ty#70e /Pages >>", std::nullopt},
        {"<< /Type (Page) >>", std::nullopt},
        {"<< /Type /Page /Type /Pages >>", std::nullopt},
        {"<< /Type /AVeryLongTypeNameIndeed >>", std::nullopt},
        {"[/Type /Page]", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::string text = std::string("4 0 obj\n") + c.body + "\nendobj";
        const ObjectExtent extent = ScanEverywhere(text);
        ASSERT_GT(extent.end, 0) << c.body;
        EXPECT_EQ(extent.type, c.type) << c.body;
    }
}

TEST(ObjectExtent, FollowsALengthByReference) {
    const std::string obj = "4 0 obj\n<< /Length 9 1 R >>\nstream\nabcd\nendstream\nendobj";
    CPDFObjRef asked;
    auto resolve = [&](const CPDFObjRef& r) -> std::optional<int32_t> {
        asked = r;
        return 4;
    };
    EXPECT_EQ(End(obj, resolve), Len(obj));
    EXPECT_EQ(asked, CPDFObjRef(9, 1));
    // Unresolvable, or wrong: the reader's search decides, not a copy.
    EXPECT_EQ(End(obj, [](const CPDFObjRef&) { return std::nullopt; }), -1);
    EXPECT_EQ(End(obj, [](const CPDFObjRef&) { return std::optional<int32_t>(3); }), -1);
    EXPECT_EQ(End(obj), -1);
}

TEST(ObjectExtent, RefusesWhatTheReaderWouldRepairOrReject) {
    for (const std::string& bad : std::initializer_list<std::string>{
             "4 1 obj\n1\nendobj",                                     // another generation
             "5 0 obj\n1\nendobj",                                     // another number
             " 4 0 obj\n1\nendobj",                                    // offset before the header
             "4 0 objx 1 endobj",                                      // no "obj" word
             "4 0 obj\n1 2\nendobj",                                   // two values
             "4 0 obj\n<< /A 1 /B >>\nendobj",                         // a key without value
             "4 0 obj\n<< 1 2 >>\nendobj",                             // a number for a key
             "4 0 obj\n<< /A [1 2 >>\nendobj",                         // unbalanced
             "4 0 obj\n<< /A 1 0 R R >>\nendobj",                      // R without numbers
             "4 0 obj\n<< /A foo >>\nendobj",                          // an unknown word
             "4 0 obj\n<< /A { } >>\nendobj",                          // braces
             "4 0 obj\n<< /A <4G> >>\nendobj",                         // not hexadecimal
             "4 0 obj\n(open\nendobj",                                 // unterminated string
             "4 0 obj\n1\nendobjx",                                    // "endobjx" is another word
             "4 0 obj\n1\n",                                           // no endobj
             "4 0 obj\n[1] stream\nab\nendstream\nendobj",             // stream after no dictionary
             "4 0 obj\n<< /Length 2 >> stream ab\nendstream\nendobj",  // no line end
             "4 0 obj\n<< /Length 2 >>\nstream\nab\nendstreamx\nendobj",   // another word
             "4 0 obj\n<< /Length 1 >>\nstream\nab\nendstream\nendobj",    // wrong Length
             "4 0 obj\n<< /Length 99 >>\nstream\nab\nendstream\nendobj",   // beyond the end
             "4 0 obj\n<< /Length -2 >>\nstream\nab\nendstream\nendobj",   // negative
             "4 0 obj\n<< /Length 2.0 >>\nstream\nab\nendstream\nendobj",  // not whole
             "4 0 obj\n<< >>\nstream\nab\nendstream\nendobj",              // no Length
             "4 0 obj\n<< /Length 2 /Length 2 >>\nstream\nab\nendstream\nendobj",
             "4 0 obj\n<< /Len#67th 2 >>\nstream\nab\nendstream\nendobj",
             "4 0 obj\n<< /Length 2 >>\nstream\nab\nendstream\n%c\n",
             std::string("4 0 obj\n<< /A 1\0 >>\nendobj", 26),  // NUL outside a string
         }) {
        EXPECT_EQ(End(bad), -1) << bad;
    }
}

TEST(ObjectExtent, BoundsNestingAndWordLength) {
    const std::string deep = std::string(300, '[') + std::string(300, ']');
    EXPECT_EQ(End("4 0 obj\n" + deep + "\nendobj"), -1);
    const std::string fine = std::string(200, '[') + std::string(200, ']');
    EXPECT_GT(End("4 0 obj\n" + fine + "\nendobj"), 0);
    EXPECT_EQ(End("4 0 obj\n/" + std::string(300, 'n') + "\nendobj"), -1);
    EXPECT_EQ(End("4 0 obj\n" + std::string(300, '7') + "\nendobj"), -1);
    // The reader's limits to the byte: a name of 254 bytes and a word of 255
    // are read, one more is not.
    EXPECT_GT(End("4 0 obj\n/" + std::string(254, 'n') + "\nendobj"), 0);
    EXPECT_EQ(End("4 0 obj\n/" + std::string(255, 'n') + "\nendobj"), -1);
    EXPECT_GT(End("4 0 obj\n" + std::string(255, '7') + "\nendobj"), 0);
    EXPECT_EQ(End("4 0 obj\n" + std::string(256, '7') + "\nendobj"), -1);
    EXPECT_EQ(End("4 0 obj\n[" + std::string(256, '7') + "]\nendobj"), -1);  // not two words
    // A dictionary of very many keys is left to the reader.
    auto keys = [](int n) {
        std::string text;
        for (int i = 0; i < n; ++i) text += "/K" + std::to_string(i) + " 1 ";
        return "4 0 obj\n<<" + text + ">>\nendobj";
    };
    EXPECT_EQ(End(keys(5000)), -1);
    EXPECT_GT(End(keys(100)), 0);
}

}  // namespace
}  // namespace corvina::detail
