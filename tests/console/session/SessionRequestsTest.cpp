// Request frames field by field, without a socket.
#include "session/SessionRequests.h"

#include "SessionTestSupport.h"
#include "common/Bytes.h"
#include "common/Helpers.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using SessionRequests::Address;

ReceivedFrame parse(const QByteArray &frame)
{
    VaroManager m;
    std::string msg(frame.constData(), std::size_t(frame.size()));
    std::string rest;
    EXPECT_EQ(m.ProcessMessage(msg, rest), VaroManager::Parsed);
    EXPECT_TRUE(rest.empty());
    return ReceivedFrame{frame, m};
}

const Address kPos0Session41{"00000000", 41};

TEST(SessionRequests, PaymentOf1250WithSession41HasEveryFieldInOrder)
{
    const QByteArray frame = SessionRequests::cardPayment(kPos0Session41, 12.5, ";1234=5678?", false);
    const ReceivedFrame f = parse(frame);
    EXPECT_EQ(f.fieldIds(), (std::vector<qint16>{1, 2, 3, 4, 5, 6, 7, 11, 14}));
    EXPECT_EQ(f.field(1), "0001");
    EXPECT_EQ(f.field(2), "00000000");
    EXPECT_EQ(f.field(3), "000041");
    EXPECT_EQ(f.field(4), bytesOf({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x29, 0x40}));
    EXPECT_EQ(f.field(5), ";1234=5678?");
    EXPECT_EQ(f.field(6), bytesOf({0x00}));
    EXPECT_EQ(f.field(7), bytesOf({0x00}));
    EXPECT_EQ(f.field(11), bytesOf({0x00}));
    EXPECT_EQ(f.field(14), bytesOf({0x00}));
}

TEST(SessionRequests, FrameEndsInTheXorOfItsBytes)
{
    const QByteArray frame = SessionRequests::cardPayment(kPos0Session41, 12.5, "x", false);
    unsigned char x = 0;
    for (qsizetype i = 0; i + 1 < frame.size(); ++i)
        x ^= uchar(frame[i]);
    EXPECT_EQ(uchar(frame.back()), x);
}

TEST(SessionRequests, BookingDiffersFromPaymentOnlyInTheFlag)
{
    const QByteArray payment = SessionRequests::cardPayment(kPos0Session41, 12.5, ";1=2?", false);
    const QByteArray booking = SessionRequests::cardPayment(kPos0Session41, 12.5, ";1=2?", true);
    EXPECT_EQ(parse(booking).field(6), bytesOf({0x01}));
    ASSERT_EQ(payment.size(), booking.size());
    int differing = 0;
    for (qsizetype i = 0; i < payment.size(); ++i)
        differing += payment[i] != booking[i];
    EXPECT_EQ(differing, 2);   // the flag and the check byte
}

struct ReceiptRow {
    const char *name;
    qint32 number;
    QByteArray field13;
};

class ReceiptNumber : public ::testing::TestWithParam<ReceiptRow> {};

TEST_P(ReceiptNumber, IsSentAsLittleEndianInt32)
{
    const ReceivedFrame f = parse(SessionRequests::cancellation(kPos0Session41, GetParam().number));
    EXPECT_EQ(f.field(13), GetParam().field13);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReceiptNumber,
    ::testing::Values(ReceiptRow{"r123", 123, bytesOf({0x7B, 0, 0, 0})},
                      ReceiptRow{"zero", 0, bytesOf({0, 0, 0, 0})},
                      ReceiptRow{"max", 999999, bytesOf({0x3F, 0x42, 0x0F, 0x00})},
                      ReceiptRow{"minusOne", -1, bytesOf({0xFF, 0xFF, 0xFF, 0xFF})}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SessionRequests, ReceiptRequestsCarryTheirFieldsInOrder)
{
    const ReceivedFrame cancel = parse(SessionRequests::cancellation(kPos0Session41, 123));
    EXPECT_EQ(cancel.fieldIds(), (std::vector<qint16>{1, 2, 3, 11, 13}));
    EXPECT_EQ(cancel.field(1), "0016");
    EXPECT_EQ(cancel.field(11), bytesOf({0x00}));

    const ReceivedFrame tip = parse(SessionRequests::tip(kPos0Session41, 2.25, 7));
    EXPECT_EQ(tip.fieldIds(), (std::vector<qint16>{1, 2, 3, 4, 11, 13}));
    EXPECT_EQ(tip.field(1), "0017");
    EXPECT_EQ(DecodeDouble(tip.field(4)), 2.25);
    EXPECT_EQ(tip.field(13), bytesOf({7, 0, 0, 0}));

    const ReceivedFrame completion = parse(SessionRequests::bookingCompletion(kPos0Session41, 99.99, 8));
    EXPECT_EQ(completion.fieldIds(), (std::vector<qint16>{1, 2, 3, 4, 11, 13}));
    EXPECT_EQ(completion.field(1), "0018");
    EXPECT_EQ(DecodeDouble(completion.field(4)), 99.99);
}

TEST(SessionRequests, ReportRequestPutsTheSessionLast)
{
    const ReceivedFrame f =
        parse(SessionRequests::reportRequest(kPos0Session41, "050407000000", "050407235959"));
    EXPECT_EQ(f.fieldIds(), (std::vector<qint16>{1, 2, 5, 9, 3}));
    EXPECT_EQ(f.field(1), "0019");
    EXPECT_EQ(f.field(5), "050407000000");
    EXPECT_EQ(f.field(9), "050407235959");
    EXPECT_EQ(f.field(3), "000041");
}

TEST(SessionRequests, ShortRequestsCarryCodePosAndSession)
{
    struct Row {
        QByteArray frame;
        QByteArray code;
        std::vector<qint16> ids;
    };
    const Row rows[] = {
        {SessionRequests::abort(kPos0Session41), "0005", {1, 2, 3}},
        {SessionRequests::sessionClose(kPos0Session41), "0023", {1, 2, 3}},
        {SessionRequests::buttonResponse(kPos0Session41, 7), "0010", {1, 2, 3, 11}},
        {SessionRequests::posCommand(kPos0Session41, 2), "0026", {1, 2, 3, 7}},
        {SessionRequests::inputResponse(kPos0Session41, 1, "4321"), "0011", {1, 2, 3, 11, 5}},
    };
    for (const Row &row : rows) {
        const ReceivedFrame f = parse(row.frame);
        EXPECT_EQ(f.field(1), row.code);
        EXPECT_EQ(f.fieldIds(), row.ids) << row.code.constData();
        EXPECT_EQ(f.field(2), "00000000");
        EXPECT_EQ(f.field(3), "000041");
    }
    EXPECT_EQ(parse(SessionRequests::buttonResponse(kPos0Session41, 7)).field(11), bytesOf({7}));
    EXPECT_EQ(parse(SessionRequests::posCommand(kPos0Session41, 2)).field(7), bytesOf({2}));
    const ReceivedFrame input = parse(SessionRequests::inputResponse(kPos0Session41, 1, "4321"));
    EXPECT_EQ(input.field(11), bytesOf({1}));
    EXPECT_EQ(input.field(5), "4321");
}

TEST(SessionRequests, PosIdentifierIsSentAsItIs)
{
    const ReceivedFrame f = parse(SessionRequests::abort(Address{" POS-7 \xF5", 999999}));
    EXPECT_EQ(f.field(2), " POS-7 \xF5");
    EXPECT_EQ(f.field(3), "999999");
}

TEST(SessionRequests, BuildingLetsEventsRunOncePerField)
{
    int runs = 0;
    SessionRequests::cardPayment(kPos0Session41, 1.0, "c", false, [&runs] { ++runs; });
    EXPECT_EQ(runs, 9);
    runs = 0;
    SessionRequests::sessionClose(kPos0Session41, [&runs] { ++runs; });
    EXPECT_EQ(runs, 3);
}

struct AmountTextRow {
    const char *name;
    qint32 session;
    double amount;
    const char *text;
};

class PaymentLogText : public ::testing::TestWithParam<AmountTextRow> {};

TEST_P(PaymentLogText, ShowsSessionAndAmountWithoutTheCard)
{
    // A comma locale must not change the log.
    QLocale::setDefault(QLocale(QLocale::Estonian, QLocale::Estonia));
    const QByteArray text = SessionRequests::cardPaymentLogText(GetParam().session, GetParam().amount);
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(text, QByteArray(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PaymentLogText,
    ::testing::Values(
        AmountTextRow{"twelveFifty", 41, 12.5, "Starting Transaction: Session=000041, Amount=12.5"},
        AmountTextRow{"whole", 1, 12.0, "Starting Transaction: Session=000001, Amount=12"},
        AmountTextRow{"cents", 999999, 0.05, "Starting Transaction: Session=999999, Amount=0.05"},
        AmountTextRow{"sumOfTenths", 7, 0.1 + 0.2, "Starting Transaction: Session=000007, Amount=0.3"},
        AmountTextRow{"large", 7, 1234567.89, "Starting Transaction: Session=000007, Amount=1234567.89"},
        AmountTextRow{"negative", 7, -3.2, "Starting Transaction: Session=000007, Amount=-3.2"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
