#include "dialogs/PromptStyle.h"

#include <QCoreApplication>

namespace PromptStyle {

qint32 buttonSet(qint32 style)
{
    return style % 16;
}

qint32 withButtonSet(qint32 style, qint32 set)
{
    return (style & ~qint32(15)) | (set & 15);
}

QStringList buttonCaptions(qint32 set)
{
    // The captions are the boxes' own since the first console, Estonian
    // included; only the cashier's other languages translate them. The
    // answer codes do not depend on them.
    const auto ok = [] { return QCoreApplication::translate("PromptStyle", "OK"); };
    const auto cancel = [] { return QCoreApplication::translate("PromptStyle", "Cancel"); };
    const auto yes = [] { return QCoreApplication::translate("PromptStyle", "Yes"); };
    const auto no = [] { return QCoreApplication::translate("PromptStyle", "No"); };
    const auto retry = [] { return QCoreApplication::translate("PromptStyle", "Retry"); };
    switch (set) {
    case 1: return {ok(), cancel()};
    case 2: return {QCoreApplication::translate("PromptStyle", "Abort"), retry(),
                    QCoreApplication::translate("PromptStyle", "Ignore")};
    case 3: return {yes(), no(), cancel()};
    case 4: return {yes(), no()};
    case 5: return {retry(), cancel()};
    default: return {ok()};
    }
}

Icon icon(qint32 style)
{
    switch (style & kIconMask) {
    case IconError: return IconError;
    case IconQuestion: return IconQuestion;
    case IconWarning: return IconWarning;
    case IconInformation: return IconInformation;
    default: return NoIcon;
    }
}

int defaultButton(qint32 style, int shownButtons)
{
    int button = 1;
    if ((style & kDefaultSecond) && shownButtons >= 2)
        button = 2;
    if ((style & kDefaultThird) && shownButtons >= 3)
        button = 3;
    return button;
}

quint8 MapButtonCode(qint32 style, int button)
{
    // Rows: button 1, 2, 3; columns: sets 0..5.
    static constexpr quint8 kCodes[3][6] = {
        {AnswerOK, AnswerOK, AnswerAbort, AnswerYes, AnswerYes, AnswerRetry},
        {NoAnswer, AnswerCancel, AnswerRetry, AnswerNo, AnswerNo, AnswerCancel},
        {NoAnswer, NoAnswer, AnswerIgnore, AnswerCancel, NoAnswer, NoAnswer},
    };
    if (button < 1 || button > 3)
        return NoAnswer;
    const qint32 set = buttonSet(style);
    if (set < 0 || set > 5)
        return button == 1 ? AnswerOK : NoAnswer;
    return kCodes[button - 1][set];
}

} // namespace PromptStyle
