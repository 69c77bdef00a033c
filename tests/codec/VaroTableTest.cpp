// The field table: order, the duplicate-ID rule, positions and defaults, the
// ID index that replaces the linear scan, and the 32,766-entry limit.
#include "VaroTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

using namespace VaroTest;

namespace {

TEST(VaroTable, EmptyTableGivesDefaultsAndMinusOne)
{
    VaroManager m;
    EXPECT_EQ(m.getProtocolVersion(), 1);
    EXPECT_EQ(m.getFieldCount(), 0);
    EXPECT_EQ(m.GetFieldIDByIndex(1), -1);
    EXPECT_EQ(m.GetFieldData(1, "dflt"), "dflt");
    EXPECT_EQ(m.GetFieldDataByIndex(1, "dflt"), "dflt");
    EXPECT_EQ(m.getFieldIndex(1), -1);
    EXPECT_FALSE(m.FieldExists(1));
}

TEST(VaroTable, SecondAddFieldWithSameIdIsRefusedAndKeepsFirstData)
{
    VaroManager m;
    EXPECT_EQ(m.AddField(5, "A"), VaroManager::FieldAdded);
    EXPECT_EQ(m.AddField(5, "B"), VaroManager::FieldIdExists);
    EXPECT_EQ(m.AddField(5, "B"), 2);   // the number callers test for
    EXPECT_EQ(m.getFieldCount(), 1);
    EXPECT_EQ(m.GetFieldData(5), "A");
}

TEST(VaroTable, FieldsKeepTheOrderOfFirstAddition)
{
    VaroManager m;
    const Fields added = {{7, "seven"}, {-3, "minus three"}, {1, "one"}, {300, "three hundred"}};
    for (const auto &[id, data] : added)
        m.AddField(id, data);
    EXPECT_EQ(fieldsOf(m), added);
    for (int16_t i = 1; i <= 4; ++i)
        EXPECT_EQ(m.getFieldIndex(added[i - 1].first), i);
}

TEST(VaroTable, UpdateFieldReplacesInPlaceWithoutMovingTheEntry)
{
    VaroManager m;
    m.AddField(4, "four");
    m.AddField(5, "A");
    m.AddField(6, "six");
    m.UpdateField(5, "B");
    EXPECT_EQ(fieldsOf(m), (Fields{{4, "four"}, {5, "B"}, {6, "six"}}));
}

TEST(VaroTable, UpdateFieldOfUnknownIdAppendsItLast)
{
    VaroManager m;
    m.AddField(4, "four");
    m.AddField(5, "five");
    m.UpdateField(9, "nine");
    EXPECT_EQ(m.getFieldCount(), 3);
    EXPECT_EQ(m.GetFieldIDByIndex(3), 9);
    EXPECT_EQ(m.GetFieldData(9), "nine");
}

struct IndexRow {
    const char *name;
    int16_t index;
    bool inRange;
};

class VaroTablePositions : public ::testing::TestWithParam<IndexRow> {};

TEST_P(VaroTablePositions, OutOfRangePositionsGiveDefaultAndMinusOne)
{
    VaroManager m;
    m.AddField(10, "a");
    m.AddField(20, "b");
    m.AddField(30, "c");
    const IndexRow row = GetParam();
    if (row.inRange) {
        EXPECT_EQ(m.GetFieldIDByIndex(row.index), row.index * 10);
        EXPECT_EQ(m.GetFieldDataByIndex(row.index, "dflt"), std::string(1, char('a' + row.index - 1)));
    } else {
        EXPECT_EQ(m.GetFieldIDByIndex(row.index), -1);
        EXPECT_EQ(m.GetFieldDataByIndex(row.index, "dflt"), "dflt");
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, VaroTablePositions,
    ::testing::Values(IndexRow{"zero", 0, false}, IndexRow{"first", 1, true},
                      IndexRow{"last", 3, true}, IndexRow{"countPlusOne", 4, false},
                      IndexRow{"minusOne", -1, false}, IndexRow{"int16Min", INT16_MIN, false},
                      IndexRow{"int16Max", INT16_MAX, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(VaroTable, ZeroBytesAndEmptyDataAreStoredUnchanged)
{
    VaroManager m;
    const std::string withNuls("\0a\0\0b\0", 6);
    m.AddField(1, withNuls);
    m.AddField(2, "");
    EXPECT_EQ(m.GetFieldData(1), withNuls);
    EXPECT_TRUE(m.FieldExists(2));
    EXPECT_EQ(m.GetFieldData(2, "dflt"), "");
    EXPECT_EQ(m.getFieldIndex(2), 2);
}

TEST(VaroTable, NegativeIdsIncludingMinusOneAreOrdinaryIds)
{
    VaroManager m;
    m.AddField(-1, "minus one");
    m.AddField(INT16_MIN, "min");
    m.AddField(INT16_MAX, "max");
    EXPECT_EQ(m.getFieldIndex(-1), 1);
    EXPECT_EQ(m.getFieldIndex(INT16_MIN), 2);
    EXPECT_EQ(m.getFieldIndex(INT16_MAX), 3);
    EXPECT_EQ(m.GetFieldData(INT16_MIN), "min");
    EXPECT_EQ(m.AddField(-1, "again"), 2);
    // -1 and 65535 are the same 16 bits: the table must not confuse -1 with
    // an unsigned ID nor with "absent".
    EXPECT_FALSE(m.FieldExists(-2));
}

TEST(VaroTable, ResetEmptiesTheTableAndItsIndex)
{
    VaroManager m;
    for (int16_t id = 0; id < 100; ++id)
        m.AddField(id, "x");
    m.Reset();
    EXPECT_EQ(m.getFieldCount(), 0);
    EXPECT_FALSE(m.FieldExists(50));
    EXPECT_EQ(m.GetFieldData(50, "dflt"), "dflt");
    EXPECT_EQ(m.AddField(50, "again"), 0);
    EXPECT_EQ(m.getFieldIndex(50), 1);
}

// A model of the table as the scan from position 1 defines it; the codec's
// index must give the same answers for every mix of operations, on both
// sides of the size at which the index takes over from the scan.
class ScanModel {
public:
    int16_t add(int16_t id, const std::string &data)
    {
        if (find(id))
            return 2;
        m_fields.emplace_back(id, data);
        return 0;
    }
    void update(int16_t id, const std::string &data)
    {
        for (auto &f : m_fields) {
            if (f.first == id) {
                f.second = data;
                return;
            }
        }
        m_fields.emplace_back(id, data);
    }
    std::optional<int16_t> find(int16_t id) const
    {
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            if (m_fields[i].first == id)
                return static_cast<int16_t>(i + 1);
        }
        return std::nullopt;
    }
    const Fields &fields() const { return m_fields; }
    void reset() { m_fields.clear(); }

private:
    Fields m_fields;
};

TEST(VaroTable, IndexedLookupsAgreeWithLinearScanForRandomOperations)
{
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        std::mt19937 rng(seed);
        // A narrow ID range makes repeats and updates frequent; the wide
        // one walks the whole signed range.
        const int span = seed % 2 ? 64 : 32767;
        std::uniform_int_distribution<int> id(-span, span);
        std::uniform_int_distribution<int> op(0, 99);
        VaroManager m;
        ScanModel model;
        for (int step = 0; step < 4000; ++step) {
            const auto fid = static_cast<int16_t>(id(rng));
            const std::string data = std::to_string(step);
            const int choice = op(rng);
            if (choice < 45) {
                ASSERT_EQ(m.AddField(fid, data), model.add(fid, data)) << "seed " << seed << " step " << step;
            } else if (choice < 70) {
                m.UpdateField(fid, data);
                model.update(fid, data);
            } else if (choice < 99) {
                const auto expected = model.find(fid);
                ASSERT_EQ(m.getFieldIndex(fid), expected.value_or(-1)) << "seed " << seed << " step " << step;
                ASSERT_EQ(m.FieldExists(fid), expected.has_value());
            } else {
                m.Reset();
                model.reset();
            }
        }
        EXPECT_EQ(fieldsOf(m), model.fields()) << "seed " << seed;
    }
}

TEST(VaroTable, CopyHasItsOwnTableAndIndex)
{
    VaroManager original;
    for (int16_t id = 0; id < 100; ++id)   // enough entries for the index
        original.AddField(id, "o");
    VaroManager copy = original;
    copy.UpdateField(3, "changed");
    copy.AddField(1000, "new");
    EXPECT_EQ(original.GetFieldData(3), "o");
    EXPECT_FALSE(original.FieldExists(1000));
    EXPECT_EQ(copy.getFieldIndex(1000), 101);
    EXPECT_EQ(copy.GetFieldData(3), "changed");
}

TEST(VaroTable, FullTableRefusesNewIdsWithItsOwnResult)
{
    VaroManager m;
    for (int i = 0; i < VaroManager::kMaxFieldCount; ++i)
        ASSERT_EQ(m.AddField(static_cast<int16_t>(i - 16000), ""), 0) << i;
    EXPECT_EQ(m.getFieldCount(), 32766);
    EXPECT_EQ(m.GetFieldIDByIndex(32766), static_cast<int16_t>(32765 - 16000));

    EXPECT_EQ(m.AddField(32000, "over"), VaroManager::FieldTableFull);
    EXPECT_EQ(m.AddField(-16000, "dup"), VaroManager::FieldIdExists);   // the duplicate rule still comes first
    m.UpdateField(32001, "over");
    EXPECT_EQ(m.getFieldCount(), 32766);
    EXPECT_FALSE(m.FieldExists(32000));
    EXPECT_FALSE(m.FieldExists(32001));

    m.UpdateField(-16000, "updated");   // existing entries stay writable
    EXPECT_EQ(m.GetFieldDataByIndex(1), "updated");
}

} // namespace
