// PlatformPrinter: the platform's printer object as receipt printing uses it
// when the receipt is not sent raw: a current printer chosen by device name,
// a font name, lines of text and the end of the document. The console's
// implementation draws through Qt's printer (QtPlatformPrinter, GUI library);
// tests record the calls.
#pragma once

#include <QString>

class PlatformPrinter {
public:
    virtual ~PlatformPrinter() = default;

    // Selects the printer the next document goes to. A document already begun
    // keeps its printer.
    virtual void setCurrentPrinter(const QString &deviceName) = 0;
    // Other font attributes stay as the printer object has them.
    virtual void setFontName(const QString &fontName) = 0;
    // Prints the line and moves to the next one; the first line of a
    // document begins it.
    virtual void printLine(const QString &line) = 0;
    // Ends the document and hands it to the spooler; nothing when no line was
    // printed since the last end.
    virtual void endDoc() = 0;
    // Why the last printLine or endDoc failed, as the printer states it;
    // empty when it did not (or when the printer cannot tell).
    virtual QString error() const { return {}; }
};
