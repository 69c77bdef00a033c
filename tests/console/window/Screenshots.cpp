// tellar_screenshots DIR: builds the console's windows with sample contents
// and saves a picture of each into DIR, for docs/. Not a test and not part
// of the program: docs/make-screenshots.sh runs it under Xvfb.
//
// Every window gets its own store and home folder in a temporary folder, so
// nothing of the machine's configuration shows or changes.
#include "common/AppPaths.h"
#include "common/Config.h"
#include "dialogs/BoxStack.h"
#include "dialogs/Form2.h"
#include "dialogs/Settings.h"
#include "printing/MemorySpooler.h"
#include "printing/PlatformPrinter.h"
#include "session/SessionHost.h"
#include "session/SessionTexts.h"
#include "window/Form1.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

class NoPrinter final : public PlatformPrinter {
public:
    void setCurrentPrinter(const QString &) override {}
    void setFontName(const QString &) override {}
    void printLine(const QString &) override {}
    void endDoc() override {}
};

struct Shooter {
    QString dir;
    bool ok = true;

    void save(QWidget *w, const char *name)
    {
        w->raise();
        w->activateWindow();
        QTest::qWait(300);   // let the window system map and paint it
        const QString path = dir + QLatin1Char('/') + QString::fromLatin1(name);
        if (!w->grab().save(path, "PNG")) {
            std::fprintf(stderr, "tellar_screenshots: cannot write %s\n", qPrintable(path));
            ok = false;
        } else {
            std::printf("%s\n", qPrintable(path));
        }
    }
};

void put(QLatin1String name, const QString &value)
{
    PutConfigString(Config::KeyPath, name, value);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tellar_screenshots DIR\n");
        return 2;
    }
    Shooter shooter{QDir(QString::fromLocal8Bit(argv[1])).absolutePath()};
    QDir().mkpath(shooter.dir);

    QTemporaryDir scratch;
    AppPaths::setProgramDir(scratch.path());
    AppPaths::setRegistryDir(scratch.filePath(QStringLiteral("registry")));

    MemorySpooler spooler({QStringLiteral("Kviitungiprinter"), QStringLiteral("Kontori printer")});
    NoPrinter printer;
    Form1::Environment env;
    env.spooler = &spooler;
    env.platformPrinter = &printer;
    // Estonian pictures whatever the machine's locale or the user's choice.
    env.languageFile = scratch.filePath(QStringLiteral("language.conf"));
    StoreLanguage(env.languageFile, Language::Estonian);

    // A payment server that accepts and stays silent, so a started session
    // shows the running layout.
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);

    {
        // First start: report mode.
        Form1 w(env);
        w.show();
        shooter.save(&w, "main-report-mode.png");
    }

    put(Config::ReportMode, QStringLiteral("0"));
    put(Config::POS, QStringLiteral("KASSA001"));
    put(Config::KKPort, QString::number(server.serverPort()));
    put(Config::Session, QStringLiteral("41"));
    put(Config::DoPrint, QStringLiteral("1"));
    put(Config::Printer, QStringLiteral("Kviitungiprinter"));
    {
        Form1 w(env);
        w.show();
        w.findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(QStringLiteral("12,50"));
        SessionHost &host = w;
        host.showFinalStatus(SessionText::approvedWords(104233));
        shooter.save(&w, "main-idle.png");
        // The same window for a cashier who reads Russian.
        w.switchLanguage(Language::Russian);
        shooter.save(&w, "main-idle-ru.png");
        w.switchLanguage(Language::Estonian);

        w.ValidateAndStart();
        host.setStatusLine(QStringLiteral("Sisestage või libistage kaart"));
        shooter.save(&w, "main-session.png");
        w.ReturnToIdle();

        w.SelectTab(3);
        w.findChild<QLineEdit *>(QStringLiteral("Text8"))->setText(QStringLiteral("104233"));
        w.findChild<QLineEdit *>(QStringLiteral("Text9"))->setText(QStringLiteral("2,00"));
        shooter.save(&w, "main-tip-tab.png");

        const struct { quint8 kind; const char *text; qint32 style; const char *file; } boxes[] = {
            {0, "Vigane summa.", 16, "box-message.png"},
            {1, "Kas kinnitate tehingu summas 12,50 EUR?", 4 + 32 + 256, "box-buttons.png"},
            {2, "Sisestage jootraha summa:", 64, "box-input.png"},
            {3, "Sisestage PIN-kood või libistage kaart:", 0, "box-masked.png"},
        };
        for (const auto &b : boxes) {
            w.OpenBox(b.kind, QString::fromUtf8(b.text), b.style);
            auto *box = dynamic_cast<Form2 *>(boxStack().topBox());
            if (b.kind >= 2)
                box->inputField()->setText(QStringLiteral("1234"));
            shooter.save(box, b.file);
            w.CloseAllBoxes();
        }

        w.showSettingsDialog();
        shooter.save(w.settingsDialog(), "settings.png");
        w.settingsDialog()->close();
    }
    return shooter.ok ? 0 : 1;
}
