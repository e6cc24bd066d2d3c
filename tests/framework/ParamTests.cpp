#include <gtest/gtest.h>
#include "framework/IParam.h"
TEST(Placeholder, Builds) { IParam p; EXPECT_EQ(p.Type(), IParam::kTypeNone); }
