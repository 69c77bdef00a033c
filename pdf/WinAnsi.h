// Text conversion for the PDF file: UTF-8 in, Windows-1252 (WinAnsiEncoding)
// bytes out, and the escaping of those bytes inside a PDF literal string.
#pragma once

#include <string>
#include <string_view>

namespace papyr {

// Appends utf8 converted to Windows-1252. A character that has no
// Windows-1252 byte (including U+0080 to U+009F and the five codes the code
// page leaves unassigned) becomes '?', and so does each byte of a malformed
// UTF-8 sequence, so the output never holds more bytes than the input.
void appendWinAnsi(std::string &out, std::string_view utf8);

// Appends bytes as the body of a PDF literal string "( ... )": every
// backslash doubled, every parenthesis that has no partner escaped with a
// backslash, and CR written as \r (a raw CR would be read back as LF).
// Balanced parentheses stay as they are, so "(a)" is written "(a)".
void appendEscapedLiteral(std::string &out, std::string_view bytes);

} // namespace papyr
