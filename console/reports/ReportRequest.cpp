#include "reports/ReportRequest.h"

#include "common/Helpers.h"
#include "session/PaymentSession.h"

namespace {

// The report dialog's list position to the report column it groups by.
qint16 groupColumnOfListPosition(qint16 position)
{
    switch (position) {
    case 1: return 1;    // terminal
    case 2: return 2;    // date
    case 3: return 5;    // card
    case 4: return 6;    // response code
    case 5: return 11;   // sent / not sent
    default: return 0;   // none
    }
}

} // namespace

ReportRequest ReportRequest::ofDialog(const QDate &from, const QDate &to, qint16 listPosition, quint8 onlyApproved)
{
    return {from, to, groupColumnOfListPosition(listPosition), onlyApproved != 0};
}

ReportRequest ReportRequest::everyRecord(const QDate &from, const QDate &to)
{
    return {from, to, 0, false};
}

QByteArray ReportRequest::fromStamp() const
{
    return FormatDateYYMMDD(from).toLatin1() + "000000";
}

QByteArray ReportRequest::toStamp() const
{
    return FormatDateYYMMDD(to).toLatin1() + "235959";
}

QString ReportRequest::periodText() const
{
    return QStringLiteral("Periood: ") + FormatStamp(QString::fromLatin1(fromStamp())) + QStringLiteral(" - ")
         + FormatStamp(QString::fromLatin1(toStamp()));
}

bool ReportRequest::startOn(PaymentSession &session, bool check) const
{
    return session.PrepareReport(fromStamp(), toStamp(), check);
}
