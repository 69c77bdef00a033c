// The scenario loader and the message builder of varo-sim, in-process: what
// bytes each value kind becomes, how fields 2 and 3 are filled, which files
// are refused and with what message, and what the log may show of a frame.
#include "FrameSummary.h"
#include "Scenario.h"

#include "VaroManager.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace Sim;

namespace {

const CodePage &cp1257()
{
    static const CodePage codePage = *CodePage::fromName("windows-1257");
    return codePage;
}

std::string frameOf(const std::vector<std::pair<int16_t, std::string>> &fields)
{
    VaroManager frame;
    for (const auto &[id, data] : fields)
        frame.AddField(id, data);
    return frame.GetOutput(true, false);
}

// Loads a one-connection scenario whose first step sends the message.
MessageSpec messageOf(const QByteArray &messageJson, const CodePage &codePage = cp1257())
{
    const LoadResult loaded = loadScenarioJson(R"({"steps": [ {"send": )" + messageJson + "} ]}",
                                               QStringLiteral("test.json"), codePage);
    EXPECT_TRUE(loaded.scenario) << loaded.error.toStdString();
    if (!loaded.scenario)
        return {};
    return std::get<SendStep>(loaded.scenario->connections.at(0).steps.at(0).action).message;
}

std::string build(const QByteArray &messageJson, const SendContext &context = {})
{
    return buildFrame(messageOf(messageJson), context);
}

// ---- value kinds ---------------------------------------------------------

struct EncodingRow {
    const char *name;
    const char *field;        // the JSON of field 9's value, e.g. "\"int32\": 123"
    const char *codePage;
    std::string bytes;        // what field 9 must hold
};

class FieldEncodingTest : public ::testing::TestWithParam<EncodingRow> {};

TEST_P(FieldEncodingTest, ValueKindBecomesExactBytes)
{
    const EncodingRow &row = GetParam();
    const CodePage codePage = *CodePage::fromName(row.codePage);
    const MessageSpec message = messageOf(QByteArray(R"({"code": "0002", "fields": [{"id": 9, )") + row.field + "}]}",
                                          codePage);
    EXPECT_EQ(buildFrame(message, {}), frameOf({{1, "0002"}, {2, "00000000"}, {3, "000000"}, {9, row.bytes}}));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FieldEncodingTest,
    ::testing::Values(
        EncodingRow{"Int32Stan", R"("int32": 123)", "windows-1257", std::string("\x7B\x00\x00\x00", 4)},
        EncodingRow{"Int32Negative", R"("int32": -1)", "windows-1257", "\xFF\xFF\xFF\xFF"},
        EncodingRow{"Int32Max", R"("int32": 2147483647)", "windows-1257", "\xFF\xFF\xFF\x7F"},
        EncodingRow{"Int32Style", R"("int32": 292)", "windows-1257", std::string("\x24\x01\x00\x00", 4)},
        EncodingRow{"DoubleAmount", R"("double": 12.5)", "windows-1257", std::string("\x00\x00\x00\x00\x00\x00\x29\x40", 8)},
        EncodingRow{"DoubleCent", R"("double": 0.01)", "windows-1257", "\x7B\x14\xAE\x47\xE1\x7A\x84\x3F"},
        EncodingRow{"ByteMasked", R"("byte": 1)", "windows-1257", "\x01"},
        EncodingRow{"ByteZero", R"("byte": 0)", "windows-1257", std::string(1, '\0')},
        EncodingRow{"HexWithSeparators", R"("hex": "01 2c:FF-00")", "windows-1257", std::string("\x01\x2C\xFF\x00", 4)},
        EncodingRow{"HexEmpty", R"("hex": "")", "windows-1257", ""},
        EncodingRow{"TextEstonian1257", R"("text": "õäöüšž ÕÄÖÜŠŽ")", "windows-1257",
                    "\xF5\xE4\xF6\xFC\xF0\xFE \xD5\xC4\xD6\xDC\xD0\xDE"},
        EncodingRow{"TextEstonian1252", R"("text": "õäöüšž")", "windows-1252", "\xF5\xE4\xF6\xFC\x9A\x9E"},
        EncodingRow{"TextUnmappable", R"("text": "a中b")", "windows-1257", "a?b"},
        EncodingRow{"ReceiptLines", R"("receipt": ["Õun", "", "x"])", "windows-1257",
                    frameOf({{1, "\xD5un"}, {2, ""}, {3, "x"}})},
        EncodingRow{"NestedFrame", R"("frame": {"fields": [{"id": 3, "int32": 7}, {"id": 4, "double": 1}]})",
                    "windows-1257",
                    frameOf({{3, std::string("\x07\x00\x00\x00", 4)}, {4, std::string("\x00\x00\x00\x00\x00\x00\xF0\x3F", 8)}})}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MessageBuildTest, AddressComesFromTheClientsFirstRequest)
{
    SendContext context;
    context.pos = "KASSA-01";
    context.session = "000041";
    EXPECT_EQ(build(R"({"code": "0003"})", context), frameOf({{1, "0003"}, {2, "KASSA-01"}, {3, "000041"}}));
}

TEST(MessageBuildTest, AddressFieldsCanBeReplacedOrLeftOut)
{
    SendContext context;
    context.session = "000041";
    EXPECT_EQ(build(R"({"code": "0002", "pos": "99999999", "session": "7"})", context),
              frameOf({{1, "0002"}, {2, "99999999"}, {3, "7"}}));
    EXPECT_EQ(build(R"({"code": "0002", "pos": null, "session": null})", context), frameOf({{1, "0002"}}));
    // A listed field 2 takes the default's place, not the end.
    EXPECT_EQ(build(R"({"code": "0002", "fields": [{"id": 5, "text": "a"}, {"id": 2, "text": "P"}]})", context),
              frameOf({{1, "0002"}, {2, "P"}, {3, "000041"}, {5, "a"}}));
}

struct OffsetRow {
    const char *session;
    int offset;
    const char *result;
};

class SessionOffsetTest : public ::testing::TestWithParam<OffsetRow> {};

TEST_P(SessionOffsetTest, OffsetWrapsWithinSixDigits)
{
    EXPECT_EQ(offsetSession(GetParam().session, GetParam().offset), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Rows, SessionOffsetTest,
                         ::testing::Values(OffsetRow{"000041", -1, "000040"}, OffsetRow{"000041", 1, "000042"},
                                           OffsetRow{"000000", -1, "999999"}, OffsetRow{"999999", 1, "000000"},
                                           OffsetRow{"41", 0, "000041"}, OffsetRow{"abc", 5, "000005"},
                                           OffsetRow{"", -2, "999998"}));

TEST(MessageBuildTest, EchoCopiesTheLastRequestsFieldAndSkipsAnAbsentOne)
{
    VaroManager request;
    request.AddField(1, "0026");
    request.AddField(7, std::string(1, '\x02'));
    SendContext context;
    context.lastRequest = &request;
    const QByteArray json = R"({"code": "0027", "fields": [{"id": 7, "echo": 7}, {"id": 5, "echo": 5}]})";
    EXPECT_EQ(build(json, context), frameOf({{1, "0027"}, {2, "00000000"}, {3, "000000"}, {7, "\x02"}}));
    context.lastRequest = nullptr;
    EXPECT_EQ(build(json, context), frameOf({{1, "0027"}, {2, "00000000"}, {3, "000000"}}));
}

TEST(MessageBuildTest, CommaCheckByteIsAcceptedUntested)
{
    std::string frame = build(R"({"code": "0002", "check": "comma"})");
    EXPECT_EQ(frame.back(), ',');
    VaroManager parser;
    std::string rest;
    EXPECT_EQ(parser.ProcessMessage(frame, rest), VaroManager::Parsed);
}

// Whatever the frame's XOR, the wrong check byte must be neither the XOR nor
// 0x2C; walking one byte through all 256 values hits every XOR.
TEST(MessageBuildTest, WrongCheckByteIsRejectedForEveryChecksum)
{
    for (int value = 0; value < 256; ++value) {
        std::string frame = build(QByteArray(R"({"code": "0002", "check": "wrong", "fields": [{"id": 9, "byte": )")
                                  + QByteArray::number(value) + "}]}");
        VaroManager parser;
        std::string rest;
        ASSERT_EQ(parser.ProcessMessage(frame, rest), VaroManager::BadCheckByte) << "byte " << value;
    }
}

// ---- loading -------------------------------------------------------------

TEST(ScenarioLoadTest, EveryShippedScenarioLoadsWithoutWarnings)
{
    const QDir dir(QStringLiteral(SIM_SCENARIO_DIR));
    const QStringList files = dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 10);
    for (const QString &file : files) {
        const LoadResult loaded = loadScenarioFile(dir.filePath(file), cp1257());
        EXPECT_TRUE(loaded.scenario) << loaded.error.toStdString();
        EXPECT_TRUE(loaded.warnings.isEmpty()) << file.toStdString() << ": " << loaded.warnings.join(u'\n').toStdString();
    }
}

TEST(ScenarioLoadTest, ConnectionsListBecomesNumberedScripts)
{
    const LoadResult loaded = loadScenarioJson(
        R"({"name": "n", "connections": [ {"steps": []}, {"steps": [{"wait": 5}], "on": {"0005": [{"close": {}}]}, "endTimeoutMs": 9} ]})",
        QStringLiteral("two.json"), cp1257());
    ASSERT_TRUE(loaded.scenario) << loaded.error.toStdString();
    const auto &connections = loaded.scenario->connections;
    ASSERT_EQ(connections.size(), 2u);
    EXPECT_EQ(connections[0].source, QStringLiteral("two.json#1"));
    EXPECT_EQ(connections[1].source, QStringLiteral("two.json#2"));
    EXPECT_EQ(connections[1].endTimeoutMs, 9);
    ASSERT_EQ(connections[1].handlers.count(QStringLiteral("0005")), 1u);
    EXPECT_TRUE(std::holds_alternative<CloseStep>(connections[1].handlers.at(QStringLiteral("0005")).at(0).action));
}

TEST(ScenarioLoadTest, ShorthandsMeanTheirLongForms)
{
    const LoadResult loaded = loadScenarioJson(
        R"({"steps": [ {"expect": ["0010", "0011"]}, {"wait": 250}, {"silent": {"forMs": 3}}, {"keepAlive": {}} ]})",
        QStringLiteral("s.json"), cp1257());
    ASSERT_TRUE(loaded.scenario) << loaded.error.toStdString();
    const auto &steps = loaded.scenario->connections[0].steps;
    const auto &expect = std::get<ExpectStep>(steps[0].action);
    EXPECT_EQ(expect.codes, (QStringList{QStringLiteral("0010"), QStringLiteral("0011")}));
    EXPECT_TRUE(expect.failOnTimeout);
    EXPECT_EQ(std::get<WaitStep>(steps[1].action).ms, 250);
    EXPECT_FALSE(isOpenEnded(steps[2]));
    EXPECT_TRUE(isOpenEnded(steps[3]));
    EXPECT_EQ(steps[0].label, QStringLiteral("steps[0] expect 0010|0011"));
}

TEST(ScenarioLoadTest, ListenerFaultsTakeTheirTurnAmongConnections)
{
    const LoadResult loaded = loadScenarioJson(
        R"({"connections": [ {"listener": {"refuse": {"forMs": 300}}}, {"listener": {"unanswered": {}}},
                             {"listener": {"resetQueued": {"forMs": 7}}}, {"steps": []} ]})",
        QStringLiteral("port.json"), cp1257());
    ASSERT_TRUE(loaded.scenario) << loaded.error.toStdString();
    const auto &connections = loaded.scenario->connections;
    ASSERT_EQ(connections.size(), 4u);
    ASSERT_TRUE(connections[0].listener);
    EXPECT_EQ(connections[0].listener->kind, ListenerFault::Kind::Refuse);
    EXPECT_EQ(connections[0].listener->forMs, 300);
    ASSERT_TRUE(connections[1].listener);
    EXPECT_EQ(connections[1].listener->kind, ListenerFault::Kind::Unanswered);
    EXPECT_EQ(connections[1].listener->forMs, 10000) << "the default";
    ASSERT_TRUE(connections[2].listener);
    EXPECT_EQ(connections[2].listener->kind, ListenerFault::Kind::ResetQueued);
    EXPECT_EQ(listenerFaultName(connections[2].listener->kind), QStringLiteral("resetQueued"));
    EXPECT_FALSE(connections[3].listener);
    EXPECT_TRUE(connections[0].steps.empty());
}

TEST(ScenarioLoadTest, ApproveThenHangupReadsItsStanAndHowItHangsUp)
{
    const LoadResult loaded = loadScenarioJson(
        R"({"connections": [ {"steps": [ {"expect": "0001"}, {"approveThenHangup": {"stan": 555}} ]},
                             {"steps": [ {"expect": "0001"}, {"approveThenHangup": {"stan": -1, "reset": true}} ]} ]})",
        QStringLiteral("h.json"), cp1257());
    ASSERT_TRUE(loaded.scenario) << loaded.error.toStdString();
    const auto &first = loaded.scenario->connections.at(0).steps.at(1);
    ASSERT_TRUE(std::holds_alternative<ApproveThenHangupStep>(first.action));
    EXPECT_EQ(std::get<ApproveThenHangupStep>(first.action).stan, 555);
    EXPECT_FALSE(std::get<ApproveThenHangupStep>(first.action).reset);
    EXPECT_EQ(first.label, QStringLiteral("connections[0].steps[1] approveThenHangup STAN 555"));
    const auto &second = std::get<ApproveThenHangupStep>(loaded.scenario->connections.at(1).steps.at(1).action);
    EXPECT_EQ(second.stan, -1);
    EXPECT_TRUE(second.reset);
}

TEST(ScenarioLoadTest, ShippedApproveThenHangupBooksStan555ThenAnswersWithTheLedgerAlone)
{
    const LoadResult loaded = loadScenarioFile(QStringLiteral(SIM_SCENARIO_DIR "/approve-then-hangup.json"), cp1257());
    ASSERT_TRUE(loaded.scenario) << loaded.error.toStdString();
    const auto &connections = loaded.scenario->connections;
    ASSERT_EQ(connections.size(), 2u);
    const auto &payment = connections[0].steps;
    ASSERT_EQ(payment.size(), 3u);
    EXPECT_EQ(std::get<ExpectStep>(payment[0].action).codes,
              (QStringList{QStringLiteral("0001"), QStringLiteral("0016"), QStringLiteral("0017"), QStringLiteral("0018")}));
    EXPECT_EQ(std::get<SendStep>(payment[1].action).message.code, "0002");
    EXPECT_EQ(std::get<ApproveThenHangupStep>(payment[2].action).stan, 555);
    EXPECT_FALSE(std::get<ApproveThenHangupStep>(payment[2].action).reset);
    const auto &report = connections[1].steps;
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(std::get<ExpectStep>(report[0].action).codes, QStringList{QStringLiteral("0019")});
    const MessageSpec &answer = std::get<SendStep>(report[1].action).message;
    EXPECT_EQ(answer.code, "0020");
    ASSERT_TRUE(answer.report);
    EXPECT_EQ(answer.report->records, 0);
    EXPECT_FALSE(answer.report->count) << "the count follows the ledger";
}

TEST(ScenarioLoadTest, TextThatTheCodePageCannotCarryIsWarnedAbout)
{
    const LoadResult loaded = loadScenarioJson(R"({"steps": [ {"send": {"code": "0002", "fields": [{"id": 5, "text": "Ω"}]}} ]})",
                                               QStringLiteral("w.json"), cp1257());
    ASSERT_TRUE(loaded.scenario);
    ASSERT_EQ(loaded.warnings.size(), 1);
    EXPECT_TRUE(loaded.warnings[0].contains(QStringLiteral("steps[0].send.fields[0].text"))) << loaded.warnings[0].toStdString();
}

struct BadFileRow {
    const char *name;
    const char *json;
    const char *error;   // the message after "bad.json" (for JSON syntax, its start)
};

class BadScenarioTest : public ::testing::TestWithParam<BadFileRow> {};

TEST_P(BadScenarioTest, RefusedWithThePlaceAndTheReason)
{
    const LoadResult loaded = loadScenarioJson(GetParam().json, QStringLiteral("bad.json"), cp1257());
    EXPECT_FALSE(loaded.scenario);
    const std::string expected = std::string("bad.json") + GetParam().error;
    EXPECT_EQ(loaded.error.toStdString().substr(0, expected.size()), expected) << loaded.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadScenarioTest,
    ::testing::Values(
        BadFileRow{"NotJson", "{\n \"steps\": [\n  }", ":3:4: "},
        BadFileRow{"NotAnObject", "[1]", ": the file must hold one JSON object { ... }"},
        BadFileRow{"NeitherStepsNorConnections", "{}", ": a scenario needs either \"steps\" or \"listener\" (one connection) or \"connections\" (a list of them), not neither"},
        BadFileRow{"BothStepsAndConnections", R"({"steps": [], "connections": []})", ": a scenario needs either \"steps\" or \"listener\" (one connection) or \"connections\" (a list of them), not both"},
        BadFileRow{"UnknownTopKey", R"({"steps": [], "stpes": []})", ": stpes: unknown key; expected one of: name, description, connections, steps, listener, on, endTimeoutMs"},
        BadFileRow{"ListenerAndConnections", R"({"listener": {"refuse": {}}, "connections": []})", ": a scenario needs either \"steps\" or \"listener\" (one connection) or \"connections\" (a list of them), not both"},
        BadFileRow{"ListenerWithSteps", R"({"listener": {"refuse": {}}, "steps": []})", ": steps: a listener fault plays no connection, so it takes no \"steps\""},
        BadFileRow{"ListenerWithHandler", R"({"connections": [ {"listener": {"refuse": {}}, "on": {}} ]})", ": connections[0].on: a listener fault plays no connection, so it takes no \"on\""},
        BadFileRow{"UnknownListenerFault", R"({"listener": {"crash": {}}})", ": listener: unknown listener fault \"crash\"; a listener fault is one of: refuse, unanswered, resetQueued"},
        BadFileRow{"TwoListenerFaults", R"({"listener": {"refuse": {}, "unanswered": {}}})", ": listener: a listener fault is one fault, but this one has both"},
        BadFileRow{"EmptyListenerFault", R"({"listener": {}})", ": listener: empty listener fault; it is one of: refuse, unanswered, resetQueued"},
        BadFileRow{"ListenerFaultUnknownKey", R"({"listener": {"refuse": {"ms": 5}}})", ": listener.refuse.ms: unknown key; expected one of: forMs"},
        BadFileRow{"ListenerFaultZeroTime", R"({"listener": {"unanswered": {"forMs": 0}}})", ": listener.unanswered.forMs: 0 is outside 1..2147483647"},
        BadFileRow{"UnknownStep", R"({"steps": [ {"sleep": 5} ]})", ": steps[0]: unknown step \"sleep\"; a step is one of: send, sendSplit, sendBatch, expect, wait, keepAlive, silent, close, garbage, endlessFrame, answerClose, approveThenHangup"},
        BadFileRow{"TwoActionsInAStep", R"({"steps": [ {"wait": 5, "close": {}} ]})", ": steps[0]: a step does one thing, but this one has both \"close\" and \"wait\""},
        BadFileRow{"MessageWithoutCode", R"({"steps": [ {"send": {}} ]})", ": steps[0].send.code: every message needs its code, such as \"0002\""},
        BadFileRow{"FieldTwice", R"({"steps": [ {"send": {"code": "0002", "fields": [{"id": 5, "text": "a"}, {"id": 5, "text": "b"}]}} ]})", ": steps[0].send.fields[1]: field 5 is listed twice; a frame holds each ID once"},
        BadFileRow{"FieldWithoutValue", R"({"steps": [ {"send": {"code": "0002", "fields": [{"id": 5}]}} ]})", ": steps[0].send.fields[0]: the field has no value; give one of: text, hex, int32, double, byte, receipt, frame, echo"},
        BadFileRow{"FieldIdTooBig", R"({"steps": [ {"send": {"code": "0002", "fields": [{"id": 40000, "byte": 1}]}} ]})", ": steps[0].send.fields[0].id: 40000 is outside -32768..32767"},
        BadFileRow{"Int32TooBig", R"({"steps": [ {"send": {"code": "0002", "fields": [{"id": 13, "int32": 2147483648}]}} ]})", ": steps[0].send.fields[0].int32: 2147483648 is outside -2147483648..2147483647"},
        BadFileRow{"ByteNotWhole", R"({"steps": [ {"send": {"code": "0002", "fields": [{"id": 14, "byte": 1.5}]}} ]})", ": steps[0].send.fields[0].byte: expected a whole number, not 1.5"},
        BadFileRow{"OddHex", R"({"steps": [ {"garbage": {"hex": "abc"}} ]})", ": steps[0].garbage.hex: odd number of hex digits"},
        BadFileRow{"NotHex", R"({"steps": [ {"garbage": {"hex": "zz"}} ]})", ": steps[0].garbage.hex: \"z\" is not a hex digit"},
        BadFileRow{"StepAfterClose", R"({"steps": [ {"close": {}}, {"wait": 1} ]})", ": steps[1]: comes after a close step and could never play"},
        BadFileRow{"StepAfterForever", R"({"steps": [ {"silent": {}}, {"wait": 1} ]})", ": steps[1]: comes after a step that never ends (steps[0] silent) and could never play"},
        BadFileRow{"ExpectWithoutCode", R"({"steps": [ {"expect": {"timeoutMs": 5}} ]})", ": steps[0].expect: \"code\" is missing"},
        BadFileRow{"BadOnTimeout", R"({"steps": [ {"expect": {"code": "0001", "onTimeout": "retry"}} ]})", ": steps[0].expect.onTimeout: expected \"fail\" or \"continue\""},
        BadFileRow{"OffsetWithLiteralSession", R"({"steps": [ {"send": {"code": "0002", "session": "1", "sessionOffset": 1}} ]})", ": steps[0].send.sessionOffset: moves the client's session number, so it cannot go with \"session\""},
        BadFileRow{"HandlerNotAList", R"({"steps": [], "on": {"0005": {}}})", ": on.0005: expected a list of steps"},
        BadFileRow{"HandlerStepBad", R"({"connections": [ {"steps": [], "on": {"0005": [ {"nope": 1} ]}} ]})", ": connections[0].on.0005[0]: unknown step \"nope\"; a step is one of: send, sendSplit, sendBatch, expect, wait, keepAlive, silent, close, garbage, endlessFrame, answerClose, approveThenHangup"},
        BadFileRow{"EmptyConnections", R"({"connections": []})", ": connections: the list is empty"},
        BadFileRow{"GarbageTwoSources", R"({"steps": [ {"garbage": {"hex": "00", "text": "a"}} ]})", ": steps[0].garbage: give exactly one of \"hex\", \"text\" or \"random\""},
        BadFileRow{"NegativeWait", R"({"steps": [ {"wait": -5} ]})", ": steps[0].wait: -5 is outside 0..2147483647"},
        BadFileRow{"ApproveThenHangupWithoutStan", R"({"steps": [ {"expect": "0001"}, {"approveThenHangup": {"reset": true}} ]})",
                   ": steps[1].approveThenHangup: \"stan\" is missing: the STAN of the approval that is never sent"},
        BadFileRow{"ApproveThenHangupUnknownKey", R"({"steps": [ {"approveThenHangup": {"stan": 555, "rst": true}} ]})",
                   ": steps[0].approveThenHangup.rst: unknown key; expected one of: stan, reset"},
        BadFileRow{"ApproveThenHangupNotAnObject", R"({"steps": [ {"approveThenHangup": 555} ]})",
                   ": steps[0].approveThenHangup: expected an object { ... }"},
        BadFileRow{"ApproveThenHangupStanTooBig", R"({"steps": [ {"approveThenHangup": {"stan": 2147483648}} ]})",
                   ": steps[0].approveThenHangup.stan: 2147483648 is outside -2147483648..2147483647"},
        BadFileRow{"ApproveThenHangupStanNotANumber", R"({"steps": [ {"approveThenHangup": {"stan": "555"}} ]})",
                   ": steps[0].approveThenHangup.stan: expected a whole number"},
        BadFileRow{"ApproveThenHangupResetNotABool", R"({"steps": [ {"approveThenHangup": {"stan": 5, "reset": 1}} ]})",
                   ": steps[0].approveThenHangup.reset: expected true or false"},
        BadFileRow{"StepAfterApproveThenHangup", R"({"steps": [ {"expect": "0001"}, {"approveThenHangup": {"stan": 5}}, {"wait": 1} ]})",
                   ": steps[2]: comes after an approveThenHangup step, which closes the connection, and could never play"},
        BadFileRow{"HandlerStepAfterApproveThenHangup",
                   R"({"steps": [], "on": {"0005": [ {"approveThenHangup": {"stan": 5}}, {"send": {"code": "0002"}} ]}})",
                   ": on.0005[1]: comes after an approveThenHangup step, which closes the connection, and could never play"}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- what the log shows --------------------------------------------------

TEST(FrameSummaryTest, CardTrackShowsOnlyItsLengthAndLastFourDigits)
{
    VaroManager frame;
    frame.AddField(1, "0001");
    frame.AddField(2, "00000000");
    frame.AddField(3, "000041");
    frame.AddField(4, std::string("\x00\x00\x00\x00\x00\x00\x29\x40", 8));
    frame.AddField(5, ";4111111111111111=2512101?");
    frame.AddField(6, std::string(1, '\x01'));
    const QString line = describeFrame(frame, cp1257());
    EXPECT_EQ(line, QStringLiteral("0001 pos=\"00000000\" session=000041 4=12.5 5=card[26 bytes, PAN ...1111] 6=01"));
}

TEST(FrameSummaryTest, TypedAnswerIsHidden)
{
    VaroManager frame;
    frame.AddField(1, "0011");
    frame.AddField(11, std::string(1, '\x01'));
    frame.AddField(5, "1234");
    EXPECT_EQ(describeFrame(frame, cp1257()), QStringLiteral("0011 11=01 5=hidden[4 bytes]"));
}

struct MaskRow {
    const char *track;
    const char *shown;
};

class MaskCardTest : public ::testing::TestWithParam<MaskRow> {};

TEST_P(MaskCardTest, NoMoreThanTheLastFourPanDigits)
{
    EXPECT_EQ(maskCard(GetParam().track), QString::fromLatin1(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MaskCardTest,
    ::testing::Values(MaskRow{";4111111111111111=2512?", "card[23 bytes, PAN ...1111]"},
                      MaskRow{"%B5500000000000004^DOE/J^2512?", "card[30 bytes, PAN ...0004]"},
                      MaskRow{"12345", "card[5 bytes]"},
                      MaskRow{"", "card[0 bytes]"}));

TEST(FrameSummaryTest, OtherFieldsAreShownByWhatTheyHold)
{
    VaroManager frame;
    frame.AddField(1, "0012");
    frame.AddField(13, std::string("\x7B\x00\x00\x00", 4));
    frame.AddField(12, frameOf({{1, "a"}, {2, "b"}}));
    frame.AddField(5, "T\xE4name \"x\"");
    frame.AddField(20, std::string("\x00\x01\x02", 3));
    frame.AddField(21, "");
    EXPECT_EQ(describeFrame(frame, cp1257()),
              QStringLiteral("0012 13=int32 123 12=frame[2 fields, 20 bytes] 5=\"Täname \\\"x\\\"\" 20=00 01 02 21=\"\""));
}

} // namespace
