// Round, Round2 and Round3 through the loaded library.
#include "LoadedStenik32.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class Rounding : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(api().complete()) << api().error;
    }
    static const LoadedStenik32 &api() { return loadedStenik32(); }
};

// Both functions give a whole number of steps times the step as given, so
// every row states that number and the result must equal it exactly.
struct RoundRow {
    const char *name;
    double value;
    double step;
    double steps;
};

const RoundRow kRoundRows[] = {
    {"HalfGoesUp", 2.5, 1, 3},
    {"NegativeHalfGoesTowardPlusInfinity", -2.5, 1, -2},
    {"FiveCentsAbove", 1.234, 0.05, 25},
    {"FiveCentsOfABinaryHalf", 1.225, 0.05, 25},
    {"WholeStepDown", 7, 5, 1},
    {"WholeStepHalfUp", 7.5, 5, 2},
    {"BelowHalfAStepGivesZero", 0.024, 0.05, 0},
    {"HalfAStepGivesOneStep", 0.025, 0.05, 1},
    {"BinaryQuotientBelowAHalfRoundsDown", 0.285, 0.01, 28},
    {"StepIsWholeForTheDivisionOnly", 7, 5.4, 1},
    {"StepRoundedUpForTheDivision", 10, 2.6, 3},
    {"NegativeFractionalStep", 1.234, -0.05, -25},
    {"HalfStep", 1.3, 0.5, 3},
    {"StepBeyond32Bits", 5e9, 1e10, 1},
    {"StepZeroGivesZero", 12.34, 0, 0},
    {"NegativeZeroStepGivesZero", -12.34, -0.0, 0},
};

class RoundExamples : public Rounding, public ::testing::WithParamInterface<RoundRow> {};

TEST_P(RoundExamples, GivesTheWholeNumberOfSteps)
{
    const RoundRow &row = GetParam();
    EXPECT_EQ(api().round(row.value, row.step), row.steps * row.step);
}

TEST_P(RoundExamples, Round3StoresWhatRoundReturns)
{
    const RoundRow &row = GetParam();
    double stored = kNaN;
    api().round3(row.value, row.step, &stored);
    EXPECT_EQ(stored, api().round(row.value, row.step));
}

INSTANTIATE_TEST_SUITE_P(Rows, RoundExamples, ::testing::ValuesIn(kRoundRows),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Rounding, StepZeroGivesZeroForEveryValue)
{
    for (const double value : {1.5, -3.0, 0.0, 1e300, kInf, -kInf, kNaN}) {
        EXPECT_EQ(api().round(value, 0.0), 0.0) << value;
        EXPECT_EQ(api().round(value, -0.0), 0.0) << value;
    }
}

// 1 / step overflows every integer type here; the count of steps per unit
// must stay a double (converting it would be undefined and give garbage).
TEST_F(Rounding, TinyStepKeepsTheValue)
{
    EXPECT_NEAR(api().round(1.0, 1e-300), 1.0, 1e-12);
    EXPECT_NEAR(api().round(-2.5, 1e-200), -2.5, 1e-12);
}

TEST_F(Rounding, Round3WithNullTargetWritesNothing)
{
    double target = 7;
    api().round3(1.5, 1, &target);
    ASSERT_EQ(target, 2.0);
    api().round3(9.5, 1, nullptr);
    EXPECT_EQ(target, 2.0);
}

const RoundRow kRound2Rows[] = {
    {"BinaryQuotientBelowAHalfRoundsUp", 0.285, 0.01, 29},
    {"FiveCentsOfABinaryHalf", 1.225, 0.05, 25},
    {"TextOf1_499999RoundsUp", 1.4999994, 1, 2},
    {"TextOf1_499998RoundsDown", 1.4999984, 1, 1},
    {"TextOf0_499999RoundsUp", 0.4999994, 1, 1},
    {"FourDecimalsBelowAHalfRoundDown", 2.4999, 1, 2},
    {"HalfGoesUp", 2.5, 1, 3},
    {"WholeQuotientStays", 3, 1, 3},
    {"TextRoundedUpToAWholeNumber", 0.9999996, 1, 1},
    {"ZeroStaysZero", 0, 0.05, 0},
    {"HalfOfTheLargestFractionalQuotient", 2251799813685248.5, 1, 2251799813685249.0},
    // Negative quotients round as their magnitude does (earlier: -1 and -1).
    {"NegativeHalfGoesAwayFromZero", -2.5, 1, -3},
    {"NegativeAboveAHalfRoundsAway", -2.7, 1, -3},
    {"NegativeBelowAHalfRoundsTowardZero", -2.4, 1, -2},
    {"NegativeBinaryQuotientBelowAHalf", -0.285, 0.01, -29},
    {"NegativeTextOf1_499999", -1.4999994, 1, -2},
    {"NegativeStep", 2.5, -1, -3},
    // Quotients beyond the 32 integer digits of a 40-character text.
    {"QuotientOf33Digits", 1e32, 1, 1e32},
    {"QuotientOf34Digits", -1e33, 1, -1e33},
    {"QuotientOf301Digits", 1e300, 1, 1e300},
    {"LargestDouble", DBL_MAX, 1, DBL_MAX},
    {"LargeQuotientOfAFractionalStep", 0x1p60, 0.5, 0x1p61},
};

class Round2Examples : public Rounding, public ::testing::WithParamInterface<RoundRow> {};

TEST_P(Round2Examples, GivesTheWholeNumberOfSteps)
{
    const RoundRow &row = GetParam();
    EXPECT_EQ(api().round2(row.value, row.step), row.steps * row.step);
}

INSTANTIATE_TEST_SUITE_P(Rows, Round2Examples, ::testing::ValuesIn(kRound2Rows),
                         [](const auto &info) { return std::string(info.param.name); });

bool sameDouble(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST_F(Rounding, Round2WithStepZeroReturnsTheValueUnchanged)
{
    for (const double value : {1.23, -4.5, 0.0, -0.0, DBL_MAX, DBL_MIN, kInf, -kInf, kNaN}) {
        for (const double step : {0.0, -0.0})
            EXPECT_TRUE(sameDouble(api().round2(value, step), value)) << value << " / " << step;
    }
}

struct NonFiniteRow {
    const char *name;
    double value;
    double step;
};

// The quotient or the step has no decimal text; the value comes back as given.
const NonFiniteRow kNonFiniteRows[] = {
    {"InfiniteValue", kInf, 1},
    {"NegativeInfiniteValue", -kInf, 0.05},
    {"NaNValue", kNaN, 1},
    {"QuotientOverflows", 1e300, 1e-300},
    {"LargestDoubleByAHalf", DBL_MAX, 0.5},
    {"InfiniteStep", 5, kInf},
    {"NaNStep", 5, kNaN},
};

class Round2NonFinite : public Rounding, public ::testing::WithParamInterface<NonFiniteRow> {};

TEST_P(Round2NonFinite, ReturnsTheValueUnchanged)
{
    const NonFiniteRow &row = GetParam();
    EXPECT_TRUE(sameDouble(api().round2(row.value, row.step), row.value))
        << api().round2(row.value, row.step);
}

INSTANTIATE_TEST_SUITE_P(Rows, Round2NonFinite, ::testing::ValuesIn(kNonFiniteRows),
                         [](const auto &info) { return std::string(info.param.name); });

// Above 2^53 a double has no fraction, so a quotient of any size gives itself.
TEST_F(Rounding, Round2OfAnyLargeQuotientIsThatQuotientOfSteps)
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(16, 307);
    for (int i = 0; i < 2000; ++i) {
        const double value = std::pow(10.0, exponent(random)) * (i % 2 ? -1 : 1);
        for (const double step : {1.0, 0.05, 0.01, 3.0}) {
            const double quotient = value / step;
            if (!std::isfinite(quotient))
                continue;
            ASSERT_EQ(api().round2(value, step), quotient * step) << value << " / " << step;
        }
    }
}

// Round2 as the rule reads, with printf's "%-#f" text in the C locale, for
// the non-negative quotients where that rule is settled.
double round2ByPrintf(double value, double step)
{
    char text[64];
    std::snprintf(text, sizeof text, "%-#f", value / step);
    const char *point = std::strchr(text, '.');
    const double whole = std::strtod(std::string(text, static_cast<std::size_t>(point - text)).c_str(), nullptr);
    const char *d = point + 1;
    const bool up = d[0] >= '5'
        || (d[0] == '4' && std::strncmp(d + 1, "99999", 5) == 0);
    return (up ? whole + 1 : whole) * step;
}

TEST_F(Rounding, Round2MatchesThePrintfTextForOrdinaryQuotients)
{
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    std::mt19937_64 random(20240601);
    std::uniform_int_distribution<long long> thousandths(0, 1'000'000'000);
    std::uniform_int_distribution<long long> wholeSteps(0, 100'000'000);
    const double steps[] = {0.01, 0.05, 0.1, 0.25, 0.5, 1, 5, 100};
    const double nearHalf[] = {0.5, 0.5 - 1e-12, 0.5 - 4e-7, 0.5 - 6e-7, 0.5 - 1e-6,
                               0.5 - 1.6e-6, 0.5 + 1e-12, 0.4999995};
    for (int i = 0; i < 20000; ++i) {
        const double step = steps[i % 8];
        const double value = static_cast<double>(thousandths(random)) / 1000;
        ASSERT_EQ(api().round2(value, step), round2ByPrintf(value, step))
            << value << " / " << step;
        const double half = (static_cast<double>(wholeSteps(random)) + nearHalf[i % 8]) * step;
        ASSERT_EQ(api().round2(half, step), round2ByPrintf(half, step)) << half << " / " << step;
    }
}

// Switches LC_ALL to a locale whose decimal separator is ",", building one
// with localedef in a private folder when none is installed. Restores "C".
class CommaLocale {
public:
    CommaLocale()
    {
        for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8",
                                 "de_DE", "fr_FR"}) {
            if (select(name))
                return;
        }
        buildPrivateLocale();
    }
    ~CommaLocale()
    {
        std::setlocale(LC_ALL, "C");
        if (!m_folder.empty()) {
            unsetenv("LOCPATH");
            std::error_code ignored;
            std::filesystem::remove_all(m_folder, ignored);
        }
    }
    CommaLocale(const CommaLocale &) = delete;
    CommaLocale &operator=(const CommaLocale &) = delete;

    const std::string &name() const { return m_name; }  // empty when none could be had
    const std::string &why() const { return m_why; }

private:
    bool select(const char *name)
    {
        if (std::setlocale(LC_ALL, name) == nullptr)
            return false;
        if (std::strcmp(std::localeconv()->decimal_point, ",") != 0) {
            std::setlocale(LC_ALL, "C");
            return false;
        }
        m_name = name;
        return true;
    }

    void buildPrivateLocale()
    {
        const char *parent = std::getenv("TELLAR_TEST_TMPDIR");
        std::string pattern = std::string(parent && *parent ? parent : "/tmp") + "/locale-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            m_why = "no de_DE or fr_FR locale installed, and no scratch folder for localedef";
            return;
        }
        m_folder = pattern;
        // localedef warns (and may exit non-zero) over harmless details of the
        // source files; whether the locale loads is what counts.
        const std::string command = "localedef -i de_DE -f ISO-8859-1 '" + m_folder
            + "/de_DE.ISO-8859-1' >/dev/null 2>&1";
        [[maybe_unused]] const int status = std::system(command.c_str());
        setenv("LOCPATH", m_folder.c_str(), 1);
        if (!select("de_DE.ISO-8859-1"))
            m_why = "no de_DE or fr_FR locale installed, and localedef could not build one";
    }

    std::string m_name;
    std::string m_why;
    std::string m_folder;
};

TEST_F(Rounding, Round2FindsTheDecimalPointUnderACommaLocale)
{
    CommaLocale locale;
    if (locale.name().empty())
        GTEST_SKIP() << locale.why();
    // Proves the locale is live: printf now writes a comma.
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 28.5);
    ASSERT_STREQ(text, "28,5") << locale.name();

    EXPECT_EQ(api().round2(0.285, 0.01), 29 * 0.01);
    EXPECT_EQ(api().round2(1.4999994, 1), 2.0);
    EXPECT_EQ(api().round2(1.4999984, 1), 1.0);
    EXPECT_EQ(api().round2(2.4999, 1), 2.0);
    EXPECT_EQ(api().round2(-2.7, 1), -3.0);
    EXPECT_EQ(api().round(1.225, 0.05), 25 * 0.05);
}

} // namespace
