// The kinds and styles of the console's prompt boxes, by name.
//
// A box is opened with a kind (what it asks) and a style number in the
// message-box convention the payment server speaks: the button set in the
// low four bits, the icon in bits 16..64, and the default button in 256 or
// 512 (dialogs/PromptStyle.h decodes them). The server sends its own numbers;
// the console's own boxes use these.
#pragma once

#include <QtGlobal>

namespace BoxKind {
inline constexpr quint8 Message = 0;       // a text and its buttons, no answer sent
inline constexpr quint8 Buttons = 1;       // the server's question: the button pressed
inline constexpr quint8 Input = 2;         // the server's question: a typed text
inline constexpr quint8 MaskedInput = 3;   // the same, the text shown as "*"
} // namespace BoxKind

namespace BoxStyle {
// Button sets.
inline constexpr qint32 Ok = 0;
inline constexpr qint32 YesNo = 4;
// Icons.
inline constexpr qint32 Error = 16;
inline constexpr qint32 Question = 32;
inline constexpr qint32 Warning = 48;
inline constexpr qint32 Information = 64;
// The second button is the default.
inline constexpr qint32 DefaultSecond = 256;

// The console's own boxes.
inline constexpr qint32 ErrorOk = Ok + Error;                 // a failure: error icon, "OK"
inline constexpr qint32 WarningOk = Ok + Warning;             // a warning icon, "OK"
inline constexpr qint32 InformationOk = Ok + Information;     // an information icon, "OK"
// A question whose safe answer is "Ei": "Jah"/"Ei", warning icon, "Ei" the
// default.
inline constexpr qint32 WarningYesNoDefaultNo = YesNo + Warning + DefaultSecond;
} // namespace BoxStyle
