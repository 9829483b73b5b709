#include <gtest/gtest.h>

#include "pdf/object/CPDFBool.h"
#include "support/ObjectTestUtil.h"

namespace corvina {
namespace {
using namespace corvina::testing;

TEST(ScalarObject, Smoke) {
    auto b = ParseText("true");
    ASSERT_TRUE(b);
    EXPECT_EQ(WriteText(*b), "true");
}

}  // namespace
}  // namespace corvina
