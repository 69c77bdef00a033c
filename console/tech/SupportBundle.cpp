#include "tech/SupportBundle.h"

#include "common/Helpers.h"
#include "common/RegistryStore.h"
#include "session/TransactionJournal.h"
#include "tech/CardScrubber.h"
#include "tech/TarGzWriter.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr int kJournalDays = 90;

struct Source {
    QString member;    // name inside the folder
    QString path;      // file to read; empty for generated text
    QByteArray text;   // generated text
    QByteArray origin; // where generated text comes from, for the manifest
};

} // namespace

QString SupportBundleFolder(const QString &archivePath)
{
    QString name = QFileInfo(archivePath).fileName();
    for (const QLatin1String suffix : {QLatin1String(".tar.gz"), QLatin1String(".tgz")}) {
        if (name.endsWith(suffix, Qt::CaseInsensitive) && name.size() > suffix.size()) {
            name.chop(suffix.size());
            break;
        }
    }
    return name.isEmpty() ? QStringLiteral("tellar-support") : name;
}

SupportBundleResult WriteSupportBundle(const QString &archivePath, const SupportBundleInput &input)
{
    SupportBundleResult out;
    const QString folder = SupportBundleFolder(archivePath);
    const QDateTime now = QDateTime::currentDateTimeUtc();

    // The till's journal: its last 90 days, as JSON Lines.
    const QString journalPath = JoinPath(input.registryDir, QStringLiteral("journal.sqlite"));
    QByteArray journalNote;
    QByteArray journalText;
    if (QFileInfo::exists(journalPath)) {
        TransactionJournal journal(journalPath);
        journalText = journal.entriesAsJsonLines(now.addDays(-kJournalDays));
        if (!journal.lastErrorText().isEmpty())
            journalNote = "journal.jsonl: cannot be read (" + journalPath.toUtf8() + ": "
                        + journal.lastErrorText().toUtf8() + ")\n";
    } else {
        journalNote = "journal.jsonl: not present (" + journalPath.toUtf8() + ")\n";
    }

    QList<Source> sources = {
        {QStringLiteral("log.txt"), JoinPath(input.programDir, QStringLiteral("log.txt")), {}},
        {input.programName + QStringLiteral(".err"),
         JoinPath(input.programDir, input.programName + QStringLiteral(".err")), {}},
        {QStringLiteral("HKEY_LOCAL_MACHINE.reg"), RegistryStore(input.registryDir).hiveFilePath(HKEY_LOCAL_MACHINE),
         {}},
        {QStringLiteral("version.txt"), QString(), input.versionText.toUtf8()},
        {QStringLiteral("check.txt"), QString(), input.checkText.toUtf8()},
    };
    if (journalNote.isEmpty()) {
        sources.append({QStringLiteral("journal.jsonl"), QString(), journalText,
                        "(the last " + QByteArray::number(kJournalDays) + " days) from " + journalPath.toUtf8()});
    }

    QSaveFile file(archivePath);
    if (!file.open(QIODevice::WriteOnly)) {
        out.error = archivePath + QStringLiteral(": ") + file.errorString();
        return out;
    }
    TarGzWriter tar(file);
    QByteArray manifest = "Tellar support bundle, written " + now.toString(Qt::ISODate).toUtf8()
                          + "\nCard numbers (Luhn-valid runs of 13-19 digits) and card tracks are replaced by '*'.\n\n";
    manifest += journalNote;

    for (const Source &source : sources) {
        QByteArray data = source.text;
        QDateTime modified = now;
        if (!source.path.isEmpty()) {
            QFile in(source.path);
            if (!in.exists()) {
                manifest += source.member.toUtf8() + QByteArrayLiteral(": not present (") + source.path.toUtf8() + ")\n";
                continue;
            }
            if (!in.open(QIODevice::ReadOnly)) {
                manifest += source.member.toUtf8() + QByteArrayLiteral(": cannot be read (") + source.path.toUtf8()
                            + ": " + in.errorString().toUtf8() + ")\n";
                continue;
            }
            data = in.readAll();
            modified = QFileInfo(in).lastModified();
        }
        const ScrubCount removed = ScrubCardData(data);
        out.removed += removed.total();
        const QString member = folder + u'/' + source.member;
        if (!tar.addFile(member, data, modified)) {
            out.error = archivePath + QStringLiteral(": cannot write ") + member + QStringLiteral(": ")
                        + file.errorString();
            file.cancelWriting();
            return out;
        }
        out.members << member;
        manifest += source.member.toUtf8() + ": " + QByteArray::number(data.size()) + " bytes";
        if (!source.path.isEmpty())
            manifest += " from " + source.path.toUtf8();
        else if (!source.origin.isEmpty())
            manifest += ' ' + source.origin;
        manifest += ", " + QByteArray::number(removed.cardNumbers) + " card numbers and "
                    + QByteArray::number(removed.tracks) + " tracks removed\n";
    }

    const QString manifestMember = folder + QStringLiteral("/MANIFEST.txt");
    if (!tar.addFile(manifestMember, manifest, now) || !tar.finish() || !file.commit()) {
        out.error = archivePath + QStringLiteral(": ") + file.errorString();
        if (file.isOpen())
            file.cancelWriting();
        return out;
    }
    out.members << manifestMember;
    out.ok = true;
    return out;
}
