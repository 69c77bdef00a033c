// QtPlatformPrinter: the platform printer object over Qt's QPrinter, which
// hands each document to the spooler (CUPS) as a PDF job.
//
// Lines are drawn top to bottom in the current font, one line's height
// apart, starting at the printable area's top left; a line that no longer
// fits starts a new page. Needs a QGuiApplication; GUI thread only.
#pragma once

#include "printing/PlatformPrinter.h"

#include <QFont>
#include <QString>

#include <memory>

class QPainter;
class QPrinter;

class QtPlatformPrinter final : public PlatformPrinter {
public:
    QtPlatformPrinter();
    ~QtPlatformPrinter() override;

    void setCurrentPrinter(const QString &deviceName) override;
    void setFontName(const QString &fontName) override;
    void printLine(const QString &line) override;
    void endDoc() override;
    // A document that cannot be begun gives RAWPrinter's "Can't Start the
    // print job.", one that cannot be ended "Call to close doc failed.". Qt
    // hands the finished document to CUPS without looking at the answer, so
    // a queue that refuses it is not seen here.
    QString error() const override { return m_error; }

    // The title the spooler shows for the printed documents.
    void setDocumentName(const QString &name);

private:
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QPainter> m_painter;   // non-null while a document is begun
    QFont m_font;
    qreal m_y = 0;                         // top of the next line, device pixels
    QString m_error;
};
