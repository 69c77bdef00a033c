// A console main window of its own for each test: a private store and home
// folder, a manual clock for key timing, an in-memory spooler and a silent
// payment server on a loopback port, so a started session connects and then
// waits.
#pragma once

#include "common/AppPaths.h"
#include "common/Config.h"
#include "dialogs/BoxStack.h"
#include "dialogs/Form2.h"
#include "printing/MemorySpooler.h"
#include "printing/PlatformPrinter.h"
#include "window/Form1.h"
#include "common/Timing.h"

#include "KeyTyping.h"

#include <VaroManager.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The platform printer, recording what it is asked to print.
class SilentPrinter final : public PlatformPrinter {
public:
    void setCurrentPrinter(const QString &name) override { printerName = name; }
    void setFontName(const QString &name) override { fontName = name; }
    void printLine(const QString &line) override { lines << line; }
    void endDoc() override { ++documents; }

    QString printerName;
    QString fontName;
    QStringList lines;
    int documents = 0;
};

class ConsoleFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString parent = qEnvironmentVariable("TELLAR_TEST_TMPDIR", QDir::tempPath());
        QDir().mkpath(parent);
        m_dir = std::make_unique<QTemporaryDir>(parent + QStringLiteral("/window-XXXXXX"));
        ASSERT_TRUE(m_dir->isValid());
        home = m_dir->filePath(QStringLiteral("home"));
        registry = m_dir->filePath(QStringLiteral("registry"));
        QDir().mkpath(home);
        AppPaths::setProgramDir(home);
        AppPaths::setRegistryDir(registry);
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    }

    void TearDown() override
    {
        form.reset();
        QApplication::processEvents();
    }

    // The store as a console that has been set up for transactions: report
    // mode off, the server on our loopback port.
    void provisionForTransactions()
    {
        put(Config::ReportMode, QStringLiteral("0"));
        put(Config::KKAddress, QStringLiteral("127.0.0.1"));
        put(Config::KKPort, QString::number(server.serverPort()));
    }

    static void put(QLatin1String name, const QString &value)
    {
        PutConfigString(Config::KeyPath, name, value);
    }
    static QString get(QLatin1String name)
    {
        return GetConfigString(Config::KeyPath, name, QStringLiteral("<missing>"));
    }

    Form1 &open()
    {
        Form1::Environment env;
        env.timing = &timing;
        env.spooler = &spooler;
        env.platformPrinter = &printer;
        env.tillPort = tillPort;
        // The cashier's language is remembered in this test's own folder.
        env.languageFile = m_dir->filePath(QStringLiteral("language.conf"));
#ifdef TELLAR_TRANSLATIONS_DIR
        env.translationDirs = {QStringLiteral(TELLAR_TRANSLATIONS_DIR)};
#endif
        form = std::make_unique<Form1>(env);
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return *form;
    }

    template <typename T = QWidget>
    T *child(const char *name) const
    {
        T *w = form->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << "no control " << name;
        return w;
    }
    QLineEdit *text(const char *name) const { return child<QLineEdit>(name); }
    QTabBar *tabStrip() const { return child<QTabBar>("TabStrip1"); }

    // Types text into w one character every spacingMs on the manual clock,
    // then lets 55 ms pass so the burst timer fires.
    void typeAt(QWidget *w, const QString &text, int spacingMs) { keytyping::typeAt(timing, w, text, spacingMs); }

    // Typed by hand: every key its own burst.
    void typeSlowly(QWidget *w, const QString &text) { typeAt(w, text, 200); }

    Form2 *topBox() const { return dynamic_cast<Form2 *>(boxStack().topBox()); }

    // The next request frame the console sent to the silent server, parsed;
    // a failure and an empty message when none comes within patienceMs.
    VaroManager nextRequest(int patienceMs = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < patienceMs) {
            if (!m_peer && server.hasPendingConnections())
                m_peer = server.nextPendingConnection();
            if (m_peer) {
                m_wire += m_peer->readAll();
                std::string frame = m_wire.toStdString();
                std::string rest;
                VaroManager request;
                if (request.ProcessMessage(frame, rest) == VaroManager::Parsed) {
                    m_wire = QByteArray::fromStdString(rest);
                    return request;
                }
            }
            QTest::qWait(5);
        }
        ADD_FAILURE() << "no request reached the server";
        return VaroManager();
    }

    // Whether the console has connected to the silent server at all.
    bool anyConnection()
    {
        QTest::qWait(20);
        return m_peer || server.hasPendingConnections();
    }

    static QByteArray fieldOf(const VaroManager &m, qint16 id)
    {
        const std::string data = m.GetFieldData(id);
        return QByteArray(data.data(), qsizetype(data.size()));
    }

    QString home;
    QString registry;
    ManualTiming timing;
    MemorySpooler spooler{{QStringLiteral("Kviitungiprinter"), QStringLiteral("Kontor")},
                          QStringLiteral("Kontor")};
    SilentPrinter printer;
    // Set before open(): the till hand-off listens there (0: a free port).
    std::optional<quint16> tillPort;
    QTcpServer server;
    std::unique_ptr<Form1> form;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QTcpSocket *m_peer = nullptr;
    QByteArray m_wire;
};
