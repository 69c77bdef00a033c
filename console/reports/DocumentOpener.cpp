#include "reports/DocumentOpener.h"

#include <QFileInfo>
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

bool OpenDocument(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return false;
    QStringList command = DocumentOpenerCommand(path);
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command);
}
