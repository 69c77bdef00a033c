// The console against the payment server simulator in the same process: a
// simulator on a loopback port that the console's store points at, and a
// wait on the real clock for what the sockets bring. The including target
// defines TELLAR_SIM_SCENARIOS, the folder of the shipped scenarios.
#pragma once

#include "common/CodePage.h"
#include "common/Config.h"
#include "Scenario.h"
#include "SimLog.h"
#include "SimServer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QString>
#include <QTest>

#include <functional>
#include <memory>
#include <vector>

namespace simconsole {

// Lets events run until done() holds; false when patienceMs pass first.
inline bool waitFor(const std::function<bool()> &done, int patienceMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > patienceMs)
            return false;
        QTest::qWait(10);
    }
    return true;
}

// Plays the shipped scenario's connections, `rounds` times over, on a
// loopback port, and sets the store up as a console that takes payments
// there: report mode off, the simulator's address and port. Comes before the
// window opens (it reads the port at start-up). Fails the test fatally when
// the scenario does not load or no port can be had.
inline void startSimulator(std::unique_ptr<Sim::SimServer> &sim, Sim::SimLog &log, const QString &scenarioFile,
                           int rounds = 1)
{
    const QString path = QStringLiteral(TELLAR_SIM_SCENARIOS "/") + scenarioFile;
    Sim::LoadResult loaded = Sim::loadScenarioFile(path, CodePage::console());
    ASSERT_TRUE(loaded.scenario) << loaded.error.toStdString();
    std::vector<Sim::ConnectionScript> scripts;
    for (int round = 0; round < rounds; ++round)
        scripts.insert(scripts.end(), loaded.scenario->connections.begin(), loaded.scenario->connections.end());
    sim = std::make_unique<Sim::SimServer>(std::move(scripts), false, CodePage::console(), log);
    QString error;
    ASSERT_TRUE(sim->listen(0, &error)) << error.toStdString();
    PutConfigString(Config::KeyPath, Config::ReportMode, QStringLiteral("0"));
    PutConfigString(Config::KeyPath, Config::KKAddress, QStringLiteral("127.0.0.1"));
    PutConfigString(Config::KeyPath, Config::KKPort, QString::number(sim->port()));
}

} // namespace simconsole
