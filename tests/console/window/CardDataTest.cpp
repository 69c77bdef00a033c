// Card data stays out of every file: a card track swiped into the real main
// window, sessions run to each of their ends against the payment server
// simulator (in this process), and afterwards no file the console wrote
// holds the track or the card number, and the card field is empty.
#include "SimConsoleFixture.h"

#include "session/PaymentSession.h"
#include "widgets/CardSwipeDetector.h"

#include <QDirIterator>

namespace {

// The card number and the rest of the track, each long enough that a match
// cannot be chance.
const QString kPan = u"4871049999999910"_qs;
const QString kDiscretionary = u"25121010000012345678"_qs;
const QString kTrack = u";"_qs + kPan + u"="_qs + kDiscretionary + u"?"_qs;

class CardData : public SimConsoleFixture {
protected:
    void TearDown() override
    {
        if (form)
            form->CloseAllBoxes();
        SimConsoleFixture::TearDown();
    }

    // Short time-outs so a silent server ends the session within seconds;
    // the answer time-out still outlasts the longest pause of the shipped
    // scenarios without a keep-alive (half a second).
    Form1 &openWithShortTimeouts()
    {
        Form1 &w = open();
        PaymentSession::Timeouts t;
        t.connectMs = 3000;
        t.answerMs = 3000;
        t.closeMs = 600;
        w.session().setTimeouts(t);
        return w;
    }

    // The cashier types the amount and swipes the card into the window: the
    // swipe fills the card field and starts the payment.
    void swipePayment(Form1 &w)
    {
        typeSlowly(text("Text2"), u"12,50"_qs);
        typeAt(text("Text2"), kTrack, 5);
        ASSERT_EQ(w.session().SessionState, PaymentSession::Connecting) << "the swipe did not start a payment";
    }

    bool waitIdle(Form1 &w)
    {
        return waitFor([&] { return w.session().SessionState == PaymentSession::Idle; });
    }

    // Every file under the test's folders (program folder, store), read
    // whole; fails the test for any one holding the card number or the track.
    int expectNoCardDataInFiles()
    {
        int checked = 0;
        for (const QString &root : {home, registry}) {
            QDirIterator files(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
            while (files.hasNext()) {
                QFile file(files.next());
                EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
                const QByteArray content = file.readAll();
                for (const QString &secret : {kPan, kDiscretionary}) {
                    EXPECT_FALSE(content.contains(secret.toLatin1()))
                        << file.fileName().toStdString() << " holds " << secret.toStdString();
                    // A file written as UTF-16 would hide the digits from a byte search.
                    EXPECT_FALSE(content.contains(QByteArray(reinterpret_cast<const char *>(secret.utf16()),
                                                             secret.size() * 2)))
                        << file.fileName().toStdString() << " holds " << secret.toStdString() << " in UTF-16";
                }
                ++checked;
            }
        }
        return checked;
    }

    QByteArray logBytes() const
    {
        QFile log(home + u"/log.txt"_qs);
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }
};

// How a session ends: the scenario, what the cashier does meanwhile, and
// the status line or error box it ends with.
struct SessionEnd {
    const char *name;
    const char *scenario;
    bool pressCancel;      // "Loobu" once the server has spoken
    const char *status;    // the status line afterwards (null: not checked)
    const char *errorBox;  // text of the error box left open (null: none)
};

const SessionEnd kSessionEnds[] = {
    {"Approval", "approval.json", false, "Toiming on teostatud. Kviitungi number: 123", nullptr},
    {"Decline", "decline-0006.json", false, nullptr, "Tehing keelatud: kaardi väljastaja keeldus"},
    {"CancelledByCashier", "training.json", true, nullptr, "Tehing katkestati kassas"},
    {"ServerTimeout", "silent-server.json", false, nullptr, "Ühendus maksesüsteemiga katkes. (Timeout)"},
    {"SocketClosed", "close-mid-payment.json", false, nullptr, "Ühendus maksesüsteemiga katkes. (Socket closed)"},
};

class CardDataAtSessionEnd : public CardData, public ::testing::WithParamInterface<SessionEnd> {};

TEST_P(CardDataAtSessionEnd, CardFieldIsEmptyAndNoFileHoldsTheTrack)
{
    const SessionEnd &row = GetParam();
    startSimulator(QString::fromLatin1(row.scenario));
    Form1 &w = openWithShortTimeouts();
    swipePayment(w);
    ASSERT_EQ(text("Text1")->text(), kTrack) << "the swipe went to the card field";

    if (row.pressCancel) {
        ASSERT_TRUE(waitFor([&] { return !text("Text10")->text().isEmpty(); })) << "no status text came";
        QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
    }
    ASSERT_TRUE(waitIdle(w)) << "the session did not end; status line: " << text("Text10")->text().toStdString();

    if (row.status) {
        EXPECT_EQ(text("Text10")->text(), QString::fromUtf8(row.status));
    }
    if (row.errorBox) {
        ASSERT_NE(waitForBox(0), nullptr) << "no error box";
        // The session's own failure is the lowest box; a payment in doubt
        // has the box that says so above it.
        auto *box = dynamic_cast<Form2 *>(boxStack().box(1));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->findChild<QLabel *>(u"Label1"_qs)->text(), QString::fromUtf8(row.errorBox));
    } else {
        EXPECT_EQ(boxStack().boxCount(), 0);
    }

    EXPECT_TRUE(text("Text1")->text().isEmpty()) << "the card field keeps the track after the session";
    EXPECT_TRUE(logBytes().contains("OUT:Starting Transaction: Session=")) << "the payment was logged";
    EXPECT_GE(expectNoCardDataInFiles(), 2) << "log.txt and the store at least";
}

INSTANTIATE_TEST_SUITE_P(EverySessionEnd, CardDataAtSessionEnd, ::testing::ValuesIn(kSessionEnds),
                         [](const ::testing::TestParamInfo<SessionEnd> &info) {
                             return std::string(info.param.name);
                         });

TEST_F(CardData, TrackSwipedIntoMaskedBoxIsNotLogged)
{
    startSimulator(u"prompts.json"_qs);
    Form1 &w = openWithShortTimeouts();
    w.session().setTimeouts({3000, 15000, 600});
    swipePayment(w);

    Form2 *question = waitForBox(1);
    ASSERT_NE(question, nullptr);
    QTest::keyClick(question, Qt::Key_Return);
    Form2 *input = waitForBox(2);
    ASSERT_NE(input, nullptr);
    typeSlowly(input->inputField(), u"38001010000"_qs);
    QTest::mouseClick(input->button(1), Qt::LeftButton);
    Form2 *masked = waitForBox(3);
    ASSERT_NE(masked, nullptr);
    typeAt(masked->inputField(), kTrack, 5);
    QTest::mouseClick(masked->button(1), Qt::LeftButton);

    ASSERT_TRUE(waitIdle(w)) << "the session did not end; status line: " << text("Text10")->text().toStdString();
    EXPECT_EQ(text("Text10")->text(), u"Toiming on teostatud. Kviitungi number: 4711"_qs);
    EXPECT_TRUE(text("Text1")->text().isEmpty());
    EXPECT_TRUE(w.swipeDetector().keyBuffer().isEmpty()) << "the captured track is dropped after an approval";
    const QByteArray log = logBytes();
    EXPECT_EQ(log.count("OUT:Input response.\"\r\n"), 2) << log.toStdString();
    EXPECT_FALSE(log.contains("38001010000")) << "typed answers are not logged";
    EXPECT_GE(expectNoCardDataInFiles(), 2);
}

TEST_F(CardData, ErrorLogWrittenDuringPaymentHoldsNoCardData)
{
    startSimulator(u"approval.json"_qs);
    Form1 &w = openWithShortTimeouts();
    // A store that can no longer be written: the session number of the
    // payment goes to the error log instead.
    const QString hive = registry + u"/HKEY_LOCAL_MACHINE.reg"_qs;
    QFile store(hive);
    ASSERT_TRUE(store.open(QIODevice::Append)) << hive.toStdString();
    store.write("not a line of the store\n");
    store.close();

    swipePayment(w);
    ASSERT_TRUE(waitIdle(w));
    EXPECT_EQ(text("Text10")->text(), u"Toiming on teostatud. Kviitungi number: 123"_qs);
    QFile errorLog(AppPaths::errorLogPath());
    ASSERT_TRUE(errorLog.exists()) << "the failed store write was not logged";
    ASSERT_TRUE(errorLog.open(QIODevice::ReadOnly));
    EXPECT_FALSE(errorLog.readAll().isEmpty());
    EXPECT_GE(expectNoCardDataInFiles(), 3) << "log.txt, the error log and the store";
}

} // namespace
