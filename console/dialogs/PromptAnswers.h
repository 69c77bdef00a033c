// Where a prompt box sends its answer: the main window's ButtonResponse and
// InputResponse, which pass it to the payment server. Tests record them.
#pragma once

#include <QString>
#include <QtGlobal>

class PromptAnswers {
public:
    virtual ~PromptAnswers() = default;
    virtual void ButtonResponse(quint8 ButtonCode) = 0;
    virtual void InputResponse(quint8 ButtonCode, const QString &Text) = 0;
};
