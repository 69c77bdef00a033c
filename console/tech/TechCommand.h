// The technician's commands, run before any window system is touched:
//
//   Tellar [--home DIR] [--registry DIR] --version
//   Tellar [--home DIR] [--registry DIR] --check
//   Tellar [--home DIR] [--registry DIR] --support-bundle FILE.tar.gz
//
// --version prints VersionText(); --check the site check (SiteCheck.h), one
// line per check; --support-bundle writes the archive (SupportBundle.h) and
// one line saying what went in. --home and --registry (or TELLAR_HOME,
// TELLAR_REGISTRY) choose the folders as for the console.
//
// Exit codes: 0 done (for --check: no "VIGA"); 1 --check found a "VIGA";
// 2 usage error; 3 the bundle could not be written. Output is UTF-8 text
// with "\n" line ends; every failure writes one line to `err`.
#pragma once

#include <QStringList>

class QIODevice;

namespace TechCommand {
enum ExitCode { Ok = 0, CheckFailed = 1, UsageError = 2, WriteError = 3 };
}

// True when args (args[0] is the program) hold --version, --check or
// --support-bundle.
bool isTechCommand(const QStringList &args);

// Runs it; the folders are chosen as AppPaths::parse() chooses them.
// `out` and `err` must be open for writing.
int runTechCommand(const QStringList &args, QIODevice &out, QIODevice &err);
