#include "ReportTestSupport.h"

#include "common/Bytes.h"
#include "common/Helpers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include <csignal>
#include <sys/resource.h>

namespace reporttest {

// --- RecordingCanvas -----------------------------------------------------

std::vector<DrawnText> RecordingCanvas::find(const QString &text) const
{
    std::vector<DrawnText> found;
    for (const DrawnText &t : texts) {
        if (t.text == text)
            found.push_back(t);
    }
    return found;
}

DrawnText RecordingCanvas::only(const QString &text) const
{
    const std::vector<DrawnText> found = find(text);
    EXPECT_EQ(found.size(), 1u) << "text \"" << text.toStdString() << "\"";
    if (found.empty())
        return DrawnText{0, -1, -1, text, {}, 0, false, false, -1};
    return found.front();
}

std::vector<DrawnText> RecordingCanvas::onLine(int onPage, float y) const
{
    std::vector<DrawnText> found;
    for (const DrawnText &t : texts) {
        if (t.page == onPage && t.y == y)
            found.push_back(t);
    }
    return found;
}

void RecordingCanvas::PrintText(const QString &text)
{
    const DrawnText item{page,       m_inner.CurrentX(), m_inner.CurrentY(), text,
                         m_inner.FontName(), m_inner.FontSize(), m_inner.FontBold(), m_inner.FontItalic(),
                         m_inner.ForeColor()};
    m_inner.PrintText(text);
    texts.push_back(item);
}

void RecordingCanvas::DrawLine(float x1, float y1, float x2, float y2)
{
    m_inner.DrawLine(x1, y1, x2, y2);
    lines.push_back(DrawnLine{page, x1, y1, x2, y2, m_inner.DrawStyle(), m_inner.ForeColor()});
}

void RecordingCanvas::NewPage()
{
    m_inner.NewPage();
    ++page;
    ++newPageCalls;
}

// --- FakeReportHost ------------------------------------------------------

QStringList FakeReportHost::callsStartingWith(const QString &prefix) const
{
    QStringList found;
    for (const QString &c : calls) {
        if (c.startsWith(prefix))
            found << c;
    }
    return found;
}

void FakeReportHost::setStatusLine(const QString &text)
{
    calls << QStringLiteral("setStatusLine: ") + text;
    statusLines << text;
}

void FakeReportHost::processEvents()
{
    ++processEventsCalls;
    if (onProcessEvents)
        onProcessEvents();
}

void FakeReportHost::LogEvent(const QString &text)
{
    calls << QStringLiteral("LogEvent: ") + text;
    logEvents << text;
}

void FakeReportHost::OpenBox(quint8 kind, const QString &text, qint32 style)
{
    const QString box = QStringLiteral("%1/%2: %3").arg(kind).arg(style).arg(text);
    calls << QStringLiteral("OpenBox: ") + box;
    boxes << box;
}

void FakeReportHost::openDocument(const QString &path, OpenFailed failed)
{
    calls << QStringLiteral("openDocument: ") + path;
    opened << path;
    if (openerSucceeds)
        return;
    if (openerFailsLater)
        laterOpenFailure = std::move(failed);
    else
        failed(*this);
}

// --- Answers -------------------------------------------------------------

namespace {

std::string bytes(const QByteArray &b)
{
    return std::string(b.constData(), std::size_t(b.size()));
}

} // namespace

std::string recordFrame(const Record &record)
{
    VaroManager m;
    if (record.terminal)
        m.AddField(1, bytes(*record.terminal));
    if (record.stamp)
        m.AddField(2, bytes(*record.stamp));
    if (record.stan)
        m.AddField(3, bytes(EncodeInt32(*record.stan)));
    if (record.amount)
        m.AddField(4, bytes(EncodeDouble(*record.amount)));
    if (record.card)
        m.AddField(5, bytes(*record.card));
    if (record.delivery)
        m.AddField(6, bytes(*record.delivery));
    if (record.flags)
        m.AddField(7, bytes(*record.flags));
    if (record.code)
        m.AddField(8, bytes(EncodeInt32(*record.code)));
    if (record.cancelMark)
        m.AddField(9, bytes(EncodeInt32(*record.cancelMark)));
    return m.GetOutput(true, false);
}

VaroManager makeAnswer(const std::vector<std::optional<std::string>> &frames, std::optional<qint32> count,
                       std::optional<qint32> status)
{
    VaroManager m;
    m.AddField(1, "0020");
    m.AddField(2, "POS1");
    m.AddField(3, "000001");
    m.AddField(10, bytes(EncodeInt32(count.value_or(qint32(frames.size())))));
    if (status)
        m.AddField(6, bytes(EncodeInt32(*status)));
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i])
            m.AddField(int16_t(100 + i), *frames[i]);
    }
    return m;
}

VaroManager makeAnswer(const std::vector<Record> &records)
{
    std::vector<std::optional<std::string>> frames;
    for (const Record &r : records)
        frames.emplace_back(recordFrame(r));
    return makeAnswer(frames);
}

// --- Files and tools -----------------------------------------------------

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return;
    m_oldSoft = qint64(limit.rlim_cur);
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    m_saved = true;
    limit.rlim_cur = rlim_t(bytes);
    m_active = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (!m_saved)
        return;
    rlimit limit {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(m_oldSoft);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_oldHandler);
}

QTemporaryDir makeTempDir()
{
    QString parent = qEnvironmentVariable("TELLAR_TEST_TMPDIR");
    if (parent.isEmpty())
        parent = QDir::tempPath();
    QDir().mkpath(parent);
    return QTemporaryDir(parent + QStringLiteral("/reports-XXXXXX"));
}

ToolResult runTool(const QString &program, const QStringList &arguments, bool mergeErrors)
{
    QProcess process;
    process.setProcessChannelMode(mergeErrors ? QProcess::MergedChannels : QProcess::SeparateChannels);
    process.start(program, arguments);
    ToolResult result;
    if (!process.waitForFinished(60000))
        return result;
    result.output = process.readAllStandardOutput();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

ToolResult qpdfCheck(const QString &path)
{
    return runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
}

QString pdfText(const QString &path)
{
    const ToolResult r = runTool(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-enc"), QStringLiteral("UTF-8"), QStringLiteral("-layout"), path,
                                  QStringLiteral("-")},
                                 false);
    return r.exitCode == 0 ? QString::fromUtf8(r.output) : QString();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace reporttest
