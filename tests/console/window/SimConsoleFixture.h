// The console main window of ConsoleFixture taking swiped payments from the
// payment server simulator in the same process: the Estonian keyboard
// layout, receipts printed on "Kviitungiprinter", and waits on the real
// clock for the sockets (the keys still run on the manual one).
#pragma once

#include "ConsoleFixture.h"
#include "SimConsole.h"

#include <functional>
#include <memory>

class SimConsoleFixture : public ConsoleFixture {
protected:
    static constexpr int kPatienceMs = 15000;

    void SetUp() override
    {
        ConsoleFixture::SetUp();
        qputenv("TELLAR_KEYBOARD_LAYOUT", "ee");
    }
    void TearDown() override
    {
        ConsoleFixture::TearDown();
        sim.reset();
        qunsetenv("TELLAR_KEYBOARD_LAYOUT");
    }

    // The scenario on a loopback port and the store of a console that takes
    // payments there and prints its receipts; before open().
    void startSimulator(const QString &scenarioFile)
    {
        ASSERT_NO_FATAL_FAILURE(simconsole::startSimulator(sim, simLog, scenarioFile));
        put(Config::DoPrint, QStringLiteral("1"));
        put(Config::Printer, QStringLiteral("Kviitungiprinter"));
    }

    static bool waitFor(const std::function<bool()> &done) { return simconsole::waitFor(done, kPatienceMs); }

    // The top box once it is of this kind; null when none comes in time.
    Form2 *waitForBox(quint8 kind)
    {
        Form2 *box = nullptr;
        waitFor([&] {
            box = topBox();
            return box && box->boxType() == kind;
        });
        return box && box->boxType() == kind ? box : nullptr;
    }

    Sim::SimLog simLog;
    std::unique_ptr<Sim::SimServer> sim;
};
