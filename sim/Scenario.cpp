#include "Scenario.h"

#include <variant>

namespace Sim {

QString listenerFaultName(ListenerFault::Kind kind)
{
    switch (kind) {
    case ListenerFault::Kind::Refuse: return QStringLiteral("refuse");
    case ListenerFault::Kind::Unanswered: return QStringLiteral("unanswered");
    case ListenerFault::Kind::ResetQueued: return QStringLiteral("resetQueued");
    }
    return {};
}

bool isOpenEnded(const Step &step)
{
    if (const auto *silent = std::get_if<SilentStep>(&step.action))
        return silent->forMs == kForever;
    if (const auto *keepAlive = std::get_if<KeepAliveStep>(&step.action))
        return keepAlive->forMs == kForever && keepAlive->count == kForever;
    if (const auto *endless = std::get_if<EndlessFrameStep>(&step.action))
        return endless->forMs == kForever;
    return false;
}

} // namespace Sim
