#include "core/Text.h"
#include <gtest/gtest.h>
TEST(Placeholder, Builds) { EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e"); }
