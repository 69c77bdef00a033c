// `Tellar --version`: the console's version and those of the libraries it
// runs with, as found at run time (not the headers it was built against):
//
//   Tellar 0.1.0
//   Qt 6.4.2
//   libcups 2.4.2
#pragma once

#include <QString>

// The project version the program was built as ("0.1.0").
QString TellarVersion();
// The Qt library loaded (qVersion()).
QString RuntimeQtVersion();
// The libcups loaded, read from the User-Agent it builds from its own
// version ("CUPS/2.4.2 (...)"); the headers' version followed by
// " (built against)" when the library does not name itself that way (a
// UserAgent set in client.conf).
QString RuntimeCupsVersion();
// The three lines above, each ended by "\n".
QString VersionText();
