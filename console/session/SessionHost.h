// What the payment session needs of the main window. Form1 implements it; the
// session tests implement it with a recording fake, so the whole session runs
// without widgets.
//
// Every call happens on the user-interface thread. Calls may re-enter the
// session (processEvents lets socket and timer events run), so the session
// never holds references into its own buffers across them.
#pragma once

#include "common/BoxStyle.h"
#include "session/SessionTexts.h"
#include "session/TransactionRequest.h"

#include <QByteArray>
#include <QString>

class VaroManager;

class SessionHost {
public:
    virtual ~SessionHost() = default;

    // Prompt dialog stack: kind 0 message, 1 button box, 2 input box,
    // 3 masked input box; style as the message-box convention.
    virtual void OpenBox(quint8 kind, const QString &text, qint32 style) = 0;
    virtual void CloseAllBoxes() = 0;

    // Window side of BeginSession: OK disabled, status line emptied, tab strip
    // disabled, "Loobu" enabled, "&Aruanne..." disabled, frames 1, 2, 3, 5
    // disabled, "&Seaded..." disabled.
    virtual void showRunningLayout() = 0;
    // Window side of ReturnToIdle after the status line: OK enabled, "Loobu"
    // disabled, tab strip enabled, frames enabled, menu items "&Seaded..." and
    // "&Aruanne..." enabled.
    virtual void showIdleLayout() = 0;
    virtual void ShowTabFrame() = 0;

    // Text10, the status line. showFinalStatus also enables it.
    virtual void setStatusLine(const QString &text) = 0;
    // The final status is the console's own words (said again after a switch
    // of language) or a fixed text.
    virtual void showFinalStatus(const ShownText &text) = 0;
    // StatusBar1: "Session: " and the six-digit number, said again after a
    // switch of language.
    virtual void setStatusBarText(const ShownText &text) = 0;

    // The transaction to send, asked for once the connection stands (a
    // session that is no report and no special command): the window builds
    // it from its validated fields.
    virtual TransactionRequest transactionRequest() const = 0;
    // Empties the card number field Text1 (ReturnToIdle).
    virtual void clearCardField() = 0;
    // Empties all seven entry fields and the card reader's captured text
    // (after an approval).
    virtual void clearEntryFields() = 0;

    // The receipt frame of an approval (field 12) and its STAN.
    virtual void PrintReceipt(const QByteArray &receiptFrame, qint32 stan) = 0;
    // A parsed "0020" report answer; the report code ends the session itself.
    virtual void DecodeReport(const VaroManager &message) = 0;

    // Lets pending window, timer and socket events run.
    virtual void processEvents() = 0;

    // The journal cannot be written (told once per run): a box of kind 0 and
    // the given style. A window that is not up yet may keep it until it is.
    virtual void tellJournalUnwritable(const QString &text, qint32 style) { OpenBox(BoxKind::Message, text, style); }
};
