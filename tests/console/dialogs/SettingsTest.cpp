// The settings dialog: what it shows, what "OK" stores and in which order,
// and what "Loobu" and the close box leave alone.
#include "common/AppPaths.h"
#include "common/Config.h"
#include "dialogs/Settings.h"
#include "session/ConsoleSettings.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString parent = qEnvironmentVariable("TELLAR_TEST_TMPDIR", QDir::tempPath());
        QDir().mkpath(parent);
        m_dir = std::make_unique<QTemporaryDir>(parent + QStringLiteral("/settings-XXXXXX"));
        ASSERT_TRUE(m_dir->isValid());
        home = m_dir->filePath(QStringLiteral("home"));
        QDir().mkpath(home);
        AppPaths::setProgramDir(home);
        AppPaths::setRegistryDir(m_dir->filePath(QStringLiteral("registry")));

        settings.fPOSID = u"00000007"_qs;
        settings.fAddress = u"10.1.1.1"_qs;
        settings.fPort = 8145;
        settings.fPrinter = u"Vana printer"_qs;
        settings.fDoPrint = true;
        settings.fRAW = true;
        settings.fReportMode = false;
        mainWindow.show();
    }

    void TearDown() override
    {
        delete dialog.data();
        QApplication::processEvents();
    }

    Settings &show()
    {
        if (!dialog) {
            dialog = new Settings(settings, &mainWindow,
                                  [this] { return printers; }, [this] { ++applied; appliedWhileShown = dialog && dialog->isVisible(); });
        }
        mainWindow.setEnabled(false);   // as the menu handler does
        dialog->ShowData();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
        return *dialog;
    }

    template <typename T>
    T *child(const char *name) const
    {
        T *w = dialog->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit *pos() const { return child<QLineEdit>("Text2"); }
    QLineEdit *address() const { return child<QLineEdit>("Text3"); }
    QLineEdit *port() const { return child<QLineEdit>("Text4"); }
    QComboBox *printerList() const { return child<QComboBox>("Combo1"); }
    QCheckBox *receipt() const { return child<QCheckBox>("Check1"); }
    QCheckBox *raw() const { return child<QCheckBox>("Check2"); }
    QCheckBox *reportMode() const { return child<QCheckBox>("Check3"); }
    QPushButton *ok() const { return child<QPushButton>("Command1"); }
    QPushButton *cancel() const { return child<QPushButton>("Command2"); }

    static QString stored(QLatin1String name)
    {
        return GetConfigString(Config::KeyPath, name, u"<missing>"_qs);
    }

    QString home;
    ConsoleSettings settings;
    QWidget mainWindow;
    QStringList printers{u"Kviitungiprinter"_qs, u"Kontor"_qs};
    QPointer<Settings> dialog;
    int applied = 0;
    bool appliedWhileShown = false;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

TEST_F(SettingsDialog, ShowDataFillsEveryControl)
{
    Settings &d = show();
    EXPECT_EQ(d.windowTitle(), u"Seaded"_qs);
    EXPECT_EQ(pos()->text(), u"00000007"_qs);
    EXPECT_EQ(address()->text(), u"10.1.1.1"_qs);
    EXPECT_EQ(port()->text(), u"8145"_qs);
    ASSERT_EQ(printerList()->count(), 2);
    EXPECT_EQ(printerList()->itemText(0), u"Kviitungiprinter"_qs) << "in the print system's order";
    EXPECT_EQ(printerList()->itemText(1), u"Kontor"_qs);
    EXPECT_EQ(printerList()->currentText(), u"Vana printer"_qs) << "need not be among the listed";
    EXPECT_TRUE(receipt()->isChecked());
    EXPECT_TRUE(raw()->isChecked());
    EXPECT_FALSE(reportMode()->isChecked());
    EXPECT_TRUE(printerList()->isEnabled());
    EXPECT_EQ(pos()->maxLength(), 8);
    EXPECT_EQ(address()->maxLength(), 15);
    EXPECT_EQ(port()->maxLength(), 5);
}

TEST_F(SettingsDialog, ReceiptCheckBoxEnablesThePrinterFrame)
{
    settings.fDoPrint = false;
    show();
    EXPECT_FALSE(printerList()->isEnabled());
    EXPECT_FALSE(raw()->isEnabled());
    QTest::mouseClick(receipt(), Qt::LeftButton);
    EXPECT_TRUE(printerList()->isEnabled());
    EXPECT_TRUE(raw()->isEnabled());
    QTest::mouseClick(receipt(), Qt::LeftButton);
    EXPECT_FALSE(printerList()->isEnabled());
}

TEST_F(SettingsDialog, OkWritesInOrder)
{
    // A store that cannot be written leaves one error-log entry per failed
    // write, naming the value: the entries give the order of the writes.
    QFile blocker(home + u"/blocked"_qs);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    AppPaths::setRegistryDir(home + u"/blocked/registry"_qs);

    show();
    pos()->setText(u"KASSA001"_qs);
    QTest::mouseClick(ok(), Qt::LeftButton);

    QFile log(AppPaths::errorLogPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << AppPaths::errorLogPath().toStdString();
    const QString entries = QString::fromLatin1(log.readAll());
    QStringList order;
    static const QRegularExpression setFailure(u"RegSetValueEx andis vea \\d+, key=(\\w+), vaart="_qs);
    for (auto it = setFailure.globalMatch(entries); it.hasNext();)
        order << it.next().captured(1);
    EXPECT_EQ(order, (QStringList{u"POS"_qs, u"DoPrint"_qs, u"Printer"_qs, u"KKAddress"_qs, u"KKPort"_qs,
                                  u"RAW"_qs, u"ReportMode"_qs}));
    EXPECT_EQ(settings.fPOSID, u"KASSA001"_qs) << "the variables change even when the store fails";
}

TEST_F(SettingsDialog, OkStoresTheValuesAndAppliesTheModeAfterHiding)
{
    show();
    pos()->setText(u"KASSA001"_qs);
    address()->setText(u"192.168.0.10"_qs);
    port()->setText(u"9000"_qs);
    printerList()->setCurrentIndex(1);
    QTest::mouseClick(raw(), Qt::LeftButton);          // off
    QTest::mouseClick(reportMode(), Qt::LeftButton);   // on
    QTest::mouseClick(ok(), Qt::LeftButton);

    EXPECT_EQ(settings.fPOSID, u"KASSA001"_qs);
    EXPECT_EQ(settings.fAddress, u"192.168.0.10"_qs);
    EXPECT_EQ(settings.fPort, 9000);
    EXPECT_EQ(settings.fPrinter, u"Kontor"_qs);
    EXPECT_TRUE(settings.fDoPrint);
    EXPECT_FALSE(settings.fRAW);
    EXPECT_TRUE(settings.fReportMode);

    EXPECT_EQ(stored(Config::POS), u"KASSA001"_qs);
    EXPECT_EQ(stored(Config::KKAddress), u"192.168.0.10"_qs);
    EXPECT_EQ(stored(Config::KKPort), u"9000"_qs);
    EXPECT_EQ(stored(Config::Printer), u"Kontor"_qs);
    EXPECT_EQ(stored(Config::DoPrint), u"1"_qs);
    EXPECT_EQ(stored(Config::RAW), u"0"_qs);
    EXPECT_EQ(stored(Config::ReportMode), u"1"_qs);

    EXPECT_EQ(applied, 1);
    EXPECT_FALSE(appliedWhileShown) << "the dialog is hidden first";
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(mainWindow.isEnabled());
}

TEST_F(SettingsDialog, PortWithALetterKeepsAndRewritesTheOldPort)
{
    show();
    port()->setText(u"80a"_qs);
    QTest::mouseClick(ok(), Qt::LeftButton);
    EXPECT_EQ(settings.fPort, 8145);
    EXPECT_EQ(stored(Config::KKPort), u"8145"_qs);
}

TEST_F(SettingsDialog, ClearingReceiptStoresDoPrintZero)
{
    show();
    QTest::mouseClick(receipt(), Qt::LeftButton);
    QTest::mouseClick(ok(), Qt::LeftButton);
    EXPECT_FALSE(settings.fDoPrint);
    EXPECT_EQ(stored(Config::DoPrint), u"0"_qs);
}

TEST_F(SettingsDialog, LoobuStoresNothingAndTheNextShowDataRefills)
{
    show();
    pos()->setText(u"MUUDETUD"_qs);
    QTest::mouseClick(reportMode(), Qt::LeftButton);
    QTest::mouseClick(cancel(), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_EQ(settings.fPOSID, u"00000007"_qs);
    EXPECT_EQ(stored(Config::POS), u"<missing>"_qs);
    EXPECT_EQ(applied, 0);

    Settings *same = dialog;
    show();
    EXPECT_EQ(dialog.data(), same) << "Loobu only hides: the same instance serves again";
    EXPECT_EQ(pos()->text(), u"00000007"_qs);
    EXPECT_FALSE(reportMode()->isChecked());
}

TEST_F(SettingsDialog, EscapeIsLoobu)
{
    show();
    pos()->setText(u"MUUDETUD"_qs);
    QTest::keyClick(pos(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_EQ(settings.fPOSID, u"00000007"_qs);
}

TEST_F(SettingsDialog, EnterIsOk)
{
    show();
    pos()->setText(u"ENTER"_qs);
    QTest::keyClick(pos(), Qt::Key_Return);
    EXPECT_EQ(settings.fPOSID, u"ENTER"_qs);
    EXPECT_EQ(stored(Config::POS), u"ENTER"_qs);
}

TEST_F(SettingsDialog, CloseBoxEnablesTheMainWindowAndStoresNothing)
{
    show();
    pos()->setText(u"MUUDETUD"_qs);
    dialog->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull()) << "the close box closes the dialog for good";
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_EQ(stored(Config::POS), u"<missing>"_qs);
}

TEST_F(SettingsDialog, TabOrder)
{
    show();
    QWidget *expected[] = {address(), port(), receipt(), printerList(), raw(), ok(), cancel(), reportMode()};
    QWidget *w = pos();
    for (QWidget *next : expected) {
        w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
            w = w->nextInFocusChain();
        EXPECT_EQ(w, next) << next->objectName().toStdString();
    }
}

TEST_F(SettingsDialog, FieldsSelectAllOnFocus)
{
    show();
    address()->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(address()->selectedText(), u"10.1.1.1"_qs);
    EXPECT_EQ(address()->cursorPosition(), 0);
}

} // namespace

namespace {

TEST_F(SettingsDialog, OkKeepsStoredValuesLongerThanTheTypingLimits)
{
    settings.fPOSID = u"KASSA0001234"_qs;
    settings.fAddress = u"payments.example.local"_qs;
    show();
    EXPECT_EQ(pos()->text(), u"KASSA0001234"_qs) << "shown whole";
    EXPECT_EQ(address()->text(), u"payments.example.local"_qs);
    QTest::mouseClick(ok(), Qt::LeftButton);
    EXPECT_EQ(settings.fPOSID, u"KASSA0001234"_qs);
    EXPECT_EQ(settings.fAddress, u"payments.example.local"_qs);
    EXPECT_EQ(stored(Config::POS), u"KASSA0001234"_qs);
    EXPECT_EQ(stored(Config::KKAddress), u"payments.example.local"_qs);
}

TEST_F(SettingsDialog, TypingStillStopsAtTheLimits)
{
    show();
    pos()->clear();
    QTest::keyClicks(pos(), u"ABCDEFGHIJ"_qs);
    EXPECT_EQ(pos()->text(), u"ABCDEFGH"_qs);
    address()->clear();
    QTest::keyClicks(address(), u"192.168.100.200.1"_qs);
    EXPECT_EQ(address()->text(), u"192.168.100.200"_qs);
    port()->clear();
    QTest::keyClicks(port(), u"1234567"_qs);
    EXPECT_EQ(port()->text(), u"12345"_qs);
}

TEST_F(SettingsDialog, ShorterStoredValueAfterALongOneTypesToTheLimitAgain)
{
    settings.fPOSID = u"KASSA0001234"_qs;
    show();
    QTest::mouseClick(cancel(), Qt::LeftButton);
    settings.fPOSID = u"K1"_qs;
    show();
    pos()->end(false);
    QTest::keyClicks(pos(), u"234567890"_qs);
    EXPECT_EQ(pos()->text(), u"K1234567"_qs);
}

TEST_F(SettingsDialog, EnterOnFocusedLoobuDiscards)
{
    show();
    pos()->setText(u"MUUDETUD"_qs);
    cancel()->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), cancel());
    QTest::keyClick(cancel(), Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(settings.fPOSID, u"00000007"_qs) << "nothing taken over";
    EXPECT_EQ(stored(Config::POS), u"<missing>"_qs) << "nothing stored";
}

TEST_F(SettingsDialog, EnterAfterTabbingBackToAFieldIsOkAgain)
{
    show();
    cancel()->setFocus(Qt::TabFocusReason);
    pos()->setFocus(Qt::TabFocusReason);
    pos()->setText(u"TAGASI"_qs);
    QTest::keyClick(pos(), Qt::Key_Return);
    EXPECT_EQ(settings.fPOSID, u"TAGASI"_qs);
}

} // namespace
