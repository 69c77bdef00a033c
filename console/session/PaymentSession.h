// PaymentSession: the state and the protocol of one payment-server session.
//
// One session is one operation on one TCP connection: BeginSession takes the
// next session number and connects; when the connection stands the request of
// the pending operation is sent; incoming frames are parsed and dispatched
// until the server approves, declines or answers the command; the console then
// sends "0023", and ReturnToIdle ends the session on the server's "0023", on a
// time-out, on a socket error or when the socket closes.
//
// The main window owns this object (a member of Form1) and with it all session
// state; the window side of every step goes through SessionHost. Everything
// runs on the user-interface thread; the points where pending events run
// (data arrival, SendFrame, ReturnToIdle, SendClose, frame building) may
// re-enter the session.
//
// Incoming frames are taken in order: a frame the console drops (bad check
// byte, another POS, another session) and bytes before the next start byte
// do not hold up the frames behind them. A report answer "0020" is decoded
// only in ReportRequest; elsewhere it is logged and ignored.
//
// Events belong to the session they arrived in: a time-out, a socket signal
// or data that comes after its session has ended (or while ReturnToIdle is
// ending it) is dropped, so nothing is ever reported on a session that is
// over. Closes made by the console (ReturnToIdle, the report decoder closing
// Winsock1) are no server closes.
#pragma once

#include "session/ConsoleSettings.h"
#include "session/SessionJournal.h"
#include "session/SessionTexts.h"
#include "session/TransactionJournal.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class Clock;
class QTcpSocket;
class QTimer;
class SessionHost;
class TransactionLog;
class VaroManager;

class PaymentSession : public QObject {
    Q_OBJECT
public:
    // SessionState values.
    enum State : qint16 {
        Idle = 0,
        Connecting = 1,
        CardPayment = 2,         // "0001" sent (payment or booking)
        Cancellation = 3,        // "0016" sent
        Tip = 4,                 // "0017" sent
        BookingCompletion = 5,   // "0018" sent
        ReportRequest = 6,       // "0019" sent
        Closing = 7,             // "0023" sent, waiting for the server's "0023"
        PosCommandRequest = 8,   // "0026" sent
    };

    // Timer1's three phases. Tests shorten them; the console uses the defaults.
    struct Timeouts {
        int connectMs = 5000;
        int answerMs = 15000;    // restarted by every keep-alive "0003"
        int closeMs = 5000;
    };

    // A frame may announce up to 2 GB; ReceiveBuffer is bounded far above any
    // real report answer, and a server that passes the bound ends the session.
    static constexpr qsizetype kDefaultReceiveLimit = qsizetype(64) * 1024 * 1024;

    // host and settings must outlive the session. logPath is the transaction
    // log file ("log.txt" in the program's folder).
    PaymentSession(SessionHost &host, const ConsoleSettings &settings,
                   const QString &logPath, QObject *parent = nullptr);
    // journalPath: the till's journal (with the settings store); without
    // it, "journal.sqlite" beside the transaction log.
    PaymentSession(SessionHost &host, const ConsoleSettings &settings, const QString &logPath,
                   const QString &journalPath, QObject *parent);
    ~PaymentSession() override;

    void setTimeouts(const Timeouts &timeouts);
    // Data that would make ReceiveBuffer larger than this ends the session
    // as a closed connection.
    void setReceiveLimit(qsizetype bytes);
    // The clock of the transaction log's and the journal's stamps
    // (Clock::system() until set); it must outlive the session.
    void setClock(const Clock &clock);

    // The till's journal: every payment, booking, cancellation, tip and
    // completion request the session sent, and its outcome (approved,
    // declined, or unknown when the session ended without either or with two
    // that contradict each other). Reports and special commands are not
    // journaled.
    TransactionJournal &journal();
    const TransactionJournal &journal() const;
    // The session number as the journal and the wire carry it: six digits.
    QString journalSession() const;

    // At start-up: every request the journal shows sent without an outcome
    // is closed as unknown ("restart"); returns those transactions.
    QList<JournalTransaction> recoverJournal();
    // A doubt settled: "approved" (with the server's STAN), "not found" or
    // "cashier"; only while the journal still shows it in doubt (false
    // otherwise). A journal that cannot be written is reported once per run,
    // as for the session's own entries.
    bool resolveDoubt(const JournalTransaction &transaction, const QString &outcome,
                      std::optional<qint64> stan = std::nullopt);

    // --- Session state (read and written by the window) -------------------
    qint16 SessionState = Idle;
    qint32 sessionNumber = 0;      // 1..999999 once a session has run
    QByteArray ReceiveBuffer;
    bool ReportPending = false;
    // The pending report request is the check of a transaction in doubt
    // against the server's records, not a report document.
    bool CheckPending = false;
    qint16 PendingPosCommand = -1; // command byte of a pending POS command, -1 none
    bool CancelLocked = false;     // set while report data is decoded
    ShownText finalStatusText;     // shown in the status line when the session ends

    QTcpSocket *Winsock1() const;
    QTimer *Timer1() const;

    // --- Operations --------------------------------------------------------
    // Session steps of the window's BeginSession and ReturnToIdle, with the
    // window's steps run through SessionHost at their places.
    // BeginSession does nothing while a session runs (the running one keeps
    // its number and state); nor do PreparePOSCommand and PrepareReport.
    void BeginSession();
    void ReturnToIdle();

    // PreparePOSCommand: PendingPosCommand = commandId, then BeginSession.
    // False, with nothing changed, while a session runs (or is ending).
    bool PreparePOSCommand(quint8 commandId);
    // PrepareReport stores the period of a report request (the "0019"'s
    // stamps, YYMMDDhhmmss, as reports/ReportRequest makes them) and begins
    // the session; the caller checks for an open keystroke burst first.
    // check: the report is the check of a transaction in doubt
    // (CheckPending for the session). False, with nothing stored, while a
    // session runs (or is ending).
    bool PrepareReport(const QByteArray &fromStamp, const QByteArray &toStamp, bool check = false);
    // A report answer is in hand: the connection closes (as the console's
    // own close), the time-out stops, and "Loobu" sends nothing from now on.
    void closeForReport();

    // The cancel button "Loobu": "0005" unless CancelLocked; nothing in Idle.
    // Pressed while the request is being built, the "0005" goes out right
    // behind the request, never before it.
    void SendAbort();
    // Answers of the prompt dialog; sent only while the socket is connected.
    void ButtonResponse(quint8 ButtonCode);
    void InputResponse(quint8 ButtonCode, const QString &Text);

    // Logs and sends one frame; on a closed socket ends the session.
    void SendFrame(const QByteArray &frame, const QByteArray &logText);
    void SendClose();

    // Writes one event entry to the transaction log.
    void LogEvent(const QString &text);

    // What the last session's transaction request came to (NotSent for a
    // report, a special command or a request that never left).
    const SessionOutcome &lastOutcome() const;

signals:
    // ReturnToIdle has finished: the session is Idle and the window idle.
    void sessionEnded();

private:
    class Private;
    Private *d;
};
