// The console's settings in the machine-wide store, and the string read and
// write operations over it.
//
// All settings are REG_SZ text values under
// HKEY_LOCAL_MACHINE\SOFTWARE\Kerlan\Tellar, written in the console code page
// with no terminating NUL. Reading never fails towards the caller and writing
// never reports: a value that cannot be read yields the caller's default,
// one that cannot be written is lost. Every failure except "not found" (and,
// on the value read, 1010) leaves one error-log entry (ErrorLog.h) with
// error number 321.
//
// Zero-length values read as the default: an emptied POS reads "00000000".
// A stored value holding a NUL reads as the text before it.
#pragma once

#include "common/RegistryStore.h"

#include <QLatin1String>
#include <QString>

namespace Config {

// Path handed to GetConfigString / PutConfigString by every caller.
inline constexpr QLatin1String KeyPath("Kerlan\\Tellar");

// Value names and the defaults their readers use.
inline constexpr QLatin1String KKAddress("KKAddress");      // server host
inline constexpr QLatin1String KKAddressDefault("127.0.0.1");
inline constexpr QLatin1String KKPort("KKPort");            // server port, decimal
inline constexpr QLatin1String KKPortDefault("8145");
inline constexpr QLatin1String Printer("Printer");          // receipt printer's name
inline constexpr QLatin1String PrinterDefault("");
inline constexpr QLatin1String RAW("RAW");                  // "1": raw receipt printing
inline constexpr QLatin1String RAWDefault("0");
inline constexpr QLatin1String ReportMode("ReportMode");    // "1": report mode
inline constexpr QLatin1String ReportModeDefault("1");
inline constexpr QLatin1String DoPrint("DoPrint");          // not "0": print receipts
inline constexpr QLatin1String DoPrintDefault("0");
inline constexpr QLatin1String POS("POS");                  // POS identifier
inline constexpr QLatin1String POSDefault("00000000");
inline constexpr QLatin1String Session("Session");          // session counter 1..999999
inline constexpr QLatin1String SessionDefault("0");
inline constexpr QLatin1String ECRPort("ECRPort");          // till hand-off port on 127.0.0.1; empty or 0: off
inline constexpr QLatin1String ECRPortDefault("");
inline constexpr QLatin1String ECRAutoStart("ECRAutoStart");// "1": a till's payment starts without OK
inline constexpr QLatin1String ECRAutoStartDefault("0");

// Error number of every error-log entry written here.
inline constexpr qint32 RegistryErrorNumber = 321;

} // namespace Config

// Reads `valueName` under `subKey` of `hive`. Failures to open the key other
// than "not found" log "RegOpenKeyEx andis vea <code>, hkey=<hive>,
// asukoht=<subKey>"; failures to read the value other than 2 and 1010 log
// "RegQueryValueEx andis vea <code>, hkey=<hive>, key=<valueName>
// asukoht=<subKey>". Either way `defaultValue` is returned.
QString GetRegString(HKEY hive, const QString &subKey, const QString &valueName,
                     const QString &defaultValue);

// Creates or opens `subKey` and sets `valueName` to `value`. A failed create
// logs "RegCreateKeyEx andis vea <code>, hkey=<hive>, asukoht=<subKey>" and
// the set is still attempted (and fails and is logged: two entries); a
// failed set logs "RegSetValueEx andis vea <code>, key=<valueName>,
// vaart=<value>".
void PutRegString(HKEY hive, const QString &subKey, const QString &valueName, const QString &value);

// GetRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\" + p, ...), where p is `path`
// with everything up to and including its first "software\" (any case) cut
// off: "Kerlan\Tellar" and "Software\Kerlan\Tellar" read the same key.
QString GetConfigString(const QString &path, const QString &valueName, const QString &defaultValue);

// PutRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\" + path, ...). The path is NOT
// stripped: "SOFTWARE\Kerlan\Tellar" writes under
// SOFTWARE\SOFTWARE\Kerlan\Tellar. Callers pass Config::KeyPath.
void PutConfigString(const QString &path, const QString &valueName, const QString &value);

// The same four on an explicit store instead of RegistryStore::machine().
QString GetRegString(RegistryStore &store, HKEY hive, const QString &subKey,
                     const QString &valueName, const QString &defaultValue);
void PutRegString(RegistryStore &store, HKEY hive, const QString &subKey,
                  const QString &valueName, const QString &value);
QString GetConfigString(RegistryStore &store, const QString &path, const QString &valueName,
                        const QString &defaultValue);
void PutConfigString(RegistryStore &store, const QString &path, const QString &valueName,
                     const QString &value);
