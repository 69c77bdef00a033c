// ReportRequest: a report the cashier asked for (or the check of a payment
// in doubt asks for), as one value: the period, how the document groups and
// filters its rows, and the period as the "0019" request and the document's
// heading carry it.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QtGlobal>

class PaymentSession;

struct ReportRequest {
    QDate from;
    QDate to;
    // The report column the document groups by: 0 none, 1 terminal, 2 date,
    // 5 card, 6 response code, 11 sent / not sent.
    qint16 groupColumn = 0;
    bool onlyApproved = false;

    // The report dialog's choice: listPosition is the position in its group
    // list (0 none, 1 terminal, 2 date, 3 card, 4 response code, 5 sent);
    // onlyApproved is non-zero for only approved transactions.
    static ReportRequest ofDialog(const QDate &from, const QDate &to, qint16 listPosition, quint8 onlyApproved);
    // Every record of the days, ungrouped, whatever its code, in arrival
    // order: what the check of a payment in doubt reads.
    static ReportRequest everyRecord(const QDate &from, const QDate &to);

    // The period's first and last second: YYMMDD + "000000" and YYMMDD +
    // "235959".
    QByteArray fromStamp() const;
    QByteArray toStamp() const;
    // "Periood: 07.04.2005 00:00:00 - 07.04.2005 23:59:59"
    QString periodText() const;

    // Begins the session that asks for it (PaymentSession::PrepareReport);
    // check marks the session's answer as the check's.
    bool startOn(PaymentSession &session, bool check = false) const;
};
