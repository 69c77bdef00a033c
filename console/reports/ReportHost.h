// ReportHost: what the report code needs of the main window and its session
// while it decodes an answer and builds the document. Form1 supplies one
// (SessionReportHost adapts PaymentSession and SessionHost); tests supply a
// recording fake, so decoding and layout run without widgets or sockets.
//
// Every call happens on the user-interface thread. processEvents lets other
// handlers run in the middle of a report; they may call into the session but
// never into the report being built.
#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

class ReportHost {
public:
    virtual ~ReportHost() = default;

    // The stored request (PrepareReport and SendReportRequest).
    virtual bool reportOnlyApproved() const = 0;
    virtual qint16 reportGroupColumn() const = 0;   // 0, 1, 2, 5, 6 or 11
    virtual QString reportPeriodText() const = 0;

    // The answer is in hand: nothing more is awaited from the server (the
    // connection closes and the time-out stops), and the cancel button sends
    // nothing from now on (PaymentSession::closeForReport).
    virtual void closeForReport() = 0;

    // Text10, the status line.
    virtual void setStatusLine(const QString &text) = 0;
    // Lets pending window, timer and socket events run.
    virtual void processEvents() = 0;
    // One event entry in the transaction log.
    virtual void LogEvent(const QString &text) = 0;
    // A prompt of the box stack; the report shows kind 0, style 16.
    virtual void OpenBox(quint8 kind, const QString &text, qint32 style) = 0;

    // Hands the saved report to a viewer (see OpenDocument) without waiting
    // for it. When the viewer cannot be had (a missing file, a program that
    // cannot be started, one that exits reporting failure) failed runs once:
    // at once or later, on the user-interface thread, with a host to use
    // then; this one may be gone by that time, so failed keeps no reference
    // to it. A console that has ended calls nothing.
    using OpenFailed = std::function<void(ReportHost &host)>;
    virtual void openDocument(const QString &path, OpenFailed failed) = 0;

    // The entry fields of the transaction tabs and savedAmountText emptied.
    virtual void clearEntryFields() = 0;
    // Ends the session and shows the idle window.
    virtual void ReturnToIdle() = 0;
};
