// The report's own texts: status line, messages, document captions and
// labels. What the cashier reads on the screen is in the cashier's language;
// what the document carries is drawn as it stands here, whatever the
// language, so a report reads the same from every console.
#pragma once

#include "common/BoxStyle.h"
#include <QCoreApplication>
#include <QString>

namespace ReportText {

// Status line (Text10) while an answer becomes a document.
inline QString decoding() { return QCoreApplication::translate("ReportText", "Sõnumi dekodeerimine..."); }
inline QString building(int percent)
{
    return QCoreApplication::translate("ReportText", "Aruanne dokumendi koostamine: %1%").arg(percent);
}
inline QString saving() { return QCoreApplication::translate("ReportText", "Aruanne dokumendi salvestamine..."); }

// Messages (kind 0, style 16): the writer's error text as the reason; an
// answer the console cannot use gets the same message with answerRejected().
inline QString buildFailed(const QString &reason)
{
    return QCoreApplication::translate("ReportText", "Aruanne koostamine ebaõnnestus: %1").arg(reason);
}
inline QString answerRejected() { return QCoreApplication::translate("ReportText", "maksesüsteemi vastus on vigane."); }
inline QString showFailed() { return QCoreApplication::translate("ReportText", "Aruande kuvamine ebaõnnestus."); }

// A report or special command asked for while another session runs (kind 0,
// style 48: warning icon, "OK"); the dialog stays open.
inline QString previousRunning() { return QCoreApplication::translate("ReportText", "Eelmine toiming on veel pooleli."); }
inline constexpr qint32 kPreviousRunningStyle = BoxStyle::WarningOk;

// Document: never translated.
inline const QString kTitle = QStringLiteral("Maksetehingute aruanne");
inline const QString kLegend = QStringLiteral("E - Jootraha lisatud, T - Tühistamine, B - Broneering");
inline const QString kCodeTitlePrefix = QStringLiteral("Kood: ");
inline const QString kSentTitle = QStringLiteral("Saadetud");
inline const QString kNotSentTitle = QStringLiteral("Saatmata");
inline const QString kUnknownIssuer = QStringLiteral("Tundmatu väljaandja");

inline const QString kGroupSent = QStringLiteral("Saadetud:");
inline const QString kGroupNotSent = QStringLiteral("Saatmata:");
inline const QString kGroupReserved = QStringLiteral("Broneeritud:");
inline const QString kGroupTotal = QStringLiteral("Kokku:");
inline const QString kGrandSent = QStringLiteral("Saadetud summa:");
inline const QString kGrandNotSent = QStringLiteral("Saatmata summa:");
inline const QString kGrandReserved = QStringLiteral("Broneeritud summa:");
inline const QString kGrandTotal = QStringLiteral("Summa kokku:");

// Flag letters of column 10 once a row is printed.
inline const QString kFlagCancelled = QStringLiteral("T");
inline const QString kFlagTip = QStringLiteral("E");
inline const QString kFlagBooking = QStringLiteral("B");

// Transaction-log checkpoints of the document builder.
inline const QString kCheckpoint1 = QStringLiteral("Checkpoint1");
inline const QString kCheckpoint2 = QStringLiteral("Checkpoint2");
inline const QString kCheckpoint3 = QStringLiteral("Checkpoint3");
inline const QString kCheckpoint4 = QStringLiteral("Checkpoint4");

} // namespace ReportText
