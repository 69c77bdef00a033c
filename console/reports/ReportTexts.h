// The report's own texts: status line, messages, document captions and
// labels. They are shown or drawn as they stand here.
#pragma once

#include "common/BoxStyle.h"
#include <QString>

namespace ReportText {

// Status line (Text10) while an answer becomes a document.
inline const QString kDecoding = QStringLiteral("Sõnumi dekodeerimine...");
inline const QString kBuildingPrefix = QStringLiteral("Aruanne dokumendi koostamine: ");   // + percent + "%"
inline const QString kSaving = QStringLiteral("Aruanne dokumendi salvestamine...");

// Messages (kind 0, style 16). kBuildFailedPrefix is followed by the
// writer's error text; an answer the console cannot use gets the same
// message with kAnswerRejected as the reason.
inline const QString kBuildFailedPrefix = QStringLiteral("Aruanne koostamine ebaõnnestus: ");
inline const QString kAnswerRejected = QStringLiteral("maksesüsteemi vastus on vigane.");
inline const QString kShowFailed = QStringLiteral("Aruande kuvamine ebaõnnestus.");

// A report or special command asked for while another session runs (kind 0,
// style 48: warning icon, "OK"); the dialog stays open.
inline const QString kPreviousRunning = QStringLiteral("Eelmine toiming on veel pooleli.");
inline constexpr qint32 kPreviousRunningStyle = BoxStyle::WarningOk;

// Document.
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
