// The cashier's language: Estonian (the source language of every text the
// console shows) or Russian. Only what the cashier reads changes with it;
// the wire, log.txt, the error log, the journal, the receipt and the report
// PDF are written the same in both.
//
// The choice is the user's own: kept in the user's configuration folder
// ($XDG_CONFIG_HOME/tellar/language.conf, else ~/.config/tellar/...), never
// in the till's store, which every console of the till shares. Without a
// remembered choice the locale decides: ru_* gives Russian, anything else
// Estonian.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTranslator>

#include <optional>

enum class Language { Estonian, Russian };

// "et" and "ru": the file's value and the .qm suffix.
QString LanguageCode(Language language);
std::optional<Language> LanguageOfCode(const QString &code);
Language LanguageOfLocale(const QLocale &locale);

// $XDG_CONFIG_HOME/tellar/language.conf when that variable holds an absolute
// path, else $HOME/.config/tellar/language.conf.
QString UserLanguageFile();

// The remembered choice; nothing when the file is missing or holds no
// language this console speaks.
std::optional<Language> StoredLanguage(const QString &file);
// Writes the choice (one line, "language=ru"), creating the folder.
bool StoreLanguage(const QString &file, Language language, QString *errorText = nullptr);

// The translators of one language, installed in the application. Installing
// sends every widget a LanguageChange event, so open windows retranslate
// themselves. Destroying the object removes its translators.
class Translations {
public:
    // dirs: where tellar_ru.qm and qtbase_et.qm are looked for, in order.
    // Qt's own Russian (qtbase_ru.qm) is looked for in Qt's translations
    // folder first.
    explicit Translations(QStringList dirs);
    ~Translations();
    Translations(const Translations &) = delete;
    Translations &operator=(const Translations &) = delete;

    // Installs the language's translators; each window gets a LanguageChange
    // event (posted). False when a file the language needs was not found: the texts it lacks stay in Estonian (or Qt's
    // English), and missing() names the files.
    bool apply(Language language);
    Language current() const { return m_current; }
    QStringList missing() const { return m_missing; }

    // The program's own search list: <program>/translations (a build tree or
    // an unpacked folder), then <program>/../share/tellar/translations (the
    // package's /usr/share/tellar/translations).
    static QStringList defaultDirs();

    // Qt's own texts, only those of the controls the cashier works with (the
    // line edits', date pickers' and lists' menus). Qt's error texts
    // (sockets, files) stay as Qt writes them: they go into log.txt and the
    // journal, which read the same in every language.
    class QtControlsTranslator final : public QTranslator {
    public:
        QString translate(const char *context, const char *sourceText, const char *disambiguation,
                          int n) const override;
    };

private:
    bool load(QTranslator &translator, const QString &fileName, const QStringList &dirs);
    void removeAll();

    QStringList m_dirs;
    QTranslator m_console;
    QtControlsTranslator m_qt;
    bool m_consoleInstalled = false;
    bool m_qtInstalled = false;
    Language m_current = Language::Estonian;
    QStringList m_missing;
};

// The language of one console window: the cashier's remembered choice, else
// the locale's, installed at start and changed by choose(). Translation
// files that are missing and a choice that cannot be written are told in
// the error log (Tellar.err): they are the installation's faults, not the
// till's records.
class CashierLanguage {
public:
    CashierLanguage(QString file, QStringList dirs);

    // The locale whose language the cashier reads: the first of the user's
    // interface languages (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
    static QLocale userLocale();

    void start(const QLocale &locale = userLocale());
    // Installs the language and remembers it. False when it could not be
    // remembered (why says so): it holds for this run only.
    bool choose(Language language, QString *why = nullptr);
    Language current() const { return m_translations.current(); }

private:
    void logMissing() const;

    QString m_file;
    Translations m_translations;
};
