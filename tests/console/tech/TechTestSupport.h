// Helpers of the technician's-kit tests: scratch folders, files, and reading
// an archive back with the system's tar.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace techtest {

inline QString scratchParent()
{
    const QString env = qEnvironmentVariable("TELLAR_TEST_TMPDIR");
    return env.isEmpty() ? QDir::tempPath() : env;
}

class Scratch {
public:
    Scratch() : m_dir(scratchParent() + QStringLiteral("/tech-XXXXXX"))
    {
        EXPECT_TRUE(m_dir.isValid()) << m_dir.errorString().toStdString();
    }
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString mkdir(const QString &name) const
    {
        QDir(m_dir.path()).mkpath(name);
        return file(name);
    }

private:
    QTemporaryDir m_dir;
};

inline void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(data), data.size());
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct ProcessResult {
    int exitCode = -1;
    QByteArray out, err;
};

inline ProcessResult run(const QString &program, const QStringList &args,
                         const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
                         int timeoutMs = 60000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    ProcessResult r;
    if (!p.waitForStarted(timeoutMs) || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = "did not finish: " + program.toUtf8();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Unpacks archive into a fresh folder under `into` with tar -xzf and
// returns every regular file's bytes by its path inside the archive.
inline QMap<QString, QByteArray> unpack(const QString &archive, const QString &into)
{
    QMap<QString, QByteArray> files;
    QDir().mkpath(into);
    const ProcessResult r = run(QStringLiteral("tar"), {QStringLiteral("-xzf"), archive, QStringLiteral("-C"), into});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList pending = {QString()};
    while (!pending.isEmpty()) {
        const QString rel = pending.takeFirst();
        const QDir dir(rel.isEmpty() ? into : into + u'/' + rel);
        for (const QFileInfo &info : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            const QString name = rel.isEmpty() ? info.fileName() : rel + u'/' + info.fileName();
            if (info.isDir())
                pending << name;
            else
                files.insert(name, readFile(info.filePath()));
        }
    }
    return files;
}

} // namespace techtest
