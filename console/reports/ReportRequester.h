// ReportRequester: the main window's public operations that the report and
// special-operations dialogs call. Form1 implements it:
//   PrepareReport      returns at once while a keystroke burst is timed
//                      (Timer3), else PaymentSession::PrepareReport;
//   PreparePOSCommand  PaymentSession::PreparePOSCommand.
#pragma once

#include <QDate>
#include <QtGlobal>

class ReportRequester {
public:
    virtual ~ReportRequester() = default;

    // ReportFrom, ReportTo: only the calendar day counts. ReportGroup: the
    // list position of the grouping list (not yet the group code); -1 when
    // nothing is selected. ReportOnlyApproved: non-zero = only approved.
    virtual void PrepareReport(const QDate &ReportFrom, const QDate &ReportTo, qint16 ReportGroup,
                               quint8 ReportOnlyApproved) = 0;
    // CommandID: 0, 1 or 2, the byte sent in field 7 of "0026".
    virtual void PreparePOSCommand(quint8 CommandID) = 0;
};
