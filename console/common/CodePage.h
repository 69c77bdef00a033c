// CodePage: the console's 8-bit code page, the one that turns text into the
// bytes of wire fields, log files, the settings store and receipts, and back.
//
// Two tables are built in: windows-1257 (Baltic, the default on Estonian
// workstations) and windows-1252 (Western). TELLAR_CODEPAGE selects one for
// the whole process; an unknown name falls back to windows-1257 with one
// warning on stderr.
//
// decode() maps every one of the 256 byte values to a character, so bytes ->
// text -> bytes gives back the original bytes. The positions a code page
// leaves undefined decode to the Unicode character of the same number
// (0x81 -> U+0081) and encode back to that byte. encode() writes '?' for each
// character (each code point, so a surrogate pair counts once) that the code
// page cannot hold.
//
// A CodePage is a small value (a pointer to a static table): cheap to copy,
// immutable, safe to share between threads.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

struct CodePageTable;

class CodePage {
public:
    // The process's code page: TELLAR_CODEPAGE, read once, or windows-1257.
    static const CodePage &console();
    // "windows-1257", "cp1257", "windows-1252", "cp1252", without regard to
    // case; anything else gives nullopt.
    static std::optional<CodePage> fromName(QByteArrayView name);

    QByteArray encode(QStringView text) const;   // unmappable characters -> '?'
    QString decode(QByteArrayView bytes) const;  // every byte maps to some character
    QByteArray name() const;                     // "windows-1257" or "windows-1252"

    bool operator==(const CodePage &other) const { return m_table == other.m_table; }

private:
    explicit CodePage(const CodePageTable *table) : m_table(table) {}
    const CodePageTable *m_table;
};
