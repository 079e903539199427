#include "core/Errors.h"
#include <gtest/gtest.h>
TEST(Placeholder, Builds) { EXPECT_EQ(FormatSystemMessage(0x2a000), L"Error code: 0x2a000"); }
