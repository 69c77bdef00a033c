#include "widgets/TrackLineEdit.h"

#include "common/DeadKeys.h"

#include <QKeyEvent>

QVariant TrackLineEdit::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // The platform's compose step asks this before each key it may hold back.
    if (query == Qt::ImEnabled && isBurstOpen())
        return false;
    return QLineEdit::inputMethodQuery(query);
}

void TrackLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->text().isEmpty() && !isReadOnly() && isBurstOpen()) {
        const QChar spacing = DeadKeySpacingCharacter(event->key());
        if (!spacing.isNull()) {
            insert(QString(spacing));
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}
