// bench_journal: what a year of a busy till costs the console.
//
//   bench_journal [TRANSACTIONS]      default 1000000: fills a journal of that
//                                     many transactions and an empty one, then
//                                     measures a fresh console on each
//   bench_journal fill DIR N          writes N transactions to DIR/journal.sqlite
//   bench_journal measure DIR         one console on the store DIR: prints
//                                     "start_ms rss_kb ctrl_l_ms question_us
//                                     till_key_us"
//
// Each measurement runs in a process of its own, so its memory is its own:
// from main() to the main window shown, the resident set then, the time to
// open "Viimane tehing" (Ctrl+L) and the median time of the question's
// look-up before a charge, and of a till's repeated request by its key (a
// third of the transactions came from the till). Runs on the offscreen
// platform unless a display is chosen.
#include "common/AppPaths.h"
#include "common/Clock.h"
#include "journal/ChargeGuard.h"
#include "session/TransactionJournal.h"
#include "window/Form1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

qint64 rssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

int fill(const QString &dir, qint64 count)
{
    QDir().mkpath(dir);
    // About 30 s between transactions: a million is a year of a busy till.
    ManualClock clock(QDateTime::currentDateTime().addSecs(-30 * count - 3600));
    TransactionJournal journal(dir + QStringLiteral("/journal.sqlite"), &clock);
    const QString pos = QStringLiteral("00001234");
    QString error;
    constexpr qint64 kChunk = 20000;
    for (qint64 done = 0; done < count;) {
        if (!journal.beginBulk(&error)) {
            std::fprintf(stderr, "bench_journal: %s\n", qPrintable(error));
            return 1;
        }
        for (qint64 i = 0; i < kChunk && done < count; ++i, ++done) {
            const QString session = QStringLiteral("%1").arg(done % 999999 + 1, 6, 10, QLatin1Char('0'));
            const double amount = double(100 + (done * 7919) % 50000) / 100.0;
            const TillKey key = done % 3 == 0 ? TillKey{QStringLiteral("K1"), QString::number(done)} : TillKey{};
            journal.logSent(session, pos, done % 50 == 0 ? QStringLiteral("booking") : QStringLiteral("payment"),
                            amount, std::nullopt, key);
            clock.advanceMs(15'000);
            if (done % 500 == 499) {
                // Now and then a doubt, settled by the cashier.
                journal.logUnknown(session, pos, QStringLiteral("Timeout"));
                if (std::optional<JournalTransaction> t = journal.unresolvedCharge())
                    journal.logResolved(*t, QStringLiteral("cashier"), std::nullopt);
            } else if (done % 20 == 19) {
                journal.logDeclined(session, pos, QStringLiteral("0006"), QStringLiteral("51"),
                                    QStringLiteral("Kontol pole piisavalt vahendeid"));
            } else {
                journal.logApproved(session, pos, done % 999999 + 1);
            }
            clock.advanceMs(15'000);
        }
        if (!journal.commitBulk(&error)) {
            std::fprintf(stderr, "bench_journal: %s\n", qPrintable(error));
            return 1;
        }
    }
    return 0;
}

int measure(int argc, char *argv[], const QString &dir, const QElapsedTimer &sinceMain)
{
    QApplication app(argc, argv);
    AppPaths::setRegistryDir(dir);
    AppPaths::setProgramDir(dir + QStringLiteral("/home"));
    QDir().mkpath(AppPaths::programDir());
    Form1 window;
    window.show();
    QApplication::processEvents();
    const qint64 startMs = sinceMain.elapsed();
    const qint64 rss = rssKb();

    QElapsedTimer t;
    t.start();
    window.showLastTransactionDialog();
    QApplication::processEvents();
    const double ctrlLMs = double(t.nsecsElapsed()) / 1e6;

    std::vector<qint64> ns;
    for (int i = 0; i < 1001; ++i) {
        t.restart();
        const bool asks = ChargeGuard::doubtToAskAbout(window.journal(), 1).has_value();
        ns.push_back(t.nsecsElapsed());
        if (asks)
            std::fputs("", stdout);
    }
    std::nth_element(ns.begin(), ns.begin() + qsizetype(ns.size() / 2), ns.end());
    const double questionUs = double(ns[ns.size() / 2]) / 1000.0;

    // Keys spread over the year, found or not.
    ns.clear();
    for (int i = 0; i < 1001; ++i) {
        const TillKey key{QStringLiteral("K1"), QString::number((qint64(i) * 7919 * 3) % 1000000)};
        t.restart();
        const bool found = window.journal().transactionOfTillKey(key).has_value();
        ns.push_back(t.nsecsElapsed());
        if (found)
            std::fputs("", stdout);
    }
    std::nth_element(ns.begin(), ns.begin() + qsizetype(ns.size() / 2), ns.end());
    std::printf("%lld %lld %.2f %.1f %.1f\n", static_cast<long long>(startMs), static_cast<long long>(rss), ctrlLMs,
                questionUs, double(ns[ns.size() / 2]) / 1000.0);
    return 0;
}

struct Figures {
    double startMs = 0, rssKb = 0, ctrlLMs = 0, questionUs = 0, tillKeyUs = 0;
};

// The median of several fresh consoles on the store.
bool measureInChild(const QString &dir, Figures &out)
{
    std::vector<Figures> runs;
    for (int i = 0; i < 5; ++i) {
        QProcess child;
        child.setStandardErrorFile(QProcess::nullDevice());
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("measure"), dir});
        if (!child.waitForFinished(120000) || child.exitCode() != 0)
            return false;
        const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
        if (f.size() != 5)
            return false;
        runs.push_back({f[0].toDouble(), f[1].toDouble(), f[2].toDouble(), f[3].toDouble(), f[4].toDouble()});
    }
    auto median = [&](double Figures::*m) {
        std::vector<double> v;
        for (const Figures &r : runs)
            v.push_back(r.*m);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    out = {median(&Figures::startMs), median(&Figures::rssKb), median(&Figures::ctrlLMs),
           median(&Figures::questionUs), median(&Figures::tillKeyUs)};
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QStringList args = [&] {
        QStringList a;
        for (int i = 0; i < argc; ++i)
            a << QString::fromLocal8Bit(argv[i]);
        return a;
    }();
    if (args.value(1) == QLatin1String("fill") && args.size() == 4)
        return fill(args[2], args[3].toLongLong());
    if (args.value(1) == QLatin1String("measure") && args.size() == 3)
        return measure(argc, argv, args[2], sinceMain);

    QCoreApplication app(argc, argv);
    const qint64 count = args.size() > 1 ? args[1].toLongLong() : 1000000;
    QTemporaryDir tmp;
    const QString empty = tmp.filePath(QStringLiteral("empty"));
    const QString full = tmp.filePath(QStringLiteral("full"));
    QElapsedTimer t;
    t.start();
    if (fill(empty, 0) != 0 || fill(full, count) != 0)
        return 1;
    const double fillS = double(t.elapsed()) / 1000.0;
    const qint64 bytes = QFileInfo(full + QStringLiteral("/journal.sqlite")).size();

    Figures e, f;
    if (!measureInChild(empty, e) || !measureInChild(full, f)) {
        std::fprintf(stderr, "bench_journal: a measuring console failed\n");
        return 1;
    }
    std::printf("journal of %lld transactions: %.1f MB, written in %.1f s\n", static_cast<long long>(count),
                double(bytes) / 1e6, fillS);
    std::printf("%-34s %12s %12s %10s\n", "median of 5 fresh consoles", "empty", "full", "full-empty");
    std::printf("%-34s %12.1f %12.1f %10.1f\n", "start to window (ms)", e.startMs, f.startMs, f.startMs - e.startMs);
    std::printf("%-34s %12.0f %12.0f %10.0f\n", "RSS with the window up (KB)", e.rssKb, f.rssKb, f.rssKb - e.rssKb);
    std::printf("%-34s %12.2f %12.2f %10.2f\n", "open \"Viimane tehing\" (ms)", e.ctrlLMs, f.ctrlLMs,
                f.ctrlLMs - e.ctrlLMs);
    std::printf("%-34s %12.1f %12.1f %10.1f\n", "question's look-up (us, median)", e.questionUs, f.questionUs,
                f.questionUs - e.questionUs);
    std::printf("%-34s %12.1f %12.1f %10.1f\n", "till key look-up (us, median)", e.tillKeyUs, f.tillKeyUs,
                f.tillKeyUs - e.tillKeyUs);
    return 0;
}
