// Shared pieces of the report tests: a canvas that records every item drawn
// while the real writer records it too, a ReportHost that records every call,
// builders of "0020" answers and their records, and the external PDF checks.
#pragma once

#include "reports/ReportCanvas.h"
#include "reports/ReportHost.h"

#include <VaroManager.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace reporttest {

// --- Drawing -------------------------------------------------------------

struct DrawnText {
    int page;             // 1-based
    float x, y;           // mm, top left of the text
    QString text;
    QString font;
    float size;
    bool bold, italic;
    qint32 colour;
};

struct DrawnLine {
    int page;
    float x1, y1, x2, y2;
    qint16 style;
    qint32 colour;
};

// Forwards every call to a real PapyrCanvas that it owns, so a test canvas
// overrides only the calls it watches or breaks and the run still yields the
// file.
class ForwardingCanvas : public ReportCanvas {
public:
    void FileName(const QString &path) override { m_inner.FileName(path); }
    void ScaleMode(qint16 mode) override { m_inner.ScaleMode(mode); }
    QString FontName() const override { return m_inner.FontName(); }
    void FontName(const QString &name) override { m_inner.FontName(name); }
    float FontSize() const override { return m_inner.FontSize(); }
    void FontSize(float points) override { m_inner.FontSize(points); }
    bool FontBold() const override { return m_inner.FontBold(); }
    void FontBold(bool bold) override { m_inner.FontBold(bold); }
    bool FontItalic() const override { return m_inner.FontItalic(); }
    void FontItalic(bool italic) override { m_inner.FontItalic(italic); }
    qint32 ForeColor() const override { return m_inner.ForeColor(); }
    void ForeColor(qint32 colour) override { m_inner.ForeColor(colour); }
    qint16 DrawStyle() const override { return m_inner.DrawStyle(); }
    void DrawStyle(qint16 style) override { m_inner.DrawStyle(style); }
    float CurrentX() const override { return m_inner.CurrentX(); }
    void CurrentX(float x) override { m_inner.CurrentX(x); }
    float CurrentY() const override { return m_inner.CurrentY(); }
    void CurrentY(float y) override { m_inner.CurrentY(y); }
    void PrintText(const QString &text) override { m_inner.PrintText(text); }
    float TextWidth(const QString &text) const override { return m_inner.TextWidth(text); }
    void DrawLine(float x1, float y1, float x2, float y2) override { m_inner.DrawLine(x1, y1, x2, y2); }
    void NewPage() override { m_inner.NewPage(); }
    QString EndDoc() override { return m_inner.EndDoc(); }

protected:
    PapyrCanvas m_inner;
};

// Records what is drawn, in the units the report uses, while the real
// writer draws it too.
class RecordingCanvas final : public ForwardingCanvas {
public:
    std::vector<DrawnText> texts;
    std::vector<DrawnLine> lines;
    int page = 1;
    int newPageCalls = 0;

    // Texts equal to `text`, in drawing order.
    std::vector<DrawnText> find(const QString &text) const;
    // The only text equal to `text`; fails the test when there is not
    // exactly one.
    DrawnText only(const QString &text) const;
    // Texts drawn at this y on this page, left to right as drawn.
    std::vector<DrawnText> onLine(int page, float y) const;

    void PrintText(const QString &text) override;
    void DrawLine(float x1, float y1, float x2, float y2) override;
    void NewPage() override;
};

// --- Host ----------------------------------------------------------------

// Every call in order, as "name" or "name: argument".
class FakeReportHost final : public ReportHost {
public:
    bool onlyApproved = false;
    qint16 groupColumn = 0;
    QString periodText = QStringLiteral("Periood: 05.04.2005 00:00:00 - 07.04.2005 23:59:59");
    bool openerSucceeds = true;
    // With openerSucceeds false: the failure is not reported at once but
    // kept in laterOpenFailure, as the opener reports it when it ends.
    bool openerFailsLater = false;
    OpenFailed laterOpenFailure;
    std::function<void()> onProcessEvents;

    QStringList calls;
    QStringList statusLines;
    QStringList boxes;            // "kind/style: text"
    QStringList opened;           // paths given to openDocument
    QStringList logEvents;
    int processEventsCalls = 0;

    // Calls whose name starts with `prefix`.
    QStringList callsStartingWith(const QString &prefix) const;

    bool reportOnlyApproved() const override { return onlyApproved; }
    qint16 reportGroupColumn() const override { return groupColumn; }
    QString reportPeriodText() const override { return periodText; }
    void closeForReport() override { calls << QStringLiteral("closeForReport"); }
    void setStatusLine(const QString &text) override;
    void processEvents() override;
    void LogEvent(const QString &text) override;
    void OpenBox(quint8 kind, const QString &text, qint32 style) override;
    void openDocument(const QString &path, OpenFailed failed) override;
    void clearEntryFields() override { calls << QStringLiteral("clearEntryFields"); }
    void ReturnToIdle() override { calls << QStringLiteral("ReturnToIdle"); }
};

// --- Answers -------------------------------------------------------------

// One transaction of a report answer. Fields left nullopt are not sent.
struct Record {
    std::optional<QByteArray> terminal = QByteArray("T0000001");
    std::optional<QByteArray> stamp = QByteArray("260406101500");
    std::optional<qint32> stan = 1234;
    std::optional<double> amount = 10.0;
    std::optional<QByteArray> card = QByteArray("VISA");
    std::optional<QByteArray> delivery = QByteArray(1, '\x00');
    std::optional<QByteArray> flags = QByteArray("000000");
    std::optional<qint32> code = 0;
    std::optional<qint32> cancelMark = 0;

    Record &withTerminal(QByteArray v) { terminal = std::move(v); return *this; }
    Record &withStamp(QByteArray v) { stamp = std::move(v); return *this; }
    Record &withAmount(double v) { amount = v; return *this; }
    Record &withCard(QByteArray v) { card = std::move(v); return *this; }
    Record &withDelivery(std::optional<QByteArray> v) { delivery = std::move(v); return *this; }
    Record &withFlags(QByteArray v) { flags = std::move(v); return *this; }
    Record &withCode(qint32 v) { code = v; return *this; }
    Record &cancelled() { cancelMark = 1; return *this; }
    Record &notSent() { delivery = QByteArray(1, char(200)); return *this; }
    Record &booking() { flags = "000010"; return *this; }
    Record &tip() { flags = "000001"; return *this; }
};

// The record's Varo frame.
std::string recordFrame(const Record &record);

// A "0020" answer. count defaults to the number of frames; status to 0.
// A frame of std::nullopt leaves its field out.
VaroManager makeAnswer(const std::vector<std::optional<std::string>> &frames, std::optional<qint32> count = {},
                       std::optional<qint32> status = 0);
VaroManager makeAnswer(const std::vector<Record> &records);

// --- Files and tools -----------------------------------------------------

// A fresh folder under TELLAR_TEST_TMPDIR (or the system's temp folder).
QTemporaryDir makeTempDir();

// While it lives, no file of this process may grow past `bytes`: a write
// beyond fails with EFBIG (27), as on a full disk, for root too; the signal
// that would come with it is ignored.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool active() const { return m_active; }

private:
    qint64 m_oldSoft = 0;
    void (*m_oldHandler)(int) = nullptr;
    bool m_saved = false;
    bool m_active = false;
};

struct ToolResult {
    int exitCode = -1;
    QByteArray output;   // stdout, and stderr when merged
};
ToolResult runTool(const QString &program, const QStringList &arguments, bool mergeErrors = true);
// qpdf --check; exit code 0 is a sound file.
ToolResult qpdfCheck(const QString &path);
// pdftotext -enc UTF-8 -layout of the whole file, as text.
QString pdfText(const QString &path);
QByteArray readFile(const QString &path);

} // namespace reporttest
