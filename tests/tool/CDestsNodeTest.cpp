#include "tool/CDestsNode.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pdf/io/MemOutStream.h"
#include "pdf/object/CPDFArray.h"
#include "pdf/object/CPDFString.h"

using corvina::CPDFObjRef;

namespace {

std::string Written(corvina::CPDFObject& obj) {
    corvina::MemOutStream out;
    obj.Serialize(out, nullptr);
    out.Flush();
    return out.Data();
}

}  // namespace

TEST(CDestsNode, WritesWhatTheSameNodeWithABuiltArrayWrites) {
    auto map = std::make_unique<CNameMap>();
    map->AddRead("Doc-Start", true, CPDFObjRef(24, 0));
    map->AddRead("a(b)", true, CPDFObjRef(10, 2));
    map->AddRead(std::string("\xFE\xFF\x00\x31", 4), false, CPDFObjRef(8, 0));
    map->AddRead("\x82\xA0", false, CPDFObjRef(11, 0));
    map->AddNew(u"2", CPDFObjRef(40, 0));

    // The node a plain array of the same keys, in the same forms, makes.
    corvina::CPDFNameTreeNode built;
    auto array = std::make_unique<corvina::CPDFArray>();
    for (const CNameMap::Index i : map->InKeyOrder()) {
        const std::string bytes(map->Bytes(i));
        auto key =
            std::make_unique<corvina::CPDFString>(bytes.data(), static_cast<int>(bytes.size()));
        key->SetLiteral(map->IsLiteral(i));
        array->Push_Back(std::move(key));
        array->Push_Back(std::make_unique<CPDFObjRef>(map->Ref(i)));
    }
    ASSERT_TRUE(built.Set_Names(std::move(array), false));

    CDestsNode node(std::move(map));
    const std::string bytes = Written(node);
    EXPECT_EQ(bytes, Written(built));
    EXPECT_EQ(bytes,
              "<<\r\n/Names [(2) 40 0 R (Doc-Start) 24 0 R (a\\(b\\)) 10 2 R <82A0> 11 0 R "
              "<FEFF0031> 8 0 R]\r\n>>");
}
