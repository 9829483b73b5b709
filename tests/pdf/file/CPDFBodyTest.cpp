#include "pdf/file/CPDFBody.h"

#include <gtest/gtest.h>

#include <memory>

#include "pdf/io/OutStream.h"

using corvina::CPDFBody;
using corvina::CPDFObject;
using corvina::CPDFObjHolder;
using corvina::CPDFObjRef;
using corvina::CryptKey;
using corvina::OutStream;

namespace {

// An object that counts its destruction.
class Probe : public CPDFObject {
public:
    explicit Probe(int* destroyed) : CPDFObject(Null, "Null"), destroyed_(destroyed) {}
    ~Probe() override { ++*destroyed_; }
    void Serialize(OutStream&, CryptKey) override {}
    std::unique_ptr<CPDFObject> Duplicate(CPDFObjHolder*, CPDFObjHolder*) const override {
        return nullptr;
    }
    bool Release(CPDFObjHolder*) override { return true; }
    bool Linearize(CPDFObjHolder*) override { return true; }

private:
    int* destroyed_;
};

}  // namespace

TEST(CPDFBody, GetNeedsNumberAndGeneration) {
    int destroyed = 0;
    CPDFBody body;
    ASSERT_TRUE(body.Resize(4));
    auto probe = std::make_unique<Probe>(&destroyed);
    CPDFObject* raw = probe.get();
    ASSERT_TRUE(body.SetObj(CPDFObjRef(3, 2), std::move(probe)));
    EXPECT_EQ(body.GetObj(CPDFObjRef(3, 2)), raw);
    EXPECT_EQ(body.GetObj(CPDFObjRef(3, 0)), nullptr);
    EXPECT_EQ(body.GetObj(CPDFObjRef(2, 2)), nullptr);
    EXPECT_EQ(body.GetObj(CPDFObjRef(0, 0)), nullptr);
    EXPECT_EQ(body.GetObj(CPDFObjRef(9, 0)), nullptr);
    CPDFObjRef ref;
    EXPECT_EQ(body.SlotObj(3, &ref), raw);
    EXPECT_EQ(ref, CPDFObjRef(3, 2));
    EXPECT_EQ(body.SlotObj(2, &ref), nullptr);
    EXPECT_FALSE(ref.IsSet());

    // Replacing destroys the old object.
    ASSERT_TRUE(body.SetObj(CPDFObjRef(3, 3), std::make_unique<Probe>(&destroyed)));
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(body.GetObj(CPDFObjRef(3, 2)), nullptr);
}

TEST(CPDFBody, SetNeedsNumberWithinSize) {
    int destroyed = 0;
    CPDFBody body;
    ASSERT_TRUE(body.Resize(2));
    EXPECT_FALSE(body.SetObj(CPDFObjRef(3, 0), std::make_unique<Probe>(&destroyed)));
    EXPECT_FALSE(body.SetObj(CPDFObjRef(0, 0), std::make_unique<Probe>(&destroyed)));
    EXPECT_FALSE(body.SetObj(CPDFObjRef(-1, -1), std::make_unique<Probe>(&destroyed)));
    EXPECT_EQ(destroyed, 3);  // a refused object is not leaked
    EXPECT_EQ(body.Size(), 2);
}

TEST(CPDFBody, AddTakeRemove) {
    int destroyed = 0;
    CPDFBody body;
    ASSERT_TRUE(body.Resize(5));
    CPDFObjRef ref;
    ASSERT_TRUE(body.AddObj(std::make_unique<Probe>(&destroyed), &ref));
    EXPECT_EQ(ref, CPDFObjRef(6, 0));
    EXPECT_EQ(body.Size(), 6);

    std::unique_ptr<CPDFObject> taken = body.TakeObj(CPDFObjRef(6, 0));
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(body.GetObj(CPDFObjRef(6, 0)), nullptr);
    EXPECT_EQ(body.TakeObj(CPDFObjRef(6, 0)), nullptr);

    ASSERT_TRUE(body.SetObj(CPDFObjRef(2, 0), std::move(taken)));
    body.RemoveObj(CPDFObjRef(2, 1));  // wrong generation: nothing happens
    EXPECT_EQ(destroyed, 0);
    body.RemoveObj(CPDFObjRef(2, 0));
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(body.SlotObj(2, nullptr), nullptr);
}

TEST(CPDFBody, CreateKeepsTheSourceSizeEmpty) {
    int destroyed = 0;
    CPDFBody source;
    ASSERT_TRUE(source.Resize(3));
    ASSERT_TRUE(source.SetObj(CPDFObjRef(1, 0), std::make_unique<Probe>(&destroyed)));
    CPDFBody body;
    ASSERT_TRUE(body.Create(nullptr, &source));
    EXPECT_EQ(body.Size(), 3);
    EXPECT_EQ(body.GetObj(CPDFObjRef(1, 0)), nullptr);
    // Resize only grows; a large size costs nothing until used.
    EXPECT_TRUE(body.Resize(1));
    EXPECT_EQ(body.Size(), 3);
    EXPECT_TRUE(body.Resize(8000000));
    EXPECT_EQ(body.Size(), 8000000);
    EXPECT_FALSE(body.Resize(-1));
}

TEST(CPDFBody, DestroysItsObjects) {
    int destroyed = 0;
    {
        CPDFBody body;
        ASSERT_TRUE(body.Resize(2));
        ASSERT_TRUE(body.SetObj(CPDFObjRef(1, 0), std::make_unique<Probe>(&destroyed)));
        ASSERT_TRUE(body.SetObj(CPDFObjRef(2, 0), std::make_unique<Probe>(&destroyed)));
    }
    EXPECT_EQ(destroyed, 2);
}
