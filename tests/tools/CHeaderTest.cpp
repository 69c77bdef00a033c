// Stenik32 called from C code linked against the library.
#include "CHeaderCalls.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

TEST(CHeader, UrlFunctionsCallableFromC)
{
    char destination[16] = {};
    EXPECT_EQ(cEncode("a b", destination, 3), 6);
    EXPECT_EQ(std::string(destination, 6), "a%20b\0"s);
    EXPECT_EQ(cEncodeReserved("a=b", destination, 3), 6);
    EXPECT_EQ(std::string(destination, 6), "a%3Db\0"s);
    EXPECT_EQ(cDecode("%41%4a", destination), 2);
    EXPECT_EQ(std::string(destination, 2), "AJ");
}

TEST(CHeader, RoundingFunctionsCallableFromC)
{
    EXPECT_EQ(cRound(1.234, 0.05), 25 * 0.05);
    EXPECT_EQ(cRound2(0.285, 0.01), 29 * 0.01);
    EXPECT_EQ(cRound3(7.5, 5), 10.0);
}
