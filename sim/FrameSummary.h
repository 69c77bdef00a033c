// One log line's worth of a Varo message, safe to print: card tracks and
// typed answers are never shown, only their length (and a card number's last
// four digits).
#pragma once

#include "common/CodePage.h"

#include <QString>

#include <string>

class VaroManager;

namespace Sim {

// "0001 pos=\"00000000\" session=000041 4=12.5 5=card[37 bytes, PAN ...1111] 6=01"
QString describeFrame(const VaroManager &frame, const CodePage &codePage);

// "card[37 bytes, PAN ...1111]"; the PAN is the first run of 12 or more digits.
QString maskCard(const std::string &track);

} // namespace Sim
