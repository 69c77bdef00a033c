// The frame description of varo-sim: what a message the simulator sends is
// made of (its code, how it addresses the console, its fields, nested frames,
// a report answer's generated fields) and how it becomes wire bytes.
//
// Texts are bytes here already: the scenario loader encodes them in the
// console's code page.
#pragma once

#include "FrameBytes.h"
#include "ReportAnswer.h"
#include "SimProtocol.h"

#include <cstdint>
#include <memory>
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

} // namespace Sim
