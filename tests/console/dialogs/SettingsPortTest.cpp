// The settings dialog's port text: a TCP port or the old port.
#include "dialogs/SettingsSave.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct PortRow {
    const char *name;
    QString text;
    qint32 expected;   // with old port 8145
};

void PrintTo(const PortRow &row, std::ostream *os) { *os << row.name; }

class PortRows : public ::testing::TestWithParam<PortRow> {};

TEST_P(PortRows, NumericPortOrTheOldOne)
{
    const PortRow &row = GetParam();
    const QLocale commaLocale(QLocale::Estonian, QLocale::Estonia);
    EXPECT_EQ(PortFromDialogText(row.text, 8145, commaLocale), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    PortTexts, PortRows,
    ::testing::Values(PortRow{"Plain", u"9000"_qs, 9000},
                      PortRow{"Blanks", u" 80 "_qs, 80},
                      PortRow{"LetterKeepsOld", u"80a"_qs, 8145},
                      PortRow{"EmptyKeepsOld", u""_qs, 8145},
                      PortRow{"LocaleFractionRoundsHalfToEven", u"80,5"_qs, 80},
                      PortRow{"LocaleFractionRoundsUp", u"81,5"_qs, 82},
                      PortRow{"PointIsNotTheLocaleSeparator", u"80.5"_qs, 8145},
                      PortRow{"Exponent", u"8e3"_qs, 8000},
                      PortRow{"HighestPort", u"65535"_qs, 65535},
                      PortRow{"BeyondSixteenBitsKeepsOld", u"70000"_qs, 8145},
                      PortRow{"ZeroKeepsOld", u"0"_qs, 8145},
                      PortRow{"NegativeKeepsOld", u"-1"_qs, 8145},
                      PortRow{"OverflowKeepsOld", u"1e999"_qs, 8145}),
    [](const ::testing::TestParamInfo<PortRow> &info) { return std::string(info.param.name); });

} // namespace
