#include "tool/CNameMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using corvina::CPDFObjRef;

namespace {

std::vector<std::string> KeysInOrder(const CNameMap& map) {
    std::vector<std::string> keys;
    for (const CNameMap::Index i : map.InKeyOrder()) keys.emplace_back(map.Bytes(i));
    return keys;
}

}  // namespace

TEST(CNameMap, TheSameTextInEitherFormIsOneName) {
    CNameMap map;
    ASSERT_NE(map.AddRead(std::string("\xFE\xFF\x00\x31", 4), false, CPDFObjRef(7, 0)),
              CNameMap::kNone);
    // (1) is the name <FEFF0031> already is: the later in the tree wins,
    // key and value, and the name stays one.
    EXPECT_EQ(map.AddRead("1", true, CPDFObjRef(8, 0)), 0u);
    EXPECT_EQ(map.Size(), 1u);
    const CNameMap::Index found = map.Find(u"1");
    ASSERT_NE(found, CNameMap::kNone);
    EXPECT_EQ(map.Ref(found), CPDFObjRef(8, 0));
    EXPECT_EQ(map.Bytes(found), "1");
    EXPECT_TRUE(map.IsLiteral(found));
    EXPECT_EQ(map.AddRead(std::string("\xFE\xFF\x00\x31", 4), false, CPDFObjRef(7, 0)), 0u);
    EXPECT_EQ(map.Bytes(found), std::string("\xFE\xFF\x00\x31", 4));
    EXPECT_FALSE(map.IsLiteral(found));
    EXPECT_EQ(map.Find(u"1"), found);

    // A new name finds either spelling, and a replaced value keeps the key.
    CNameMap other;
    other.AddRead("2", true, CPDFObjRef(9, 0));
    const CNameMap::Index two = other.Find(std::u16string(u"2"));
    ASSERT_NE(two, CNameMap::kNone);
    other.SetRef(two, CPDFObjRef(30, 0));
    EXPECT_EQ(other.Bytes(two), "2");
    EXPECT_EQ(other.Ref(two), CPDFObjRef(30, 0));
    EXPECT_EQ(other.Find(u"3"), CNameMap::kNone);
}

TEST(CNameMap, KeyTextReadsUnicodeCodePage932AndLeftoverBytes) {
    EXPECT_EQ(CNameMap::KeyText(std::string("\xFE\xFF\x30\x42\x00", 5)), u"\u3042");
    EXPECT_EQ(CNameMap::KeyText("\x82\xA0"), u"\u3042");
    EXPECT_EQ(CNameMap::KeyText("page.1"), u"page.1");
    // Bytes that are no code page 932 text keep their values.
    EXPECT_EQ(CNameMap::KeyText("\x82"), u"\u0082");
    // The name ends at its first zero unit, as the names are compared.
    EXPECT_EQ(CNameMap::KeyText(std::string("ab\0c", 4)), u"ab");
    EXPECT_EQ(CNameMap::KeyText(std::string("\xFE\xFF\x00\x61\x00\x00\x00\x62", 8)), u"a");
}

TEST(CNameMap, NewNamesAreByteStringsWhenAscii) {
    CNameMap map;
    const CNameMap::Index ascii = map.AddNew(u"p005", CPDFObjRef(3, 0));
    EXPECT_EQ(map.Bytes(ascii), "p005");
    EXPECT_TRUE(map.IsLiteral(ascii));
    const CNameMap::Index wide = map.AddNew(u"caf\u00e9", CPDFObjRef(4, 0));
    EXPECT_EQ(map.Bytes(wide), std::string("\xFE\xFF\x00\x63\x00\x61\x00\x66\x00\xE9", 10));
    EXPECT_FALSE(map.IsLiteral(wide));
    EXPECT_EQ(map.Text(wide), u"caf\u00e9");
    EXPECT_EQ(map.Find(u"caf\u00e9"), wide);
    // A new name is never added twice.
    EXPECT_EQ(map.AddNew(u"p005", CPDFObjRef(5, 0)), CNameMap::kNone);
    EXPECT_EQ(map.Ref(ascii), CPDFObjRef(3, 0));
}

TEST(CNameMap, KeysComeInTheOrderOfTheirBytes) {
    CNameMap map;
    // A sorted tree's keys come back in order, new names merged in by their
    // bytes.
    for (const char* key : {"B", "Doc-Start", "page.1", "section.2"})
        map.AddRead(key, true, CPDFObjRef(1, 0));
    map.AddRead(std::string("\xFE\xFF\x30\x42", 4), false, CPDFObjRef(1, 0));
    map.AddNew(u"2", CPDFObjRef(2, 0));
    map.AddNew(u"a", CPDFObjRef(2, 0));
    map.AddNew(u"\u00e9", CPDFObjRef(2, 0));
    map.AddNew(u"10", CPDFObjRef(2, 0));
    EXPECT_EQ(KeysInOrder(map),
              (std::vector<std::string>{"10", "2", "B", "Doc-Start", "a", "page.1", "section.2",
                                        std::string("\xFE\xFF\x00\xE9", 4),
                                        std::string("\xFE\xFF\x30\x42", 4)}));

    // A tree that was not sorted is sorted all the same; bytes compare
    // unsigned and a prefix comes first.
    CNameMap unsorted;
    for (const char* key : {"b", "\xC0", "ab", "a", "abc"})
        unsorted.AddRead(key, true, CPDFObjRef(1, 0));
    EXPECT_EQ(KeysInOrder(unsorted), (std::vector<std::string>{"a", "ab", "abc", "b", "\xC0"}));
}

TEST(CNameMap, ManyNamesStayFindableThroughGrowth) {
    CNameMap map;
    for (int i = 0; i < 5000; ++i) {
        const std::string key = "n" + std::to_string(i);
        ASSERT_NE(map.AddRead(key, true, CPDFObjRef(i + 1, 0)), CNameMap::kNone);
    }
    for (int i = 0; i < 5000; i += 7) {
        const std::string key = "n" + std::to_string(i);
        const CNameMap::Index at = map.Find(std::u16string(key.begin(), key.end()));
        ASSERT_NE(at, CNameMap::kNone) << key;
        EXPECT_EQ(map.Ref(at), CPDFObjRef(i + 1, 0));
    }
    map.Clear();
    EXPECT_TRUE(map.Empty());
    EXPECT_EQ(map.Find(u"n1"), CNameMap::kNone);
}
