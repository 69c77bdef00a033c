#include "reports/SessionReportHost.h"

#include "reports/DocumentOpener.h"
#include "session/PaymentSession.h"
#include "session/SessionHost.h"

#include <QTcpSocket>
#include <QTimer>

SessionReportHost::SessionReportHost(PaymentSession &session, SessionHost &window)
    : m_session(session), m_window(window)
{
}

bool SessionReportHost::reportOnlyApproved() const { return m_session.ReportOnlyApproved != 0; }
qint16 SessionReportHost::reportGroupColumn() const { return m_session.ReportGroup; }
QString SessionReportHost::reportPeriodText() const { return m_session.ReportPeriodText; }

void SessionReportHost::closeConnection()
{
    // The session sees the socket close coming (aboutToClose) and takes it
    // for the console's own close, not for the server going away.
    m_session.Winsock1()->abort();
    m_session.Timer1()->stop();
}

void SessionReportHost::setCancelLocked(bool locked) { m_session.CancelLocked = locked; }
void SessionReportHost::setStatusLine(const QString &text) { m_window.setStatusLine(text); }
void SessionReportHost::processEvents() { m_window.processEvents(); }
void SessionReportHost::LogEvent(const QString &text) { m_session.LogEvent(text); }
void SessionReportHost::OpenBox(quint8 kind, const QString &text, qint32 style) { m_window.OpenBox(kind, text, style); }
void SessionReportHost::openDocument(const QString &path, OpenFailed failed)
{
    // The window owns the session, so while the session lives both do.
    PaymentSession *session = &m_session;
    SessionHost *window = &m_window;
    const auto later = [session, window, failed] {
        SessionReportHost host(*session, *window);
        failed(host);
    };
    if (!OpenDocument(path, session, later))
        failed(*this);
}
void SessionReportHost::clearEntryFields() { m_window.clearEntryFields(); }
void SessionReportHost::ReturnToIdle() { m_session.ReturnToIdle(); }
