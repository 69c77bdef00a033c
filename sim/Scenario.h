// The scenario model of varo-sim; its JSON loader is ScenarioLoader.cpp.
//
// A scenario file describes one or more connections; each connection is a
// list of steps the simulator plays on one accepted TCP connection (send a
// message, expect a client message, wait, send keep-alives, or a fault).
// sim/README.md documents the file format with examples.
//
// Texts are Unicode in the model and become bytes only when a message is
// built, in the code page the loader was given, so a scenario sends what the
// console on the other end expects to read.
#pragma once

#include "FrameSpec.h"

#include "common/CodePage.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class VaroManager;

namespace Sim {

class Ledger;

// ---- steps ---------------------------------------------------------------

inline constexpr int kForever = -1;

struct SendStep {
    MessageSpec message;
};
// Writes the frame a few bytes at a time with a pause between the writes.
struct SendSplitStep {
    MessageSpec message;
    int chunkBytes = 1;
    int delayMs = 5;
};
// Writes several frames with one write.
struct SendBatchStep {
    std::vector<MessageSpec> messages;
};
struct ExpectStep {
    QStringList codes;          // any of these codes satisfies the step
    int timeoutMs = 120000;
    int keepAliveMs = 0;        // 0: no keep-alives while waiting
    bool failOnTimeout = true;  // false: note the time-out and go on
};
struct WaitStep {
    int ms = 0;
    int keepAliveMs = 0;
};
struct KeepAliveStep {
    int everyMs = 10000;
    int forMs = kForever;
    int count = kForever;
};
struct SilentStep {
    int forMs = kForever;
};
struct CloseStep {
    bool reset = false;   // true: abort with a TCP reset instead of a FIN
};
struct GarbageStep {
    std::string bytes;
};
// Announces a body of announcedLength bytes and trickles filler bytes, never
// completing the frame.
struct EndlessFrameStep {
    int32_t announcedLength = 0x7FFFFF00;
    int chunkBytes = 1;
    int everyMs = 100;
    int forMs = kForever;
};
// Waits for the client's "0023" and answers it with "0023".
struct AnswerCloseStep {
    int timeoutMs = 30000;
};
// Books the approval of the connection's transaction request in the ledger
// as if a "0012" with this STAN had been sent, sends nothing, and closes the
// connection at once: the server approved, the client never learns it.
struct ApproveThenHangupStep {
    int32_t stan = 0;
    bool reset = false;   // true: abort with a TCP reset instead of a FIN
};

struct Step {
    std::variant<SendStep, SendSplitStep, SendBatchStep, ExpectStep, WaitStep,
                 KeepAliveStep, SilentStep, CloseStep, GarbageStep,
                 EndlessFrameStep, AnswerCloseStep, ApproveThenHangupStep>
        action;
    QString label;   // "steps[3] expect 0001", for the log
};

// Steps without an end of their own: a client that leaves during one of them
// ends the connection normally.
bool isOpenEnded(const Step &step);

// A fault of the listening port, played by the server in place of a
// connection: the client's connection attempt never reaches a script.
struct ListenerFault {
    enum class Kind {
        Refuse,        // the port is closed: a connection attempt is answered with a reset
        Unanswered,    // the port's accept queue is full: a connection attempt gets no answer at all
        ResetQueued,   // the handshake completes, then the port closes with the connection still
                       // in its queue, which resets it before the server ever took it
    };
    Kind kind = Kind::Refuse;
    // Refuse, Unanswered: how long the port stays so. ResetQueued: how long
    // it waits for a connection to reset (none in that time fails the turn).
    int forMs = 10000;
};

QString listenerFaultName(ListenerFault::Kind kind);

struct ConnectionScript {
    QString source;                 // "approval.json" or "training.json#2"
    // Set: the turn is this fault of the port, and there are no steps.
    std::optional<ListenerFault> listener;
    std::vector<Step> steps;
    // Steps played instead of the rest when the client sends a message of this
    // code (e.g. "0005", the cancel button), at most once per connection.
    std::map<QString, std::vector<Step>> handlers;
    int endTimeoutMs = 30000;       // wait for the client's "0023" at the end
};

struct Scenario {
    QString path;
    QString name;
    QString description;
    std::vector<ConnectionScript> connections;
};

struct LoadResult {
    std::optional<Scenario> scenario;
    QString error;          // "file:line:column: ..." or "file: steps[2].send: ..."
    QStringList warnings;   // e.g. characters the code page cannot carry
};

LoadResult loadScenarioFile(const QString &path, const CodePage &codePage);
LoadResult loadScenarioJson(const QByteArray &json, const QString &sourceName,
                            const CodePage &codePage);

} // namespace Sim
