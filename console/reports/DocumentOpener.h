// OpenDocument: hands a saved file to the program the desktop opens PDF files
// with (xdg-open), or to the command line in the environment variable
// TELLAR_PDF_OPENER when that is set and not empty (for tests and kiosks).
// The command line is split as a POSIX shell splits words (SplitCommandLine)
// and the file's path is appended as one more argument.
//
// The opener runs as a child of the console, which does not wait for it but
// reads its exit status when it ends: xdg-open exits 0 once a viewer has the
// file, and 3 or 4 (not found, action failed) when no program handles PDF
// files, so only the status tells the cashier whether the report is shown.
// The opener's output goes to the console's own.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

class QObject;

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

// Starts the opener for path and returns at once. False, and failed is not
// called, for a missing file (or a folder) and for a command line without a
// program. Otherwise true, and failed runs once, later, on this thread's
// event loop, when the program cannot be started, ends by a signal or exits
// with a status other than 0. The opener is a child of context: failed never
// runs once context is gone, and an opener still running then is ended (a
// viewer it started keeps running). A null context leaves the opener to the
// application object until it ends.
bool OpenDocument(const QString &path, QObject *context, std::function<void()> failed);
