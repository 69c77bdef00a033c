// OpenDocument: hands a saved file to the program the desktop opens PDF files
// with (xdg-open), or to the command line in the environment variable
// TELLAR_PDF_OPENER when that is set and not empty (for tests and kiosks).
// The command line is split as a POSIX shell splits words (SplitCommandLine)
// and the file's path is appended as one more argument.
//
// The program is started detached: the console does not wait for the viewer.
// True when the file exists and the program could be started; false for a
// missing file, an empty command line or a program that cannot be started.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

inline constexpr const char *kPdfOpenerVariable = "TELLAR_PDF_OPENER";

// Words of a command line as a POSIX shell splits them, without any
// expansion: blanks separate words; '...' keeps everything literally; "..."
// keeps everything but \" \\ \$ \` which stand for the second character; a
// backslash outside quotes keeps the next character. Quotes join with the
// text around them (a'b c'd is one word), and '' is an empty word.
QStringList SplitCommandLine(QStringView commandLine);

// The program and arguments OpenDocument would start for path; empty when
// the command line holds no program.
QStringList DocumentOpenerCommand(const QString &path);

bool OpenDocument(const QString &path);
