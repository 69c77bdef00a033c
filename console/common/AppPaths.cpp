#include "common/AppPaths.h"

#include "common/Helpers.h"

#include <QDir>
#include <QFileInfo>

namespace {

struct Paths {
    bool initialised = false;
    QString programDir;
    QString registryDir;
    QString programName;
};

Paths &paths()
{
    static Paths p;
    return p;
}

// /proc/self/exe names the running program even when argv[0] is a bare name
// found through PATH, or a symbolic link.
QFileInfo executable()
{
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
}

QString absolute(const QString &dir)
{
    return QDir::cleanPath(QDir(dir).absolutePath());
}

QString fromEnvironment(const char *name)
{
    return qEnvironmentVariable(name);
}

// The executable's folder is the program folder where the program runs from
// its build or a folder of its own; an installed program shares /usr/bin
// with everything else and keeps its files per user instead.
bool isInstalledProgram()
{
#ifdef TELLAR_INSTALLED_BINDIR
    return executable().absolutePath() == QDir::cleanPath(QStringLiteral(TELLAR_INSTALLED_BINDIR));
#else
    return false;
#endif
}

QString defaultProgramDir()
{
    const QString env = fromEnvironment("TELLAR_HOME");
    if (!env.isEmpty())
        return absolute(env);
    if (isInstalledProgram())
        return AppPaths::userStateDir();
    return executable().absolutePath();
}

QString defaultRegistryDir()
{
    const QString env = fromEnvironment("TELLAR_REGISTRY");
    if (!env.isEmpty())
        return absolute(env);
    return QString::fromLatin1(AppPaths::kDefaultRegistryDir);
}

QString defaultProgramName()
{
    return executable().completeBaseName();
}

// Takes "--name VALUE" or "--name=VALUE" at args[i]; advances i past it.
bool takeOption(const QStringList &args, qsizetype &i, QLatin1String name, QString *value)
{
    const QString &arg = args[i];
    if (arg == name) {
        if (i + 1 >= args.size())
            return false;  // no value: left for the caller to reject
        *value = args[i + 1];
        i += 2;
        return true;
    }
    if (arg.startsWith(name) && arg.size() > name.size() && arg[name.size()] == u'=') {
        *value = arg.mid(name.size() + 1);
        i += 1;
        return true;
    }
    return false;
}

} // namespace

AppPaths::Options AppPaths::parse(const QStringList &args)
{
    Options o{defaultProgramDir(), defaultRegistryDir(), {}};
    qsizetype i = 0;
    if (!args.isEmpty())
        o.rest << args[i++];
    while (i < args.size()) {
        QString value;
        if (takeOption(args, i, QLatin1String("--home"), &value)) {
            if (!value.isEmpty())
                o.programDir = absolute(value);
        } else if (takeOption(args, i, QLatin1String("--registry"), &value)) {
            if (!value.isEmpty())
                o.registryDir = absolute(value);
        } else {
            o.rest << args[i++];
        }
    }
    return o;
}

QString AppPaths::userStateDir()
{
    const QString state = fromEnvironment("XDG_STATE_HOME");
    if (!state.isEmpty() && QDir::isAbsolutePath(state))
        return QDir::cleanPath(state + QStringLiteral("/tellar"));
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/.local/state/tellar"));
}

QStringList AppPaths::init(const QStringList &args)
{
    Options o = parse(args);
    // The console's writers create files, not folders: make the per-user
    // folder on the first start of an installed program.
    if (o.programDir == userStateDir() && isInstalledProgram())
        QDir().mkpath(o.programDir);
    Paths &p = paths();
    p.programDir = o.programDir;
    p.registryDir = o.registryDir;
    p.programName = defaultProgramName();
    p.initialised = true;
    return o.rest;
}

QString AppPaths::programDir()
{
    const Paths &p = paths();
    return p.initialised ? p.programDir : defaultProgramDir();
}

QString AppPaths::registryDir()
{
    const Paths &p = paths();
    return p.initialised ? p.registryDir : defaultRegistryDir();
}

QString AppPaths::programName()
{
    const Paths &p = paths();
    return p.initialised ? p.programName : defaultProgramName();
}

QString AppPaths::programFile(const QString &fileName)
{
    return JoinPath(programDir(), fileName);
}

QString AppPaths::journalPath()
{
    return JoinPath(registryDir(), QStringLiteral("journal.sqlite"));
}

QString AppPaths::errorLogPath()
{
    return programFile(programName() + QStringLiteral(".err"));
}

namespace {
void ensureInitialised()
{
    Paths &p = paths();
    if (!p.initialised) {
        p.programDir = defaultProgramDir();
        p.registryDir = defaultRegistryDir();
        p.programName = defaultProgramName();
        p.initialised = true;
    }
}
} // namespace

void AppPaths::setProgramDir(const QString &dir)
{
    ensureInitialised();
    paths().programDir = absolute(dir);
}

void AppPaths::setRegistryDir(const QString &dir)
{
    ensureInitialised();
    paths().registryDir = absolute(dir);
}

void AppPaths::setProgramName(const QString &name)
{
    ensureInitialised();
    paths().programName = name;
}
