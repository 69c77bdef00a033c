// The simulator speaks the console's own protocol constants: message codes and
// field IDs come from session/VaroMessages.h (VaroMsg::) and the report
// answer's fields from reports/ReportDecoder.h, so the two ends cannot drift
// apart. This header adds what only the simulator needs.
#pragma once

#include "session/VaroMessages.h"

#include <QByteArrayView>
#include <QString>

#include <string>
#include <string_view>

namespace SimProtocol {

// A message code of VaroMsg as the codec's byte string, and as the text the
// scenario model keeps codes in.
inline std::string_view wire(QByteArrayView code)
{
    return std::string_view(code.data(), static_cast<size_t>(code.size()));
}
inline QString codeText(QByteArrayView code)
{
    return QString::fromLatin1(code);
}

// Until a client has sent its first request, messages carry these.
inline constexpr std::string_view kDefaultPos = "00000000";
inline constexpr std::string_view kDefaultSession = "000000";

} // namespace SimProtocol
