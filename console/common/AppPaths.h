// AppPaths: where the console keeps its files, decided once at start-up.
//
//   program folder   "log.txt", the error log "<program>.err", "Report.pdf".
//                    --home DIR, else TELLAR_HOME, else the folder of the
//                    executable (/proc/self/exe) -- except for an installed
//                    program (the executable in the install's bin folder,
//                    /usr/bin for the package), whose folder no cashier may
//                    write: that one keeps its files per user in
//                    $XDG_STATE_HOME/tellar (~/.local/state/tellar), which
//                    init() creates when missing.
//   registry folder  the settings store (RegistryStore), the till's journal
//                    "journal.sqlite" and its lock "Tellar.lock".
//                    --registry DIR, else TELLAR_REGISTRY, else
//                    /var/lib/tellar/registry (machine-wide, shared by every
//                    console on the machine).
//   program name     the executable's file name without extension ("Tellar");
//                    the error log is named after it.
//
// Options are accepted as "--home DIR" and "--home=DIR" (likewise
// --registry). An empty DIR counts as not given. Relative folders are made
// absolute against the working directory at the time of init().
//
// Call init() once from main() before anything reads a path; until then the
// getters answer from the environment and the executable alone. The setters
// exist for tests and for tools that embed the console's library. Not
// thread-safe: set up before starting threads.
#pragma once

#include <QString>
#include <QStringList>

class AppPaths {
public:
    static constexpr const char *kDefaultRegistryDir = "/var/lib/tellar/registry";

    // Reads --home and --registry from args (args[0] is the program) and the
    // environment. Returns args without the two options and their values, so
    // the caller can go on with the rest (for example "--config ...").
    // A trailing "--home" or "--registry" without a value is left in the
    // result for the caller to reject as a usage error.
    static QStringList init(const QStringList &args);

    // What init() would decide, without storing it: the folders (options
    // over environment over defaults) and the remaining arguments.
    struct Options {
        QString programDir;
        QString registryDir;
        QStringList rest;
    };
    static Options parse(const QStringList &args);

    // The per-user program folder of an installed program:
    // $XDG_STATE_HOME/tellar when that variable holds an absolute path,
    // else $HOME/.local/state/tellar.
    static QString userStateDir();

    static QString programDir();
    static QString registryDir();
    static QString programName();
    // JoinPath(programDir(), name): "log.txt", "Report.pdf", ...
    static QString programFile(const QString &fileName);
    // programFile(programName() + ".err")
    static QString errorLogPath();
    // The till's transaction journal, with the settings store:
    // JoinPath(registryDir(), "journal.sqlite").
    static QString journalPath();

    static void setProgramDir(const QString &dir);
    static void setRegistryDir(const QString &dir);
    static void setProgramName(const QString &name);
};
