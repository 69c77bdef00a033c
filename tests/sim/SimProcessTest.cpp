// varo-sim as a process: what a console on the other end of the socket gets,
// byte for byte, for the shipped scenarios and for every fault a scenario can
// play; how the program starts, ends and reports errors.
#include "SimHarness.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace SimTest;

namespace {

const std::string kPos = "00000000";
const std::string kSession = "000041";
const std::string kTrack = ";4111111111111111=25121011234567890?";

QString shipped(const char *name)
{
    return QStringLiteral(SIM_SCENARIO_DIR) + u'/' + QString::fromLatin1(name);
}

// The Estonian letters in windows-1257, written out here rather than taken
// from the code page under test. Everything else must be ASCII.
std::string win1257(const char *utf8)
{
    static const std::map<char32_t, char> table = {
        {U'õ', '\xF5'}, {U'ä', '\xE4'}, {U'ö', '\xF6'}, {U'ü', '\xFC'}, {U'š', '\xF0'}, {U'ž', '\xFE'},
        {U'Õ', '\xD5'}, {U'Ä', '\xC4'}, {U'Ö', '\xD6'}, {U'Ü', '\xDC'}, {U'Š', '\xD0'}, {U'Ž', '\xDE'},
    };
    std::string bytes;
    for (const char32_t c : QString::fromUtf8(utf8).toStdU32String()) {
        if (c < 0x80)
            bytes += static_cast<char>(c);
        else
            bytes += table.at(c);
    }
    return bytes;
}

// The reply the simulator must send: the code, the client's POS and session,
// then the given fields.
std::string reply(const std::string &code, const Fields &more = {})
{
    return request(code, kPos, kSession, more);
}

std::string paymentRequest()
{
    return request("0001", kPos, kSession,
                   {{4, doubleBytes(12.5)}, {5, kTrack}, {6, std::string(1, '\0')}, {7, std::string(1, '\0')},
                    {11, std::string(1, '\0')}, {14, std::string(1, '\0')}});
}

// Sends "0023", expects the simulator's "0023" and closes.
void closeHandshake(SimClient &client)
{
    client.send(reply("0023"));
    const auto answer = client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, reply("0023"));
    client.close();
}

class SimProcessTest : public ::testing::Test {
protected:
    // Starts the simulator with scenario JSON written to a private folder.
    void startWith(const QByteArray &json, const QStringList &more = {})
    {
        const QString path = m_folder.write(QStringLiteral("scenario.json"), json);
        ASSERT_TRUE(m_sim.start(QStringList{path} + more)) << m_sim.errorOutput().constData();
        ASSERT_TRUE(m_client.connectTo(m_sim.port()));
    }

    void startShipped(const char *name)
    {
        ASSERT_TRUE(m_sim.start({shipped(name)})) << m_sim.errorOutput().constData();
        ASSERT_TRUE(m_client.connectTo(m_sim.port()));
    }

    void expectCleanExit(int code = 0)
    {
        ASSERT_TRUE(m_sim.waitForExit()) << m_sim.output().constData();
        EXPECT_EQ(m_sim.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(m_sim.exitCode(), code) << m_sim.output().constData() << m_sim.errorOutput().constData();
    }

    ScenarioFolder m_folder;
    SimProcess m_sim;
    SimClient m_client;
};

// ---- shipped scenarios ---------------------------------------------------

TEST_F(SimProcessTest, ApprovalAnswersWithTheClientsPosAndSessionByteForByte)
{
    startShipped("approval.json");
    m_client.send(paymentRequest());

    auto frame = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0002", {{5, win1257("Kaart on loetud. Ühendus pangaga, palun oodake...")}}));
    frame = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0002", {{5, win1257("Tšekk trükitakse, võtke kaart: õäöüšž")}}));

    const char *lines[] = {
        "        ŠOTI ÕLU JA ŽELE OÜ", "      Pärnu mnt 12, Tallinn", "", "Kaardimakse              MÜÜK",
        "Terminal: 00000000  STAN: 123", "Autoriseerimiskood:    A1B2C3", "", "Kirjatest: õäöüšž ÕÄÖÜŠŽ",
        "    Täname ostu eest!",
    };
    Fields receipt;
    for (int16_t i = 0; i < static_cast<int16_t>(std::size(lines)); ++i)
        receipt.emplace_back(static_cast<int16_t>(i + 1), win1257(lines[i]));
    frame = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0012", {{13, std::string("\x7B\x00\x00\x00", 4)}, {12, frameOf(receipt)}}));

    closeHandshake(m_client);
    expectCleanExit();
}

TEST_F(SimProcessTest, ApprovalAnswersABookingCompletionToo)
{
    startShipped("approval.json");
    m_client.send(request("0018", "POS-7", "000009", {{4, doubleBytes(3.0)}, {11, std::string(1, '\0')}, {13, int32Bytes(123)}}));
    const auto approval = [&] {
        for (;;) {
            auto frame = m_client.nextFrameSkippingKeepAlives();
            if (!frame || codeOf(*frame) == "0012")
                return frame;
        }
    }();
    ASSERT_TRUE(approval);
    EXPECT_EQ(fieldOf(*approval, 2), "POS-7");
    EXPECT_EQ(fieldOf(*approval, 3), "000009");
}

struct DeclineRow {
    const char *file;
    const char *code;
    const char *text;
    std::optional<std::string> reason;
};

class SimDeclineTest : public SimProcessTest, public ::testing::WithParamInterface<DeclineRow> {};

TEST_P(SimDeclineTest, DeclineCarriesItsTextAndReasonOnlyWhenGiven)
{
    const DeclineRow &row = GetParam();
    startShipped(row.file);
    m_client.send(paymentRequest());
    std::optional<std::string> decline;
    for (;;) {
        decline = m_client.nextFrameSkippingKeepAlives();
        ASSERT_TRUE(decline);
        if (codeOf(*decline) != "0002")
            break;
    }
    Fields fields{{5, win1257(row.text)}};
    if (row.reason)
        fields.emplace_back(9, *row.reason);
    EXPECT_EQ(*decline, reply(row.code, fields));
    closeHandshake(m_client);
    expectCleanExit();
}

INSTANTIATE_TEST_SUITE_P(
    Declines, SimDeclineTest,
    ::testing::Values(DeclineRow{"decline-0006.json", "0006", "Tehing keelatud: kaardi väljastaja keeldus", "05"},
                      DeclineRow{"decline-0006-no-reason.json", "0006", "Tehing keelatud", std::nullopt},
                      DeclineRow{"decline-0013.json", "0013", "Kaardil pole piisavalt vahendeid", "51"},
                      DeclineRow{"decline-0013-no-reason.json", "0013", "Tehing ebaõnnestus", std::nullopt}),
    [](const auto &info) {
        std::string name = info.param.file;
        name = name.substr(0, name.find('.'));
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST_F(SimProcessTest, PromptsWaitForEachAnswerThenApprove)
{
    startShipped("prompts.json");
    m_client.send(paymentRequest());

    auto frame = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(frame);
    EXPECT_EQ(codeOf(*frame), "0002");
    frame = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0008", {{10, std::string("\x24\x01\x00\x00", 4)},
                                     {5, win1257("Kas klient soovib tšekki e-postiga?")}}));
    m_client.send(reply("0010", {{11, std::string(1, '\x06')}}));

    frame = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0009", {{10, int32Bytes(1)}, {5, win1257("Sisestage kliendi isikukood:")}}));
    m_client.send(reply("0011", {{11, std::string(1, '\x01')}, {5, "38001010000"}}));

    frame = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0009", {{10, int32Bytes(1)},
                                     {5, win1257("Libistage kliendikaart või sisestage kood:")},
                                     {14, std::string(1, '\x01')}}));
    m_client.send(reply("0011", {{11, std::string(1, '\x01')}, {5, kTrack}}));

    frame = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0004"));
    std::optional<std::string> approval;
    do {
        approval = m_client.nextFrameSkippingKeepAlives();
        ASSERT_TRUE(approval);
    } while (codeOf(*approval) == "0002");
    EXPECT_EQ(codeOf(*approval), "0012");
    EXPECT_EQ(fieldOf(*approval, 13), int32Bytes(4711));
    closeHandshake(m_client);
    expectCleanExit();

    // The typed answer and the swiped track never reach the log.
    const QByteArray log = m_sim.output();
    EXPECT_FALSE(log.contains("38001010000"));
    EXPECT_FALSE(log.contains("4111111111111111"));
}

TEST_F(SimProcessTest, SpecialCommandIsAnsweredWith0027EchoingTheCommandByte)
{
    startShipped("pos-command.json");
    m_client.send(reply("0026", {{7, std::string(1, '\x02')}}));
    auto frame = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(frame);
    EXPECT_EQ(codeOf(*frame), "0002");
    frame = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0027", {{5, win1257("Toiming täitmiseks võetud")}, {7, std::string(1, '\x02')}}));
    closeHandshake(m_client);
    expectCleanExit();
}

TEST_F(SimProcessTest, CloseInMidPaymentDeliversTheStatusThenCloses)
{
    startShipped("close-mid-payment.json");
    m_client.send(paymentRequest());
    const auto status = m_client.nextFrame();
    ASSERT_TRUE(status);
    EXPECT_EQ(codeOf(*status), "0002");
    ASSERT_TRUE(m_client.waitForDisconnect());
    EXPECT_TRUE(m_client.buffered().empty());
    expectCleanExit();
}

TEST_F(SimProcessTest, SilentServerEndsNormallyWhenTheClientGivesUp)
{
    startShipped("silent-server.json");
    m_client.send(paymentRequest());
    // The program logs the request once it has it; then the client leaves.
    ASSERT_TRUE(waitUntil([&] { return m_sim.output().contains("<- 0001"); }));
    m_client.close();
    expectCleanExit();
    EXPECT_TRUE(m_client.buffered().empty());
}

TEST_F(SimProcessTest, CardTrackIsMaskedInTheLog)
{
    startShipped("silent-server.json");
    m_client.send(paymentRequest());
    ASSERT_TRUE(waitUntil([&] { return m_sim.output().contains("<- 0001"); }));
    m_client.close();
    expectCleanExit();
    const QByteArray log = m_sim.output();
    EXPECT_FALSE(log.contains("4111111111111111"));
    EXPECT_FALSE(log.contains("=25121011234567890"));
    EXPECT_TRUE(log.contains("card[36 bytes, PAN ...1111]")) << log.constData();
}

TEST_F(SimProcessTest, TrainingDeclinesThePaymentTheCashierCancels)
{
    startShipped("training.json");
    m_client.send(paymentRequest());
    const auto first = m_client.nextFrame();
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, reply("0002", {{5, win1257("Sisestage või libistage kaart terminalis")}}));
    m_client.send(reply("0005"));
    auto frame = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0002", {{5, "Tehing katkestatakse..."}}));
    frame = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0006", {{5, "Tehing katkestati kassas"}, {9, "KK"}}));
    closeHandshake(m_client);
    // The next connection plays the training's second payment.
    SimClient next;
    ASSERT_TRUE(next.connectTo(m_sim.port()));
    next.send(request("0001", kPos, "000042", {{4, doubleBytes(1.0)}}));
    frame = next.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, request("0002", kPos, "000042", {{5, "Kaart on loetud."}}));
    frame = next.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(codeOf(*frame), "0008");
}

TEST_F(SimProcessTest, ReportAnswerCarriesItsRecordsAsNestedFrames)
{
    startShipped("report-small.json");
    m_client.send(request("0019", kPos, kSession, {{5, "250301000000"}, {9, "250331235959"}}));
    const auto answer = m_client.nextFrame();
    ASSERT_TRUE(answer);
    EXPECT_EQ(codeOf(*answer), "0020");
    EXPECT_EQ(fieldOf(*answer, 10), int32Bytes(2));
    EXPECT_EQ(fieldOf(*answer, 6), int32Bytes(0));
    const auto second = fieldOf(*answer, 101);
    ASSERT_TRUE(second);
    EXPECT_EQ(fieldOf(*second, 3), int32Bytes(124));
    EXPECT_EQ(fieldOf(*second, 4), doubleBytes(3.0));
    EXPECT_EQ(fieldOf(*second, 6), "\xFA");
    EXPECT_EQ(fieldOf(*second, 9), int32Bytes(1));
    // The console closes after decoding, without "0023": a normal end.
    m_client.close();
    expectCleanExit();
}

// The record a ledger entry must be: the request's POS, the stamp, the STAN,
// the amount, the masked card, sent, the flags, code 0, not cancelled.
std::string ledgerRecord(const std::string &stamp, int32_t stan, double amount, const std::string &card,
                         const std::string &flags = "000000")
{
    return frameOf({{1, kPos}, {2, stamp}, {3, int32Bytes(stan)}, {4, doubleBytes(amount)}, {5, card},
                    {6, std::string(1, '\0')}, {7, flags}, {8, int32Bytes(0)}, {9, int32Bytes(0)}});
}

std::string localStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyMMddHHmmss")).toStdString();
}

TEST_F(SimProcessTest, ShippedApproveThenHangupListsTheUnsentApprovalInTheNextReport)
{
    startShipped("approve-then-hangup.json");
    const std::string before = localStamp();
    m_client.send(paymentRequest());
    const auto status = m_client.nextFrame();
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, reply("0002", {{5, win1257("Kaart on loetud. Ühendus pangaga, palun oodake...")}}));
    ASSERT_TRUE(m_client.waitForDisconnect()) << m_sim.output().constData();
    EXPECT_FALSE(m_client.nextFrame(200)) << "the approval never comes";
    EXPECT_TRUE(m_client.buffered().empty());

    SimClient report;
    ASSERT_TRUE(report.connectTo(m_sim.port()));
    report.send(request("0019", kPos, "000042", {{5, "000101000000"}, {9, "991231235959"}}));
    const auto answer = report.nextFrame();
    const std::string after = localStamp();
    ASSERT_TRUE(answer);
    EXPECT_EQ(codeOf(*answer), "0020");
    EXPECT_EQ(fieldOf(*answer, 10), int32Bytes(1));
    EXPECT_EQ(fieldOf(*answer, 6), int32Bytes(0));
    EXPECT_FALSE(fieldOf(*answer, 101));
    const auto record = fieldOf(*answer, 100);
    ASSERT_TRUE(record);
    // The program's own clock: the machine's local time at the approval.
    const std::string stamp = fieldOf(*record, 2).value_or(std::string());
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
    EXPECT_EQ(*record, ledgerRecord(stamp, 555, 12.5, "************1111"));
    report.close();
    expectCleanExit();

    const QByteArray log = m_sim.output();
    EXPECT_TRUE(log.contains("#1 approved STAN 555 (not sent), hanging up\n")) << log.constData();
    EXPECT_FALSE(log.contains("-> 0012")) << log.constData();
    EXPECT_FALSE(log.contains("4111111111111111")) << log.constData();
    EXPECT_FALSE(log.contains("25121011234567890")) << log.constData();
}

// Two runs of the program, so the records cannot come from anything but the
// seed and the requested period.
TEST_F(SimProcessTest, GeneratedReportIsTheSameInEveryRun)
{
    const std::string request0019 = request("0019", kPos, kSession, {{5, "250301000000"}, {9, "250331235959"}});
    startShipped("report.json");
    m_client.send(request0019);
    const auto answer = m_client.nextFrame();
    ASSERT_TRUE(answer);
    EXPECT_EQ(codeOf(*answer), "0020");
    EXPECT_EQ(fieldOf(*answer, 10), int32Bytes(300));
    EXPECT_EQ(fieldOf(*answer, 6), int32Bytes(0));
    int records = 0;
    for (int16_t id = 100; id <= 399; ++id)
        records += fieldOf(*answer, id).has_value();
    EXPECT_GT(records, 250);
    EXPECT_FALSE(fieldOf(*answer, 400));
    m_client.close();
    expectCleanExit();

    SimProcess again;
    ASSERT_TRUE(again.start({shipped("report.json")})) << again.errorOutput().constData();
    SimClient client;
    ASSERT_TRUE(client.connectTo(again.port()));
    client.send(request0019);
    const auto second = client.nextFrame();
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, *answer);
    client.close();
    ASSERT_TRUE(again.waitForExit());
    EXPECT_TRUE(again.output().contains("100..399=records[")) << again.output().constData();
}

// ---- faults --------------------------------------------------------------

TEST_F(SimProcessTest, GarbageGoesOutVerbatim)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"garbage": {"hex": "ff 00 13 37"}}, {"garbage": {"text": "Õ?"}}, {"close": {}} ]})");
    m_client.send(paymentRequest());
    ASSERT_TRUE(m_client.waitForDisconnect());
    EXPECT_EQ(m_client.buffered(), std::string("\xFF\x00\x13\x37\xD5?", 6));
    expectCleanExit();
}

TEST_F(SimProcessTest, SeededRandomGarbageRepeatsAndNeverStartsAFrame)
{
    // Two connections play the same seed: the same bytes both times.
    const QByteArray connection = R"({"steps": [ {"garbage": {"random": 64, "seed": 7}}, {"close": {}} ]})";
    startWith("{\"connections\": [" + connection + "," + connection + "]}");
    ASSERT_TRUE(m_client.waitForDisconnect());
    const std::string first = m_client.buffered();
    SimClient second;
    ASSERT_TRUE(second.connectTo(m_sim.port()));
    ASSERT_TRUE(second.waitForDisconnect());
    ASSERT_EQ(first.size(), 64u);
    EXPECT_NE(first[0], '\x01');
    EXPECT_EQ(second.buffered(), first);
    expectCleanExit();
}

TEST_F(SimProcessTest, SplitFrameArrivesInPiecesThatMakeTheExactFrame)
{
    startWith(R"({"steps": [ {"expect": "0001"},
        {"sendSplit": {"message": {"code": "0002", "fields": [{"id": 5, "text": "tükkhaaval"}]}, "chunkBytes": 1, "delayMs": 20}} ]})");
    m_client.send(paymentRequest());
    const auto frame = m_client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0002", {{5, win1257("tükkhaaval")}}));
    // 20 ms between single bytes: the first read cannot hold the whole frame.
    ASSERT_FALSE(m_client.readSizes().empty());
    EXPECT_LT(m_client.readSizes().front(), static_cast<qsizetype>(frame->size()));
    EXPECT_GT(m_client.readSizes().size(), 1u);
    closeHandshake(m_client);
    expectCleanExit();
}

TEST_F(SimProcessTest, BatchedFramesArriveTogetherInOrder)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"sendBatch": [
        {"code": "0002", "fields": [{"id": 5, "text": "üks"}]},
        {"code": "0003"},
        {"code": "0002", "fields": [{"id": 5, "text": "kaks"}]} ]} ]})");
    m_client.send(paymentRequest());
    const std::string expected = reply("0002", {{5, win1257("üks")}}) + reply("0003")
        + reply("0002", {{5, "kaks"}});
    const auto all = m_client.takeBytes(static_cast<qsizetype>(expected.size()));
    ASSERT_TRUE(all);
    EXPECT_EQ(*all, expected);
    // One write on loopback is one read for frames this small.
    EXPECT_EQ(m_client.readSizes().front(), static_cast<qsizetype>(expected.size()));
    closeHandshake(m_client);
    expectCleanExit();
}

TEST_F(SimProcessTest, AddressOverridesReachAnotherPosOrSession)
{
    startWith(R"({"steps": [ {"expect": "0001"},
        {"send": {"code": "0002", "pos": "99999999", "fields": [{"id": 5, "text": "a"}]}},
        {"send": {"code": "0002", "sessionOffset": -1, "fields": [{"id": 5, "text": "b"}]}},
        {"send": {"code": "0002", "session": "123456", "fields": [{"id": 5, "text": "c"}]}},
        {"send": {"code": "0002", "pos": null, "session": null, "fields": [{"id": 5, "text": "d"}]}},
        {"send": {"code": "0002", "fields": [{"id": 3, "text": "41"}, {"id": 5, "text": "e"}]}} ]})");
    m_client.send(paymentRequest());
    const std::string expected[] = {
        request("0002", "99999999", kSession, {{5, "a"}}),
        request("0002", kPos, "000040", {{5, "b"}}),
        request("0002", kPos, "123456", {{5, "c"}}),
        frameOf({{1, "0002"}, {5, "d"}}),
        request("0002", kPos, "41", {{5, "e"}}),   // field 3 replaced in place
    };
    for (const std::string &want : expected) {
        const auto frame = m_client.nextFrame();
        ASSERT_TRUE(frame);
        EXPECT_EQ(*frame, want);
    }
    closeHandshake(m_client);
    expectCleanExit();
}

TEST_F(SimProcessTest, CheckByteCommaIsSentAndAWrongOneIsRejectable)
{
    startWith(R"({"steps": [ {"expect": "0001"},
        {"send": {"code": "0002", "check": "comma"}},
        {"send": {"code": "0002", "check": "wrong"}} ]})");
    m_client.send(paymentRequest());
    auto comma = m_client.nextFrame();
    ASSERT_TRUE(comma);
    std::string expected = reply("0002");
    expected.back() = ',';
    EXPECT_EQ(*comma, expected);
    const auto wrong = m_client.nextFrame();
    ASSERT_TRUE(wrong);
    VaroManager parser;
    std::string message = *wrong;
    std::string rest;
    EXPECT_EQ(parser.ProcessMessage(message, rest), VaroManager::BadCheckByte);
    closeHandshake(m_client);
    expectCleanExit();
}

TEST_F(SimProcessTest, ResetCloseDropsTheConnection)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"close": {"reset": true}} ]})");
    m_client.send(paymentRequest());
    ASSERT_TRUE(m_client.waitForDisconnect());
    expectCleanExit();
}

TEST_F(SimProcessTest, SilenceLastsAtLeastItsTimeThenTheScriptGoesOn)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"silent": {"forMs": 300}}, {"send": {"code": "0002"}} ]})");
    QElapsedTimer clock;
    clock.start();
    m_client.send(paymentRequest());
    const auto frame = m_client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_GE(clock.elapsed(), 290);   // a lower bound (less millisecond rounding): never flaky
    EXPECT_EQ(*frame, reply("0002"));
    closeHandshake(m_client);
    expectCleanExit();
}

TEST_F(SimProcessTest, KeepAlivesForeverRunUntilTheClientLeaves)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"keepAlive": {"everyMs": 20}} ]})");
    m_client.send(paymentRequest());
    for (int i = 0; i < 5; ++i) {
        const auto frame = m_client.nextFrame();
        ASSERT_TRUE(frame);
        EXPECT_EQ(*frame, reply("0003"));
    }
    m_client.close();
    expectCleanExit();
}

TEST_F(SimProcessTest, KeepAliveCountEndsTheStep)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"keepAlive": {"everyMs": 10, "count": 3}}, {"send": {"code": "0002"}} ]})");
    m_client.send(paymentRequest());
    int keepAlives = 0;
    const auto frame = m_client.nextFrameSkippingKeepAlives(&keepAlives);
    ASSERT_TRUE(frame);
    EXPECT_EQ(keepAlives, 3);
    EXPECT_EQ(codeOf(*frame), "0002");
    closeHandshake(m_client);
    expectCleanExit();
}

TEST_F(SimProcessTest, ExpectSendsKeepAlivesWhileItWaits)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"send": {"code": "0008"}},
        {"expect": {"code": "0010", "keepAliveMs": 20}}, {"send": {"code": "0012"}} ]})");
    m_client.send(paymentRequest());
    auto frame = m_client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(codeOf(*frame), "0008");
    for (int i = 0; i < 3; ++i) {
        frame = m_client.nextFrame();
        ASSERT_TRUE(frame);
        EXPECT_EQ(*frame, reply("0003"));
    }
    m_client.send(reply("0010", {{11, std::string(1, '\x06')}}));
    frame = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0012"));
    closeHandshake(m_client);
    expectCleanExit();
}

TEST_F(SimProcessTest, EndlessFrameAnnouncesItsLengthAndNeverCompletes)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"endlessFrame": {"announce": 1000000, "chunkBytes": 4096, "everyMs": 1}} ]})");
    m_client.send(paymentRequest());
    const auto head = m_client.takeBytes(5 + 40000);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->substr(0, 5), std::string("\x01\x40\x42\x0F\x00", 5));
    EXPECT_EQ(head->find_first_not_of('\0', 5), std::string::npos);
    std::string message = *head;
    std::string rest;
    VaroManager parser;
    EXPECT_EQ(parser.ProcessMessage(message, rest), VaroManager::Incomplete);
    m_client.close();
    expectCleanExit();
}

TEST_F(SimProcessTest, EndlessFrameWithoutPauseFollowsTheReader)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"endlessFrame": {"chunkBytes": 65536, "everyMs": 0}} ]})");
    m_client.send(paymentRequest());
    const auto head = m_client.takeBytes(5 + 4 * 1024 * 1024);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->substr(0, 5), std::string("\x01\x00\xFF\xFF\x7F", 5));   // the default announcement
    EXPECT_EQ(head->find_first_not_of('\0', 5), std::string::npos);
    m_client.close();
    expectCleanExit();
}

TEST_F(SimProcessTest, EndlessFrameStopsShortOfItsCheckByte)
{
    startWith(R"({"steps": [ {"expect": "0001"},
        {"endlessFrame": {"announce": 10, "chunkBytes": 4, "everyMs": 1, "forMs": 200}}, {"close": {}} ]})");
    m_client.send(paymentRequest());
    ASSERT_TRUE(m_client.waitForDisconnect());
    // Header and the ten body bytes, never the check byte.
    EXPECT_EQ(m_client.buffered(), std::string("\x01\x0A\x00\x00\x00", 5) + std::string(10, '\0'));
    expectCleanExit();
}

TEST_F(SimProcessTest, AbortHandlerReplacesTheRestOfTheScript)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"keepAlive": {"everyMs": 20}} ],
        "on": {"0005": [ {"send": {"code": "0006", "fields": [{"id": 5, "text": "Katkestatud"}]}} ]}})");
    m_client.send(paymentRequest());
    ASSERT_TRUE(m_client.nextFrame());
    m_client.send(reply("0005"));
    const auto decline = m_client.nextFrameSkippingKeepAlives();
    ASSERT_TRUE(decline);
    EXPECT_EQ(*decline, reply("0006", {{5, "Katkestatud"}}));
    closeHandshake(m_client);
    expectCleanExit();
}

TEST_F(SimProcessTest, CloseRequestThatCameEarlyIsAnsweredAtTheEnd)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"expect": "0010"}, {"send": {"code": "0012"}} ]})");
    m_client.send(paymentRequest());
    // "0023" before the awaited "0010": passed over, remembered, answered last.
    m_client.send(reply("0023") + reply("0010", {{11, std::string(1, '\x01')}}));
    auto frame = m_client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0012"));
    frame = m_client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0023"));
    m_client.close();
    expectCleanExit();
}

TEST_F(SimProcessTest, AnswerCloseStepAnswersMidScript)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"send": {"code": "0012"}}, {"answerClose": {}},
        {"send": {"code": "0002", "fields": [{"id": 5, "text": "after"}]}}, {"close": {}} ]})");
    m_client.send(paymentRequest());
    ASSERT_TRUE(m_client.nextFrame());
    m_client.send(reply("0023"));
    auto frame = m_client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0023"));
    frame = m_client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0002", {{5, "after"}}));
    ASSERT_TRUE(m_client.waitForDisconnect());
    expectCleanExit();
}

TEST_F(SimProcessTest, ClientGarbageIsSkippedUpToTheNextFrame)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"send": {"code": "0002"}} ]})");
    m_client.send("GET / HTTP/1.0\r\n\r\n" + paymentRequest());
    const auto frame = m_client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0002"));
    closeHandshake(m_client);
    expectCleanExit();
}

TEST_F(SimProcessTest, RequestSplitAcrossWritesIsReassembled)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"send": {"code": "0002"}} ]})");
    const std::string whole = paymentRequest();
    m_client.send(whole.substr(0, 7));
    ASSERT_TRUE(waitUntil([&] { return m_sim.output().contains("steps[0] expect"); }));
    m_client.send(whole.substr(7));
    const auto frame = m_client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0002"));
    closeHandshake(m_client);
    expectCleanExit();
}

TEST_F(SimProcessTest, EchoCopiesAFieldOfTheExpectedRequest)
{
    startWith(R"({"steps": [ {"expect": "0019"}, {"send": {"code": "0020", "fields": [{"id": 5, "echo": 5}, {"id": 9, "echo": 9}, {"id": 8, "echo": 8}]}} ]})");
    m_client.send(request("0019", kPos, kSession, {{5, "250101000000"}, {9, "250131235959"}}));
    const auto frame = m_client.nextFrame();
    ASSERT_TRUE(frame);
    // Field 8 is absent in the request, so the answer leaves it out.
    EXPECT_EQ(*frame, reply("0020", {{5, "250101000000"}, {9, "250131235959"}}));
    closeHandshake(m_client);
    expectCleanExit();
}

// ---- connections, ending, errors -----------------------------------------

TEST_F(SimProcessTest, SuccessiveFilesPlaySuccessiveConnections)
{
    const QString first = m_folder.write(QStringLiteral("first.json"),
        R"({"steps": [ {"expect": "0001"}, {"send": {"code": "0002", "fields": [{"id": 5, "text": "first"}]}} ]})");
    const QString second = m_folder.write(QStringLiteral("second.json"),
        R"({"steps": [ {"expect": "0001"}, {"send": {"code": "0002", "fields": [{"id": 5, "text": "second"}]}} ]})");
    ASSERT_TRUE(m_sim.start({first, second}));
    for (const char *text : {"first", "second"}) {
        SimClient client;
        ASSERT_TRUE(client.connectTo(m_sim.port()));
        client.send(paymentRequest());
        const auto frame = client.nextFrame();
        ASSERT_TRUE(frame);
        EXPECT_EQ(*frame, reply("0002", {{5, text}}));
        closeHandshake(client);
    }
    expectCleanExit();
}

TEST_F(SimProcessTest, ConnectionThatComesEarlyWaitsForTheCurrentOne)
{
    startWith(R"({"connections": [
        {"steps": [ {"expect": "0001"}, {"send": {"code": "0002", "fields": [{"id": 5, "text": "one"}]}} ]},
        {"steps": [ {"expect": "0001"}, {"send": {"code": "0002", "fields": [{"id": 5, "text": "two"}]}} ]} ]})");
    SimClient early;
    ASSERT_TRUE(early.connectTo(m_sim.port()));
    early.send(request("0001", kPos, "000042"));   // queued until #1 ends
    m_client.send(paymentRequest());
    auto frame = m_client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, reply("0002", {{5, "one"}}));
    closeHandshake(m_client);
    frame = early.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, request("0002", kPos, "000042", {{5, "two"}}));
    early.send(request("0023", kPos, "000042"));
    frame = early.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, request("0023", kPos, "000042"));
    early.close();
    expectCleanExit();
}

TEST_F(SimProcessTest, ExpectTimeoutFailsTheRunWithExitCode1)
{
    startWith(R"({"steps": [ {"expect": {"code": "0001", "timeoutMs": 100}} ]})");
    ASSERT_TRUE(m_client.waitForDisconnect());
    expectCleanExit(1);
    EXPECT_TRUE(m_sim.output().contains("nothing came within 100 ms"));
}

TEST_F(SimProcessTest, ExpectTimeoutMayContinue)
{
    startWith(R"({"steps": [ {"expect": {"code": "0010", "timeoutMs": 50, "onTimeout": "continue"}}, {"send": {"code": "0002"}} ]})");
    const auto frame = m_client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, request("0002", "00000000", "000000"));   // no request yet: the defaults
    closeHandshake(m_client);
    expectCleanExit();
}

TEST_F(SimProcessTest, ClientLeavingMidScriptFailsTheRun)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"expect": "0010"} ]})");
    m_client.send(paymentRequest());
    ASSERT_TRUE(waitUntil([&] { return m_sim.output().contains("steps[1] expect"); }));
    m_client.close();
    expectCleanExit(1);
    EXPECT_TRUE(m_sim.output().contains("the client closed the connection during steps[1] expect 0010"));
}

TEST_F(SimProcessTest, SigtermEndsARunningSessionWithExitCode0)
{
    startWith(R"({"steps": [ {"expect": "0001"}, {"keepAlive": {"everyMs": 10000}} ]})");
    m_client.send(paymentRequest());
    ASSERT_TRUE(waitUntil([&] { return m_sim.output().contains("keepAlive"); }));
    m_sim.process().terminate();   // SIGTERM
    expectCleanExit();
    EXPECT_TRUE(m_client.waitForDisconnect());
}

// ---- listener faults -------------------------------------------------------

// One connection attempt to 127.0.0.1:port: 0 when it stood within ms,
// otherwise the error (ECONNREFUSED), or ETIMEDOUT when no answer came at all.
int connectOnce(quint16 port, int ms)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    int result = 0;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        result = errno;
        if (result == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, ms) == 1) {
                socklen_t len = sizeof result;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &len);
            } else {
                result = ETIMEDOUT;
            }
        }
    }
    ::close(fd);
    return result;
}

class SimListenerFaultTest : public ::testing::Test {
protected:
    // A listener fault for the first turn, then a connection that answers
    // a payment with one status text.
    void startWith(const QByteArray &fault)
    {
        const QByteArray json = R"({"connections": [ {"listener": )" + fault
                              + R"(}, {"steps": [ {"expect": "0001"}, {"send": {"code": "0002"}} ]} ]})";
        ASSERT_TRUE(m_sim.start({m_folder.write(QStringLiteral("port.json"), json)})) << m_sim.errorOutput().constData();
    }
    bool logged(const char *text)
    {
        return waitUntil([&] { return m_sim.output().contains(text); });
    }
    // The turn after the fault plays as a connection should.
    void expectTheNextConnectionPlays()
    {
        SimClient client;
        ASSERT_TRUE(client.connectTo(m_sim.port()));
        client.send(paymentRequest());
        const auto status = client.nextFrame();
        ASSERT_TRUE(status);
        EXPECT_EQ(codeOf(*status), "0002");
        closeHandshake(client);
    }

    ScenarioFolder m_folder;
    SimProcess m_sim;
};

TEST_F(SimListenerFaultTest, ClosedPortRefusesConnectionsForItsTimeThenListensAgain)
{
    startWith(R"({"refuse": {"forMs": 1500}})");
    EXPECT_TRUE(m_sim.firstLine().startsWith("listening on 127.0.0.1:")) << "the port comes first, the fault after";
    ASSERT_TRUE(logged("the port is closed for 1500 ms")) << m_sim.output().constData();
    EXPECT_EQ(connectOnce(m_sim.port(), 2000), ECONNREFUSED);
    ASSERT_TRUE(logged("listening again")) << m_sim.output().constData();
    expectTheNextConnectionPlays();
    ASSERT_TRUE(m_sim.waitForExit());
    EXPECT_EQ(m_sim.exitCode(), 0) << m_sim.output().constData();
}

TEST_F(SimListenerFaultTest, FullQueueLeavesConnectionAttemptsUnanswered)
{
    startWith(R"({"unanswered": {"forMs": 1500}})");
    ASSERT_TRUE(logged("the accept queue is full for 1500 ms")) << m_sim.output().constData();
    EXPECT_EQ(connectOnce(m_sim.port(), 500), ETIMEDOUT) << "the handshake was answered";
    ASSERT_TRUE(logged("listening again")) << m_sim.output().constData();
    expectTheNextConnectionPlays();
    ASSERT_TRUE(m_sim.waitForExit());
    EXPECT_EQ(m_sim.exitCode(), 0) << m_sim.output().constData();
}

TEST_F(SimListenerFaultTest, QueuedConnectionIsResetBeforeTheServerTakesIt)
{
    startWith(R"({"resetQueued": {"forMs": 10000}})");
    ASSERT_TRUE(logged("waiting up to 10000 ms for a connection to reset")) << m_sim.output().constData();
    // The handshake completes (the kernel answers it); then the reset.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(m_sim.port());
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    ASSERT_TRUE(logged("closing the port resets it")) << m_sim.output().constData();
    char byte = 0;
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_EQ(::recv(fd, &byte, 1, 0), -1);
    EXPECT_EQ(errno, ECONNRESET);
    ::close(fd);
    ASSERT_TRUE(logged("listening again")) << m_sim.output().constData();
    expectTheNextConnectionPlays();
    ASSERT_TRUE(m_sim.waitForExit());
    EXPECT_EQ(m_sim.exitCode(), 0) << m_sim.output().constData();
}

TEST_F(SimListenerFaultTest, ResetWithoutAConnectionToResetFailsTheTurn)
{
    ASSERT_TRUE(m_sim.start({m_folder.write(QStringLiteral("port.json"), R"({"listener": {"resetQueued": {"forMs": 200}}})")}));
    ASSERT_TRUE(m_sim.waitForExit());
    EXPECT_EQ(m_sim.exitCode(), 1) << m_sim.output().constData();
    EXPECT_TRUE(m_sim.output().contains("no connection came within 200 ms")) << m_sim.output().constData();
}

TEST(SimProgramTest, SigtermWhileListeningExitsWith0)
{
    SimProcess sim;
    ASSERT_TRUE(sim.start({shipped("approval.json")}));
    EXPECT_EQ(sim.firstLine(), "listening on 127.0.0.1:" + QByteArray::number(sim.port()));
    sim.process().terminate();
    ASSERT_TRUE(sim.waitForExit());
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
}

TEST(SimProgramTest, LoopStartsOverAfterTheLastConnection)
{
    ScenarioFolder folder;
    const QString path = folder.write(QStringLiteral("loop.json"),
        R"({"steps": [ {"expect": "0001"}, {"send": {"code": "0002"}} ]})");
    SimProcess sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--loop"), path}));
    for (int round = 0; round < 3; ++round) {
        SimClient client;
        ASSERT_TRUE(client.connectTo(sim.port()));
        client.send(paymentRequest());
        ASSERT_TRUE(client.nextFrame());
        closeHandshake(client);
    }
    EXPECT_EQ(sim.process().state(), QProcess::Running);
    sim.process().terminate();
    ASSERT_TRUE(sim.waitForExit());
    EXPECT_EQ(sim.exitCode(), 0);
}

TEST(SimProgramTest, LedgerOutlivesLoopRestarts)
{
    ScenarioFolder folder;
    const QString path = folder.write(QStringLiteral("ledger-loop.json"), R"({"connections": [
        {"steps": [ {"expect": "0001"}, {"send": {"code": "0012", "fields": [{"id": 13, "echo": 13}]}} ]},
        {"steps": [ {"expect": "0019"}, {"send": {"code": "0020", "report": {"records": 0}}} ]} ]})");
    SimProcess sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--loop"), path}));
    for (int32_t round = 1; round <= 2; ++round) {
        SimClient payment;
        ASSERT_TRUE(payment.connectTo(sim.port()));
        payment.send(request("0001", kPos, kSession, {{4, doubleBytes(round * 1.5)}, {5, kTrack}, {13, int32Bytes(round)}}));
        const auto approval = payment.nextFrame();
        ASSERT_TRUE(approval);
        ASSERT_EQ(codeOf(*approval), "0012");
        closeHandshake(payment);

        SimClient report;
        ASSERT_TRUE(report.connectTo(sim.port()));
        report.send(request("0019", kPos, kSession, {{5, "250101000000"}, {9, "250101235959"}}));
        const auto answer = report.nextFrame();
        ASSERT_TRUE(answer);
        EXPECT_EQ(fieldOf(*answer, 10), int32Bytes(round)) << "round " << round;
        for (int32_t booked = 1; booked <= round; ++booked) {
            const auto record = fieldOf(*answer, int16_t(99 + booked));
            ASSERT_TRUE(record) << "round " << round << ", record " << booked;
            EXPECT_EQ(fieldOf(*record, 3), int32Bytes(booked));
            EXPECT_EQ(fieldOf(*record, 4), doubleBytes(booked * 1.5));
        }
        report.close();
    }
    sim.process().terminate();
    ASSERT_TRUE(sim.waitForExit());
    EXPECT_EQ(sim.exitCode(), 0);
}

TEST(SimProgramTest, CodePageOptionChangesTheBytesOfTexts)
{
    ScenarioFolder folder;
    const QString path = folder.write(QStringLiteral("cp.json"),
        R"({"steps": [ {"expect": "0001"}, {"send": {"code": "0002", "fields": [{"id": 5, "text": "šž"}]}} ]})");
    SimProcess sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--codepage"), QStringLiteral("windows-1252"), path}));
    SimClient client;
    ASSERT_TRUE(client.connectTo(sim.port()));
    client.send(paymentRequest());
    const auto frame = client.nextFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(fieldOf(*frame, 5), "\x9A\x9E");   // windows-1252, not 1257's F0 FE
    closeHandshake(client);
    ASSERT_TRUE(sim.waitForExit());
}

struct BadStartRow {
    const char *name;
    QByteArray json;          // written as bad.json; empty: no file at all
    QStringList options;
    const char *message;      // must appear on stderr
};

class SimBadStartTest : public ::testing::TestWithParam<BadStartRow> {};

TEST_P(SimBadStartTest, BadStartGivesAClearErrorAndExitCode2)
{
    const BadStartRow &row = GetParam();
    ScenarioFolder folder;
    const QString path = row.json.isEmpty() ? folder.path() + QStringLiteral("/missing.json")
                                            : folder.write(QStringLiteral("bad.json"), row.json);
    SimProcess sim;
    sim.startRaw(row.options + QStringList{path});
    ASSERT_TRUE(sim.waitForExit());
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 2);
    EXPECT_FALSE(sim.output().contains("listening"));
    const QByteArray error = sim.errorOutput();
    EXPECT_TRUE(error.contains(row.message)) << error.constData();
}

INSTANTIATE_TEST_SUITE_P(
    Errors, SimBadStartTest,
    ::testing::Values(
        BadStartRow{"JsonSyntax", "{\n  \"steps\": [\n    {\"expect\": \"0001\"},,\n  ]\n}", {}, "bad.json:3:"},
        BadStartRow{"UnknownStep", R"({"steps": [ {"sned": {}} ]})", {}, "bad.json: steps[0]: unknown step \"sned\""},
        BadStartRow{"MessageWithoutCode", R"({"steps": [ {"send": {"fields": []}} ]})", {}, "steps[0].send.code: every message needs its code"},
        BadStartRow{"MissingFile", {}, {}, "missing.json: cannot read"},
        BadStartRow{"UnknownCodePage", R"({"steps": []})", {QStringLiteral("--codepage"), QStringLiteral("koi8")}, "unknown code page \"koi8\""},
        BadStartRow{"BadPort", R"({"steps": []})", {QStringLiteral("--port"), QStringLiteral("70000")}, "--port wants a number"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
