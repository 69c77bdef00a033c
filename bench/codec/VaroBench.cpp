// Building and parsing Varo frames: a report-sized answer (32,668 fields of
// 120 bytes, about 4 MB), a tenth of it to show that cost grows linearly with
// the field count, and a typical 9-field request.
#include "VaroManager.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

constexpr int kReportFields = 32668;
constexpr int kTenthFields = 3267;
constexpr std::size_t kRecordSize = 120;

// Report records: field IDs counting up from 100 through the whole signed
// range, each a 120-byte record of mixed bytes.
VaroManager reportTable(int fields)
{
    VaroManager m;
    m.AddField(1, "0020");
    m.AddField(2, "POS1");
    m.AddField(3, "000042");
    std::string record(kRecordSize, '\0');
    for (int i = 0; m.getFieldCount() < fields; ++i) {
        for (std::size_t b = 0; b < record.size(); ++b)
            record[b] = static_cast<char>((i * 31 + b * 7) & 0xFF);
        m.AddField(static_cast<int16_t>(100 + i), record);
    }
    return m;
}

// The fields of a card payment request.
VaroManager requestTable()
{
    VaroManager m;
    m.AddField(1, "0001");
    m.AddField(2, "POS1");
    m.AddField(3, "000042");
    m.AddField(4, std::string("\0\0\0\0\0\0\x29\x40", 8));   // 12.5 as a double
    m.AddField(5, "4111111111111111=2512");
    m.AddField(6, "0");
    m.AddField(7, "");
    m.AddField(11, "");
    m.AddField(14, "");
    return m;
}

void buildFrame(benchmark::State &state, const VaroManager &table)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string frame = table.GetOutput(true, true);
        bytes += frame.size();
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["fields"] = table.getFieldCount();
}

void parseFrame(benchmark::State &state, const VaroManager &table)
{
    const std::string frame = table.GetOutput(true, false);
    for (auto _ : state) {
        VaroManager m;
        std::string msg = frame;
        std::string rest;
        const int16_t result = m.ProcessMessage(msg, rest);
        if (result != VaroManager::Parsed || m.getFieldCount() != table.getFieldCount())
            state.SkipWithError("frame did not parse");
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size()));
    state.counters["fields"] = table.getFieldCount();
}

void BM_BuildReport(benchmark::State &state) { buildFrame(state, reportTable(static_cast<int>(state.range(0)))); }
void BM_ParseReport(benchmark::State &state) { parseFrame(state, reportTable(static_cast<int>(state.range(0)))); }
void BM_BuildRequest(benchmark::State &state) { buildFrame(state, requestTable()); }
void BM_ParseRequest(benchmark::State &state) { parseFrame(state, requestTable()); }

// With the console's event hook installed: one call per field.
void BM_BuildReportWithHook(benchmark::State &state)
{
    VaroManager table = reportTable(kReportFields);
    int64_t calls = 0;
    table.setProcessEvents([&calls] { ++calls; });
    buildFrame(state, table);
    benchmark::DoNotOptimize(calls);
}

} // namespace

BENCHMARK(BM_BuildReport)->Arg(kTenthFields)->Arg(kReportFields)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseReport)->Arg(kTenthFields)->Arg(kReportFields)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildReportWithHook)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildRequest);
BENCHMARK(BM_ParseRequest);
