// SessionReportHost: the ReportHost of the running console, made of the main
// window's PaymentSession, its SessionHost side and the report request the
// session asked for. Form1 implements SessionHost::DecodeReport with
//
//     SessionReportHost host(m_session, *this, m_reportRequest);
//     DecodeReport(message, host);
//
// The three must outlive the call.
#pragma once

#include "reports/ReportHost.h"
#include "reports/ReportRequest.h"

class PaymentSession;
class SessionHost;

class SessionReportHost final : public ReportHost {
public:
    SessionReportHost(PaymentSession &session, SessionHost &window, const ReportRequest &request);

    bool reportOnlyApproved() const override;
    qint16 reportGroupColumn() const override;
    QString reportPeriodText() const override;
    void closeForReport() override;
    void setStatusLine(const QString &text) override;
    void processEvents() override;
    void LogEvent(const QString &text) override;
    void OpenBox(quint8 kind, const QString &text, qint32 style) override;
    // OpenDocument (DocumentOpener.h) with the session as the context: a
    // failure the opener reports later reaches a host made anew of the same
    // session and window.
    void openDocument(const QString &path, OpenFailed failed) override;
    void clearEntryFields() override;
    void ReturnToIdle() override;

private:
    PaymentSession &m_session;
    SessionHost &m_window;
    // A copy: a failure the opener reports later outlives the window's.
    ReportRequest m_request;
};
