// ReportRequester: the main window's public operations that the report and
// special-operations dialogs call. Form1 implements it:
//   PrepareReport      returns at once while a keystroke burst is timed
//                      (Timer3), else PaymentSession::PrepareReport;
//   PreparePOSCommand  PaymentSession::PreparePOSCommand;
//   OpenBox            the window's prompt box stack.
// A request refused because another session runs is the dialog's to tell
// (see Form3, Form4); the window adds no message of its own.
#pragma once

#include <QDate>
#include <QString>
#include <QtGlobal>

class ReportRequester {
public:
    enum class Outcome {
        Started,          // the session was begun for the request
        DroppedInBurst,   // PrepareReport during a keystroke burst: nothing done
        SessionRunning,   // another session runs: nothing done
    };

    virtual ~ReportRequester() = default;

    // ReportFrom, ReportTo: only the calendar day counts. ReportGroup: the
    // list position of the grouping list (not yet the group code); -1 when
    // nothing is selected. ReportOnlyApproved: non-zero = only approved.
    virtual Outcome PrepareReport(const QDate &ReportFrom, const QDate &ReportTo, qint16 ReportGroup,
                                  quint8 ReportOnlyApproved) = 0;
    // CommandID: 0, 1 or 2, the byte sent in field 7 of "0026". Never
    // DroppedInBurst.
    virtual Outcome PreparePOSCommand(quint8 CommandID) = 0;

    // A prompt of the window's box stack: kind 0 message, style as the
    // message-box convention (48: warning icon, "OK").
    virtual void OpenBox(quint8 kind, const QString &text, qint32 style) = 0;
};
