#include "tech/TechCommand.h"

#include "common/AppPaths.h"
#include "tech/SiteCheck.h"
#include "tech/SupportBundle.h"
#include "tech/VersionInfo.h"

#include <QIODevice>

namespace {

const char kUsage[] =
    "usage: Tellar [--home DIR] [--registry DIR] --version\n"
    "       Tellar [--home DIR] [--registry DIR] --check\n"
    "       Tellar [--home DIR] [--registry DIR] --support-bundle FILE.tar.gz\n";

const QLatin1String kVersion("--version");
const QLatin1String kCheck("--check");
const QLatin1String kBundle("--support-bundle");

bool isCommandWord(const QString &arg)
{
    return arg == kVersion || arg == kCheck || arg == kBundle || arg.startsWith(kBundle + u'=');
}

void line(QIODevice &dev, const QString &text)
{
    dev.write(text.toUtf8() + '\n');
}

int usage(QIODevice &err, const QString &why)
{
    line(err, QStringLiteral("Tellar: ") + why);
    err.write(kUsage);
    return TechCommand::UsageError;
}

SiteCheckOptions checkOptions(const AppPaths::Options &paths)
{
    SiteCheckOptions o;
    o.programDir = paths.programDir;
    o.registryDir = paths.registryDir;
    o.programName = AppPaths::programName();
    return o;
}

QString checkText(const QList<CheckResult> &results)
{
    QString text;
    for (const CheckResult &r : results)
        text += FormatCheckLine(r) + u'\n';
    return text;
}

} // namespace

bool isTechCommand(const QStringList &args)
{
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (isCommandWord(args[i]))
            return true;
    }
    return false;
}

int runTechCommand(const QStringList &args, QIODevice &out, QIODevice &err)
{
    const AppPaths::Options paths = AppPaths::parse(args);
    const QStringList rest = paths.rest.mid(1);
    if (rest.isEmpty())
        return usage(err, QStringLiteral("no command given"));
    QString command = rest.first();
    QStringList operands = rest.mid(1);
    if (command.startsWith(kBundle + u'=')) {
        operands.prepend(command.mid(kBundle.size() + 1));
        command = kBundle;
    }
    if (!isCommandWord(command))
        return usage(err, QStringLiteral("unknown argument \"%1\"").arg(command));

    if (command == kVersion) {
        if (!operands.isEmpty())
            return usage(err, QStringLiteral("--version takes no argument"));
        out.write(VersionText().toUtf8());
        return TechCommand::Ok;
    }
    if (command == kCheck) {
        if (!operands.isEmpty())
            return usage(err, QStringLiteral("--check takes no argument"));
        const QList<CheckResult> results = RunSiteCheck(checkOptions(paths));
        out.write(checkText(results).toUtf8());
        return SiteCheckPassed(results) ? TechCommand::Ok : TechCommand::CheckFailed;
    }
    if (operands.size() != 1 || operands.first().isEmpty())
        return usage(err, QStringLiteral("--support-bundle needs one FILE.tar.gz"));
    const QString archive = operands.first();
    SupportBundleInput input;
    input.programDir = paths.programDir;
    input.registryDir = paths.registryDir;
    input.programName = AppPaths::programName();
    input.versionText = VersionText();
    input.checkText = checkText(RunSiteCheck(checkOptions(paths)));
    const SupportBundleResult written = WriteSupportBundle(archive, input);
    if (!written.ok) {
        line(err, QStringLiteral("Tellar --support-bundle: ") + written.error);
        return TechCommand::WriteError;
    }
    line(out, QStringLiteral("Tellar --support-bundle: %1: %2 files, %3 card numbers and tracks removed")
                  .arg(archive)
                  .arg(written.members.size())
                  .arg(written.removed));
    return TechCommand::Ok;
}
