// The console in Russian for a cashier whose locale is Russian (this test
// runs under LC_ALL=ru_RU.UTF-8 and LANGUAGE=ru), through the real main
// window against the simulator: what the cashier reads is Russian, what the
// till records and sends is what an Estonian console records and sends, and
// the "&Keel" menu switches between payments, never during one.
#include "SimWindowFixture.h"

#include "common/Language.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTcpServer>

#include <cstring>

namespace {

// A payment approved without keep-alives or waits, so two runs put the same
// entries in the log.
constexpr char kQuickApproval[] = R"({ "steps": [
    { "expect": { "code": "0001" } },
    { "send": { "code": "0002", "fields": [ { "id": 5, "text": "Kaart on loetud. Ühendus pangaga..." } ] } },
    { "send": { "code": "0012", "fields": [ { "id": 13, "int32": 123 },
                                             { "id": 12, "receipt": ["Kaardimakse   12,50 EUR", "Täname!"] } ] } }
]})";

// What a payment left behind: the request as it went out, log.txt, the
// journal's entries, the receipt's lines and the error log.
struct Records {
    QByteArray request;
    QByteArray log;
    QByteArrayList journal;
    QStringList receipt;
    QByteArray errorLog;
};

class LanguageWindow : public SimWindowFixture {
protected:
    void SetUp() override
    {
        SimWindowFixture::SetUp();
        languageFile = home + u"/../language.conf"_qs;
    }

    // The console opened as the cashier finds it, its stamps from one fixed
    // clock so that two runs can be compared byte for byte.
    Form1 &openWithFixedClock()
    {
        Form1 &window = open();
        window.session().setClock(fixedClock);
        return window;
    }

    void captureRequests()
    {
        QObject::connect(sim.get(), &Sim::SimServer::clientFrame, sim.get(),
                         [this](int, const QByteArray &frame) { clientFrames << frame; });
    }

    Records payOnceAndRecord()
    {
        swipePayment();
        EXPECT_TRUE(waitIdle()) << statusLine().toStdString();
        Records r;
        r.request = clientFrames.value(0);
        r.log = logBytes();
        for (const JournalEntry &e : form->session().journal().readEntries())
            r.journal << TransactionJournal::jsonLine(e);
        r.receipt = printer.lines;
        QFile err(AppPaths::errorLogPath());
        if (err.open(QIODevice::ReadOnly))
            r.errorLog = err.readAll();
        return r;
    }

    // The till as it was before the first payment: no log, no journal, the
    // same session counter, no receipt printed.
    void forgetThePayment(const QString &sessionCounter)
    {
        form.reset();
        QApplication::processEvents();
        QFile::remove(home + u"/log.txt"_qs);
        QFile::remove(AppPaths::errorLogPath());
        for (const QString &name : QDir(registry).entryList({u"journal.sqlite*"_qs}))
            QFile::remove(registry + u'/' + name);
        put(Config::Session, sessionCounter);
        printer.lines.clear();
        clientFrames.clear();
    }

    QAction *languageAction(const char *name) const
    {
        return form->findChild<QAction *>(QString::fromLatin1(name));
    }
    // Button 1, 2 or 3 of the top box.
    QPushButton *boxButton(int n) const
    {
        return topBox()->findChild<QPushButton *>(u"Command"_qs + QString::number(n));
    }
    static VaroManager parsed(const QByteArray &frame)
    {
        VaroManager m;
        std::string bytes = frame.toStdString();
        std::string rest;
        m.ProcessMessage(bytes, rest);
        return m;
    }
    // The first item of Qt's own menu of a line edit (right click).
    static QString firstContextItem(QLineEdit *field)
    {
        QMenu *menu = field->createStandardContextMenu();
        const QString first = menu->actions().value(0) ? menu->actions().value(0)->text() : QString();
        delete menu;
        return first;
    }
    QString tabCaption(int tab) const { return tabStrip()->tabText(tab - 1); }
    QString buttonText(const char *name) const { return child<QPushButton>(name)->text(); }

    QString languageFile;
    ManualClock fixedClock{QDateTime(QDate(2026, 12, 8), QTime(14, 5, 0))};
    QByteArrayList clientFrames;
};

TEST_F(LanguageWindow, RussianLocaleShowsRussianButRecordsAndSendsWhatEstonianDoes)
{
    ASSERT_EQ(QLocale::system().language(), QLocale::Russian) << "the test runs under a Russian locale";
    startSimulatorJson(kQuickApproval);
    captureRequests();
    const QString sessionCounter = get(Config::Session);

    Form1 &russian = openWithFixedClock();
    EXPECT_EQ(russian.language(), Language::Russian);
    EXPECT_EQ(tabCaption(1), u"Оплата картой"_qs);
    EXPECT_EQ(tabCaption(2), u"Сторно"_qs);
    EXPECT_EQ(child<QGroupBox>("Frame1")->title(), u" Оплата картой "_qs);
    EXPECT_EQ(buttonText("Command1"), u"ОК"_qs);
    EXPECT_EQ(buttonText("Command2"), u"Отмена"_qs);
    EXPECT_EQ(text("Text2")->accessibleName(), u"Сумма:"_qs);
    QStringList menus;
    for (QAction *a : russian.menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{u"&Меню"_qs, u"&Язык"_qs}));

    const Records inRussian = payOnceAndRecord();
    EXPECT_EQ(statusLine(), u"Операция выполнена. Номер чека: 123"_qs);
    // The console's own words in the status line follow a switch.
    languageAction("Estonian")->trigger();
    EXPECT_EQ(statusLine(), u"Toiming on teostatud. Kviitungi number: 123"_qs);

    // The same payment again on an Estonian console of the same till.
    forgetThePayment(sessionCounter);
    ASSERT_TRUE(StoreLanguage(languageFile, Language::Estonian));
    startSimulatorJson(kQuickApproval);
    captureRequests();
    Form1 &estonian = openWithFixedClock();
    ASSERT_EQ(estonian.language(), Language::Estonian);
    EXPECT_EQ(tabCaption(1), u"Kaardimakse"_qs);
    const Records inEstonian = payOnceAndRecord();
    EXPECT_EQ(statusLine(), u"Toiming on teostatud. Kviitungi number: 123"_qs);

    // "12,50" typed under a Russian locale is sent as under an Estonian one.
    ASSERT_FALSE(inRussian.request.isEmpty());
    EXPECT_EQ(inRussian.request, inEstonian.request);
    const QByteArray amount = fieldOf(parsed(inRussian.request), 4);
    double sent = 0;
    ASSERT_EQ(amount.size(), qsizetype(sizeof sent));
    std::memcpy(&sent, amount.constData(), sizeof sent);
    EXPECT_EQ(sent, 12.5);
    EXPECT_FALSE(inRussian.log.isEmpty());
    EXPECT_EQ(inRussian.log, inEstonian.log);
    EXPECT_FALSE(inRussian.journal.isEmpty());
    EXPECT_EQ(inRussian.journal, inEstonian.journal);
    EXPECT_FALSE(inRussian.receipt.isEmpty());
    EXPECT_EQ(inRussian.receipt, inEstonian.receipt);
    EXPECT_EQ(inRussian.errorLog, inEstonian.errorLog);
}

TEST_F(LanguageWindow, ValidationDoubtAndQuestionBoxesSpeakRussianWithRussianButtons)
{
    startShippedSimulator("close-mid-payment.json");
    Form1 &window = open();
    ASSERT_EQ(window.language(), Language::Russian);

    typeSlowly(text("Text2"), u"12,505"_qs);
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !messageBoxText().isEmpty(); }));
    EXPECT_EQ(messageBoxText(), u"Неверная сумма."_qs);
    EXPECT_EQ(boxButton(1)->text(), u"ОК"_qs);
    window.CloseAllBoxes();

    // The server's status text is shown as it was sent, in Estonian.
    text("Text2")->clear();
    swipePayment();
    EXPECT_TRUE(waitFor([&] { return statusLine() == u"Ühendus pangaga, palun oodake..."_qs; }))
        << statusLine().toStdString();
    ASSERT_TRUE(waitIdle());
    ASSERT_TRUE(waitFor([&] { return messageTexts().size() == 2; })) << messageTexts().join(u'|').toStdString();
    EXPECT_EQ(messageTexts(),
              (QStringList{u"Связь с платёжной системой прервана. (Socket closed)"_qs,
                           u"Результат операции неизвестен. Прежде чем повторить, проверьте, прошла ли операция "
                           u"(Меню > Последняя операция)."_qs}));
    window.CloseAllBoxes();

    // The next charge asks first, with "Да" and "Нет"; "Нет" sends nothing.
    const int requestsBefore = clientCodes.size();
    QTest::keyClick(text("Text2"), Qt::Key_Return);
    ASSERT_TRUE(topBox() && topBox()->boxType() == 1) << messageBoxText().toStdString();
    EXPECT_EQ(topBox()->findChild<QLabel *>(u"Label1"_qs)->text(),
              u"Результат предыдущего платежа неизвестен. Начать новый платёж?"_qs);
    EXPECT_EQ(boxButton(1)->text(), u"Да"_qs);
    EXPECT_EQ(boxButton(2)->text(), u"Нет"_qs);
    QTest::mouseClick(boxButton(2), Qt::LeftButton);
    QTest::qWait(100);
    EXPECT_EQ(clientCodes.size(), requestsBefore);
    EXPECT_EQ(window.session().SessionState, PaymentSession::Idle);
}

TEST_F(LanguageWindow, SwitchIsLiveBetweenPaymentsRefusedDuringOneAndRemembered)
{
    startShippedSimulator("abort-mid-payment.json");
    Form1 &window = open();
    ASSERT_EQ(window.language(), Language::Russian);
    QLineEdit *amount = text("Text2");
    EXPECT_TRUE(firstContextItem(amount).startsWith(u"&Отменить действие\t"_qs))
        << firstContextItem(amount).toStdString();

    languageAction("Estonian")->trigger();
    EXPECT_EQ(window.language(), Language::Estonian);
    EXPECT_EQ(tabCaption(5), u"Broneeringu lõpetamine"_qs);
    EXPECT_EQ(buttonText("Command2"), u"Loobu"_qs);
    EXPECT_EQ(amount->accessibleName(), u"Summa:"_qs);
    EXPECT_TRUE(languageAction("Estonian")->isChecked());
    EXPECT_EQ(StoredLanguage(languageFile), Language::Estonian);
    // Qt's own menu of the line edits in Estonian, from the console's file.
    EXPECT_TRUE(firstContextItem(amount).startsWith(u"&Võta tagasi\t"_qs)) << firstContextItem(amount).toStdString();

    // No tab is clipped in either language: the window keeps its size.
    EXPECT_LE(tabStrip()->sizeHint().width(), tabStrip()->width());

    // During a payment the menu is off and a switch is refused.
    swipePayment();
    ASSERT_TRUE(waitFor([&] { return window.session().SessionState != PaymentSession::Idle; }));
    EXPECT_FALSE(window.findChild<QMenu *>(u"LanguageMenu"_qs)->isEnabled());
    EXPECT_FALSE(window.switchLanguage(Language::Russian));
    EXPECT_EQ(tabCaption(1), u"Kaardimakse"_qs);
    EXPECT_TRUE(languageAction("Estonian")->isChecked());
    QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
    ASSERT_TRUE(waitIdle());
    window.CloseAllBoxes();

    languageAction("Russian")->trigger();
    EXPECT_EQ(tabCaption(1), u"Оплата картой"_qs);
    EXPECT_LE(tabStrip()->sizeHint().width(), tabStrip()->width());
    languageAction("Estonian")->trigger();

    // The next start follows the cashier's choice, not the locale.
    form.reset();
    QApplication::processEvents();
    Form1 &next = open();
    EXPECT_EQ(next.language(), Language::Estonian);
    EXPECT_EQ(tabCaption(1), u"Kaardimakse"_qs);
}

TEST_F(LanguageWindow, QtsErrorTextsStayAsQtWritesThemInBoxesAndRecords)
{
    // Qt's own error texts (a port taken, a server not there) go into
    // log.txt and the boxes as Qt writes them: Qt's Russian must not reach
    // them (log.txt's code page has no Cyrillic).
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    tillPort = taken.serverPort();
    QTcpServer gone;
    ASSERT_TRUE(gone.listen(QHostAddress::LocalHost, 0));
    const quint16 serverPort = gone.serverPort();
    gone.close();
    put(Config::ReportMode, QStringLiteral("0"));
    put(Config::KKAddress, QStringLiteral("127.0.0.1"));
    put(Config::KKPort, QString::number(serverPort));
    Form1 &window = open();
    ASSERT_EQ(window.language(), Language::Russian);
    EXPECT_TRUE(logBytes().contains("Till listener not started: 127.0.0.1:" + QByteArray::number(*tillPort)
                                    + ": The bound address is already in use"))
        << logBytes().toStdString();

    swipePayment();
    ASSERT_TRUE(waitIdle());
    ASSERT_TRUE(waitFor([&] { return !messageBoxText().isEmpty(); }));
    EXPECT_EQ(messageBoxText(), u"Нет связи с платёжной системой. (0 - Connection refused)"_qs);
}

TEST(LanguageChoice, LocaleDecidesWithoutARememberedChoiceAndGarbageIsNoChoice)
{
    EXPECT_EQ(LanguageOfLocale(QLocale(u"ru_RU"_qs)), Language::Russian);
    EXPECT_EQ(LanguageOfLocale(QLocale(u"ru_UA"_qs)), Language::Russian);
    EXPECT_EQ(LanguageOfLocale(QLocale(u"et_EE"_qs)), Language::Estonian);
    EXPECT_EQ(LanguageOfLocale(QLocale(u"en_US"_qs)), Language::Estonian);

    QTemporaryDir dir(qEnvironmentVariable("TELLAR_TEST_TMPDIR", QDir::tempPath()) + u"/lang-XXXXXX"_qs);
    const QString file = dir.filePath(u"sub/language.conf"_qs);
    EXPECT_FALSE(StoredLanguage(file).has_value());
    ASSERT_TRUE(StoreLanguage(file, Language::Russian));
    EXPECT_EQ(StoredLanguage(file), Language::Russian);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("language=fi\n");
    f.close();
    EXPECT_FALSE(StoredLanguage(file).has_value());
}

} // namespace
