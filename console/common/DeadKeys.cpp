#include "common/DeadKeys.h"

#include <Qt>

QChar DeadKeySpacingCharacter(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Dead_Grave: return QChar(u'`');
    case Qt::Key_Dead_Acute: return QChar(u'\u00B4');
    case Qt::Key_Dead_Circumflex: return QChar(u'^');
    case Qt::Key_Dead_Tilde: return QChar(u'~');
    case Qt::Key_Dead_Macron: return QChar(u'\u00AF');
    case Qt::Key_Dead_Breve: return QChar(u'\u02D8');
    case Qt::Key_Dead_Abovedot: return QChar(u'\u02D9');
    case Qt::Key_Dead_Diaeresis: return QChar(u'\u00A8');
    case Qt::Key_Dead_Abovering: return QChar(u'\u02DA');
    case Qt::Key_Dead_Doubleacute: return QChar(u'\u02DD');
    case Qt::Key_Dead_Caron: return QChar(u'\u02C7');
    case Qt::Key_Dead_Cedilla: return QChar(u'\u00B8');
    case Qt::Key_Dead_Ogonek: return QChar(u'\u02DB');
    default: return QChar();
    }
}
