// Shared by the receipt printing tests: receipt frames and a platform
// printer that records what it is asked to do.
#pragma once

#include "printing/PlatformPrinter.h"

#include <VaroManager.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// A receipt frame whose fields are the given (ID, bytes) pairs, in that order.
inline QByteArray receiptFrame(const std::vector<std::pair<qint16, QByteArray>> &fields)
{
    VaroManager codec;
    for (const auto &[id, data] : fields)
        codec.AddField(id, data.toStdString());
    const std::string frame = codec.GetOutput(true, false);
    return QByteArray(frame.data(), qsizetype(frame.size()));
}

// failLine (from 1) makes that printLine fail, failEnd every endDoc, with
// failure as the printer's reason.
class RecordingPlatformPrinter final : public PlatformPrinter {
public:
    void setCurrentPrinter(const QString &deviceName) override { calls << QStringLiteral("printer:") + deviceName; }
    void setFontName(const QString &fontName) override { calls << QStringLiteral("font:") + fontName; }
    void printLine(const QString &line) override
    {
        calls << QStringLiteral("line:") + line;
        m_error = ++m_lines == failLine ? failure : QString();
    }
    void endDoc() override
    {
        calls << QStringLiteral("end");
        m_error = failEnd ? failure : QString();
    }
    QString error() const override { return m_error; }

    QStringList calls;
    int failLine = 0;
    bool failEnd = false;
    QString failure = QStringLiteral("Printer out of paper.");

private:
    int m_lines = 0;
    QString m_error;
};

struct OpenedBox {
    int kind;
    QString text;
    int style;
};
