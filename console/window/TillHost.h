// What the till hand-off (TillBridge) needs of the main window: put a till's
// request before the cashier, take it away, and press "Loobu" for the till.
// Form1 implements it; the window shows and asks, the bridge decides.
#pragma once

#include <QString>

// A request of the till as the cashier sees it: the tab, the field's text
// and the till's own receipt number ("Kassast: tšekk 4711").
struct TillOffer {
    int tab = 1;               // 1 payment, 4 booking, 2 cancellation
    QString fieldText;         // the amount ("12,50") or the receipt number
    QString tillReceipt;       // TransactionNumber; may be empty
    bool autoStart = false;    // ECRAutoStart: starts without OK
};

class TillHost {
public:
    virtual ~TillHost() = default;
    // No session, no dialog or box over the window, no card burst being
    // timed, not in report mode: a till's request may be shown now.
    virtual bool readyForTillRequest() const = 0;
    // Fills the tab and its field, read-only, and waits for the cashier (or
    // starts at once with autoStart): OK or a swipe calls ValidateAndStart
    // as for a typed request.
    virtual void showTillRequest(const TillOffer &offer) = 0;
    // The request is over (answered, or ended before it started): its
    // fields are emptied and the window is as before.
    virtual void withdrawTillRequest() = 0;
    // "Loobu" for a request that runs: the server is asked to cancel.
    virtual void abortRunningTransaction() = 0;
    // One line in the transaction log (log.txt).
    virtual void logTillEvent(const QString &text) = 0;
};
