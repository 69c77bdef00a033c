// The parser must never allocate by a length it read from the wire: a peer
// announcing 2 GB must cost no more memory than the bytes actually received.
// This program replaces the global operator new to record the largest single
// request made while a parse runs.
#include "VaroTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {
bool g_watching = false;
std::size_t g_largest = 0;
} // namespace

// The replacements below pair malloc with free on purpose.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void *operator new(std::size_t size)
{
    if (g_watching && size > g_largest)
        g_largest = size;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

using namespace VaroTest;

namespace {

struct AllocationRow {
    const char *name;
    std::string input;
    int16_t result;
};

class VaroAllocation : public ::testing::TestWithParam<AllocationRow> {};

TEST_P(VaroAllocation, AnnouncedLengthsAllocateNothingBeyondTheInput)
{
    const AllocationRow &row = GetParam();
    VaroManager m;
    std::string msg = row.input;
    std::string rest;
    g_largest = 0;
    g_watching = true;
    const int16_t result = m.ProcessMessage(msg, rest);
    g_watching = false;
    EXPECT_EQ(result, row.result);
    // Copies of the input (Remainder) and table entries are all the parser
    // may need.
    EXPECT_LE(g_largest, row.input.size() + 64);
}

std::vector<AllocationRow> allocationRows()
{
    using VaroTest::frameOfBody;
    return {
        {"hugeBodyLength", frameHeader(INT32_MAX - 6) + "abcdefgh", VaroManager::Incomplete},
        {"overflowingBodyLength", frameHeader(INT32_MAX) + "abcdefgh", VaroManager::BadLength},
        {"negativeBodyLength", frameHeader(-100) + "abcdefgh", VaroManager::BadLength},
        {"hugeDataLength", frameOfBody(le16(1) + le32(INT32_MAX) + "abcd"), VaroManager::DataOverrun},
        {"negativeDataLength", frameOfBody(le16(1) + le32(-1000000) + "abcd"), VaroManager::DataOverrun},
        {"dataLengthJustPastBody", frameOfBody(le16(1) + le32(1 << 30) + std::string(100, 'x')),
         VaroManager::DataOverrun},
    };
}

INSTANTIATE_TEST_SUITE_P(Rows, VaroAllocation, ::testing::ValuesIn(allocationRows()),
                         [](const auto &info) { return std::string(info.param.name); });

// The counter itself must see the parser's allocations, or the rows above
// would pass for the wrong reason.
TEST(VaroAllocationProbe, ParsedFieldDataIsSeenByTheCounter)
{
    const std::string big(5000, 'q');
    std::string msg = frameOf({{1, big}});
    std::string rest;
    VaroManager m;
    g_largest = 0;
    g_watching = true;
    ASSERT_EQ(m.ProcessMessage(msg, rest), VaroManager::Parsed);
    g_watching = false;
    EXPECT_GE(g_largest, big.size());
}

} // namespace
