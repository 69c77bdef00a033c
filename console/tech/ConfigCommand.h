// `Tellar --config ...`: reads and writes the console's settings without
// opening a window, so a technician can provision tills from a script.
//
//   Tellar [--registry DIR] --config list           NAME=VALUE per value
//   Tellar [--registry DIR] --config get NAME       the value
//   Tellar [--registry DIR] --config set NAME VALUE
//
// Values are those under HKEY_LOCAL_MACHINE\SOFTWARE\Kerlan\Tellar. They are
// printed as stored (code page bytes, a NUL included), each followed by "\n".
// VALUE and NAME arrive as text and are stored in the console code page.
// --registry (or TELLAR_REGISTRY) chooses the store as for the console;
// --home is accepted and ignored.
//
// `set` takes only the names the console reads, spelt as it spells them,
// and only values they can hold (ConfigValues.h): a misspelt name or a
// value such as KKPort "abc" would otherwise be stored, ignored by the
// console and found only when the till fails. ECRPort may not be the
// payment server's port (KKPort) and the other way round. A refusal writes
// nothing. `list` and `get` show whatever is stored, unknown names included,
// so that a technician can see what to put right.
//
// Exit codes: 0 done; 1 get of a value that is not there; 2 usage error or a
// refused name or value; 3 the store cannot be read or written. Every non-zero exit writes one line
// to `err` saying why (with the system error code for store failures).
// Nothing here writes the error log: the technician sees the failure.
#pragma once

#include <QStringList>

class QIODevice;

namespace ConfigCommand {
enum ExitCode { Ok = 0, NotFound = 1, UsageError = 2, StoreError = 3 };
}

// True when args (args[0] is the program) ask for the config command, that
// is hold "--config" (main() then runs it before creating any QApplication).
bool isConfigCommand(const QStringList &args);

// Runs the command in args (args[0] is the program; "--registry DIR" may
// come anywhere). `out` and `err` must be open for writing.
int runConfigCommand(const QStringList &args, QIODevice &out, QIODevice &err);
