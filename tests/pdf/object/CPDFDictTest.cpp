#include "pdf/object/CPDFDict.h"

#include <gtest/gtest.h>

#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFName.h"
#include "pdf/object/CPDFNull.h"
#include "pdf/object/CPDFNumber.h"
#include "support/ObjectTestUtil.h"

namespace corvina {
namespace {
using namespace corvina::testing;

int gDestroyed = 0;
struct Probe : CPDFNull {
    ~Probe() override { ++gDestroyed; }
};

std::unique_ptr<CPDFNumber> Num(int v) {
    return std::make_unique<CPDFNumber>(v);
}

TEST(CPDFDict, InsertSameKeyKeepsOneEntryAndDestroysFirstValue) {
    gDestroyed = 0;
    CPDFDict d;
    EXPECT_EQ(d.TypeCode(), CPDFObject::Dictionary);
    EXPECT_STREQ(d.TypeName(), "Dictionary");
    ASSERT_TRUE(d.Insert("K", std::make_unique<Probe>()));
    ASSERT_TRUE(d.Insert("K", Num(2)));
    EXPECT_EQ(d.Count(), 1);
    EXPECT_EQ(gDestroyed, 1);
    EXPECT_EQ(WriteText(d), "<<\r\n/K 2\r\n>>");
}

TEST(CPDFDict, IterationInKeyByteOrder) {
    CPDFDict d;
    for (const char* k : {"Type", "Kids", "Count", "a", "A"})
        d.Insert(k, std::make_unique<CPDFNull>());
    std::string keys;
    for (auto* n = d.First(); n; n = CPDFDict::Next(n)) keys += std::string(n->key.Text()) + ",";
    EXPECT_EQ(keys, "A,Count,Kids,Type,a,");
}

TEST(CPDFDict, FindDetachAndRemoveKey) {
    gDestroyed = 0;
    auto obj = ParseText("<</A 1/R 5 0 R/P null>>");
    auto* d = static_cast<CPDFDict*>(obj.get());
    EXPECT_TRUE(d->Has("R"));
    EXPECT_FALSE(d->Has("Z"));
    EXPECT_EQ(d->FindDirect("R"), nullptr);  // a reference is no direct object
    EXPECT_NE(d->Find("R"), nullptr);
    ASSERT_NE(d->FindDirect("A"), nullptr);

    auto detached = d->Detach("A");
    ASSERT_TRUE(detached);
    EXPECT_EQ(detached->Kind(), CPDFAtom::ObjectKind);
    EXPECT_FALSE(d->Has("A"));
    EXPECT_EQ(d->Detach("A"), nullptr);

    d->Insert("P", std::make_unique<Probe>());
    d->RemoveKey(nullptr, "P");
    EXPECT_EQ(gDestroyed, 1);
    d->RemoveKey(nullptr, "R");
    d->RemoveKey(nullptr, "absent");
    EXPECT_EQ(d->Count(), 0);
    EXPECT_EQ(WriteText(*d), "<<\r\n>>");
}

TEST(CPDFDict, GetObjWithoutDocumentFillsReference) {
    auto obj = ParseText("<</Pages 2 0 R/Count 3>>");
    auto* d = static_cast<CPDFDict*>(obj.get());
    CPDFObjRef ref;
    EXPECT_EQ(d->GetObj(nullptr, "Pages", &ref), nullptr);
    EXPECT_EQ(ref, CPDFObjRef(2, 0));
    CPDFObject* count = d->GetObj(nullptr, "Count", &ref);
    ASSERT_NE(count, nullptr);
    EXPECT_FALSE(ref.IsSet());
    EXPECT_EQ(d->GetAs<CPDFNumber>(nullptr, "Count")->IntValue(), 3);
    EXPECT_EQ(d->GetAs<CPDFName>(nullptr, "Count"), nullptr);
    EXPECT_EQ(d->GetObj(nullptr, "None", &ref), nullptr);
    EXPECT_FALSE(ref.IsSet());
}

TEST(CPDFDict, SetObjWithoutDocument) {
    gDestroyed = 0;
    CPDFDict d;
    CPDFObjRef ref(7, 0);
    EXPECT_FALSE(d.SetObj(nullptr, "I", std::make_unique<Probe>(), true, &ref));
    EXPECT_EQ(gDestroyed, 1);
    EXPECT_FALSE(d.Has("I"));
    ASSERT_TRUE(d.SetObj(nullptr, "D", Num(1), false, &ref));
    EXPECT_FALSE(ref.IsSet());
    ASSERT_TRUE(d.ReplaceObj(nullptr, "D", Num(2), CPDFObjRef()));
    EXPECT_EQ(WriteText(d), "<<\r\n/D 2\r\n>>");
    EXPECT_FALSE(d.SetObj(nullptr, "N", nullptr, false));
}

TEST(CPDFDict, CopyEntriesWithoutOverwriteKeepsDestinationValue) {
    auto src = ParseText("<</A 1/B 2>>");
    CPDFDict dst;
    dst.Insert("A", Num(9));
    ASSERT_TRUE(static_cast<CPDFDict*>(src.get())->CopyEntries(dst, nullptr, nullptr, false));
    EXPECT_EQ(WriteText(dst), "<<\r\n/A 9\r\n/B 2\r\n>>");
    ASSERT_TRUE(static_cast<CPDFDict*>(src.get())->CopyEntries(dst, nullptr, nullptr, true));
    EXPECT_EQ(WriteText(dst), "<<\r\n/A 1\r\n/B 2\r\n>>");
}

TEST(CPDFDict, DuplicateDeepCopiesAndSkipsNonDuplicable) {
    auto obj = ParseText("<</Keep [1 <</In (x)>>]/Skip 5/Name/N>>");
    auto* d = static_cast<CPDFDict*>(obj.get());
    d->FindDirect("Skip")->SetDuplicable(false);
    d->SetLinearizable(false);
    auto copy = d->Duplicate(nullptr, nullptr);
    ASSERT_TRUE(copy);
    EXPECT_EQ(typeid(*copy), typeid(CPDFDict));
    EXPECT_FALSE(copy->IsLinearizable());
    const std::string expected = "<<\r\n/Keep [1 <<\r\n/In (x)\r\n>>]\r\n/Name /N\r\n>>";
    EXPECT_EQ(WriteText(*copy), expected);
    obj.reset();
    EXPECT_EQ(WriteText(*copy), expected);
    EXPECT_TRUE(copy->Release(nullptr));
    EXPECT_TRUE(copy->Linearize(nullptr));
}

TEST(CPDFDict, DuplicateFailsOnUnresolvableReference) {
    auto obj = ParseText("<</A 1/R 2 0 R>>");
    EXPECT_EQ(obj->Duplicate(nullptr, nullptr), nullptr);
}

TEST(CPDFDict, KeysWithAnyByte) {
    auto obj = ParseText("<</A#00B 1/A 2>>");
    auto* d = static_cast<CPDFDict*>(obj.get());
    // Keys compare up to a zero byte, so A#00B and A are one key.
    EXPECT_EQ(d->Count(), 1);
    CPDFDict copy;
    ASSERT_TRUE(d->CopyEntries(copy, nullptr, nullptr, true));
    EXPECT_EQ(WriteText(copy), WriteText(*d));
}

}  // namespace
}  // namespace corvina
