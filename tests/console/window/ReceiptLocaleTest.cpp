// Receipt numbers typed into the real main window under the locale the
// test runs in (CTest runs it under the C locale and under de_DE, whose
// decimal separator is ","): what passes validation is the number on the
// wire, and a text whose value is no whole receipt number is refused with
// "Vigane kviitungi number." and sends nothing, in every locale.
#include "ConsoleFixture.h"

#include "common/Bytes.h"
#include "common/Helpers.h"

namespace {

struct ReceiptRow {
    const char *name;
    QString text;
    int expected;   // the receipt sent; -1: refused
};

void PrintTo(const ReceiptRow &row, std::ostream *os) { *os << row.name; }

// The locale's decimal separator, as CTest sets it up for this run.
QChar decimalSeparator()
{
    return QLocale::system().decimalPoint().front();
}

class ReceiptInEveryLocale : public ConsoleFixture, public ::testing::WithParamInterface<ReceiptRow> {
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        provisionForTransactions();
    }
};

TEST(ReceiptLocale, RunsUnderTheLocaleCTestAskedFor)
{
    const QByteArray wanted = qgetenv("TELLAR_TEST_DECIMAL_SEPARATOR");
    ASSERT_FALSE(wanted.isEmpty()) << "run through CTest";
    EXPECT_EQ(decimalSeparator(), QLatin1Char(wanted.front()));
}

TEST_P(ReceiptInEveryLocale, SentNumberIsTheValidatedOne)
{
    const ReceiptRow &row = GetParam();
    Form1 &w = open();
    w.SelectTab(2);
    QLineEdit *receipt = text("Text3");
    keytyping::typeAt(timing, receipt, row.text, 200);
    QTest::keyClick(receipt, Qt::Key_Return);

    if (row.expected < 0) {
        Form2 *box = topBox();
        ASSERT_NE(box, nullptr) << "refused without a word";
        EXPECT_EQ(box->findChild<QLabel *>(u"Label1"_qs)->text(), u"Vigane kviitungi number."_qs);
        EXPECT_FALSE(anyConnection()) << "a refused receipt number reached the server";
        return;
    }
    const VaroManager request = nextRequest();
    EXPECT_EQ(fieldOf(request, 1), "0016");
    EXPECT_EQ(DecodeInt32(fieldOf(request, 13)), row.expected);
}

const bool kComma = decimalSeparator() == u',';

INSTANTIATE_TEST_SUITE_P(
    Texts, ReceiptInEveryLocale,
    ::testing::Values(ReceiptRow{"Whole", u"123"_qs, 123}, ReceiptRow{"Zero", u"0"_qs, 0},
                      ReceiptRow{"Largest", u"999999"_qs, 999999},
                      ReceiptRow{"Exponent", u"1e3"_qs, 1000},
                      ReceiptRow{"PointHalf", u"12.5"_qs, -1}, ReceiptRow{"CommaHalf", u"12,5"_qs, -1},
                      ReceiptRow{"OneAndAHalf", u"1.5"_qs, -1}, ReceiptRow{"AmountText", u"12,50"_qs, -1},
                      ReceiptRow{"Negative", u"-5"_qs, -1},
                      ReceiptRow{"CommaZeroDecimal", u"12,0"_qs, kComma ? 12 : -1},
                      ReceiptRow{"PointZeroDecimal", u"12.0"_qs, kComma ? -1 : 12}),
    [](const ::testing::TestParamInfo<ReceiptRow> &info) { return std::string(info.param.name); });

} // namespace
