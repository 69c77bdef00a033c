#include "FrameSpec.h"

#include "ReportAnswer.h"

#include "session/VaroMessages.h"

#include "VaroManager.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace Sim {

namespace {

// Adds one listed field; replace is for fields that may stand in for the
// default fields 1 to 3.
void addField(VaroManager &frame, const FieldSpec &field, const SendContext &context, bool replace)
{
    std::optional<std::string> data;
    if (const auto *bytes = std::get_if<std::string>(&field.value)) {
        data = *bytes;
    } else if (const auto *echo = std::get_if<FieldSpec::Echo>(&field.value)) {
        if (context.lastRequest && context.lastRequest->FieldExists(echo->sourceId))
            data = context.lastRequest->GetFieldData(echo->sourceId);
    } else {
        data = buildFrame(*std::get<std::shared_ptr<FrameSpec>>(field.value), context);
    }
    if (!data)
        return;
    if (replace)
        frame.UpdateField(field.id, *data);
    else
        frame.AddField(field.id, *data);
}

} // namespace

std::string offsetSession(const std::string &session, int offset)
{
    constexpr long long kSessionRange = 1000000;
    long long value = 0;
    const bool numeric = !session.empty() && session.size() <= 9
        && std::all_of(session.begin(), session.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (numeric)
        value = std::stoll(session);
    value = ((value + offset) % kSessionRange + kSessionRange) % kSessionRange;
    char text[8];
    std::snprintf(text, sizeof text, "%06lld", value);
    return text;
}

std::string buildFrame(const FrameSpec &nested, const SendContext &context)
{
    VaroManager frame;
    for (const FieldSpec &field : nested.fields)
        addField(frame, field, context, false);
    return finishFrame(frame, nested.check);
}

std::string buildFrame(const MessageSpec &message, const SendContext &context)
{
    VaroManager frame;
    frame.AddField(VaroMsg::kFieldCode, message.code);
    switch (message.pos.mode) {
    case AddressSpec::Mode::Client: frame.AddField(VaroMsg::kFieldPos, context.pos); break;
    case AddressSpec::Mode::Literal: frame.AddField(VaroMsg::kFieldPos, message.pos.literal); break;
    case AddressSpec::Mode::Omit: break;
    }
    switch (message.session.mode) {
    case AddressSpec::Mode::Client:
        frame.AddField(VaroMsg::kFieldSession,
                       message.sessionOffset == 0 ? context.session
                                                  : offsetSession(context.session, message.sessionOffset));
        break;
    case AddressSpec::Mode::Literal: frame.AddField(VaroMsg::kFieldSession, message.session.literal); break;
    case AddressSpec::Mode::Omit: break;
    }
    for (const FieldSpec &field : message.body.fields) {
        const bool addressing = field.id >= VaroMsg::kFieldCode && field.id <= VaroMsg::kFieldSession;
        addField(frame, field, context, addressing);
    }
    if (message.report)
        appendReportFields(frame, *message.report, context.lastRequest, context.ledger);
    return finishFrame(frame, message.body.check);
}

} // namespace Sim
