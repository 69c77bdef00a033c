// Whole sessions against the real varo-sim process and its shipped scenarios
// (and a few written here for the faults), over loopback.
#include "SessionFixture.h"
#include "session/SessionTexts.h"

#include "common/CodePage.h"
#include "common/Bytes.h"
#include "common/Helpers.h"
#include "reports/ReportDecoder.h"
#include "reports/ReportRequest.h"
#include "reports/ReportTable.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

namespace {

using State = PaymentSession::State;

const QString kScenarioDir = QStringLiteral(SIM_SCENARIO_DIR);

// varo-sim on a port of its choice, playing the given scenario files.
class SimProcess {
public:
    ~SimProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(1000);
        }
    }

    // Starts it and returns the port from its first line, or 0.
    quint16 start(const QStringList &scenarios)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QStringLiteral(VARO_SIM_PATH), QStringList{QStringLiteral("--port"), QStringLiteral("0")} + scenarios);
        if (!m_process.waitForStarted(5000))
            return 0;
        QByteArray first;
        while (!first.contains('\n')) {
            if (!m_process.waitForReadyRead(5000))
                return 0;
            first += m_process.readAllStandardOutput();
        }
        m_output = first;
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
                         [this] { m_output += m_process.readAllStandardOutput(); });
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)\n")).match(QString::fromLatin1(first));
        return m.hasMatch() ? quint16(m.captured(1).toUInt()) : 0;
    }

    QByteArray output() const { return m_output; }
    bool finished() const { return m_process.state() == QProcess::NotRunning; }
    int exitCode() const { return m_process.exitCode(); }

private:
    QProcess m_process;
    QByteArray m_output;
};

class SimScenarioTest : public SessionFixture {
protected:
    // Starts varo-sim with scenario files (names in the shipped folder, or
    // paths) and points the console at it.
    bool play(const QStringList &scenarios)
    {
        QStringList paths;
        for (const QString &s : scenarios)
            paths << (s.contains(u'/') ? s : kScenarioDir + u'/' + s);
        const quint16 port = sim.start(paths);
        settings.fPort = port;
        return port != 0;
    }

    // A scenario written for one test.
    QString writeScenario(const char *name, const QByteArray &json)
    {
        const QString path = dir.filePath(QString::fromLatin1(name) + QStringLiteral(".json"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(json);
        return path;
    }

    void beginPayment(const QString &card = QStringLiteral(";4111111111111111=25121010000012345678?"))
    {
        host.tab = 1;
        host.fields[2] = QStringLiteral("12,50");
        host.fields[1] = card;
        session->BeginSession();
    }

    QByteArray cp(const QString &text) const { return CodePage::console().encode(text); }

    SimProcess sim;
};

TEST_F(SimScenarioTest, ApprovalPrintsTheReceiptAndShowsStan123)
{
    ASSERT_TRUE(play({QStringLiteral("approval.json")}));
    beginPayment();
    ASSERT_TRUE(waitIdle(15000));
    EXPECT_TRUE(host.errorTexts().isEmpty()) << sim.output().toStdString();
    EXPECT_EQ(host.statusLines, (QStringList{QStringLiteral("Kaart on loetud. Ühendus pangaga, palun oodake..."),
                                             QStringLiteral("Tšekk trükitakse, võtke kaart: õäöüšž")}));
    ASSERT_EQ(host.receipts.size(), 1);
    EXPECT_EQ(host.receipts.first().second, 123);
    VaroManager receipt;
    std::string frame = host.receipts.first().first.toStdString();
    std::string rest;
    ASSERT_EQ(receipt.ProcessMessage(frame, rest), VaroManager::Parsed);
    EXPECT_EQ(receipt.getFieldCount(), 9);
    EXPECT_EQ(QByteArray::fromStdString(receipt.GetFieldData(8)), cp(QStringLiteral("Kirjatest: õäöüšž ÕÄÖÜŠŽ")));
    EXPECT_EQ(host.finalStatuses.last(), QStringLiteral("Toiming on teostatud. Kviitungi number: 123"));

    // The log of the session, byte for byte apart from how many keep-alives
    // the timing let through.
    const QByteArray stamp = "05.03.2026 09:08:07 ";
    const QByteArray log = logBytes();
    const qsizetype keepAlives = log.count(stamp + "KeepAlive.");
    EXPECT_GE(keepAlives, 1);
    QByteArray expected = '"' + stamp + "OUT:Starting Transaction: Session=" + PadNumber(sessionNo(), 6).toLatin1()
                        + ", Amount=12.5\"\r\n" + stamp + "StatusText: "
                        + cp(QStringLiteral("Kaart on loetud. Ühendus pangaga, palun oodake..."));
    for (qsizetype i = 0; i < keepAlives; ++i)
        expected += stamp + "KeepAlive.";
    expected += stamp + "StatusText: " + cp(QStringLiteral("Tšekk trükitakse, võtke kaart: õäöüšž"));
    expected += stamp + "ApproveMessage: STAN=123";
    ASSERT_TRUE(log.startsWith(expected)) << log.toStdString();
    const QByteArray closeLine = log.mid(expected.size());
    EXPECT_TRUE(closeLine.startsWith('"' + stamp + "OUT:\x01"));
    EXPECT_TRUE(closeLine.endsWith("\"\r\n"));
    EXPECT_TRUE(closeLine.contains("0023"));
}

TEST_F(SimScenarioTest, CardTrackStaysOutOfEveryFileAndTheCardFieldIsEmptied)
{
    ASSERT_TRUE(play({QStringLiteral("prompts.json")}));
    host.onOpenBox = [&](const BoxCall &box) {
        // The prompt dialog answers after its own event: never from inside OpenBox.
        QTimer::singleShot(10, [this, kind = box.kind] {
            if (kind == 1)
                session->ButtonResponse(7);
            else if (kind == 2)
                session->InputResponse(1, QStringLiteral("38001010000"));
            else if (kind == 3)
                session->InputResponse(1, QStringLiteral(";4111111111111111=25121010000012345678?"));
        });
    };
    beginPayment();
    ASSERT_TRUE(waitIdle(15000));
    EXPECT_TRUE(host.errorTexts().isEmpty()) << sim.output().toStdString();
    EXPECT_EQ(host.finalStatuses.last(), QStringLiteral("Toiming on teostatud. Kviitungi number: 4711"));
    ASSERT_EQ(host.boxes.size(), 3);
    EXPECT_EQ(host.boxes[0].kind, 1);
    EXPECT_EQ(host.boxes[0].style, 292);
    EXPECT_EQ(host.boxes[1].kind, 2);
    EXPECT_EQ(host.boxes[2].kind, 3);
    EXPECT_TRUE(host.calls.contains(QStringLiteral("CloseAllBoxes")));
    EXPECT_TRUE(host.fields.value(1).isEmpty());

    const QByteArray log = logBytes();
    EXPECT_EQ(log.count("OUT:Input response.\"\r\n"), 2);
    EXPECT_FALSE(log.contains("38001010000"));
    expectNoFileHolds({"4111111111111111", "25121010000012345678"});
}

struct DeclineScenario {
    const char *name;
    const char *file;
    const char *reason;
};

class SimDeclineTest : public SimScenarioTest, public ::testing::WithParamInterface<DeclineScenario> {};

TEST_P(SimDeclineTest, DeclineLogsItsReasonAndShowsTheText)
{
    ASSERT_TRUE(play({QString::fromLatin1(GetParam().file)}));
    beginPayment();
    ASSERT_TRUE(waitIdle(15000));
    ASSERT_EQ(host.errorTexts().size(), 1) << sim.output().toStdString();
    const QByteArray log = logBytes();
    const QByteArray marker = QByteArray("Transaction Declined: ") + GetParam().reason + " - ";
    EXPECT_TRUE(log.contains(marker + cp(host.errorTexts().first()) + "\"05.03.2026")) << log.toStdString();
    EXPECT_TRUE(host.finalStatuses.last().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, SimDeclineTest,
    ::testing::Values(DeclineScenario{"d0006", "decline-0006.json", "05"},
                      DeclineScenario{"d0006NoReason", "decline-0006-no-reason.json", "###"},
                      DeclineScenario{"d0013", "decline-0013.json", "51"},
                      DeclineScenario{"d0013NoReason", "decline-0013-no-reason.json", "###"}),
    [](const auto &info) { return std::string(info.param.name); });

// The shipped fault scenarios, each through a whole payment: what the
// cashier is told. The time-outs are short so the unanswered connection
// attempt ends within the test; the others never run into them.
struct FaultScenario {
    const char *name;
    const char *file;
    bool portFault;            // the port fails on the simulator's first turn
    const char *finalStatus;   // the status line at the end ("" for none)
    QStringList errors;        // the one error box is one of these; empty: none
};

class SimFaultScenarioTest : public SimScenarioTest, public ::testing::WithParamInterface<FaultScenario> {};

TEST_P(SimFaultScenarioTest, CashierIsToldTheOutcome)
{
    const FaultScenario &row = GetParam();
    session->setTimeouts({400, 3000, 3000});
    ASSERT_TRUE(play({QString::fromLatin1(row.file)}));
    if (row.portFault) {
        ASSERT_TRUE(waitUntil([&] { return sim.output().contains("listener ("); })) << sim.output().toStdString();
    }
    beginPayment();
    ASSERT_TRUE(waitIdle(15000)) << sim.output().toStdString();
    runEventsFor(100);
    EXPECT_EQ(host.finalStatuses.last(), QString::fromUtf8(row.finalStatus));
    if (row.errors.isEmpty()) {
        EXPECT_TRUE(host.errorTexts().isEmpty()) << host.errorTexts().join(u'|').toStdString();
    } else {
        // A request written to a connection the server then reset may have
        // reached it: the console says the outcome is unknown.
        const QStringList shown = host.errorTexts();
        const bool toldUnknown = shown.size() == 2 && shown.last() == SessionText::outcomeUnknown();
        ASSERT_TRUE(shown.size() == 1 || toldUnknown) << shown.join(u'|').toStdString() << sim.output().toStdString();
        EXPECT_TRUE(row.errors.contains(host.errorTexts().first())) << host.errorTexts().first().toStdString() << sim.output().toStdString();
    }
    EXPECT_TRUE(host.reports.empty());
}

const QString kRefused = QStringLiteral("Ei saa ühendust maksesüsteemiga. (0 - Connection refused)");

INSTANTIATE_TEST_SUITE_P(
    Shipped, SimFaultScenarioTest,
    ::testing::Values(
        FaultScenario{"PortClosed", "port-closed.json", true, "", {kRefused}},
        FaultScenario{"ConnectUnanswered", "connect-unanswered.json", true, "",
                      {QStringLiteral("Ühendus maksesüsteemiga katkes. (Timeout)")}},
        // Reset before the console saw its connection stand, or after.
        FaultScenario{"ResetInQueue", "reset-in-queue.json", true, "",
                      {kRefused, QStringLiteral("Ühendus maksesüsteemiga katkes. (Socket closed)")}},
        FaultScenario{"ApprovalBehindBadFrame", "approval-behind-bad-frame.json", false, "Toiming on teostatud. Kviitungi number: 123", {}},
        FaultScenario{"GarbageBeforeApproval", "garbage-before-approval.json", false, "Toiming on teostatud. Kviitungi number: 123", {}},
        FaultScenario{"ApprovalThenReset", "approval-then-reset.json", false, "Toiming on teostatud. Kviitungi number: 123", {}},
        FaultScenario{"ReportInPayment", "report-in-payment.json", false, "Toiming on teostatud. Kviitungi number: 123", {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SimScenarioTest, SilentServerTimesOut)
{
    session->setTimeouts({5000, 300, 5000});
    ASSERT_TRUE(play({QStringLiteral("silent-server.json")}));
    beginPayment();
    ASSERT_TRUE(waitIdle(15000));
    EXPECT_EQ(host.errorTexts(), (QStringList{QStringLiteral("Ühendus maksesüsteemiga katkes. (Timeout)"),
                                           SessionText::outcomeUnknown()}));
}

TEST_F(SimScenarioTest, CloseInMidPaymentShowsSocketClosed)
{
    ASSERT_TRUE(play({QStringLiteral("close-mid-payment.json")}));
    beginPayment();
    ASSERT_TRUE(waitIdle(15000));
    EXPECT_EQ(host.errorTexts(), (QStringList{QStringLiteral("Ühendus maksesüsteemiga katkes. (Socket closed)"),
                                           SessionText::outcomeUnknown()}));
}

TEST_F(SimScenarioTest, SpecialCommandShowsTakenAfterTheServersClose)
{
    ASSERT_TRUE(play({QStringLiteral("pos-command.json")}));
    session->PreparePOSCommand(2);
    ASSERT_TRUE(waitIdle(15000));
    EXPECT_TRUE(host.errorTexts().isEmpty()) << sim.output().toStdString();
    EXPECT_EQ(host.finalStatuses.last(), QStringLiteral("Toiming täitmiseks võetud."));
    EXPECT_TRUE(logBytes().contains("POS_COMMAND_RESPONSE received\""));
}

TEST_F(SimScenarioTest, ReportAnswerReachesTheDecoder)
{
    host.onDecodeReport = [&](const VaroManager &) {
        session->Winsock1()->close();
        session->Timer1()->stop();
        session->CancelLocked = true;
        session->ReturnToIdle();
    };
    ASSERT_TRUE(play({QStringLiteral("report-small.json")}));
    ReportRequest::ofDialog(QDate(2025, 3, 14), QDate(2025, 3, 14), 0, 1).startOn(*session);
    ASSERT_TRUE(waitIdle(15000));
    ASSERT_EQ(host.reports.size(), 1u);
    EXPECT_EQ(DecodeInt32(QByteArray::fromStdString(host.reports.front().GetFieldData(10))), 2);
    EXPECT_TRUE(host.errorTexts().isEmpty());
}

// The server approved and hung up before the approval went out: the cashier
// saw the connection break, and the server's next report lists the payment.
TEST_F(SimScenarioTest, ApprovalTheServerNeverSentIsListedInItsNextReport)
{
    host.onDecodeReport = [&](const VaroManager &) {
        session->Winsock1()->close();
        session->Timer1()->stop();
        session->CancelLocked = true;
        session->ReturnToIdle();
    };
    ASSERT_TRUE(play({QStringLiteral("approve-then-hangup.json")}));
    beginPayment();
    ASSERT_TRUE(waitIdle(15000)) << sim.output().toStdString();
    EXPECT_EQ(host.errorTexts(), (QStringList{QStringLiteral("Ühendus maksesüsteemiga katkes. (Socket closed)"),
                                           SessionText::outcomeUnknown()}))
        << sim.output().toStdString();
    EXPECT_TRUE(host.receipts.isEmpty());
    EXPECT_FALSE(logBytes().contains("ApproveMessage"));

    ReportRequest::ofDialog(QDate(2025, 3, 14), QDate(2025, 3, 14), 0, 1).startOn(*session);
    ASSERT_TRUE(waitIdle(15000)) << sim.output().toStdString();
    ASSERT_EQ(host.reports.size(), 1u) << sim.output().toStdString();
    const DecodedReport decoded = DecodeReportAnswer(host.reports.front(), true);
    ASSERT_EQ(decoded.outcome, DecodedReport::Decoded);
    ASSERT_EQ(decoded.kept, 1);
    const ReportTable &t = decoded.table;
    EXPECT_EQ(t.cell(1, ReportColumn::kTerminal), QByteArray(kPos));
    EXPECT_EQ(t.cell(1, ReportColumn::kStan), "555");
    EXPECT_EQ(t.cell(1, ReportColumn::kAmount), "12.50");
    EXPECT_EQ(t.cell(1, ReportColumn::kCard), "************1111");
    EXPECT_EQ(t.cell(1, ReportColumn::kResponseCode), " 0");
    EXPECT_TRUE(t.cell(1, ReportColumn::kCancelFlag).isEmpty());
    EXPECT_FALSE(sim.output().contains("4111111111111111"));
}

TEST_F(SimScenarioTest, FastKeepAlivesKeepTheSessionAlive)
{
    session->setTimeouts({5000, 400, 5000});
    const QString scenario = writeScenario("fast-keepalives", R"({ "steps": [
        { "expect": "0001" },
        { "keepAlive": { "everyMs": 100 } } ] })");
    ASSERT_TRUE(play({scenario}));
    beginPayment();
    ASSERT_TRUE(waitUntil([&] { return session->SessionState == State::CardPayment; }));
    runEventsFor(1500);
    EXPECT_EQ(session->SessionState, State::CardPayment);
    EXPECT_TRUE(host.errorTexts().isEmpty());
    EXPECT_GE(logBytes().count("KeepAlive."), 8);
}

TEST_F(SimScenarioTest, ApprovalAndAnImmediateHangUpLeaveNoTimeout)
{
    session->setTimeouts({5000, 5000, 200});
    const QString scenario = writeScenario("approve-hang-up", R"({ "steps": [
        { "expect": "0001" },
        { "send": { "code": "0012", "fields": [ { "id": 13, "hex": "7b 00" } ] } },
        { "close": {} } ] })");
    ASSERT_TRUE(play({scenario}));
    beginPayment();
    ASSERT_TRUE(waitIdle(15000));
    runEventsFor(600);
    EXPECT_TRUE(host.errorTexts().isEmpty());
    EXPECT_TRUE(host.receipts.isEmpty());
    EXPECT_EQ(host.finalStatuses.last(), QStringLiteral("Toiming on teostatud. Kviitungi number: 0"));
}

TEST_F(SimScenarioTest, OtherPosFrameThenValidOneInOneWriteAreHandledInOnePass)
{
    const QString scenario = writeScenario("other-pos", R"({ "steps": [
        { "expect": "0001" },
        { "sendBatch": [
            { "code": "0002", "pos": "99999999", "fields": [ { "id": 5, "text": "võõras" } ] },
            { "code": "0002", "fields": [ { "id": 5, "text": "oma" } ] } ] },
        { "wait": 300 },
        { "send": { "code": "0002", "fields": [ { "id": 5, "text": "järgmine" } ] } },
        { "send": { "code": "0006", "fields": [ { "id": 5, "text": "Keelatud" } ] } } ] })");
    ASSERT_TRUE(play({scenario}));
    beginPayment();
    // The valid frame is handled in the pass that dropped the other POS's,
    // before anything else arrives.
    ASSERT_TRUE(waitUntil([&] { return !host.statusLines.isEmpty(); }));
    EXPECT_EQ(host.statusLines, QStringList{QStringLiteral("oma")});
    ASSERT_TRUE(waitIdle(15000));
    EXPECT_EQ(host.statusLines.mid(0, 2), (QStringList{QStringLiteral("oma"), QStringLiteral("järgmine")}));
    EXPECT_EQ(host.errorTexts(), QStringList{QStringLiteral("Keelatud")});
}

TEST_F(SimScenarioTest, EndlessFrameEndsTheSessionAtTheReceiveBound)
{
    session->setReceiveLimit(1024 * 1024);
    const QString scenario = writeScenario("endless", R"({ "steps": [
        { "expect": "0001" },
        { "endlessFrame": { "announce": 2147483000, "chunkBytes": 65536, "everyMs": 0 } } ] })");
    ASSERT_TRUE(play({scenario}));
    beginPayment();
    ASSERT_TRUE(waitIdle(15000));
    EXPECT_EQ(host.errorTexts(), (QStringList{QStringLiteral("Ühendus maksesüsteemiga katkes. (Socket closed)"),
                                           SessionText::outcomeUnknown()}));
    EXPECT_TRUE(session->ReceiveBuffer.isEmpty());
}

} // namespace
