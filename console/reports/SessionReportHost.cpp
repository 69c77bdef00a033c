#include "reports/SessionReportHost.h"

#include "reports/DocumentOpener.h"
#include "session/PaymentSession.h"
#include "session/SessionHost.h"

SessionReportHost::SessionReportHost(PaymentSession &session, SessionHost &window, const ReportRequest &request)
    : m_session(session), m_window(window), m_request(request)
{
}

bool SessionReportHost::reportOnlyApproved() const { return m_request.onlyApproved; }
qint16 SessionReportHost::reportGroupColumn() const { return m_request.groupColumn; }
QString SessionReportHost::reportPeriodText() const { return m_request.periodText(); }
void SessionReportHost::closeForReport() { m_session.closeForReport(); }
void SessionReportHost::setStatusLine(const QString &text) { m_window.setStatusLine(text); }
void SessionReportHost::processEvents() { m_window.processEvents(); }
void SessionReportHost::LogEvent(const QString &text) { m_session.LogEvent(text); }
void SessionReportHost::OpenBox(quint8 kind, const QString &text, qint32 style) { m_window.OpenBox(kind, text, style); }
void SessionReportHost::openDocument(const QString &path, OpenFailed failed)
{
    // The window owns the session, so while the session lives both do.
    PaymentSession *session = &m_session;
    SessionHost *window = &m_window;
    const auto later = [session, window, request = m_request, failed] {
        SessionReportHost host(*session, *window, request);
        failed(host);
    };
    if (!OpenDocument(path, session, later))
        failed(*this);
}
void SessionReportHost::clearEntryFields() { m_window.clearEntryFields(); }
void SessionReportHost::ReturnToIdle() { m_session.ReturnToIdle(); }
