// The JSON loader of varo-sim scenarios (the format is in sim/README.md).
#include "Scenario.h"

#include "SimProtocol.h"

#include "common/Bytes.h"

#include "VaroManager.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

using namespace Qt::StringLiterals;

namespace Sim {

namespace {

struct ParseError {
    QString where;
    QString message;
};

[[noreturn]] void fail(const QString &where, const QString &message)
{
    throw ParseError{where, message};
}

QString at(const QString &where, const QString &key)
{
    return where.isEmpty() ? key : where + u'.' + key;
}

QString at(const QString &where, qsizetype index)
{
    return where + u'[' + QString::number(index) + u']';
}

class ScenarioParser {
public:
    ScenarioParser(const CodePage &codePage, QString source)
        : m_codePage(codePage), m_source(std::move(source))
    {
    }

    Scenario parseRoot(const QJsonObject &root)
    {
        checkKeys(root, QString(),
                  {u"name", u"description", u"connections", u"steps", u"listener", u"on", u"endTimeoutMs"});
        Scenario scenario;
        scenario.name = optionalString(root, QString(), u"name");
        scenario.description = optionalString(root, QString(), u"description");
        const bool hasList = root.contains(u"connections");
        const bool hasSteps = root.contains(u"steps") || root.contains(u"listener");
        if (hasList == hasSteps)
            fail(QString(), QStringLiteral("a scenario needs either \"steps\" or \"listener\" (one connection) or \"connections\" (a list of them), not %1")
                                .arg(hasList ? QStringLiteral("both") : QStringLiteral("neither")));
        if (hasSteps) {
            scenario.connections.push_back(parseConnection(root, QString(), m_source));
        } else {
            if (root.contains(u"on") || root.contains(u"endTimeoutMs"))
                fail(QString(), QStringLiteral("\"on\" and \"endTimeoutMs\" belong inside each connection"));
            const QJsonArray list = arrayOf(root, QString(), u"connections");
            if (list.isEmpty())
                fail(u"connections"_s, QStringLiteral("the list is empty"));
            for (qsizetype i = 0; i < list.size(); ++i) {
                const QString where = at(u"connections"_s, i);
                scenario.connections.push_back(
                    parseConnection(objectOf(list[i], where), where, m_source + u'#' + QString::number(i + 1)));
            }
        }
        return scenario;
    }

    QStringList warnings() const { return m_warnings; }

private:
    ConnectionScript parseConnection(const QJsonObject &object, const QString &where, const QString &source)
    {
        if (!where.isEmpty())
            checkKeys(object, where, {u"steps", u"listener", u"on", u"endTimeoutMs"});
        ConnectionScript script;
        script.source = source;
        if (object.contains(u"listener")) {
            for (QStringView key : {u"steps", u"on", u"endTimeoutMs"}) {
                if (object.contains(key))
                    fail(at(where, key.toString()),
                         QStringLiteral("a listener fault plays no connection, so it takes no \"%1\"").arg(key));
            }
            script.listener = parseListenerFault(object.value(u"listener"), at(where, u"listener"_s));
            return script;
        }
        script.steps = parseSteps(arrayOf(object, where, u"steps"), at(where, u"steps"_s));
        if (object.contains(u"on")) {
            const QString onWhere = at(where, u"on"_s);
            const QJsonObject handlers = objectOf(object.value(u"on"), onWhere);
            for (auto it = handlers.begin(); it != handlers.end(); ++it) {
                const QString handlerWhere = onWhere + u'.' + it.key();
                if (it.key().isEmpty())
                    fail(handlerWhere, QStringLiteral("a handler needs a message code"));
                if (!it.value().isArray())
                    fail(handlerWhere, QStringLiteral("expected a list of steps"));
                script.handlers[it.key()] = parseSteps(it.value().toArray(), handlerWhere);
            }
        }
        script.endTimeoutMs = optionalInt(object, where, u"endTimeoutMs", 30000, 0, INT32_MAX);
        return script;
    }

    ListenerFault parseListenerFault(const QJsonValue &value, const QString &where)
    {
        static const QStringList kinds = {u"refuse"_s, u"unanswered"_s, u"resetQueued"_s};
        const QJsonObject object = objectOf(value, where);
        QString kind;
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key() == u"note")
                continue;
            if (!kinds.contains(it.key()))
                fail(where, QStringLiteral("unknown listener fault \"%1\"; a listener fault is one of: %2")
                                .arg(it.key(), kinds.join(u", ")));
            if (!kind.isEmpty())
                fail(where, QStringLiteral("a listener fault is one fault, but this one has both \"%1\" and \"%2\"")
                                .arg(kind, it.key()));
            kind = it.key();
        }
        if (kind.isEmpty())
            fail(where, QStringLiteral("empty listener fault; it is one of: %1").arg(kinds.join(u", ")));
        const QString bodyWhere = at(where, kind);
        const QJsonObject body = objectOf(object.value(kind), bodyWhere);
        ListenerFault fault;
        if (kind == u"refuse")
            fault.kind = ListenerFault::Kind::Refuse;
        else if (kind == u"unanswered")
            fault.kind = ListenerFault::Kind::Unanswered;
        else
            fault.kind = ListenerFault::Kind::ResetQueued;
        checkKeys(body, bodyWhere, {u"forMs"});
        fault.forMs = optionalInt(body, bodyWhere, u"forMs", fault.forMs, 1, INT32_MAX);
        return fault;
    }

    std::vector<Step> parseSteps(const QJsonArray &array, const QString &where)
    {
        std::vector<Step> steps;
        for (qsizetype i = 0; i < array.size(); ++i) {
            const QString stepWhere = at(where, i);
            if (!steps.empty()) {
                const Step &previous = steps.back();
                if (std::holds_alternative<CloseStep>(previous.action))
                    fail(stepWhere, QStringLiteral("comes after a close step and could never play"));
                if (std::holds_alternative<ApproveThenHangupStep>(previous.action))
                    fail(stepWhere, QStringLiteral("comes after an approveThenHangup step, which closes the connection, and could never play"));
                if (isOpenEnded(previous))
                    fail(stepWhere, QStringLiteral("comes after a step that never ends (%1) and could never play")
                                        .arg(previous.label));
            }
            steps.push_back(parseStep(array[i], stepWhere));
        }
        return steps;
    }

    Step parseStep(const QJsonValue &value, const QString &where)
    {
        static const QStringList kinds = {
            u"send"_s, u"sendSplit"_s, u"sendBatch"_s, u"expect"_s, u"wait"_s, u"keepAlive"_s,
            u"silent"_s, u"close"_s, u"garbage"_s, u"endlessFrame"_s, u"answerClose"_s, u"approveThenHangup"_s,
        };
        const QJsonObject object = objectOf(value, where);
        QString kind;
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key() == u"note")
                continue;
            if (!kinds.contains(it.key()))
                fail(where, QStringLiteral("unknown step \"%1\"; a step is one of: %2").arg(it.key(), kinds.join(u", ")));
            if (!kind.isEmpty())
                fail(where, QStringLiteral("a step does one thing, but this one has both \"%1\" and \"%2\"").arg(kind, it.key()));
            kind = it.key();
        }
        if (kind.isEmpty())
            fail(where, QStringLiteral("empty step; a step is one of: %1").arg(kinds.join(u", ")));

        const QJsonValue body = object.value(kind);
        const QString bodyWhere = at(where, kind);
        Step step;
        QString detail;
        if (kind == u"send") {
            SendStep send{parseMessage(body, bodyWhere)};
            detail = QString::fromStdString(send.message.code);
            step.action = std::move(send);
        } else if (kind == u"sendSplit") {
            const QJsonObject split = objectOf(body, bodyWhere);
            checkKeys(split, bodyWhere, {u"message", u"chunkBytes", u"delayMs"});
            SendSplitStep action;
            action.message = parseMessage(split.value(u"message"), at(bodyWhere, u"message"_s));
            action.chunkBytes = optionalInt(split, bodyWhere, u"chunkBytes", 1, 1, INT32_MAX);
            action.delayMs = optionalInt(split, bodyWhere, u"delayMs", 5, 0, INT32_MAX);
            detail = QString::fromStdString(action.message.code);
            step.action = std::move(action);
        } else if (kind == u"sendBatch") {
            if (!body.isArray() || body.toArray().isEmpty())
                fail(bodyWhere, QStringLiteral("expected a non-empty list of messages"));
            SendBatchStep action;
            const QJsonArray list = body.toArray();
            QStringList codes;
            for (qsizetype i = 0; i < list.size(); ++i) {
                action.messages.push_back(parseMessage(list[i], at(bodyWhere, i)));
                codes << QString::fromStdString(action.messages.back().code);
            }
            detail = codes.join(u'+');
            step.action = std::move(action);
        } else if (kind == u"expect") {
            ExpectStep action;
            if (body.isString() || body.isArray()) {
                action.codes = parseCodes(body, bodyWhere);
            } else {
                const QJsonObject expect = objectOf(body, bodyWhere);
                checkKeys(expect, bodyWhere, {u"code", u"timeoutMs", u"keepAliveMs", u"onTimeout"});
                if (!expect.contains(u"code"))
                    fail(bodyWhere, QStringLiteral("\"code\" is missing"));
                action.codes = parseCodes(expect.value(u"code"), at(bodyWhere, u"code"_s));
                action.timeoutMs = optionalInt(expect, bodyWhere, u"timeoutMs", action.timeoutMs, 1, INT32_MAX);
                action.keepAliveMs = optionalInt(expect, bodyWhere, u"keepAliveMs", 0, 1, INT32_MAX);
                const QString onTimeout = optionalString(expect, bodyWhere, u"onTimeout");
                if (!onTimeout.isEmpty() && onTimeout != u"fail" && onTimeout != u"continue")
                    fail(at(bodyWhere, u"onTimeout"_s), QStringLiteral("expected \"fail\" or \"continue\""));
                action.failOnTimeout = onTimeout != u"continue";
            }
            detail = action.codes.join(u'|');
            step.action = std::move(action);
        } else if (kind == u"wait") {
            WaitStep action;
            if (body.isDouble()) {
                action.ms = intValue(body, bodyWhere, 0, INT32_MAX);
            } else {
                const QJsonObject wait = objectOf(body, bodyWhere);
                checkKeys(wait, bodyWhere, {u"ms", u"keepAliveMs"});
                if (!wait.contains(u"ms"))
                    fail(bodyWhere, QStringLiteral("\"ms\" is missing"));
                action.ms = optionalInt(wait, bodyWhere, u"ms", 0, 0, INT32_MAX);
                action.keepAliveMs = optionalInt(wait, bodyWhere, u"keepAliveMs", 0, 1, INT32_MAX);
            }
            detail = QString::number(action.ms) + u" ms"_s;
            step.action = action;
        } else if (kind == u"keepAlive") {
            const QJsonObject keep = objectOf(body, bodyWhere);
            checkKeys(keep, bodyWhere, {u"everyMs", u"forMs", u"count"});
            KeepAliveStep action;
            action.everyMs = optionalInt(keep, bodyWhere, u"everyMs", action.everyMs, 1, INT32_MAX);
            action.forMs = optionalInt(keep, bodyWhere, u"forMs", kForever, 0, INT32_MAX);
            action.count = optionalInt(keep, bodyWhere, u"count", kForever, 0, INT32_MAX);
            detail = u"every "_s + QString::number(action.everyMs) + u" ms"_s;
            step.action = action;
        } else if (kind == u"silent") {
            const QJsonObject silent = objectOf(body, bodyWhere);
            checkKeys(silent, bodyWhere, {u"forMs"});
            step.action = SilentStep{optionalInt(silent, bodyWhere, u"forMs", kForever, 0, INT32_MAX)};
        } else if (kind == u"close") {
            const QJsonObject close = objectOf(body, bodyWhere);
            checkKeys(close, bodyWhere, {u"reset"});
            const QJsonValue reset = close.value(u"reset");
            if (!reset.isUndefined() && !reset.isBool())
                fail(at(bodyWhere, u"reset"_s), QStringLiteral("expected true or false"));
            step.action = CloseStep{reset.toBool(false)};
        } else if (kind == u"garbage") {
            step.action = GarbageStep{parseGarbage(body, bodyWhere)};
            detail = QString::number(std::get<GarbageStep>(step.action).bytes.size()) + u" bytes"_s;
        } else if (kind == u"endlessFrame") {
            const QJsonObject endless = objectOf(body, bodyWhere);
            checkKeys(endless, bodyWhere, {u"announce", u"chunkBytes", u"everyMs", u"forMs"});
            EndlessFrameStep action;
            action.announcedLength = optionalInt(endless, bodyWhere, u"announce", action.announcedLength, 1, INT32_MAX);
            action.chunkBytes = optionalInt(endless, bodyWhere, u"chunkBytes", action.chunkBytes, 1, 64 * 1024 * 1024);
            action.everyMs = optionalInt(endless, bodyWhere, u"everyMs", action.everyMs, 0, INT32_MAX);
            action.forMs = optionalInt(endless, bodyWhere, u"forMs", kForever, 0, INT32_MAX);
            detail = u"announcing "_s + QString::number(action.announcedLength) + u" bytes"_s;
            step.action = action;
        } else if (kind == u"approveThenHangup") {
            const QJsonObject hangup = objectOf(body, bodyWhere);
            checkKeys(hangup, bodyWhere, {u"stan", u"reset"});
            if (!hangup.contains(u"stan"))
                fail(bodyWhere, QStringLiteral("\"stan\" is missing: the STAN of the approval that is never sent"));
            ApproveThenHangupStep action;
            action.stan = static_cast<int32_t>(intValue(hangup.value(u"stan"), at(bodyWhere, u"stan"_s), INT32_MIN, INT32_MAX));
            const QJsonValue reset = hangup.value(u"reset");
            if (!reset.isUndefined() && !reset.isBool())
                fail(at(bodyWhere, u"reset"_s), QStringLiteral("expected true or false"));
            action.reset = reset.toBool(false);
            detail = u"STAN "_s + QString::number(action.stan);
            step.action = action;
        } else {
            const QJsonObject answer = objectOf(body, bodyWhere);
            checkKeys(answer, bodyWhere, {u"timeoutMs"});
            step.action = AnswerCloseStep{optionalInt(answer, bodyWhere, u"timeoutMs", 30000, 1, INT32_MAX)};
        }
        step.label = where + u' ' + kind;
        if (!detail.isEmpty())
            step.label += u' ' + detail;
        return step;
    }

    QStringList parseCodes(const QJsonValue &value, const QString &where)
    {
        QStringList codes;
        if (value.isString()) {
            codes << value.toString();
        } else if (value.isArray()) {
            const QJsonArray list = value.toArray();
            for (qsizetype i = 0; i < list.size(); ++i) {
                if (!list[i].isString())
                    fail(at(where, i), QStringLiteral("expected a message code such as \"0010\""));
                codes << list[i].toString();
            }
        }
        codes.removeAll(QString());
        if (codes.isEmpty())
            fail(where, QStringLiteral("expected a message code such as \"0010\", or a list of them"));
        return codes;
    }

    MessageSpec parseMessage(const QJsonValue &value, const QString &where)
    {
        const QJsonObject object = objectOf(value, where);
        checkKeys(object, where, {u"code", u"pos", u"session", u"sessionOffset", u"fields", u"check", u"report"});
        MessageSpec message;
        const QJsonValue code = object.value(u"code");
        if (!code.isString() || code.toString().isEmpty())
            fail(at(where, u"code"_s), QStringLiteral("every message needs its code, such as \"0002\""));
        message.code = encodeText(code.toString(), at(where, u"code"_s));
        message.pos = parseAddress(object, where, u"pos");
        message.session = parseAddress(object, where, u"session");
        message.sessionOffset = optionalInt(object, where, u"sessionOffset", 0, -999999, 999999);
        if (message.sessionOffset != 0 && message.session.mode != AddressSpec::Mode::Client)
            fail(at(where, u"sessionOffset"_s), QStringLiteral("moves the client's session number, so it cannot go with \"session\""));
        message.body = parseFrameBody(object, where);
        if (object.contains(u"report")) {
            const QString reportWhere = at(where, u"report"_s);
            auto report = std::make_shared<ReportSpec>(parseReport(object.value(u"report"), reportWhere));
            for (qsizetype i = 0; i < qsizetype(message.body.fields.size()); ++i) {
                const int16_t id = message.body.fields[size_t(i)].id;
                if (isReportFieldId(*report, id))
                    fail(at(at(where, u"fields"_s), i),
                         QStringLiteral("field %1 is one the report makes (10, 6 and 100 ... %2)")
                             .arg(id)
                             .arg(ReportField::kRecordBase + report->records));
            }
            message.report = std::move(report);
        }
        return message;
    }

    // {"records": 300, "seed": 7, "status": 0, "count": 300, "kinds": ["approved", ...]}
    ReportSpec parseReport(const QJsonValue &value, const QString &where)
    {
        const QJsonObject object = objectOf(value, where);
        checkKeys(object, where, {u"records", u"seed", u"status", u"count", u"kinds", u"given"});
        if (!object.contains(u"records"))
            fail(where, QStringLiteral("\"records\" is missing: how many records the answer carries"));
        ReportSpec report;
        report.records = optionalInt(object, where, u"records", 0, 0, ReportSpec::kMaxRecords);
        if (object.contains(u"given")) {
            const QString givenWhere = at(where, u"given"_s);
            const QJsonArray given = arrayOf(object, where, u"given");
            for (qsizetype i = 0; i < given.size(); ++i)
                report.given.push_back(parseGivenRecord(given[i], at(givenWhere, i)));
        }
        report.seed = static_cast<uint32_t>(optionalInt(object, where, u"seed", 1, 0, INT32_MAX));
        report.status = optionalInt(object, where, u"status", 0, INT32_MIN, INT32_MAX);
        if (object.contains(u"count"))
            report.count = optionalInt(object, where, u"count", 0, INT32_MIN, INT32_MAX);
        if (object.contains(u"kinds")) {
            const QString kindsWhere = at(where, u"kinds"_s);
            const QJsonArray kinds = arrayOf(object, where, u"kinds");
            if (kinds.isEmpty())
                fail(kindsWhere, QStringLiteral("the list is empty; leave it out for every kind"));
            for (qsizetype i = 0; i < kinds.size(); ++i) {
                const auto kind = kinds[i].isString() ? recordKindFromName(kinds[i].toString()) : std::nullopt;
                if (!kind) {
                    QStringList names;
                    for (const RecordKind known : allRecordKinds())
                        names << recordKindName(known);
                    fail(at(kindsWhere, i), QStringLiteral("unknown record kind; expected one of: %1").arg(names.join(u", ")));
                }
                report.kinds.push_back(*kind);
            }
        }
        return report;
    }

    // {"terminal": "T2", "offsetSeconds": -60, "stan": 901, "amount": 12.5, "code": 0, "damaged": false}
    GivenRecord parseGivenRecord(const QJsonValue &value, const QString &where)
    {
        const QJsonObject object = objectOf(value, where);
        checkKeys(object, where, {u"terminal", u"offsetSeconds", u"stan", u"amount", u"code", u"damaged"});
        GivenRecord record;
        if (object.contains(u"terminal")) {
            if (!object.value(u"terminal").isString())
                fail(at(where, u"terminal"_s), QStringLiteral("expected a text"));
            record.terminal = encodeText(object.value(u"terminal").toString(), at(where, u"terminal"_s));
        }
        record.offsetSeconds = optionalInt(object, where, u"offsetSeconds", 0, -86400 * 7, 86400 * 7);
        record.stan = optionalInt(object, where, u"stan", 0, INT32_MIN, INT32_MAX);
        record.code = optionalInt(object, where, u"code", 0, INT32_MIN, INT32_MAX);
        const QJsonValue amount = object.value(u"amount");
        if (!amount.isDouble())
            fail(at(where, u"amount"_s), QStringLiteral("every given record needs its amount, such as 12.5"));
        record.amount = amount.toDouble();
        const QJsonValue damaged = object.value(u"damaged");
        if (!damaged.isUndefined() && !damaged.isBool())
            fail(at(where, u"damaged"_s), QStringLiteral("expected true or false"));
        record.damaged = damaged.toBool(false);
        return record;
    }

    AddressSpec parseAddress(const QJsonObject &object, const QString &where, QStringView key)
    {
        AddressSpec address;
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return address;
        if (value.isNull()) {
            address.mode = AddressSpec::Mode::Omit;
        } else if (value.isString()) {
            address.mode = AddressSpec::Mode::Literal;
            address.literal = encodeText(value.toString(), at(where, key.toString()));
        } else {
            fail(at(where, key.toString()), QStringLiteral("expected a text, or null to leave the field out"));
        }
        return address;
    }

    // "fields" and "check" of a message or a nested frame.
    FrameSpec parseFrameBody(const QJsonObject &object, const QString &where)
    {
        FrameSpec frame;
        const QString check = optionalString(object, where, u"check");
        if (check.isEmpty() || check == u"xor")
            frame.check = CheckByte::Xor;
        else if (check == u"comma")
            frame.check = CheckByte::Comma;
        else if (check == u"wrong")
            frame.check = CheckByte::Wrong;
        else
            fail(at(where, u"check"_s), QStringLiteral("expected \"xor\", \"comma\" or \"wrong\""));
        if (!object.contains(u"fields"))
            return frame;
        const QString fieldsWhere = at(where, u"fields"_s);
        const QJsonArray fields = arrayOf(object, where, u"fields");
        QSet<int> seen;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const QString fieldWhere = at(fieldsWhere, i);
            FieldSpec field = parseField(fields[i], fieldWhere);
            if (seen.contains(field.id))
                fail(fieldWhere, QStringLiteral("field %1 is listed twice; a frame holds each ID once").arg(field.id));
            seen.insert(field.id);
            frame.fields.push_back(std::move(field));
        }
        return frame;
    }

    FieldSpec parseField(const QJsonValue &value, const QString &where)
    {
        static const QStringList kinds = {
            u"text"_s, u"hex"_s, u"int32"_s, u"double"_s, u"byte"_s, u"receipt"_s, u"frame"_s, u"echo"_s,
        };
        const QJsonObject object = objectOf(value, where);
        FieldSpec field;
        if (!object.contains(u"id"))
            fail(where, QStringLiteral("\"id\" is missing"));
        field.id = static_cast<int16_t>(intValue(object.value(u"id"), at(where, u"id"_s), INT16_MIN, INT16_MAX));
        QString kind;
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key() == u"id" || it.key() == u"note")
                continue;
            if (!kinds.contains(it.key()))
                fail(where, QStringLiteral("unknown value kind \"%1\"; a field has one of: %2").arg(it.key(), kinds.join(u", ")));
            if (!kind.isEmpty())
                fail(where, QStringLiteral("a field has one value, but this one has both \"%1\" and \"%2\"").arg(kind, it.key()));
            kind = it.key();
        }
        if (kind.isEmpty())
            fail(where, QStringLiteral("the field has no value; give one of: %1").arg(kinds.join(u", ")));

        const QJsonValue body = object.value(kind);
        const QString bodyWhere = at(where, kind);
        if (kind == u"text") {
            if (!body.isString())
                fail(bodyWhere, QStringLiteral("expected a text"));
            field.value = encodeText(body.toString(), bodyWhere);
        } else if (kind == u"hex") {
            if (!body.isString())
                fail(bodyWhere, QStringLiteral("expected hex digits such as \"01 2c ff\""));
            field.value = parseHex(body.toString(), bodyWhere);
        } else if (kind == u"int32") {
            field.value = Bytes::int32Field(static_cast<int32_t>(intValue(body, bodyWhere, INT32_MIN, INT32_MAX)));
        } else if (kind == u"double") {
            if (!body.isDouble())
                fail(bodyWhere, QStringLiteral("expected a number"));
            field.value = Bytes::doubleField(body.toDouble());
        } else if (kind == u"byte") {
            field.value = std::string(1, static_cast<char>(intValue(body, bodyWhere, 0, 255)));
        } else if (kind == u"receipt") {
            // A receipt is a nested frame whose fields 1..n are its lines.
            if (!body.isArray())
                fail(bodyWhere, QStringLiteral("expected a list of receipt lines"));
            const QJsonArray lines = body.toArray();
            if (lines.size() > INT16_MAX)
                fail(bodyWhere, QStringLiteral("too many lines"));
            auto frame = std::make_shared<FrameSpec>();
            for (qsizetype i = 0; i < lines.size(); ++i) {
                if (!lines[i].isString())
                    fail(at(bodyWhere, i), QStringLiteral("expected a text line"));
                FieldSpec line;
                line.id = static_cast<int16_t>(i + 1);
                line.value.emplace<std::string>(encodeText(lines[i].toString(), at(bodyWhere, i)));
                frame->fields.push_back(std::move(line));
            }
            field.value = std::move(frame);
        } else if (kind == u"frame") {
            const QJsonObject nested = objectOf(body, bodyWhere);
            checkKeys(nested, bodyWhere, {u"fields", u"check"});
            field.value = std::make_shared<FrameSpec>(parseFrameBody(nested, bodyWhere));
        } else {
            field.value = FieldSpec::Echo{static_cast<int16_t>(intValue(body, bodyWhere, INT16_MIN, INT16_MAX))};
        }
        return field;
    }

    std::string parseGarbage(const QJsonValue &value, const QString &where)
    {
        const QJsonObject object = objectOf(value, where);
        checkKeys(object, where, {u"hex", u"text", u"random", u"seed"});
        const int given = int(object.contains(u"hex")) + int(object.contains(u"text")) + int(object.contains(u"random"));
        if (given != 1)
            fail(where, QStringLiteral("give exactly one of \"hex\", \"text\" or \"random\""));
        if (object.contains(u"seed") && !object.contains(u"random"))
            fail(at(where, u"seed"_s), QStringLiteral("goes only with \"random\""));
        if (object.contains(u"hex")) {
            const QJsonValue hex = object.value(u"hex");
            if (!hex.isString())
                fail(at(where, u"hex"_s), QStringLiteral("expected hex digits"));
            return parseHex(hex.toString(), at(where, u"hex"_s));
        }
        if (object.contains(u"text")) {
            const QJsonValue text = object.value(u"text");
            if (!text.isString())
                fail(at(where, u"text"_s), QStringLiteral("expected a text"));
            return encodeText(text.toString(), at(where, u"text"_s));
        }
        const int count = intValue(object.value(u"random"), at(where, u"random"_s), 1, 64 * 1024 * 1024);
        const auto seed = static_cast<uint32_t>(optionalInt(object, where, u"seed", 1, 0, INT32_MAX));
        // mt19937's sequence is fixed by the standard, so a seed gives the same
        // bytes everywhere. The first byte is never a start byte: garbage must
        // not be taken for a frame.
        std::mt19937 generator(seed);
        std::string bytes(static_cast<size_t>(count), '\0');
        for (char &byte : bytes)
            byte = static_cast<char>(generator() & 0xFF);
        if (static_cast<unsigned char>(bytes[0]) == 0x01)
            bytes[0] = static_cast<char>(0xFF);
        return bytes;
    }

    std::string parseHex(const QString &text, const QString &where)
    {
        QByteArray digits;
        for (const QChar c : text) {
            if (c.isSpace() || c == u':' || c == u'-')
                continue;
            if (!isHexDigit(c))
                fail(where, QStringLiteral("\"%1\" is not a hex digit").arg(c));
            digits.append(static_cast<char>(c.unicode()));
        }
        if (digits.size() % 2 != 0)
            fail(where, QStringLiteral("odd number of hex digits"));
        return Bytes::toStd(QByteArray::fromHex(digits));
    }

    static bool isHexDigit(QChar c)
    {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    }

    std::string encodeText(const QString &text, const QString &where)
    {
        const QByteArray bytes = m_codePage.encode(text);
        if (m_codePage.decode(bytes) != text)
            m_warnings << QStringLiteral("%1: %2: some characters are not in %3 and go out as '?'")
                              .arg(m_source, where, QString::fromLatin1(m_codePage.name()));
        return Bytes::toStd(bytes);
    }

    // ---- JSON access with a path for every error ----

    static void checkKeys(const QJsonObject &object, const QString &where, std::initializer_list<QStringView> allowed)
    {
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key() == u"note")
                continue;
            if (std::find(allowed.begin(), allowed.end(), QStringView(it.key())) == allowed.end()) {
                QStringList names;
                for (QStringView name : allowed)
                    names << name.toString();
                fail(at(where, it.key()), QStringLiteral("unknown key; expected one of: %1").arg(names.join(u", ")));
            }
        }
    }

    static QJsonObject objectOf(const QJsonValue &value, const QString &where)
    {
        if (!value.isObject())
            fail(where, QStringLiteral("expected an object { ... }"));
        return value.toObject();
    }

    static QJsonArray arrayOf(const QJsonObject &object, const QString &where, QStringView key)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            fail(where, QStringLiteral("\"%1\" is missing").arg(key));
        if (!value.isArray())
            fail(at(where, key.toString()), QStringLiteral("expected a list [ ... ]"));
        return value.toArray();
    }

    static QString optionalString(const QJsonObject &object, const QString &where, QStringView key)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return {};
        if (!value.isString())
            fail(at(where, key.toString()), QStringLiteral("expected a text"));
        return value.toString();
    }

    static int intValue(const QJsonValue &value, const QString &where, qint64 min, qint64 max)
    {
        if (!value.isDouble())
            fail(where, QStringLiteral("expected a whole number"));
        const double number = value.toDouble();
        if (std::floor(number) != number)
            fail(where, QStringLiteral("expected a whole number, not %1").arg(number));
        if (number < double(min) || number > double(max))
            fail(where, QStringLiteral("%1 is outside %2..%3").arg(number, 0, 'f', 0).arg(min).arg(max));
        return static_cast<int>(number);
    }

    static int optionalInt(const QJsonObject &object, const QString &where, QStringView key, int fallback,
                           qint64 min, qint64 max)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            return fallback;
        return intValue(value, at(where, key.toString()), min, max);
    }

    CodePage m_codePage;
    QString m_source;
    QStringList m_warnings;
};

// 1-based line and column of a byte offset, for JSON syntax errors.
QString position(const QByteArray &json, qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, json.size());
    qsizetype line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < offset; ++i) {
        if (json[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return QString::number(line) + u':' + QString::number(offset - lineStart + 1);
}

} // namespace

LoadResult loadScenarioJson(const QByteArray &json, const QString &sourceName, const CodePage &codePage)
{
    LoadResult result;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = sourceName + u':' + position(json, parseError.offset) + u": "_s + parseError.errorString();
        return result;
    }
    if (!document.isObject()) {
        result.error = sourceName + u": the file must hold one JSON object { ... }"_s;
        return result;
    }
    ScenarioParser parser(codePage, sourceName);
    try {
        result.scenario = parser.parseRoot(document.object());
    } catch (const ParseError &error) {
        result.error = sourceName + u": "_s + (error.where.isEmpty() ? QString() : error.where + u": "_s) + error.message;
        return result;
    }
    result.scenario->path = sourceName;
    if (result.scenario->name.isEmpty())
        result.scenario->name = sourceName;
    result.warnings = parser.warnings();
    return result;
}

LoadResult loadScenarioFile(const QString &path, const CodePage &codePage)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        LoadResult result;
        result.error = path + u": cannot read: "_s + file.errorString();
        return result;
    }
    return loadScenarioJson(file.readAll(), path, codePage);
}

} // namespace Sim
