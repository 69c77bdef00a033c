#include "reports/DocumentOpener.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMetaObject>
#include <QObject>
#include <QProcess>
#include <QtGlobal>

#include <utility>

QStringList SplitCommandLine(QStringView commandLine)
{
    QStringList words;
    QString word;
    bool inWord = false;
    enum { Plain, Single, Double } quote = Plain;
    for (qsizetype i = 0; i < commandLine.size(); ++i) {
        const QChar ch = commandLine[i];
        if (quote == Single) {
            if (ch == u'\'')
                quote = Plain;
            else
                word += ch;
            continue;
        }
        if (quote == Double) {
            if (ch == u'"') {
                quote = Plain;
            } else if (ch == u'\\' && i + 1 < commandLine.size()
                       && QStringView(u"\"\\$`").contains(commandLine[i + 1])) {
                word += commandLine[++i];
            } else {
                word += ch;
            }
            continue;
        }
        if (ch.isSpace()) {
            if (inWord)
                words << std::exchange(word, QString());
            inWord = false;
            continue;
        }
        inWord = true;
        if (ch == u'\'')
            quote = Single;
        else if (ch == u'"')
            quote = Double;
        else if (ch == u'\\' && i + 1 < commandLine.size())
            word += commandLine[++i];
        else
            word += ch;
    }
    // An unterminated quote runs to the end of the line.
    if (inWord)
        words << word;
    return words;
}

QStringList DocumentOpenerCommand(const QString &path)
{
    const QString commandLine = qEnvironmentVariable(kPdfOpenerVariable);
    QStringList command = commandLine.trimmed().isEmpty() ? QStringList{QStringLiteral("xdg-open")}
                                                          : SplitCommandLine(commandLine);
    if (command.isEmpty())
        return command;
    command.append(path);
    return command;
}

bool OpenDocument(const QString &path, QObject *context, std::function<void()> failed)
{
    if (!QFileInfo(path).isFile())
        return false;
    QStringList command = DocumentOpenerCommand(path);
    if (command.isEmpty() || command.first().isEmpty())   // '' names no program
        return false;

    auto *opener = new QProcess(context);
    opener->setProgram(command.takeFirst());
    opener->setArguments(command);
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    opener->setStandardInputFile(QProcess::nullDevice());

    // Queued, so failed never runs inside this call even when the start
    // failure is known at once. A program that cannot be started reports
    // only errorOccurred (FailedToStart), one that ran only finished (a crash
    // comes as both, errorOccurred with Crashed), so each opener fails once.
    QObject *receiver = context ? context : QCoreApplication::instance();
    const auto fail = [receiver, failed = std::move(failed)] {
        if (failed && receiver)
            QMetaObject::invokeMethod(receiver, failed, Qt::QueuedConnection);
    };
    QObject::connect(opener, &QProcess::errorOccurred, opener, [opener, fail](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        fail();
        opener->deleteLater();
    });
    QObject::connect(opener, &QProcess::finished, opener,
                     [opener, fail](int exitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || exitCode != 0)
                             fail();
                         opener->deleteLater();
                     });
    opener->start();
    return true;
}
