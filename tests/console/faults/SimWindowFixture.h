// The real main window of ConsoleFixture against the payment server simulator
// in the same process, for scenarios written in the test or shipped ones:
// the Estonian keyboard layout, receipts printed on "Kviitungiprinter", and
// the codes of every frame each side put on the wire, in order.
#pragma once

#include "ConsoleFixture.h"
#include "SimConsole.h"

#include "Scenario.h"
#include "SimLog.h"
#include "SimServer.h"
#include "session/PaymentSession.h"
#include "session/TransactionJournal.h"

#include <VaroManager.h>

#include <QFile>

#include <functional>
#include <memory>
#include <string>

class SimWindowFixture : public ConsoleFixture {
protected:
    static constexpr int kPatienceMs = 15000;

    void SetUp() override
    {
        ConsoleFixture::SetUp();
        qputenv("TELLAR_KEYBOARD_LAYOUT", "ee");
    }
    void TearDown() override
    {
        if (form)
            form->CloseAllBoxes();
        ConsoleFixture::TearDown();
        sim.reset();
        QApplication::processEvents();
        qunsetenv("TELLAR_KEYBOARD_LAYOUT");
    }

    static bool waitFor(const std::function<bool()> &done, int patienceMs = kPatienceMs)
    {
        return simconsole::waitFor(done, patienceMs);
    }

    // The scenario on a loopback port, and the store of a console that takes
    // payments there and prints its receipts; before open().
    void startSimulatorJson(const QByteArray &json)
    {
        Sim::LoadResult loaded = Sim::loadScenarioJson(json, QStringLiteral("test.json"), CodePage::console());
        ASSERT_TRUE(loaded.scenario) << loaded.error.toStdString() << "\n" << json.toStdString();
        sim = std::make_unique<Sim::SimServer>(loaded.scenario->connections, false, CodePage::console(), simLog);
        QString error;
        ASSERT_TRUE(sim->listen(0, &error)) << error.toStdString();
        QObject::connect(sim.get(), &Sim::SimServer::clientFrame, sim.get(),
                         [this](int, const QByteArray &frame) { clientCodes << codeOf(frame); });
        QObject::connect(sim.get(), &Sim::SimServer::serverFrame, sim.get(),
                         [this](int, const QByteArray &frame) { serverCodes << codeOf(frame); });
        put(Config::ReportMode, QStringLiteral("0"));
        put(Config::KKAddress, QStringLiteral("127.0.0.1"));
        put(Config::KKPort, QString::number(sim->port()));
        put(Config::DoPrint, QStringLiteral("1"));
        put(Config::Printer, QStringLiteral("Kviitungiprinter"));
    }
    void startShippedSimulator(const char *file)
    {
        QFile f(QStringLiteral(TELLAR_SIM_SCENARIOS "/") + QString::fromLatin1(file));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << file;
        startSimulatorJson(f.readAll());
    }

    static QByteArray codeOf(const QByteArray &frame)
    {
        VaroManager m;
        std::string bytes = frame.toStdString();
        std::string rest;
        m.ProcessMessage(bytes, rest);
        return QByteArray::fromStdString(m.GetFieldData(1));
    }

    // The cashier types the amount and swipes the card: the swipe starts the
    // payment.
    void swipePayment()
    {
        typeSlowly(text("Text2"), u"12,50"_qs);
        typeAt(text("Text2"), u";4111111111111111=2612101?"_qs, 5);
    }

    QString statusLine() const { return text("Text10")->text(); }
    // The text of the top box when it is a message (kind 0), else empty.
    QString messageBoxText() const
    {
        Form2 *box = topBox();
        return box && box->boxType() == 0 ? box->findChild<QLabel *>(u"Label1"_qs)->text() : QString();
    }
    // The texts of the message boxes (kind 0) on the stack, bottom first.
    QStringList messageTexts() const
    {
        QStringList out;
        for (int slot = 1; slot <= boxStack().boxCount(); ++slot) {
            auto *box = dynamic_cast<Form2 *>(boxStack().box(slot));
            if (box && box->boxType() == 0)
                out << box->findChild<QLabel *>(u"Label1"_qs)->text();
        }
        return out;
    }
    QList<JournalTransaction> journalTransactions() const
    {
        return form->session().journal().readTransactions();
    }
    bool waitIdle(int patienceMs = kPatienceMs)
    {
        return waitFor([&] { return form->session().SessionState == PaymentSession::Idle; }, patienceMs);
    }
    QByteArray logBytes() const
    {
        QFile log(home + u"/log.txt"_qs);
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }

    Sim::SimLog simLog;
    std::unique_ptr<Sim::SimServer> sim;
    QByteArrayList clientCodes;   // what reached the server, in order
    QByteArrayList serverCodes;   // what the server sent, in order
};
