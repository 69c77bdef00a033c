// The scenario model of varo-sim and its JSON loader.
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

#include "ReportAnswer.h"
#include "SimProtocol.h"

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

// What the simulator knows of the client when it builds a message.
struct SendContext {
    std::string pos{SimProtocol::kDefaultPos};           // field 2 of the client's first request
    std::string session{SimProtocol::kDefaultSession};   // field 3 of the client's first request
    // The request the last expect step (or the handler that is playing) took;
    // null before any. Must outlive the build call.
    const VaroManager *lastRequest = nullptr;
    // The approvals a report answer lists before its generated records; null
    // or empty: none. Must outlive the build call.
    const Ledger *ledger = nullptr;
};

enum class CheckByte {
    Xor,     // the XOR of the frame, as a careful server sends it
    Comma,   // 0x2C, "not computed"; receivers accept it untested
    Wrong,   // neither the XOR nor 0x2C: the frame must be rejected
};

struct FrameSpec;

// One entry of a message's field list. Most kinds are bytes fixed at load
// time; an echo copies a field of the client's last request; a nested frame
// (a receipt, a report record) is built when the message is.
struct FieldSpec {
    struct Echo {
        int16_t sourceId;   // field of the last request; left out when absent
    };
    int16_t id = 0;
    std::variant<std::string, Echo, std::shared_ptr<FrameSpec>> value;
};

struct FrameSpec {
    std::vector<FieldSpec> fields;
    CheckByte check = CheckByte::Xor;
};

// How a message fills field 2 (POS) or field 3 (session).
struct AddressSpec {
    enum class Mode {
        Client,    // what the client's first request carried
        Literal,   // the given text, e.g. another POS
        Omit,      // no field at all
    };
    Mode mode = Mode::Client;
    std::string literal;
};

// A message the simulator sends: field 1 is the code, fields 2 and 3 address
// the console, then the listed fields in their order, then (with a report)
// the generated fields of a report answer.
struct MessageSpec {
    std::string code;
    AddressSpec pos;
    AddressSpec session;
    int sessionOffset = 0;   // with Mode::Client: added to the client's number
    FrameSpec body;
    // Fields 10, 6 and 99 + i of a "0020", made when the message is built:
    // the ledger's records, then generated ones within the period of the
    // client's last request.
    std::shared_ptr<const ReportSpec> report;
};

// Builds the wire bytes. Fields whose ID is 1, 2 or 3 in the body replace the
// default ones in place.
std::string buildFrame(const MessageSpec &message, const SendContext &context);
std::string buildFrame(const FrameSpec &frame, const SendContext &context);

// The client's six-digit session number moved by offset, wrapping within
// 0..999999; a session text that is not all digits counts as 0.
std::string offsetSession(const std::string &session, int offset);

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
