// Dead keys as a card reader types them.
#pragma once

#include <QChar>

// The spacing character a dead key stands for in a card track ("´" for
// Qt::Key_Dead_Acute, "`" for the grave, "^", "~", "¨", "ˇ" …); a null
// character for any other key. A card track never holds composed letters, so
// inside a burst a dead key is the character printed on its key.
QChar DeadKeySpacingCharacter(int qtKey);

