// The message style number of the prompt boxes and the answer codes, in the
// message-box convention the payment server speaks:
//
//   style mod 16   button set: 0 OK; 1 OK Cancel; 2 Abort Retry Ignore;
//                  3 Yes No Cancel; 4 Yes No; 5 Retry Cancel; other: OK
//   style and 112  icon: 16 error, 32 question, 48 warning, 64 information
//   style and 256  the second button is the default
//   style and 512  the third button is the default
//
// Answers: 1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No, 0 none.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace PromptStyle {

enum Answer : quint8 {
    NoAnswer = 0, AnswerOK = 1, AnswerCancel = 2, AnswerAbort = 3, AnswerRetry = 4,
    AnswerIgnore = 5, AnswerYes = 6, AnswerNo = 7,
};

enum Icon : qint32 { NoIcon = 0, IconError = 16, IconQuestion = 32, IconWarning = 48, IconInformation = 64 };

inline constexpr qint32 kIconMask = 112;
inline constexpr qint32 kDefaultSecond = 256;
inline constexpr qint32 kDefaultThird = 512;

// style mod 16, with the sign of style (a negative style names no set 0..5).
qint32 buttonSet(qint32 style);

// The style with its button set replaced by `set`; every other bit kept.
qint32 withButtonSet(qint32 style, qint32 set);

// Captions of the buttons a set shows, button 1 first ("OK" for any set
// outside 0..5).
QStringList buttonCaptions(qint32 set);

Icon icon(qint32 style);

// The default button, 1..3, among `shownButtons` buttons: 1, unless bit 256
// names button 2 and it is shown; then, if bit 512 names button 3 and it is
// shown, 3.
int defaultButton(qint32 style, int shownButtons);

// The answer code of button k (1..3) for the box's stored style.
quint8 MapButtonCode(qint32 style, int button);

} // namespace PromptStyle
