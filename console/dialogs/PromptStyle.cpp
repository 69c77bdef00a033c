#include "dialogs/PromptStyle.h"

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
    switch (set) {
    case 1: return {QStringLiteral("OK"), QStringLiteral("Cancel")};
    case 2: return {QStringLiteral("Abort"), QStringLiteral("Retry"), QStringLiteral("Ignore")};
    case 3: return {QStringLiteral("Yes"), QStringLiteral("No"), QStringLiteral("Cancel")};
    case 4: return {QStringLiteral("Yes"), QStringLiteral("No")};
    case 5: return {QStringLiteral("Retry"), QStringLiteral("Cancel")};
    default: return {QStringLiteral("OK")};
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
