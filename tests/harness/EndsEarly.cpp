// A test program that ends halfway with status 0, as a stray exit or ExitProcess(0) would end it. Its CTest
// test passes only when the checked runner calls that run a failure.
#include <cstdlib>
#include <gtest/gtest.h>

TEST(EndsEarly, First) {}
TEST(EndsEarly, Second)
{
    std::exit(0);
}
TEST(EndsEarly, Third) {}
