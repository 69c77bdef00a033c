// End to end over loopback: the dialogs drive a real PaymentSession against a
// scripted server. A report request from Form3 goes out as "0019" (fields 1,
// 2, 5, 9, 3; stamps ending "000000" and "235959"), the "0020" answer becomes
// "Report.pdf" in the program folder, the opener gets its path and the
// console is idle again. A special command from Form4 goes out as "0026" with
// the command byte and ends with "Toiming täitmiseks võetud.".
#include "ReportTestSupport.h"

#include "common/AppPaths.h"
#include "common/Clock.h"
#include "common/Bytes.h"
#include "common/Helpers.h"
#include "reports/DocumentOpener.h"
#include "reports/Form3.h"
#include "reports/Form4.h"
#include "reports/ReportDecoder.h"
#include "reports/ReportRequester.h"
#include "reports/ReportRequest.h"
#include "reports/SessionReportHost.h"
#include "session/ConsoleSettings.h"
#include "session/PaymentSession.h"
#include "session/SessionHost.h"
#include "window/TransactionCheck.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>

using namespace reporttest;

namespace {

bool waitFor(const std::function<bool()> &done, int ms = 15000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

std::string bytes(const QByteArray &b)
{
    return std::string(b.constData(), std::size_t(b.size()));
}

QByteArray fieldOf(const VaroManager &m, qint16 id)
{
    const std::string s = m.GetFieldData(id);
    return QByteArray(s.data(), qsizetype(s.size()));
}

// A payment server that answers each request with what `answer` builds.
class ScriptedServer {
public:
    std::vector<VaroManager> received;
    std::function<std::vector<VaroManager>(const VaroManager &request)> answer;

    ScriptedServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            auto buffer = std::make_shared<std::string>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                const QByteArray data = socket->readAll();
                buffer->append(data.constData(), std::size_t(data.size()));
                for (;;) {
                    VaroManager request;
                    std::string rest;
                    if (request.ProcessMessage(*buffer, rest) != VaroManager::Parsed)
                        break;
                    *buffer = rest;
                    received.push_back(request);
                    if (!answer)
                        continue;
                    for (const VaroManager &reply : answer(request)) {
                        const std::string frame = reply.GetOutput(true, false);
                        socket->write(frame.data(), qint64(frame.size()));
                    }
                }
            });
        });
    }

    quint16 port() const { return m_server.serverPort(); }

private:
    QTcpServer m_server;
};

VaroManager reply(const VaroManager &request, const char *code)
{
    VaroManager m;
    m.AddField(1, code);
    m.AddField(2, request.GetFieldData(2));
    m.AddField(3, request.GetFieldData(3));
    return m;
}

// The main window as far as reports and special commands need it.
class TestWindow final : public SessionHost, public ReportRequester {
public:
    ConsoleSettings settings;
    std::unique_ptr<PaymentSession> session;
    ReportRequest request;
    QStringList boxes;
    QStringList finalStatus;
    int entryClears = 0;

    TestWindow(quint16 port, const QString &logPath)
    {
        settings.fPOSID = QStringLiteral("POS00042");
        settings.fPort = port;
        settings.fReportMode = false;
        session = std::make_unique<PaymentSession>(*this, settings, logPath);
    }

    Outcome PrepareReport(const QDate &from, const QDate &to, qint16 group, quint8 onlyApproved) override
    {
        const ReportRequest asked = ReportRequest::ofDialog(from, to, group, onlyApproved);
        if (!asked.startOn(*session))
            return Outcome::SessionRunning;
        request = asked;
        return Outcome::Started;
    }
    Outcome PreparePOSCommand(quint8 commandId) override
    {
        return session->PreparePOSCommand(commandId) ? Outcome::Started : Outcome::SessionRunning;
    }

    void DecodeReport(const VaroManager &message) override
    {
        SessionReportHost host(*session, *this, request);
        ::DecodeReport(message, host);
    }

    void OpenBox(quint8 kind, const QString &text, qint32 style) override
    {
        boxes << QStringLiteral("%1/%2: %3").arg(kind).arg(style).arg(text);
    }
    void CloseAllBoxes() override {}
    void showRunningLayout() override {}
    void showIdleLayout() override {}
    void ShowTabFrame() override {}
    void setStatusLine(const QString &) override {}
    void showFinalStatus(const ShownText &text) override { finalStatus << text.text(); }
    void setStatusBarText(const ShownText &) override {}
    TransactionRequest transactionRequest() const override { return RequestOfTab(1, TabFields{}, QString()); }
    void clearCardField() override {}
    void clearEntryFields() override { ++entryClears; }
    void PrintReceipt(const QByteArray &, qint32) override {}
    void processEvents() override { QCoreApplication::processEvents(); }
};

class ReportSession : public ::testing::Test {
protected:
    QTemporaryDir dir = makeTempDir();
    QString savedProgramDir = AppPaths::programDir();
    QString openedMarker;
    ScriptedServer server;
    std::unique_ptr<TestWindow> window;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_NE(server.port(), 0);
        AppPaths::setProgramDir(dir.path());
        openedMarker = dir.filePath(QStringLiteral("opened.txt"));
        qputenv(kPdfOpenerVariable,
                QByteArray("/bin/sh -c 'printf %s \"$1\" > \"") + openedMarker.toUtf8() + "\"' viewer");
        window = std::make_unique<TestWindow>(server.port(), dir.filePath(QStringLiteral("log.txt")));
    }

    void TearDown() override
    {
        window.reset();
        qunsetenv(kPdfOpenerVariable);
        AppPaths::setProgramDir(savedProgramDir);
    }

    bool idle() const { return window->session->SessionState == PaymentSession::Idle; }
};

VaroManager reportAnswer(const VaroManager &request, const std::vector<Record> &records, qint32 status = 0)
{
    VaroManager m = reply(request, "0020");
    m.AddField(10, bytes(EncodeInt32(qint32(records.size()))));
    m.AddField(6, bytes(EncodeInt32(status)));
    for (std::size_t i = 0; i < records.size(); ++i)
        m.AddField(qint16(100 + i), recordFrame(records[i]));
    return m;
}

} // namespace

TEST_F(ReportSession, ReportFromTheDialogIsSavedOpenedAndTheConsoleIdle)
{
    server.answer = [](const VaroManager &request) -> std::vector<VaroManager> {
        if (fieldOf(request, 1) != "0019")
            return {};
        return {reportAnswer(request, {Record().withCard("VISA"), Record().withCard(""),
                                       Record().withCard("DECLINED").withCode(100),
                                       Record().withCard("VISA").withCode(5)})};
    };
    ManualClock clock{QDateTime(QDate(2005, 4, 7), QTime(12, 0))};
    Form3 dialog(*window, clock);
    dialog.show();
    dialog.DTPicker1->setDate(QDate(2005, 4, 5));
    dialog.Combo1->setCurrentIndex(3);   // "Kaart"
    dialog.Command1->click();

    ASSERT_TRUE(waitFor([&] { return !server.received.empty(); }));
    const VaroManager &request = server.received.front();
    ASSERT_EQ(request.getFieldCount(), 5);
    const qint16 order[] = {1, 2, 5, 9, 3};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(request.GetFieldIDByIndex(qint16(i + 1)), order[i]) << i;
    EXPECT_EQ(fieldOf(request, 1), "0019");
    EXPECT_EQ(fieldOf(request, 2), "POS00042");
    EXPECT_EQ(fieldOf(request, 5), "050405000000");
    EXPECT_EQ(fieldOf(request, 9), "050407235959");
    EXPECT_EQ(fieldOf(request, 3).size(), 6);

    ASSERT_TRUE(waitFor([&] { return idle() && QFileInfo::exists(openedMarker); }));
    const QString report = dir.filePath(QStringLiteral("Report.pdf"));
    EXPECT_TRUE(waitFor([&] { return QString::fromUtf8(readFile(openedMarker)) == report; }));
    EXPECT_TRUE(window->boxes.isEmpty()) << window->boxes.join(u'\n').toStdString();
    EXPECT_EQ(window->entryClears, 1);
    EXPECT_FALSE(window->session->CancelLocked);
    EXPECT_FALSE(window->session->ReportPending);
    EXPECT_EQ(window->request.groupColumn, 5);

    const ToolResult check = qpdfCheck(report);
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    const QString text = pdfText(report);
    EXPECT_TRUE(text.contains(QStringLiteral("Periood: 05.04.2005 00:00:00 - 07.04.2005 23:59:59")));
    EXPECT_TRUE(text.contains(QStringLiteral("Tundmatu väljaandja")));
    EXPECT_TRUE(text.contains(QStringLiteral("VISA")));
    EXPECT_FALSE(text.contains(QStringLiteral("DECLINED")));   // only approved, code 100 left out

    const QByteArray log = readFile(dir.filePath(QStringLiteral("log.txt")));
    for (const char *checkpoint : {"Checkpoint1", "Checkpoint2", "Checkpoint3", "Checkpoint4"})
        EXPECT_TRUE(log.contains(checkpoint)) << checkpoint;
}

TEST_F(ReportSession, AnswerWithBadStatusEndsTheSessionWithAMessage)
{
    server.answer = [](const VaroManager &request) -> std::vector<VaroManager> {
        if (fieldOf(request, 1) != "0019")
            return {};
        return {reportAnswer(request, {Record()}, 12)};
    };
    ManualClock clock;
    Form3 dialog(*window, clock);
    dialog.Command1->click();
    ASSERT_TRUE(waitFor([&] { return !server.received.empty(); }));
    ASSERT_TRUE(waitFor([&] { return idle() && !window->boxes.isEmpty(); }));
    EXPECT_EQ(window->boxes,
              QStringList{QStringLiteral("0/16: Aruanne koostamine ebaõnnestus: maksesüsteemi vastus on vigane.")});
    EXPECT_FALSE(window->session->CancelLocked);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("Report.pdf"))));
    EXPECT_FALSE(QFileInfo::exists(openedMarker));
}

class SpecialCommand : public ReportSession, public ::testing::WithParamInterface<int> {};

TEST_P(SpecialCommand, SendsTheCommandByteAndShowsTheAcknowledgement)
{
    server.answer = [](const VaroManager &request) -> std::vector<VaroManager> {
        const QByteArray code = fieldOf(request, 1);
        if (code == "0026")
            return {reply(request, "0027")};
        if (code == "0023")
            return {reply(request, "0023")};
        return {};
    };
    Form4 dialog(*window);
    dialog.show();
    dialog.Combo1->setCurrentIndex(GetParam());
    dialog.Command1->click();

    ASSERT_TRUE(waitFor([&] { return server.received.size() >= 2 && idle(); }));
    const VaroManager &command = server.received.front();
    EXPECT_EQ(fieldOf(command, 1), "0026");
    EXPECT_EQ(fieldOf(command, 2), "POS00042");
    EXPECT_EQ(fieldOf(command, 7), QByteArray(1, char(GetParam())));   // the byte, not the digit
    EXPECT_EQ(fieldOf(server.received[1], 1), "0023");
    EXPECT_TRUE(window->finalStatus.contains(QStringLiteral("Toiming täitmiseks võetud.")));
    EXPECT_EQ(window->session->PendingPosCommand, -1);
    EXPECT_TRUE(window->boxes.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Commands, SpecialCommand, ::testing::Values(0, 1, 2));

// Refused before without a word: the dialog was hidden and nothing happened.
TEST_F(ReportSession, ReportAskedForWhileACommandRunsIsRefusedAloudAndTheDialogStays)
{
    // The server takes the command and never answers: the session runs on.
    Form4 commands(*window);
    commands.show();
    commands.Command1->click();
    ASSERT_TRUE(waitFor([&] { return !server.received.empty(); }));
    ASSERT_EQ(window->session->SessionState, PaymentSession::PosCommandRequest);
    const qint32 number = window->session->sessionNumber;

    ManualClock clock;
    Form3 dialog(*window, clock);
    dialog.show();
    dialog.Combo1->setCurrentIndex(3);
    dialog.Command1->click();
    EXPECT_EQ(window->boxes, QStringList{QStringLiteral("0/48: Eelmine toiming on veel pooleli.")});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.Combo1->currentIndex(), 3) << "the cashier's choice is kept";
    EXPECT_FALSE(window->session->ReportPending);
    EXPECT_EQ(window->session->sessionNumber, number);
    EXPECT_EQ(window->session->SessionState, PaymentSession::PosCommandRequest);
    QCoreApplication::processEvents();
    EXPECT_EQ(server.received.size(), 1u);
}

TEST_F(ReportSession, CommandAskedForWhileAReportRunsIsRefusedAloudAndTheDialogStays)
{
    ManualClock clock;
    Form3 report(*window, clock);
    report.show();
    report.Command1->click();
    ASSERT_TRUE(waitFor([&] { return !server.received.empty(); }));
    ASSERT_EQ(window->session->SessionState, PaymentSession::ReportRequest);

    Form4 dialog(*window);
    dialog.show();
    dialog.Combo1->setCurrentIndex(2);
    dialog.Command1->click();
    EXPECT_EQ(window->boxes, QStringList{QStringLiteral("0/48: Eelmine toiming on veel pooleli.")});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(window->session->PendingPosCommand, -1);
    EXPECT_EQ(window->session->SessionState, PaymentSession::ReportRequest);
    QCoreApplication::processEvents();
    EXPECT_EQ(server.received.size(), 1u);
}

TEST_F(ReportSession, SecondRequestIsTakenOnceTheSessionHasEnded)
{
    server.answer = [](const VaroManager &request) -> std::vector<VaroManager> {
        const QByteArray code = fieldOf(request, 1);
        if (code == "0026")
            return {reply(request, "0027")};
        if (code == "0023")
            return {reply(request, "0023")};
        return {};
    };
    Form4 dialog(*window);
    dialog.show();
    dialog.Command1->click();
    dialog.show();
    dialog.Command1->click();
    EXPECT_EQ(window->boxes.size(), 1);
    ASSERT_TRUE(waitFor([&] { return idle() && server.received.size() >= 2; }));
    dialog.Command1->click();
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_TRUE(waitFor([&] { return idle() && server.received.size() >= 4; }));
    EXPECT_EQ(fieldOf(server.received[2], 1), "0026");
    EXPECT_EQ(window->boxes.size(), 1);
}

// xdg-open's answer when no program handles PDF files is its exit status 3;
// it came only after the session had ended, and was never read.
TEST_F(ReportSession, ViewerThatFailsAfterTheReportShowsTheMessageWithTheConsoleIdle)
{
    qputenv(kPdfOpenerVariable, "/bin/sh -c 'exit 3'");
    server.answer = [](const VaroManager &request) -> std::vector<VaroManager> {
        if (fieldOf(request, 1) != "0019")
            return {};
        return {reportAnswer(request, {Record()})};
    };
    ManualClock clock;
    Form3 dialog(*window, clock);
    dialog.Command1->click();
    ASSERT_TRUE(waitFor([&] { return idle() && !window->boxes.isEmpty(); }));
    EXPECT_EQ(window->boxes, QStringList{QStringLiteral("0/16: Aruande kuvamine ebaõnnestus.")});
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("Report.pdf"))));
}
