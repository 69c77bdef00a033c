// The formatting and parsing helpers, row by row, and their independence of
// the C locale.
#include "common/Bytes.h"
#include "common/Helpers.h"

#include "TestDir.h"

#include <QDir>

#include <clocale>
#include <cmath>
#include <limits>

namespace {

std::string str(const QString &s)
{
    return s.toStdString();
}

TEST(FormatDateYYMMDD, TwoDigitYearMonthAndDay)
{
    struct Row {
        QDate date;
        const char *expected;
    } rows[] = {
        {QDate(2009, 3, 6), "090306"},
        {QDate(2000, 1, 1), "000101"},
        {QDate(2000, 12, 31), "001231"},
        {QDate(1999, 11, 30), "991130"},
        {QDate(2026, 12, 6), "261206"},
        {QDate(5, 2, 3), "050203"},       // one-digit year gets a leading "0"
        {QDate(12345, 6, 7), "450607"},   // longer years keep their last two
        {QDate(), ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(str(r.date.toString(Qt::ISODate)));
        EXPECT_EQ(str(FormatDateYYMMDD(r.date)), r.expected);
    }
}

TEST(FormatDateWords, EstonianMonthNamesForEveryMonth)
{
    const char *names[] = {"jaanuar", "veebruar", "märts",     "aprill",   "mai",      "juuni",
                           "juuli",   "august",   "september", "oktoober", "november", "detsember"};
    for (int m = 1; m <= 12; ++m) {
        SCOPED_TRACE(m);
        EXPECT_EQ(str(FormatDateWords(QDate(2026, m, 6))),
                  std::string("06. ") + names[m - 1] + " 2026");
    }
}

TEST(FormatDateWords, AcceptsDatesAndDateTextsOnly)
{
    struct Row {
        const char *name;
        QVariant value;
        const char *expected;
    } rows[] = {
        {"date", QDate(2010, 3, 1), "01. märts 2010"},
        {"datetime", QDateTime(QDate(2026, 12, 6), QTime(23, 59)), "06. detsember 2026"},
        {"iso text", QStringLiteral("2010-03-01"), "01. märts 2010"},
        {"iso text with time", QStringLiteral("2010-03-01T10:00:00"), "01. märts 2010"},
        {"estonian short text", QStringLiteral("1.3.2010"), "01. märts 2010"},
        {"letters", QStringLiteral("abc"), ""},
        {"empty text", QString(), ""},
        {"impossible date", QStringLiteral("2010-02-30"), ""},
        {"number", QVariant(42), ""},
        {"null", QVariant(), ""},
        {"invalid date", QDate(), ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(str(FormatDateWords(r.value)), r.expected);
    }
}

TEST(FormatStamp, DateAndTimeOnlyFromTwelveCharacters)
{
    struct Row {
        const char *stamp;
        const char *date;
        const char *time;
    } rows[] = {
        {"261206153000", "06.12.2026", "15:30:00"},
        {"050405000000", "05.04.2005", "00:00:00"},
        {"050407235959", "07.04.2005", "23:59:59"},
        {"2612061530", "", ""},      // 10 characters
        {"2612061530000", "", ""},   // 13 characters
        {"", "", ""},
        {"ab1206xx30zz", "06.12.20ab", "xx:30:zz"},  // cut, not checked
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.stamp);
        const QString stamp = QString::fromLatin1(r.stamp);
        EXPECT_EQ(str(FormatStampDate(stamp)), r.date);
        EXPECT_EQ(str(FormatStampTime(stamp)), r.time);
        EXPECT_EQ(str(FormatStamp(stamp)), std::string(r.date) + " " + r.time);
    }
}

TEST(RoundToStep, HalfAwayFromZeroWithNudge)
{
    struct Row {
        const char *name;
        double x, step, expected;
    } rows[] = {
        {"1.005 cents rounds up despite binary", 1.005 * 100, 1, 101},
        {"half up", 2.5, 1, 3},
        {"half away from zero, negative", -2.5, 1, -3},
        {"below half", 2.4999, 1, 2},
        {"zero", 0, 1, 0},
        {"negative zero keeps zero", -0.0, 1, 0},
        {"step of a half", 1.3, 0.5, 1.5},
        {"step of ten", 1234, 10, 1230},
        {"step of ten half", 1235, 10, 1240},
        {"step of a cent", 0.125, 0.01, 0.13},
        {"zero step leaves value", 3.7, 0, 3.7},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_DOUBLE_EQ(RoundToStep(r.x, r.step), r.expected);
    }
}

TEST(FormatAmount, TwoDecimalsSignAndPadding)
{
    struct Row {
        double value;
        const char *expected;
    } rows[] = {
        {12.5, "12.50"},
        {0.05, "0.05"},
        {0, "0.00"},
        {-3.2, "-3.20"},
        {-0.001, "-0.00"},
        {-0.05, "-0.05"},
        {1.005, "1.01"},
        {1234567.891, "1234567.89"},
        {0.5, "0.50"},
        {0.004, "0.00"},
        {0.995, "1.00"},
        {99999999.99, "99999999.99"},
        {1e15, "1000000000000000.00"},   // no exponent, no grouping
        {std::numeric_limits<double>::quiet_NaN(), ""},
        {std::numeric_limits<double>::infinity(), ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(str(FormatAmount(r.value)), r.expected);
    }
}

TEST(PadNumber, FixedWidthFromTheRight)
{
    struct Row {
        qint32 value;
        qint16 width;
        const char *expected;
    } rows[] = {
        {42, 6, "000042"},
        {1234567, 6, "234567"},
        {-5, 3, "005"},
        {999999, 6, "999999"},
        {1, 6, "000001"},
        {0, 1, "0"},
        {0, 0, ""},
        {123, 0, ""},
        {123, -2, ""},
        {std::numeric_limits<qint32>::min(), 10, "2147483648"},
        {std::numeric_limits<qint32>::min(), 12, "002147483648"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::to_string(r.value) + "/" + std::to_string(r.width));
        EXPECT_EQ(str(PadNumber(r.value, r.width)), r.expected);
    }
}

TEST(ParseBoundedLong, NumericInRangeElseDefault)
{
    struct Row {
        const char *text;
        qint32 min, max, def, expected;
    } rows[] = {
        {"", 0, 999999, -1, -1},
        {"1000000", 0, 999999, -1, -1},
        {"12", 0, 999999, -1, 12},
        {"999999", 0, 999999, -1, 999999},
        {"0", 0, 999999, -1, 0},
        {"-1", 0, 999999, -1, -1},
        {"-5", -10, 10, 99, -5},
        {" 42 ", 0, 100, -1, 42},
        {"+7", 0, 100, -1, 7},
        {"2.5", 0, 100, -1, 2},     // halves to even
        {"3.5", 0, 100, -1, 4},
        {"2.6", 0, 100, -1, 3},
        {"-2.5", -10, 10, 99, -2},
        {"999999.4", 0, 999999, -1, 999999},
        {"999999.5", 0, 999999, -1, -1},   // rounds to 1000000
        {"1e3", 0, 5000, -1, 1000},
        {"12a", 0, 100, -1, -1},
        {"1,5", 0, 100, -1, -1},
        {"0x10", 0, 100, -1, -1},
        {".", 0, 100, -1, -1},
        {"-", 0, 100, -1, -1},
        {"1e", 0, 100, -1, -1},
        {"abc", 0, 100, -1, -1},
        {"99999999999999999999", std::numeric_limits<qint32>::min(),
         std::numeric_limits<qint32>::max(), 8145, 8145},
        {"2147483647", std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), 0,
         2147483647},
        {"2147483648", std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), 0,
         0},
        {"1e400", 0, 100, -1, -1},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(ParseBoundedLong(QString::fromLatin1(r.text), r.min, r.max, r.def), r.expected);
    }
}

TEST(ByteStrings, Int32LittleEndianAndExactLength)
{
    struct Row {
        qint32 value;
        QByteArray bytes;
    } rows[] = {
        {0, QByteArray("\x00\x00\x00\x00", 4)},
        {1, QByteArray("\x01\x00\x00\x00", 4)},
        {-2, QByteArray("\xFE\xFF\xFF\xFF", 4)},
        {0x12345678, QByteArray("\x78\x56\x34\x12", 4)},
        {std::numeric_limits<qint32>::min(), QByteArray("\x00\x00\x00\x80", 4)},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(EncodeInt32(r.value), r.bytes);
        EXPECT_EQ(DecodeInt32(r.bytes), r.value);
    }
    EXPECT_EQ(DecodeInt32(QByteArray("\x01\x02\x03", 3)), 0);
    EXPECT_EQ(DecodeInt32(QByteArray("\x01\x02\x03\x04\x05", 5)), 0);
    EXPECT_EQ(DecodeInt32(QByteArray()), 0);
    EXPECT_EQ(DecodeInt32(EncodeInt32(-2)), -2);
}

TEST(ByteStrings, DoubleLittleEndianAndExactLength)
{
    const QByteArray oneAndAHalf("\x00\x00\x00\x00\x00\x00\xF8\x3F", 8);
    EXPECT_EQ(EncodeDouble(1.5), oneAndAHalf);
    EXPECT_EQ(DecodeDouble(oneAndAHalf), 1.5);
    for (double v : {0.0, -0.0, 12.5, -3.2, 1234567.891, 1e-300, 1e300}) {
        SCOPED_TRACE(v);
        const QByteArray b = EncodeDouble(v);
        ASSERT_EQ(b.size(), 8);
        EXPECT_EQ(DecodeDouble(b), v);
        EXPECT_EQ(std::signbit(DecodeDouble(b)), std::signbit(v));
    }
    EXPECT_EQ(DecodeDouble(QByteArray(7, '\x11')), 0.0);
    EXPECT_EQ(DecodeDouble(QByteArray(9, '\x11')), 0.0);
}

TEST(TranslateChars, EachCharacterMappedOnce)
{
    struct Row {
        const char *text, *source, *target, *expected;
    } rows[] = {
        {"ab", "ab", "ba", "ba"},
        {"abcabc", "ac", "xy", "xbyxby"},
        {"abc", "abc", "x", "xbc"},        // target shorter: rest unchanged
        {"abc", "", "xyz", "abc"},
        {"", "ab", "ba", ""},
        {"Abc", "a", "z", "Abc"},          // case-sensitive
        {"aaa", "aa", "xy", "yyy"},        // a repeated source: the last one wins
        {"õäöü", "õäöü", "{|}~", "{|}~"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(str(TranslateChars(qs(r.text), qs(r.source), qs(r.target))), r.expected);
    }
}

TEST(TranslateChars, BytesKeepEveryValue)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    EXPECT_EQ(TranslateChars(all, QByteArray("\xF5\x00", 2), QByteArray("\x9B\x01", 2)).at(0xF5),
              '\x9B');
    const QByteArray t = TranslateChars(all, QByteArray("\xF5\x00", 2), QByteArray("\x9B\x01", 2));
    EXPECT_EQ(t.at(0), '\x01');
    EXPECT_EQ(t.size(), 256);
    EXPECT_EQ(t.mid(1, 0xF4), all.mid(1, 0xF4));
}

TEST(NormalizeTrackText, SentinelsPerLayout)
{
    struct Row {
        const char *name;
        KeyboardLayout::Layout layout;
        const char *captured, *expected;
    } rows[] = {
        {"estonian", KeyboardLayout::Estonian, "ö1234567890123456´2512_", ";1234567890123456=2512?"},
        {"estonian keeps other letters", KeyboardLayout::Estonian, "õäüÖ,ж", "õäüÖ,ж"},
        {"russian", KeyboardLayout::Russian, "ж1234567890123456=2512,", ";1234567890123456=2512?"},
        {"russian every occurrence", KeyboardLayout::Russian, "жж,,", ";;??"},
        {"russian leaves estonian", KeyboardLayout::Russian, "ö´_", "ö´_"},
        {"other layout unchanged", KeyboardLayout::Other, "ö,ж´_", "ö,ж´_"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(str(NormalizeTrackText(qs(r.captured), r.layout)), r.expected);
    }
}

TEST(NormalizeTrackText, OverrideVariableChoosesLayout)
{
    const QByteArray saved = qgetenv("TELLAR_KEYBOARD_LAYOUT");
    qputenv("TELLAR_KEYBOARD_LAYOUT", "ee");
    EXPECT_EQ(KeyboardLayout::current(), KeyboardLayout::Estonian);
    EXPECT_EQ(str(NormalizeTrackText(qs("ö1´2_"))), ";1=2?");
    qputenv("TELLAR_KEYBOARD_LAYOUT", "RU");
    EXPECT_EQ(str(NormalizeTrackText(qs("ж1,"))), ";1?");
    qputenv("TELLAR_KEYBOARD_LAYOUT", "other");
    EXPECT_EQ(str(NormalizeTrackText(qs("ж1,ö"))), "ж1,ö");
    // Without override and without a display there is no layout to ask.
    qunsetenv("TELLAR_KEYBOARD_LAYOUT");
    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    EXPECT_EQ(KeyboardLayout::current(), KeyboardLayout::Other);
    if (!display.isEmpty())
        qputenv("DISPLAY", display);
    if (!saved.isEmpty())
        qputenv("TELLAR_KEYBOARD_LAYOUT", saved);
}

TEST(KeyboardLayout, GroupNamesTellEstonianFromRussian)
{
    struct Row {
        const char *group;
        KeyboardLayout::Layout expected;
    } rows[] = {
        {"Estonian", KeyboardLayout::Estonian},
        {"Estonian (no dead keys)", KeyboardLayout::Estonian},
        {"Russian", KeyboardLayout::Russian},
        {"Russian (typewriter)", KeyboardLayout::Russian},
        {"English (US)", KeyboardLayout::Other},
        {"Latvian", KeyboardLayout::Other},
        {"", KeyboardLayout::Other},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.group);
        EXPECT_EQ(KeyboardLayout::fromGroupName(qs(r.group)), r.expected);
    }
    EXPECT_EQ(KeyboardLayout::fromName("ee"), KeyboardLayout::Estonian);
    EXPECT_EQ(KeyboardLayout::fromName("bogus", KeyboardLayout::Russian), KeyboardLayout::Russian);
    EXPECT_EQ(KeyboardLayout::name(KeyboardLayout::Russian), QByteArray("ru"));
}

TEST(JoinPath, OneSeparatorBetween)
{
    struct Row {
        const char *dir, *file, *expected;
    } rows[] = {
        {"/opt/tellar", "Tellar.err", "/opt/tellar/Tellar.err"},
        {"/opt/tellar/", "Tellar.err", "/opt/tellar/Tellar.err"},
        {"/", "x.err", "/x.err"},
        {"relative", "x.err", "relative/x.err"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.dir);
        EXPECT_EQ(str(JoinPath(qs(r.dir), qs(r.file))), r.expected);
    }
    EXPECT_EQ(JoinPath(QString(), QStringLiteral("x.err")),
              QDir::currentPath() + QStringLiteral("/x.err"));
}

// Numbers must not change with the C library's locale (a German workstation
// writes "1,5"). Needs the de_DE locale; skipped where it is not installed.
TEST(Locale, HelpersUnchangedUnderGermanNumericLocale)
{
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    const char *german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    if (!german)
        german = std::setlocale(LC_NUMERIC, "de_DE");
    if (!german)
        GTEST_SKIP() << "de_DE locale not installed";
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");

    EXPECT_EQ(str(FormatAmount(1234567.891)), "1234567.89");
    EXPECT_EQ(str(FormatAmount(-3.2)), "-3.20");
    EXPECT_EQ(ParseBoundedLong(QStringLiteral("2.5"), 0, 10, -1), 2);
    EXPECT_EQ(ParseBoundedLong(QStringLiteral("3.5"), 0, 10, -1), 4);
    EXPECT_EQ(ParseBoundedLong(QStringLiteral("2,5"), 0, 10, -1), -1);
    EXPECT_EQ(str(PadNumber(1234567, 6)), "234567");
    EXPECT_EQ(str(FormatDateYYMMDD(QDate(2009, 3, 6))), "090306");
    EXPECT_EQ(DecodeDouble(EncodeDouble(12.5)), 12.5);

    std::setlocale(LC_NUMERIC, before.c_str());
}

} // namespace
