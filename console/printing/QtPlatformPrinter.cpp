#include "printing/QtPlatformPrinter.h"

#include "printing/RAWPrinter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

QtPlatformPrinter::QtPlatformPrinter()
    : m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    m_printer->setDocName(QStringLiteral("Tellar"));
}

QtPlatformPrinter::~QtPlatformPrinter()
{
    endDoc();
}

void QtPlatformPrinter::setCurrentPrinter(const QString &deviceName)
{
    if (!m_painter)
        m_printer->setPrinterName(deviceName);
}

void QtPlatformPrinter::setDocumentName(const QString &name)
{
    m_printer->setDocName(name);
}

void QtPlatformPrinter::setFontName(const QString &fontName)
{
    m_font.setFamily(fontName);
    if (m_painter)
        m_painter->setFont(QFont(m_font, m_painter->device()));
}

void QtPlatformPrinter::printLine(const QString &line)
{
    m_error.clear();
    if (!m_painter) {
        m_painter = std::make_unique<QPainter>();
        if (!m_painter->begin(m_printer.get())) {
            m_painter.reset();
            m_error = RAWPrinter::errorText(RAWPrinter::ErrStartJob);
            return;
        }
        m_painter->setFont(QFont(m_font, m_painter->device()));
        m_y = 0;
    }
    const QFontMetricsF metrics(m_painter->font(), m_painter->device());
    const qreal pageHeight = m_painter->device()->height();
    if (m_y > 0 && m_y + metrics.height() > pageHeight) {
        m_printer->newPage();
        m_y = 0;
    }
    m_painter->drawText(QPointF(0, m_y + metrics.ascent()), line);
    m_y += metrics.lineSpacing();
}

void QtPlatformPrinter::endDoc()
{
    m_error.clear();
    if (!m_painter)
        return;
    const bool ended = m_painter->end();
    m_painter.reset();
    m_y = 0;
    if (!ended || m_printer->printerState() == QPrinter::Error)
        m_error = RAWPrinter::errorText(RAWPrinter::ErrEndDoc);
}
