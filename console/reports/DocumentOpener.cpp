#include "reports/DocumentOpener.h"

#include <QFileInfo>
#include <QProcess>
#include <QtGlobal>

QStringList DocumentOpenerCommand(const QString &path)
{
    const QString commandLine = qEnvironmentVariable(kPdfOpenerVariable);
    QStringList command = commandLine.trimmed().isEmpty() ? QStringList{QStringLiteral("xdg-open")}
                                                          : QProcess::splitCommand(commandLine);
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
