// `Tellar --support-bundle FILE.tar.gz`: what a technician takes away from a
// till, in one gzip-compressed tar archive, with the card data removed on
// the way (ScrubCardData: Luhn-valid card numbers and tracks become as many
// '*'). The files in the program folder and the store are only read.
//
// Members, all under one folder named after the archive (FILE without
// ".tar.gz" or ".tgz"):
//   log.txt, <program>.err                  from the program folder, each
//                                            when present
//   journal.jsonl                            the till's journal (beside the
//                                            store) of the last 90 days, one
//                                            JSON object per entry
//   HKEY_LOCAL_MACHINE.reg                   the settings store's file, when
//                                            present
//   version.txt, check.txt                   the output of --version and
//                                            --check
//   MANIFEST.txt                             what was taken, what was
//                                            missing, and how many card
//                                            numbers and tracks each member
//                                            lost
// The archive is written to a temporary file beside FILE and renamed into
// place when complete: a failed bundle leaves no half archive.
#pragma once

#include <QString>
#include <QStringList>

struct SupportBundleInput {
    QString programDir;
    QString registryDir;
    QString programName = QStringLiteral("Tellar");
    QString versionText;   // what --version printed
    QString checkText;     // what --check printed
};

struct SupportBundleResult {
    bool ok = false;
    QString error;             // why not, when !ok
    QStringList members;       // member names in the archive, in order
    int removed = 0;           // card numbers and tracks removed, all members
};

// The folder name used inside the archive for FILE.
QString SupportBundleFolder(const QString &archivePath);

SupportBundleResult WriteSupportBundle(const QString &archivePath, const SupportBundleInput &input);
