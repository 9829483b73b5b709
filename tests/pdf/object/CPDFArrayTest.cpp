#include "pdf/object/CPDFArray.h"

#include <gtest/gtest.h>

#include "pdf/object/CPDFDict.h"
#include "pdf/object/CPDFNull.h"
#include "pdf/object/CPDFNumber.h"
#include "support/ObjectTestUtil.h"

namespace corvina {
namespace {
using namespace corvina::testing;

// Counts its destructions so ownership can be checked.
int gDestroyed = 0;
struct Probe : CPDFNull {
    ~Probe() override { ++gDestroyed; }
};

std::unique_ptr<CPDFNumber> Num(int v) {
    return std::make_unique<CPDFNumber>(v);
}

TEST(CPDFArray, RawOperationsOwnTheirAtoms) {
    gDestroyed = 0;
    {
        CPDFArray a;
        EXPECT_EQ(a.TypeCode(), CPDFObject::Array);
        EXPECT_STREQ(a.TypeName(), "Array");
        ASSERT_TRUE(a.Push_Back(Num(1)));
        ASSERT_TRUE(a.Push_Back(std::make_unique<Probe>()));
        ASSERT_TRUE(a.PushFront(Num(0)));
        EXPECT_EQ(WriteText(a), "[0 1 null]");
        EXPECT_EQ(a.GetAt(3), nullptr);
        EXPECT_EQ(a.GetAt(-1), nullptr);

        EXPECT_FALSE(a.SetAt(3, std::make_unique<Probe>()));  // refused and destroyed
        EXPECT_EQ(gDestroyed, 1);
        ASSERT_TRUE(a.SetAt(2, Num(2)));  // the old member goes
        EXPECT_EQ(gDestroyed, 2);

        a.Push_Back(std::make_unique<Probe>());
        auto erased = a.Erase(3);  // handed out, not destroyed
        EXPECT_EQ(gDestroyed, 2);
        EXPECT_EQ(a.Count(), 3);
        erased.reset();
        EXPECT_EQ(gDestroyed, 3);
        EXPECT_EQ(a.Erase(3), nullptr);

        CPDFArray b;
        b.Push_Back(std::make_unique<Probe>());
        a.Swap(b);
        EXPECT_EQ(WriteText(a), "[null]");
        EXPECT_EQ(WriteText(b), "[0 1 2]");
        a.Clear();
        EXPECT_EQ(gDestroyed, 4);
        EXPECT_EQ(a.Count(), 0);
        a.Push_Back(std::make_unique<Probe>());
    }
    EXPECT_EQ(gDestroyed, 5);
}

TEST(CPDFArray, ManyMembers) {
    CPDFArray a;
    for (int k = 0; k < 100000; ++k) ASSERT_TRUE(a.Push_Back(Num(k)));
    EXPECT_EQ(a.Count(), 100000);
    EXPECT_EQ(static_cast<CPDFNumber*>(a.GetAt(99999))->IntValue(), 99999);
    EXPECT_TRUE(a.ReserveSlots(200000));
}

TEST(CPDFArray, GetObjWithoutDocument) {
    auto obj = ParseText("[7 3 0 R]");
    auto* a = static_cast<CPDFArray*>(obj.get());
    CPDFObjRef ref(9, 9);
    CPDFObject* first = a->GetObj(nullptr, 0, &ref);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, a->GetAt(0));
    EXPECT_FALSE(ref.IsSet());  // reset for a direct member
    EXPECT_EQ(a->GetObj(nullptr, 1, &ref), nullptr);
    EXPECT_EQ(ref, CPDFObjRef(3, 0));  // still tells where the value is
    EXPECT_EQ(a->GetObj(nullptr, 2, &ref), nullptr);
    EXPECT_FALSE(ref.IsSet());
    EXPECT_EQ(a->GetObj(nullptr, -1), nullptr);
}

TEST(CPDFArray, SetObjAndPushBackWithoutDocument) {
    gDestroyed = 0;
    CPDFArray a;
    EXPECT_FALSE(a.SetObj(nullptr, 0, std::make_unique<Probe>(), false));  // index == count
    EXPECT_EQ(gDestroyed, 1);
    ASSERT_TRUE(a.Push_Back(nullptr, Num(5), false));
    ASSERT_TRUE(a.SetObj(nullptr, 0, Num(6), false));
    EXPECT_EQ(WriteText(a), "[6]");
    CPDFObjRef ref(4, 0);
    EXPECT_FALSE(a.SetObj(nullptr, 0, std::make_unique<Probe>(), true, &ref));  // needs a doc
    EXPECT_FALSE(a.Push_Back(nullptr, std::make_unique<Probe>(), true, &ref));
    EXPECT_EQ(gDestroyed, 3);  // consumed on failure
    EXPECT_EQ(WriteText(a), "[6]");
    ASSERT_TRUE(a.ReplaceObj(nullptr, 0, Num(8), CPDFObjRef()));  // direct stays direct
    EXPECT_EQ(WriteText(a), "[8]");
    EXPECT_FALSE(a.ReplaceObj(nullptr, 0, Num(9), CPDFObjRef(4, 0)));
}

TEST(CPDFArray, DuplicateDropsNonDuplicableMembers) {
    auto obj = ParseText("[1 (two) 3 [4 <</Five 5>>]]");
    auto* a = static_cast<CPDFArray*>(obj.get());
    static_cast<CPDFObject*>(a->GetAt(1))->SetDuplicable(false);
    a->SetReleasable(false);
    auto copy = a->Duplicate(nullptr, nullptr);
    ASSERT_TRUE(copy);
    EXPECT_EQ(typeid(*copy), typeid(CPDFArray));
    EXPECT_EQ(WriteText(*copy), "[1 3 [4 <<\r\n/Five 5\r\n>>]]");
    EXPECT_TRUE(copy->IsParsed());
    EXPECT_FALSE(copy->IsReleasable());
    // The copy is independent of the original.
    obj.reset();
    EXPECT_EQ(WriteText(*copy), "[1 3 [4 <<\r\n/Five 5\r\n>>]]");
}

TEST(CPDFArray, DuplicateFailsOnUnresolvableReference) {
    auto obj = ParseText("[1 2 0 R]");
    EXPECT_EQ(obj->Duplicate(nullptr, nullptr), nullptr);
}

TEST(CPDFArray, CopyEntriesWithoutOverwriteKeepsExistingSlots) {
    auto src = ParseText("[1 2 3]");
    CPDFArray dst;
    dst.Push_Back(Num(9));
    ASSERT_TRUE(static_cast<CPDFArray*>(src.get())->CopyEntries(dst, nullptr, nullptr, false));
    EXPECT_EQ(WriteText(dst), "[9 2 3]");
    ASSERT_TRUE(static_cast<CPDFArray*>(src.get())->CopyEntries(dst, nullptr, nullptr, true));
    EXPECT_EQ(WriteText(dst), "[1 2 3]");
}

TEST(CPDFArray, WalksWithoutDocument) {
    auto obj = ParseText("[1 [2 <</A 3>>] 4 0 R]");
    EXPECT_TRUE(obj->Release(nullptr));
    EXPECT_TRUE(obj->Linearize(nullptr));
    EXPECT_EQ(WriteText(*obj), "[1 [2 <<\r\n/A 3\r\n>>] 4 0 R]");
}

}  // namespace
}  // namespace corvina
