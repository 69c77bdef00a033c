// A scratch folder of one test case, under TELLAR_TEST_TMPDIR when CTest
// sets it, removed with everything in it when the case ends.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class TestDir {
public:
    TestDir()
        : m_dir(parent() + QStringLiteral("/common-XXXXXX"))
    {
        EXPECT_TRUE(m_dir.isValid()) << m_dir.errorString().toStdString();
    }
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

    // Writes a regular file, e.g. where a folder would have to be.
    void writeFile(const QString &name, const QByteArray &data) const
    {
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    QByteArray readFile(const QString &name) const
    {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool exists(const QString &name) const { return QFile::exists(file(name)); }

private:
    static QString parent()
    {
        const QString env = qEnvironmentVariable("TELLAR_TEST_TMPDIR");
        return env.isEmpty() ? QDir::tempPath() : env;
    }
    QTemporaryDir m_dir;
};

inline QString qs(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
