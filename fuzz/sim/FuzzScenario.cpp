// varo-sim's scenario loader on arbitrary bytes (the corpus holds the shipped
// scenarios and small variations, so the fuzzer reaches the steps' fields).
//
// Invariants: the loader accepts the file or gives a clear error, never both
// and never neither; an error names the file first. Of an accepted scenario
// every message a send step would write is built (reports up to a bound),
// and each is one whole frame: the start byte, a body length that matches
// the frame's size.
#include "Scenario.h"

#include <VaroManager.h>

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <variant>

namespace {

void require(bool condition, const char *invariant)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", invariant);
    std::abort();
}

const QString kSource = QStringLiteral("fuzz.json");

// Reports beyond this many records take longer to build than a fuzzing run
// can spend on one input; the loader has checked them all the same.
constexpr int kMaxBuiltRecords = 2000;

void checkFrame(const std::string &frame)
{
    require(frame.size() >= 6 && uint8_t(frame[0]) == 0x01, "a built message starts a frame");
    int32_t length = 0;
    std::memcpy(&length, frame.data() + 1, 4);   // little-endian on every target of the simulator
    require(length >= 0 && std::size_t(length) + 6 == frame.size(), "a built message is one whole frame");
}

void build(const Sim::MessageSpec &message, const Sim::SendContext &context)
{
    if (message.report && message.report->records > kMaxBuiltRecords)
        return;
    checkFrame(Sim::buildFrame(message, context));
}

void buildSteps(const std::vector<Sim::Step> &steps, const Sim::SendContext &context)
{
    for (const Sim::Step &step : steps) {
        if (const auto *send = std::get_if<Sim::SendStep>(&step.action))
            build(send->message, context);
        else if (const auto *split = std::get_if<Sim::SendSplitStep>(&step.action))
            build(split->message, context);
        else if (const auto *batch = std::get_if<Sim::SendBatchStep>(&step.action))
            for (const Sim::MessageSpec &m : batch->messages)
                build(m, context);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char arg0[] = "fuzz_scenario";
    static char *argv[] = {arg0, nullptr};
    new QCoreApplication(argc, argv);   // lives for the run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char *>(data), qsizetype(size));
    const Sim::LoadResult result = Sim::loadScenarioJson(json, kSource, CodePage::console());
    require(result.scenario.has_value() != !result.error.isEmpty(), "accepted or an error, not both");
    if (!result.scenario) {
        require(result.error.startsWith(kSource + u':'), "an error names the file first");
        return 0;
    }

    // A client's first request: a report request with a period, so report
    // answers draw their stamps from it.
    VaroManager request;
    request.AddField(1, "0019");
    request.AddField(2, "00000042");
    request.AddField(3, "000001");
    request.AddField(5, "260101000000");
    request.AddField(9, "260131235959");
    Sim::SendContext context;
    context.pos = "00000042";
    context.session = "000001";
    context.lastRequest = &request;
    for (const Sim::ConnectionScript &connection : result.scenario->connections) {
        buildSteps(connection.steps, context);
        for (const auto &[code, steps] : connection.handlers)
            buildSteps(steps, context);
    }
    return 0;
}
