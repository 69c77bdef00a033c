// The platform path: a receipt printed through Qt's printer to a CUPS queue
// arrives as a PDF document whose text holds the receipt's lines.
#include "CupsTestServer.h"
#include "ReceiptTestSupport.h"

#include "printing/CupsSpooler.h"
#include "printing/QtPlatformPrinter.h"
#include "printing/ReceiptPrinter.h"

#include "common/CodePage.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>

namespace {

using namespace std::chrono_literals;

QByteArray cp(const char16_t *text)
{
    return CodePage::console().encode(QStringView(text));
}

// The text of a PDF document as pdftotext extracts it, or an error note.
QString pdfText(const QByteArray &pdf, QString *error)
{
    QTemporaryDir dir(QString::fromLocal8Bit(qgetenv("TELLAR_TEST_TMPDIR")) + QStringLiteral("/pdf-XXXXXX"));
    QFile file(dir.filePath(QStringLiteral("receipt.pdf")));
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size()) {
        *error = QStringLiteral("cannot write the PDF");
        return {};
    }
    file.close();
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"),
                                                  file.fileName(), QStringLiteral("-")});
    if (!pdftotext.waitForFinished(20000) || pdftotext.exitCode() != 0) {
        *error = QStringLiteral("pdftotext failed (poppler-utils installed?): ")
                 + QString::fromLocal8Bit(pdftotext.readAllStandardError());
        return {};
    }
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

TEST(QtReceiptPrinting, ReceiptThroughQtPrinterArrivesAsDocumentWithItsLines)
{
    CupsTestServer server;
    ASSERT_TRUE(server.isRunning()) << server.error().toStdString();
    PrinterListener listener;
    ASSERT_NE(listener.port(), 0);
    const QString queue = QStringLiteral("Paberkviitung");
    ASSERT_TRUE(server.addRawQueue(queue, listener.deviceUri())) << server.lastToolOutput().toStdString();

    CupsSpooler spooler;
    QtPlatformPrinter platform;
    std::vector<OpenedBox> boxes;
    ReceiptPrinter receipts(spooler, platform,
                            [&](int kind, const QString &text, int style) { boxes.push_back({kind, text, style}); });

    const QByteArray frame = receiptFrame({{1, cp(u"Õunamahl 1.20")}, {2, ""}, {3, cp(u"Äädikas ja Öö")},
                                           {4, cp(u"Kokku: 2.40 EUR")}});
    ASSERT_TRUE(receipts.PrintReceipt(frame, 31, queue, false));
    EXPECT_TRUE(boxes.empty());

    ASSERT_TRUE(listener.waitForDocuments(1, 30s)) << server.log().right(4000).toStdString();
    const auto documents = listener.documents();
    ASSERT_EQ(documents.size(), 1u);
    ASSERT_TRUE(documents[0].startsWith("%PDF-")) << documents[0].left(200).toStdString();
    EXPECT_EQ(server.jobIds(queue).size(), 1u);

    QString error;
    const QString text = pdfText(documents[0], &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList expected = {QStringLiteral("Õunamahl 1.20"), QStringLiteral("Äädikas ja Öö"),
                                  QStringLiteral("Kokku: 2.40 EUR")};
    QStringList found;
    for (const QString &line : lines) {
        if (!line.trimmed().isEmpty() && line.trimmed() != QStringLiteral("\f"))
            found << line.trimmed();
    }
    EXPECT_EQ(found, expected) << text.toStdString();
}

// Qt's printer hands a finished document to CUPS without reading the answer:
// on a stopped queue the receipt was held there and nobody was told.
TEST(QtReceiptPrinting, StoppedQueueShowsTheErrorAndQtPrintsNothing)
{
    CupsTestServer server;
    ASSERT_TRUE(server.isRunning()) << server.error().toStdString();
    PrinterListener listener;
    const QString queue = QStringLiteral("Seisatud");
    ASSERT_TRUE(server.addRawQueue(queue, listener.deviceUri())) << server.lastToolOutput().toStdString();
    ASSERT_TRUE(server.runTool({QStringLiteral("cupsdisable"), queue})) << server.lastToolOutput().toStdString();

    CupsSpooler spooler;
    QtPlatformPrinter platform;
    std::vector<OpenedBox> boxes;
    ReceiptPrinter receipts(spooler, platform,
                            [&](int kind, const QString &text, int style) { boxes.push_back({kind, text, style}); });
    EXPECT_FALSE(receipts.PrintReceipt(receiptFrame({{1, "Kokku: 2.40 EUR"}}), 32, queue, false));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].style, 16);
    EXPECT_EQ(boxes[0].text,
              QStringLiteral("Viga kviitungite trükkimisel. (Kviitungi number=32)\n Can't Open the printer device."));
    EXPECT_TRUE(server.jobIds(queue).empty());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
