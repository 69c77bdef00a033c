// The fixture of the loopback session tests: a fresh folder for the log and
// the settings store, a fixed clock for the log stamps, a recording host, a
// scripted server and a session pointed at it.
#pragma once

#include "SessionTestSupport.h"

#include "common/AppPaths.h"
#include "common/Clock.h"
#include "session/PaymentSession.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

class SessionFixture : public ::testing::Test {
protected:
    static constexpr char kPos[] = "00000000";

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        AppPaths::setRegistryDir(dir.filePath(QStringLiteral("registry")));
        ASSERT_NE(server.port(), 0);
        settings.fPort = server.port();
        settings.fDoPrint = true;
        session = std::make_unique<PaymentSession>(host, settings, logPath());
        session->setClock(clock);
        // Long enough never to fire by accident; the time-out tests shorten them.
        session->setTimeouts({5000, 5000, 5000});
    }

    void TearDown() override
    {
        session.reset();
    }

    QString logPath() const { return dir.filePath(QStringLiteral("log.txt")); }
    QByteArray logBytes() const
    {
        QFile f(logPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Starts a card payment (tab 1) of amountText with card text and returns
    // the request frame as the server received it.
    std::optional<ReceivedFrame> startPayment(const QString &amountText = QStringLiteral("12,50"),
                                              const QString &card = QStringLiteral(";1234=5678?"),
                                              int tab = 1)
    {
        host.tab = tab;
        host.fields[2] = amountText;
        host.fields[1] = card;
        session->BeginSession();
        if (!server.waitForPeer())
            return std::nullopt;
        return server.nextFrame();
    }

    bool waitIdle(int ms = 5000)
    {
        return waitUntil([this] { return session->SessionState == PaymentSession::Idle; }, ms);
    }

    qint32 sessionNo() const { return session->sessionNumber; }

    // Every file under the test's folder, read whole: fails the test for any
    // that holds one of the secrets, and unless there were at least two (the
    // log and the settings store).
    void expectNoFileHolds(std::initializer_list<const char *> secrets)
    {
        QDirIterator files(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        int checked = 0;
        while (files.hasNext()) {
            QFile file(files.next());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QByteArray content = file.readAll();
            for (const char *secret : secrets)
                EXPECT_FALSE(content.contains(secret)) << file.fileName().toStdString() << " holds " << secret;
            ++checked;
        }
        EXPECT_GE(checked, 2);
    }

    QTemporaryDir dir{testTmpParent() + QStringLiteral("/session-XXXXXX")};
    ManualClock clock{QDateTime(QDate(2026, 3, 5), QTime(9, 8, 7))};
    ConsoleSettings settings;
    FakeSessionHost host;
    TestServer server;
    std::unique_ptr<PaymentSession> session;
};
