#include "pdf/file/CPDFXRef.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "pdf/io/FileInStream.h"
#include "pdf/io/MemInStream.h"
#include "pdf/io/MemOutStream.h"
#include "pdf/object/CPDFException.h"
#include "support/ScratchDir.h"

using corvina::CPDFException;
using corvina::CPDFXRef;
using corvina::FileInStream;
using corvina::MemInStream;
using corvina::MemOutStream;
using corvina::XRefEntry;

namespace {

std::string Written(CPDFXRef& xref) {
    MemOutStream out;
    xref.Serialize(out);
    return out.Data();
}

// Reads a section and returns the factor of the error, or "" on success.
std::string ReadError(const std::string& bytes, CPDFXRef* into = nullptr) {
    CPDFXRef local;
    CPDFXRef& xref = into ? *into : local;
    MemInStream in(bytes);
    try {
        xref.Serialize(nullptr, in);
    } catch (const CPDFException& e) {
        EXPECT_STREQ(e.GetModule(), "CPDFXRef");
        EXPECT_STREQ(e.GetMethod(), "Serialize");
        EXPECT_EQ(e.GetType(), CPDFException::InvalidFormat);
        return e.GetFactor();
    }
    return "";
}

void Put(CPDFXRef& xref, int32_t num, int32_t gen, int32_t offset, bool inUse) {
    ASSERT_TRUE(xref.SetEntry(XRefEntry{num, gen, offset, inUse}));
}

// A table whose objects 1..size are all in use at offset 100*n.
void FillInUse(CPDFXRef& xref, int32_t size) {
    ASSERT_TRUE(xref.Resize(size));
    for (int32_t n = 1; n <= size; ++n) Put(xref, n, 0, 100 * n, true);
}

}  // namespace

TEST(CPDFXRefWrite, EmptyTableIsObjectZeroAlone) {
    CPDFXRef xref;
    EXPECT_EQ(Written(xref), "xref\r\n0 1\r\n0000000000 65535 f \n");
}

TEST(CPDFXRefWrite, EmptySlotSplitsSubsections) {
    CPDFXRef xref;
    ASSERT_TRUE(xref.Resize(6));
    Put(xref, 1, 0, 15, true);
    Put(xref, 2, 0, 120, true);
    Put(xref, 3, 2, 0, false);
    Put(xref, 5, 0, 3000, true);
    Put(xref, 6, 1, 1234567, true);
    xref.SetFreeHead(3);
    EXPECT_EQ(Written(xref),
              "xref\r\n"
              "0 4\r\n"
              "0000000003 65535 f \n"
              "0000000015 00000 n \n"
              "0000000120 00000 n \n"
              "0000000000 00002 f \n"
              "5 2\r\n"
              "0000003000 00000 n \n"
              "0001234567 00001 n \n");
}

TEST(CPDFXRefWrite, EmptyFirstSlotLeavesObjectZeroOnItsOwn) {
    CPDFXRef xref;
    ASSERT_TRUE(xref.Resize(3));
    Put(xref, 3, 0, 42, true);
    EXPECT_EQ(Written(xref), "xref\r\n0 1\r\n0000000000 65535 f \n3 1\r\n0000000042 00000 n \n");
}

TEST(CPDFXRefRead, ReadsEntriesAndStopsAtTrailer) {
    // Entry lines ending in space LF, CR LF and space CR read alike.
    const std::string bytes =
        "xref\r\n0 4\r\n"
        "0000000003 65535 f \n"
        "0000000017 00000 n\r\n"
        "0000000081 00002 n \r"
        "0000000000 00001 f \n"
        "trailer\r\n<<>>";
    CPDFXRef xref;
    MemInStream in(bytes);
    xref.Serialize(nullptr, in);
    EXPECT_EQ(xref.Size(), 3);
    EXPECT_EQ(xref.FreeHead(), 3);
    const XRefEntry* e2 = xref.GetEntry(2);
    ASSERT_NE(e2, nullptr);
    EXPECT_EQ(e2->objNum, 2);
    EXPECT_EQ(e2->genNum, 2);
    EXPECT_EQ(e2->offset, 81);
    EXPECT_TRUE(e2->inUse);
    const XRefEntry* e3 = xref.GetEntry(3);
    ASSERT_NE(e3, nullptr);
    EXPECT_FALSE(e3->inUse);
    EXPECT_EQ(e3->genNum, 1);
    char word[256];
    ASSERT_NE(in.ReadToken(word, sizeof word), nullptr);
    EXPECT_STREQ(word, "trailer");
}

TEST(CPDFXRefRead, RoundTripIsByteExact) {
    CPDFXRef xref;
    ASSERT_TRUE(xref.Resize(9));
    Put(xref, 1, 0, 10, true);
    Put(xref, 2, 0, 20, true);
    Put(xref, 4, 7, 0, false);
    Put(xref, 7, 0, 70, true);
    Put(xref, 8, 0, 80, true);
    Put(xref, 9, 3, 4, false);
    xref.SetFreeHead(4);
    const std::string first = Written(xref);
    CPDFXRef again;
    MemInStream in(first + "trailer");
    again.Serialize(nullptr, in);
    EXPECT_EQ(Written(again), first);
}

TEST(CPDFXRefRead, SubsectionsOutOfOrderGrowTheTable) {
    CPDFXRef xref;
    EXPECT_EQ(ReadError("xref\n5 2\n0000000500 00000 n \n0000000600 00000 n \n"
                        "0 3\n0000000000 65535 f \n0000000100 00000 n \n0000000200 00000 n \n"
                        "trailer",
                        &xref),
              "");
    EXPECT_EQ(xref.Size(), 6);
    for (int n : {1, 2, 5, 6}) {
        ASSERT_NE(xref.GetEntry(n), nullptr) << n;
        EXPECT_EQ(xref.GetEntry(n)->offset, n * 100);
    }
    EXPECT_EQ(xref.GetEntry(3), nullptr);
    EXPECT_EQ(xref.GetEntry(4), nullptr);
}

TEST(CPDFXRefRead, EmptySubsectionListsNothing) {
    // A hybrid file's update whose objects all lie in its stream.
    CPDFXRef xref;
    EXPECT_EQ(ReadError("xref\n0 0\ntrailer", &xref), "");
    EXPECT_EQ(xref.Size(), 0);
    EXPECT_EQ(ReadError("xref\n0 0\n4 1\n0000000400 00000 n \ntrailer", &xref), "");
    ASSERT_NE(xref.GetEntry(4), nullptr);
    EXPECT_EQ(xref.GetEntry(4)->offset, 400);
}

TEST(CPDFXRefRead, Errors) {
    EXPECT_EQ(ReadError("xref\n0 1\n000000000 65535 f \ntrailer"), "invalidtoken: 000000000");
    EXPECT_EQ(ReadError("xref\n0 1\n0000000000 0000 f \ntrailer"), "invalidtoken: 0000");
    EXPECT_EQ(ReadError("xref\n0 1\n0000000000 65535 x \ntrailer"), "invalidtoken: x");
    EXPECT_EQ(ReadError("xref\n0 1\n00000000a0 65535 f \ntrailer"), "invalidtoken: 00000000a0");
    EXPECT_EQ(ReadError("xref\n0 2\n0000000000 65535 f \ntrailer"), "invalidtoken: trailer");
    EXPECT_EQ(ReadError("xref\n0 2\n0000000000 65535 f \n"), "ioerror");
    EXPECT_EQ(ReadError("xref\n0"), "ioerror");
    EXPECT_EQ(ReadError(""), "ioerror");
    EXPECT_EQ(ReadError("xreff\n0 1\n"), "invalidtoken: xreff");
    // A cross-reference stream starts with its object line.
    EXPECT_EQ(ReadError("12 0 obj\n<</Type/XRef>>"), "invalidtoken: 12");
}

TEST(CPDFXRefRead, HostileSubsectionsAreRejectedBeforeAllocating) {
    EXPECT_EQ(ReadError("xref\n-1 2\n"), "invalidtoken: -1");
    EXPECT_EQ(ReadError("xref\n0 -2\n"), "invalidtoken: -2");
    EXPECT_EQ(ReadError("xref\n0 99999999\n"), "invalidtoken: 99999999");
    EXPECT_EQ(ReadError("xref\n8388600 9\n"), "invalidtoken: 9");
    EXPECT_EQ(ReadError("xref\n99999999999999999999999 1\n"),
              "invalidtoken: 99999999999999999999999");
    EXPECT_EQ(ReadError("xref\n2147483647 2147483647\n"), "invalidtoken: 2147483647");
    // An offset of ten digits beyond 32 bits.
    EXPECT_EQ(ReadError("xref\n0 2\n0000000000 65535 f \n9999999999 00000 n \ntrailer"),
              "invalidtoken: 9999999999");
    // The last number the limit allows is accepted.
    CPDFXRef xref;
    EXPECT_EQ(ReadError("xref\n8388607 1\n0000000009 00000 n \ntrailer", &xref), "");
    EXPECT_EQ(xref.Size(), 8388607);
}

TEST(CPDFXRefEntries, GetAddSet) {
    CPDFXRef xref;
    FillInUse(xref, 2);
    EXPECT_EQ(xref.GetEntry(0), nullptr);
    EXPECT_EQ(xref.GetEntry(-1), nullptr);
    EXPECT_EQ(xref.GetEntry(3), nullptr);
    int32_t n = 0;
    ASSERT_TRUE(xref.AddEntry(&n));
    EXPECT_EQ(n, 3);
    EXPECT_EQ(xref.Size(), 3);
    const XRefEntry* e = xref.GetEntry(3);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->genNum, 0);
    EXPECT_EQ(e->offset, 0);
    EXPECT_TRUE(e->inUse);

    EXPECT_FALSE(xref.SetEntry(XRefEntry{-1, 0, 0, true}));
    EXPECT_FALSE(xref.SetEntry(XRefEntry{4, 0, 0, true}));
    EXPECT_TRUE(xref.SetEntry(XRefEntry{2, 5, 999, false}));
    EXPECT_EQ(xref.GetEntry(2)->genNum, 5);
    EXPECT_EQ(xref.GetEntry(2)->offset, 999);
    EXPECT_FALSE(xref.GetEntry(2)->inUse);

    // Resize never shrinks.
    EXPECT_TRUE(xref.Resize(1));
    EXPECT_EQ(xref.Size(), 3);
    EXPECT_FALSE(xref.Resize(-1));
}

TEST(CPDFXRefEntries, ReservingRoomListsNothingNew) {
    // Room made ahead changes neither the size, nor the entries, nor the
    // table as written; the entries filled in afterwards are what is listed.
    CPDFXRef xref;
    FillInUse(xref, 2);
    const std::string before = Written(xref);
    ASSERT_TRUE(xref.Reserve(50000));
    EXPECT_TRUE(xref.Reserve(0));
    EXPECT_EQ(xref.Size(), 2);
    EXPECT_EQ(xref.GetEntry(3), nullptr);
    EXPECT_EQ(Written(xref), before);
    ASSERT_TRUE(xref.Resize(40000));
    EXPECT_EQ(xref.GetEntry(39999), nullptr);
    ASSERT_TRUE(xref.SetEntry(XRefEntry{40000, 0, 1234, true}));
    int32_t n = 0;
    ASSERT_TRUE(xref.AddEntry(&n));
    EXPECT_EQ(n, 40001);
    EXPECT_EQ(xref.GetEntry(40000)->offset, 1234);
    EXPECT_EQ(Written(xref), before + "40000 2\r\n0000001234 00000 n \n0000000000 00000 n \n");
}

TEST(CPDFXRefEntries, StorageStartsAtTheLowestNumberPlaced) {
    // Entries placed only high up (what a save writes early) hold no slots
    // for the numbers below them.
    CPDFXRef high;
    ASSERT_TRUE(high.Resize(100000));
    for (int32_t n = 90000; n < 90010; ++n) Put(high, n, 0, n, true);
    EXPECT_LT(high.StoredSlots(), 2000u);
    EXPECT_EQ(high.GetEntry(1), nullptr);
    EXPECT_EQ(high.GetEntry(89999), nullptr);
    EXPECT_EQ(high.GetEntry(90009)->offset, 90009);
    EXPECT_EQ(high.GetEntry(95000), nullptr);

    // A lower number after them, and numbers in descending order: every entry
    // stays, and the table reads and writes as one filled in ascending order.
    Put(high, 5, 0, 5, true);
    for (int32_t n = 89999; n > 89000; n -= 7) Put(high, n, 1, n, false);
    CPDFXRef ascending;
    ASSERT_TRUE(ascending.Resize(100000));
    Put(ascending, 5, 0, 5, true);
    for (int32_t n = 89000; n < 90010; ++n)
        if (const XRefEntry* e = high.GetEntry(n))
            Put(ascending, n, e->genNum, e->offset, e->inUse);
    EXPECT_EQ(high.GetEntry(5)->offset, 5);
    EXPECT_EQ(high.GetEntry(90000)->offset, 90000);
    EXPECT_EQ(high.GetEntry(89999 - 7)->genNum, 1);
    EXPECT_EQ(Written(high), Written(ascending));

    // The highest number there is takes one run of slots, not the range.
    CPDFXRef top;
    ASSERT_TRUE(top.Resize(INT32_MAX));
    Put(top, INT32_MAX, 0, 77, true);
    EXPECT_EQ(top.GetEntry(INT32_MAX)->offset, 77);
    EXPECT_EQ(top.GetEntry(INT32_MAX - 1), nullptr);
    EXPECT_LT(top.StoredSlots(), 2000u);

    // A copy starts at the lowest free number of its source.
    CPDFXRef source;
    FillInUse(source, 70000);
    ASSERT_NE(source.FreeEntry(60000), 0);
    CPDFXRef copy;
    ASSERT_TRUE(copy.Create(nullptr, &source));
    EXPECT_LT(copy.StoredSlots(), 2000u);
    EXPECT_EQ(copy.FreeHead(), 60000);
    EXPECT_FALSE(copy.GetEntry(60000)->inUse);
}

TEST(CPDFXRefFreeList, FreedNumbersStayInAscendingOrder) {
    CPDFXRef xref;
    FillInUse(xref, 8);
    EXPECT_NE(xref.FreeEntry(7), 0);
    EXPECT_NE(xref.FreeEntry(3), 0);
    EXPECT_NE(xref.FreeEntry(5), 0);
    EXPECT_EQ(xref.FreeHead(), 3);
    EXPECT_EQ(xref.GetEntry(3)->offset, 5);
    EXPECT_EQ(xref.GetEntry(5)->offset, 7);
    EXPECT_EQ(xref.GetEntry(7)->offset, 0);
    for (int n : {3, 5, 7}) {
        EXPECT_EQ(xref.GetEntry(n)->genNum, 1) << n;
        EXPECT_FALSE(xref.GetEntry(n)->inUse) << n;
    }
    // Freeing a free entry changes nothing; an empty slot fails.
    EXPECT_NE(xref.FreeEntry(5), 0);
    EXPECT_EQ(xref.GetEntry(5)->genNum, 1);
    ASSERT_TRUE(xref.Resize(10));
    EXPECT_EQ(xref.FreeEntry(10), 0);

    XRefEntry* taken = xref.TakeFreeHead();
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->objNum, 3);
    EXPECT_EQ(taken->genNum, 1);
    EXPECT_EQ(taken->offset, 0);
    EXPECT_TRUE(taken->inUse);
    EXPECT_EQ(xref.FreeHead(), 5);
}

TEST(CPDFXRefFreeList, UpdateEntryUnlinksFromTheMiddle) {
    CPDFXRef xref;
    FillInUse(xref, 8);
    for (int n : {3, 5, 7}) ASSERT_NE(xref.FreeEntry(n), 0);
    EXPECT_TRUE(xref.UpdateEntry(5));
    EXPECT_EQ(xref.GetEntry(3)->offset, 7);
    EXPECT_TRUE(xref.GetEntry(5)->inUse);
    EXPECT_EQ(xref.GetEntry(5)->offset, 0);
    EXPECT_EQ(xref.GetEntry(5)->genNum, 1);
    EXPECT_TRUE(xref.UpdateEntry(5));  // already in use
    EXPECT_TRUE(xref.UpdateEntry(3));
    EXPECT_EQ(xref.FreeHead(), 7);
    EXPECT_FALSE(xref.UpdateEntry(9));
}

TEST(CPDFXRefFreeList, BrokenListsFailWithoutChange) {
    CPDFXRef xref;
    FillInUse(xref, 8);
    // The list runs into an entry in use.
    xref.SetFreeHead(2);
    Put(xref, 2, 1, 4, false);  // 2 -> 4, but 4 is in use
    EXPECT_EQ(xref.FreeEntry(6), 0);
    EXPECT_TRUE(xref.GetEntry(6)->inUse);
    EXPECT_EQ(xref.GetEntry(6)->genNum, 0);
    EXPECT_EQ(xref.GetEntry(2)->offset, 4);

    // A loop: 2 -> 3 -> 2. Neither operation may hang.
    Put(xref, 2, 1, 3, false);
    Put(xref, 3, 1, 2, false);
    EXPECT_EQ(xref.FreeEntry(6), 0);
    Put(xref, 5, 1, 0, false);
    EXPECT_FALSE(xref.UpdateEntry(5));
    EXPECT_FALSE(xref.GetEntry(5)->inUse);

    // A head pointing at an entry in use gives nothing to take.
    CPDFXRef other;
    FillInUse(other, 3);
    other.SetFreeHead(2);
    EXPECT_EQ(other.TakeFreeHead(), nullptr);
    other.SetFreeHead(0);
    EXPECT_EQ(other.TakeFreeHead(), nullptr);
}

TEST(CPDFXRefFreeList, GenerationStopsAtItsLargestValue) {
    CPDFXRef xref;
    ASSERT_TRUE(xref.Resize(1));
    Put(xref, 1, 65535, 10, true);
    EXPECT_NE(xref.FreeEntry(1), 0);
    EXPECT_EQ(xref.GetEntry(1)->genNum, 65535);
    EXPECT_EQ(Written(xref), "xref\r\n0 2\r\n0000000001 65535 f \n0000000000 65535 f \n");
}

TEST(CPDFXRefCreate, CopiesHeadSizeAndFreeEntriesOnly) {
    CPDFXRef source;
    FillInUse(source, 6);
    ASSERT_NE(source.FreeEntry(2), 0);
    ASSERT_NE(source.FreeEntry(4), 0);
    CPDFXRef xref;
    ASSERT_TRUE(xref.Create(nullptr, &source));
    EXPECT_EQ(xref.Size(), 6);
    EXPECT_EQ(xref.FreeHead(), 2);
    EXPECT_EQ(xref.GetEntry(1), nullptr);
    EXPECT_EQ(xref.GetEntry(6), nullptr);
    ASSERT_NE(xref.GetEntry(2), nullptr);
    EXPECT_EQ(xref.GetEntry(2)->offset, 4);
    EXPECT_EQ(xref.GetEntry(4)->genNum, 1);
    // New numbers continue after the source's size.
    int32_t n = 0;
    ASSERT_TRUE(xref.AddEntry(&n));
    EXPECT_EQ(n, 7);

    CPDFXRef fresh;
    ASSERT_TRUE(fresh.Create(nullptr, nullptr));
    EXPECT_EQ(fresh.Size(), 0);
    EXPECT_EQ(fresh.FreeHead(), 0);
}

TEST(CPDFXRefCreate, ABrokenFreeListIsLinkedAnew) {
    // A hybrid file: the table's head 4 is an object its stream has in use;
    // an update's head names a number no table holds.
    for (const char* table : {"xref\n0 7\n0000000004 65535 f \n0000000100 00000 n \n"
                              "0000000200 00000 n \n0000000000 00001 f \n"
                              "0000000400 00000 n \n0000000000 00001 f \n"
                              "0000000000 65535 f \ntrailer",
                              "xref\n0 1\n0000000009 65535 f \n3 1\n0000000000 00001 f \n"
                              "5 1\n0000000000 00001 f \ntrailer"}) {
        SCOPED_TRACE(table);
        CPDFXRef source;
        ASSERT_EQ(ReadError(table, &source), "");
        CPDFXRef xref;
        ASSERT_TRUE(xref.Create(nullptr, &source));
        // Every free entry, ascending, ending in 0.
        EXPECT_EQ(xref.FreeHead(), 3);
        ASSERT_NE(xref.GetEntry(3), nullptr);
        EXPECT_EQ(xref.GetEntry(3)->offset, 5);
        EXPECT_EQ(xref.GetEntry(5)->offset, xref.GetEntry(6) ? 6 : 0);
        // Freeing and reusing work on it.
        ASSERT_TRUE(xref.Resize(7));
        Put(xref, 4, 0, 400, true);
        EXPECT_NE(xref.FreeEntry(4), 0);
        EXPECT_EQ(xref.GetEntry(3)->offset, 4);
        EXPECT_EQ(xref.GetEntry(4)->offset, 5);
    }
    // A sound list is kept as it is, unlinked entries included.
    CPDFXRef source;
    ASSERT_EQ(ReadError("xref\n0 3\n0000000002 65535 f \n0000000000 00001 f \n"
                        "0000000000 00001 f \ntrailer",
                        &source),
              "");
    CPDFXRef xref;
    ASSERT_TRUE(xref.Create(nullptr, &source));
    EXPECT_EQ(xref.FreeHead(), 2);
    EXPECT_EQ(xref.GetEntry(2)->offset, 0);
    EXPECT_EQ(xref.GetEntry(1)->offset, 0);
}

TEST(CPDFXRefRead, SubsectionHeaderReservesTheTable) {
    // Counts the input can hold take the table at once; the entries and the
    // written table are those of a line-by-line read.
    std::string bytes = "xref\n0 3001\n0000000000 65535 f \n";
    for (int n = 1; n <= 3000; ++n) {
        char line[32];
        std::snprintf(line, sizeof line, "%010d 00000 n \n", n * 10);
        bytes += line;
    }
    CPDFXRef xref;
    ASSERT_EQ(ReadError(bytes + "trailer", &xref), "");
    EXPECT_EQ(xref.Size(), 3000);
    for (int n : {1, 1024, 1025, 3000}) {
        ASSERT_NE(xref.GetEntry(n), nullptr) << n;
        EXPECT_EQ(xref.GetEntry(n)->offset, n * 10);
    }
    EXPECT_EQ(Written(xref).size(), std::string("xref\r\n0 3001\r\n").size() + 3001 * 20);
    // A count beyond what the bytes could hold still fails at the first
    // missing line.
    EXPECT_EQ(ReadError("xref\n0 4000000\n0000000000 65535 f \n0000000010 00000 n \ntrailer"),
              "invalidtoken: trailer");
}

TEST(CPDFXRefRead, LinesReadTheSameWholeInTheBufferAndWordByWord) {
    // Each table is read once from memory, where its lines lie whole in the
    // buffer, and once through a 2-byte file buffer, where no line does: the
    // entries, or the error, and the position after the table agree.
    ScratchDir dir;
    int k = 0;
    for (const std::string& lines : {
             std::string("0000000017 00000 n \n0000000081 00002 n\r\n"),
             std::string("0000000017 00000 n\r0000000081 65535 f \r"),
             std::string("0000000017 00000 n% c\n0000000081 00000 n \n"),
             std::string("0000000017  00000 n \n0000000081 00000 n \n"),
             std::string("0000000017 00000 n\t\f0000000081 00000 f\n"),
             std::string("0000000017 00000 nx\n0000000081 00000 n \n"),
             std::string("0000000017 00000 n/\n0000000081 00000 n \n"),
             std::string("000000001a 00000 n \n0000000081 00000 n \n"),
             std::string("0000000017 0000a n \n0000000081 00000 n \n"),
             std::string("2147483647 99999 n \n2147483648 00000 n \n"),
             std::string("9999999999 00000 n \n0000000081 00000 n \n"),
             std::string("0000000017 00000 n \n0000000081 00000 n"),
             std::string("0000000017 00000 n \n0000000081 00000 n\0\n", 41),
         }) {
        SCOPED_TRACE(lines);
        const std::string text = "xref\n0 3\n0000000000 65535 f \n" + lines + "\ntrailer";
        CPDFXRef whole, pieces;
        MemInStream mem(text);
        FileInStream file(2);
        ASSERT_TRUE(file.Open(dir.Write("x" + std::to_string(k++), text).c_str(), "rb", 0, -1, 2));
        auto read = [](CPDFXRef& xref, corvina::InStream& in) -> std::string {
            try {
                xref.Serialize(nullptr, in);
            } catch (const CPDFException& e) {
                return e.GetFactor();
            }
            return "";
        };
        const std::string error = read(whole, mem);
        EXPECT_EQ(error, read(pieces, file));
        if (!error.empty()) continue;
        EXPECT_EQ(Written(whole), Written(pieces));
        EXPECT_EQ(mem.Tell(), file.Tell());
    }
}
