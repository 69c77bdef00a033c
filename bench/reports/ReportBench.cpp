// The report path on the largest answer the protocol can carry: 32,668
// records decoded from one "0020", laid out and saved as a PDF. Two shapes:
// ungrouped, and grouped by card with every card distinct, one group per row,
// which is the worst case for grouping. The host lets the Qt event loop run
// where the report lets events run and records the longest gap between two
// runs (from the start of DecodeReport to its end), reported as max_gap_ms.
#include "common/Bytes.h"
#include "common/Helpers.h"
#include "reports/ReportDecoder.h"
#include "reports/ReportDocument.h"
#include "reports/ReportHost.h"

#include <VaroManager.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

constexpr qint32 kLargestAnswer = 32668;

std::string bytes(const QByteArray &b)
{
    return std::string(b.constData(), std::size_t(b.size()));
}

// Every record distinct in card and STAN; a mix of sent and not sent,
// cancelled, bookings, tips and declined codes, all kept by the filter.
VaroManager largestAnswer()
{
    VaroManager answer;
    answer.AddField(1, "0020");
    answer.AddField(2, "POS1");
    answer.AddField(3, "000001");
    answer.AddField(10, bytes(EncodeInt32(kLargestAnswer)));
    answer.AddField(6, bytes(EncodeInt32(0)));
    for (qint32 i = 1; i <= kLargestAnswer; ++i) {
        VaroManager record;
        record.AddField(1, "KASSA" + std::to_string(i % 7));
        record.AddField(2, "2604" + std::to_string(10 + i % 18) + "101500");
        record.AddField(3, bytes(EncodeInt32(i)));
        record.AddField(4, bytes(EncodeDouble(double(i % 100000) / 100.0)));
        record.AddField(5, "4111 11** **** " + std::to_string(100000 + i));
        record.AddField(6, std::string(1, char(i % 5 == 0 ? 200 : 0)));
        record.AddField(7, i % 11 == 0 ? "000011" : (i % 13 == 0 ? "00001" : "000000"));
        record.AddField(8, bytes(EncodeInt32(i % 17 == 0 ? 5 : 0)));
        record.AddField(9, bytes(EncodeInt32(i % 19 == 0 ? 1 : 0)));
        answer.AddField(qint16(99 + i), record.GetOutput(true, false));
    }
    return answer;
}

class BenchHost final : public ReportHost {
public:
    using SteadyClock = std::chrono::steady_clock;

    explicit BenchHost(qint16 group) : m_group(group) {}

    void start()
    {
        m_start = m_last = SteadyClock::now();
        m_maxGap = {};
        m_passes = 0;
        m_checkpoints.clear();
    }
    void finish() { note(); }
    double maxGapMs() const { return std::chrono::duration<double, std::milli>(m_maxGap).count(); }
    int passes() const { return m_passes; }

    bool reportOnlyApproved() const override { return true; }
    qint16 reportGroupColumn() const override { return m_group; }
    QString reportPeriodText() const override
    {
        return QStringLiteral("Periood: 10.04.2026 00:00:00 - 27.04.2026 23:59:59");
    }
    void closeForReport() override {}
    void setStatusLine(const QString &text) override { m_status = text; }
    void processEvents() override
    {
        note();
        QCoreApplication::processEvents();
        ++m_passes;
        m_last = SteadyClock::now();
    }
    // The builder's checkpoints: 1 after decoding, 3 after the layout, 4
    // after saving.
    void LogEvent(const QString &text) override
    {
        if (text.startsWith(QStringLiteral("Checkpoint")))
            m_checkpoints.push_back(SteadyClock::now());
    }
    // Milliseconds from the start to checkpoint n (1 ... 4).
    double msTo(std::size_t n) const
    {
        if (n == 0 || n > m_checkpoints.size())
            return 0;
        return std::chrono::duration<double, std::milli>(m_checkpoints[n - 1] - m_start).count();
    }
    void OpenBox(quint8, const QString &text, qint32) override { m_error = text; }
    void openDocument(const QString &, OpenFailed) override {}
    void clearEntryFields() override {}
    void ReturnToIdle() override {}

    QString error() const { return m_error; }

private:
    void note() { m_maxGap = std::max(m_maxGap, SteadyClock::now() - m_last); }

    qint16 m_group;
    SteadyClock::time_point m_start;
    SteadyClock::time_point m_last;
    std::vector<SteadyClock::time_point> m_checkpoints;
    SteadyClock::duration m_maxGap{};
    int m_passes = 0;
    QString m_status;
    QString m_error;
};

const VaroManager &answer()
{
    static const VaroManager a = largestAnswer();
    return a;
}

void runReport(benchmark::State &state, qint16 group)
{
    const VaroManager &message = answer();
    QTemporaryDir dir;
    ReportDocumentOptions options;
    options.filePath = dir.filePath(QStringLiteral("Report.pdf"));
    BenchHost host(group);
    double worstGap = 0;
    double decodeMs = 0, layoutMs = 0, saveMs = 0;
    for (auto _ : state) {
        host.start();
        DecodeReport(message, host, options);
        host.finish();
        worstGap = std::max(worstGap, host.maxGapMs());
        decodeMs = std::max(decodeMs, host.msTo(1));
        layoutMs = std::max(layoutMs, host.msTo(3) - host.msTo(1));
        saveMs = std::max(saveMs, host.msTo(4) - host.msTo(3));
    }
    if (!host.error().isEmpty())
        state.SkipWithError(host.error().toStdString().c_str());
    state.counters["max_gap_ms"] = worstGap;
    state.counters["decode_ms"] = decodeMs;
    state.counters["layout_ms"] = layoutMs;
    state.counters["save_ms"] = saveMs;
    state.counters["event_passes"] = host.passes();
    state.counters["file_MB"] = double(QFileInfo(options.filePath).size()) / 1e6;
}

void BM_LargestReportUngrouped(benchmark::State &state) { runReport(state, 0); }
void BM_LargestReportGroupedByDistinctCards(benchmark::State &state) { runReport(state, 5); }

BENCHMARK(BM_LargestReportUngrouped)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LargestReportGroupedByDistinctCards)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
