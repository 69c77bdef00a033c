#include "common/Language.h"

#include "common/ErrorLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSaveFile>

#include <cstring>

namespace {

constexpr char kKey[] = "language=";

// The contexts of Qt's texts on the controls the console shows.
constexpr const char *kControlContexts[] = {
    "QLineEdit", "QWidgetTextControl", "QAbstractSpinBox", "QCalendarWidget", "QScrollBar", "QShortcut",
};

} // namespace

QString Translations::QtControlsTranslator::translate(const char *context, const char *sourceText,
                                                      const char *disambiguation, int n) const
{
    for (const char *allowed : kControlContexts) {
        if (context && std::strcmp(context, allowed) == 0)
            return QTranslator::translate(context, sourceText, disambiguation, n);
    }
    return QString();
}

QString LanguageCode(Language language)
{
    return language == Language::Russian ? QStringLiteral("ru") : QStringLiteral("et");
}

std::optional<Language> LanguageOfCode(const QString &code)
{
    if (code == u"ru")
        return Language::Russian;
    if (code == u"et")
        return Language::Estonian;
    return std::nullopt;
}

Language LanguageOfLocale(const QLocale &locale)
{
    return locale.language() == QLocale::Russian ? Language::Russian : Language::Estonian;
}

QString UserLanguageFile()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base = !config.isEmpty() && QDir::isAbsolutePath(config)
                             ? config
                             : QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/tellar/language.conf"));
}

std::optional<Language> StoredLanguage(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A few bytes are enough; a file that is something else is not read whole.
    while (!f.atEnd()) {
        const QByteArray line = f.readLine(256).trimmed();
        if (line.startsWith(kKey))
            return LanguageOfCode(QString::fromLatin1(line.mid(int(sizeof kKey) - 1)));
    }
    return std::nullopt;
}

bool StoreLanguage(const QString &file, Language language, QString *errorText)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile f(file);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(kKey + LanguageCode(language).toLatin1() + '\n');
        if (f.commit())
            return true;
    }
    if (errorText)
        *errorText = file + QStringLiteral(": ") + f.errorString();
    return false;
}

Translations::Translations(QStringList dirs)
    : m_dirs(std::move(dirs))
{
}

Translations::~Translations()
{
    removeAll();
}

QStringList Translations::defaultDirs()
{
    const QString program = QCoreApplication::applicationDirPath();
    return {program + QStringLiteral("/translations"),
            QDir::cleanPath(program + QStringLiteral("/../share/tellar/translations"))};
}

bool Translations::load(QTranslator &translator, const QString &fileName, const QStringList &dirs)
{
    for (const QString &dir : dirs) {
        if (translator.load(fileName, dir))
            return true;
    }
    m_missing << fileName;
    return false;
}

void Translations::removeAll()
{
    if (m_consoleInstalled)
        QCoreApplication::removeTranslator(&m_console);
    if (m_qtInstalled)
        QCoreApplication::removeTranslator(&m_qt);
    m_consoleInstalled = m_qtInstalled = false;
}

bool Translations::apply(Language language)
{
    removeAll();
    m_missing.clear();
    m_current = language;
    if (language == Language::Russian) {
        // The console's texts, and Qt's own from the system's Qt translations.
        if (load(m_console, QStringLiteral("tellar_ru.qm"), m_dirs))
            m_consoleInstalled = QCoreApplication::installTranslator(&m_console);
        const QStringList qtDirs = QStringList{QLibraryInfo::path(QLibraryInfo::TranslationsPath)} + m_dirs;
        if (load(m_qt, QStringLiteral("qtbase_ru.qm"), qtDirs))
            m_qtInstalled = QCoreApplication::installTranslator(&m_qt);
    } else {
        // The source texts are Estonian; Qt's own few the console shows
        // (the line edits' menu) come from the console's own file.
        if (load(m_qt, QStringLiteral("qtbase_et.qm"), m_dirs))
            m_qtInstalled = QCoreApplication::installTranslator(&m_qt);
    }
    // Qt tells the application of an installed or removed translator only
    // while its event loop runs; a language applied before (at start-up, or
    // under a test) must reach the windows as well. QApplication posts the
    // event to each window once, however often it is told.
    if (QCoreApplication *app = QCoreApplication::instance()) {
        QEvent changed(QEvent::LanguageChange);
        QCoreApplication::sendEvent(app, &changed);
    }
    return m_missing.isEmpty();
}

CashierLanguage::CashierLanguage(QString file, QStringList dirs)
    : m_file(std::move(file)), m_translations(std::move(dirs))
{
}

QLocale CashierLanguage::userLocale()
{
    return QLocale(QLocale::system().uiLanguages().value(0));
}

void CashierLanguage::start(const QLocale &locale)
{
    m_translations.apply(StoredLanguage(m_file).value_or(LanguageOfLocale(locale)));
    logMissing();
}

bool CashierLanguage::choose(Language language, QString *why)
{
    // The same language again is installed again only when a file was
    // missing: it may be there now.
    if (language != current() || !m_translations.missing().isEmpty()) {
        m_translations.apply(language);
        logMissing();
    }
    QString error;
    if (StoreLanguage(m_file, language, &error))
        return true;
    LogError(1, QStringLiteral("Keelevalikut ei saa salvestada: ") + error, QStringLiteral("Language"));
    if (why)
        *why = error;
    return false;
}

void CashierLanguage::logMissing() const
{
    // An installation without its translations shows the source texts; the
    // technician finds why here.
    if (!m_translations.missing().isEmpty())
        LogError(1, QStringLiteral("Tõlkefaile ei leitud: ") + m_translations.missing().join(u' '),
                 QStringLiteral("Translations"));
}
