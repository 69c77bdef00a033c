#include "tech/SiteCheck.h"

#include "common/CodePage.h"
#include "common/Config.h"
#include "common/ConfigValues.h"
#include "common/Helpers.h"
#include "common/KeyboardLayout.h"
#include "common/RegistryStore.h"
#include "reports/DocumentOpener.h"
#include "session/StartupSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>

#include <cups/cups.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

CheckResult result(CheckResult::Status status, const char *name, const QString &detail)
{
    return {status, QString::fromUtf8(name), detail};
}

QString u8(const char *text)
{
    return QString::fromUtf8(text);
}

QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

// access(2) with the effective ids, as the console's own opens will be
// checked; it also reports a read-only file system.
bool mayAccess(const QString &path, int mode)
{
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), mode, AT_EACCESS) == 0;
}

// The nearest folder at or above `path` that exists, or "".
QString nearestExisting(const QString &path)
{
    QString p = QDir::cleanPath(QDir(path).absolutePath());
    while (!QFileInfo::exists(p)) {
        const QString up = QFileInfo(p).path();
        if (up == p)
            return QString();
        p = up;
    }
    return p;
}

QByteArray consoleKeyPath()
{
    return "SOFTWARE\\" + CodePage::console().encode(QString(Config::KeyPath));
}

} // namespace

QString StatusWord(CheckResult::Status status)
{
    switch (status) {
    case CheckResult::Ok:
        return QStringLiteral("OK");
    case CheckResult::Warning:
        return QStringLiteral("HOIATUS");
    case CheckResult::Error:
        break;
    }
    return QStringLiteral("VIGA");
}

QString FormatCheckLine(const CheckResult &r)
{
    return StatusWord(r.status) + u'\t' + r.name + u'\t' + r.detail;
}

bool SiteCheckPassed(const QList<CheckResult> &results)
{
    for (const CheckResult &r : results) {
        if (r.status == CheckResult::Error)
            return false;
    }
    return true;
}

// --- settings store ------------------------------------------------------

CheckResult CheckStore(const QString &registryDir)
{
    constexpr const char *name = "Seadete hoidla";
    const QFileInfo dir(registryDir);
    if (!dir.exists()) {
        // The first write creates the folder and its missing parents.
        const QString parent = nearestExisting(registryDir);
        if (parent.isEmpty() || !QFileInfo(parent).isDir() || !mayAccess(parent, W_OK | X_OK))
            return result(CheckResult::Error, name,
                          registryDir + u8(" puudub ja seda ei saa luua (") + parent
                              + u8(" pole kirjutatav)"));
        return result(CheckResult::Ok, name,
                      registryDir + u8(" puudub; see luuakse esimesel salvestamisel"));
    }
    if (!dir.isDir())
        return result(CheckResult::Error, name, registryDir + u8(" pole kaust"));
    if (!mayAccess(registryDir, R_OK | X_OK))
        return result(CheckResult::Error, name, registryDir + u8(": kausta ei saa lugeda"));
    // A writer puts a new file beside the old and renames it over: the
    // folder must be writable, the file itself need not be.
    if (!mayAccess(registryDir, W_OK))
        return result(CheckResult::Error, name,
                      registryDir + u8(": kausta ei saa kirjutada (seadeid ja seansinumbrit ei salvestata)"));

    RegistryStore store(registryDir);
    const QString file = store.hiveFilePath(HKEY_LOCAL_MACHINE);
    const QString lock = QFileInfo(file).path() + u'/' + QFileInfo(file).completeBaseName() + u8(".lock");
    if (QFileInfo::exists(lock) && !mayAccess(lock, R_OK))
        return result(CheckResult::Error, name, lock + u8(": lukufaili ei saa avada"));
    HKEY key = 0;
    const qint32 rc = store.openKey(HKEY_LOCAL_MACHINE, consoleKeyPath(), KEY_READ, &key);
    if (rc == RegistryStore::Success)
        store.closeKey(key);
    if (rc == RegistryStore::BadDb)
        return result(CheckResult::Error, name,
                      file + u8(": fail on rikutud (viga 1009); seda ei kirjutata üle"));
    if (rc == RegistryStore::AccessDenied)
        return result(CheckResult::Error, name, file + u8(": faili ei saa lugeda (viga 5)"));
    if (rc != RegistryStore::Success && rc != RegistryStore::FileNotFound)
        return result(CheckResult::Error, name,
                      file + u8(": lugemine ebaõnnestus (viga ") + QString::number(rc) + u')');
    if (rc == RegistryStore::FileNotFound)
        return result(CheckResult::Ok, name,
                      registryDir + u8(": loetav ja kirjutatav; seadeid pole veel salvestatud"));
    return result(CheckResult::Ok, name, registryDir + u8(": loetav ja kirjutatav"));
}

// --- stored values -----------------------------------------------------------

namespace {

struct StoredValue {
    QString name;   // as stored: the store ignores letter case
    QString text;   // as the console reads it: the bytes before a NUL
};

// Every value under the console's key, read as GetRegString reads one; *rc
// is the store's answer (FileNotFound when nothing is stored).
QList<StoredValue> readStoredValues(const QString &registryDir, qint32 *rc)
{
    RegistryStore store(registryDir);
    const CodePage &cp = CodePage::console();
    HKEY key = 0;
    *rc = store.openKey(HKEY_LOCAL_MACHINE, consoleKeyPath(), KEY_READ, &key);
    if (*rc != RegistryStore::Success)
        return {};
    QList<RegistryStore::Value> values;
    *rc = store.enumValues(key, &values);
    store.closeKey(key);
    QList<StoredValue> out;
    for (const RegistryStore::Value &v : std::as_const(values)) {
        QByteArray data = v.data;
        const qsizetype nul = data.indexOf('\0');
        if (nul >= 0)
            data.truncate(nul);
        out.append({cp.decode(v.name), cp.decode(data)});
    }
    return out;
}

// The stored text of `name` (matched as the store matches names), empty when
// it is not stored.
QString storedText(const QList<StoredValue> &values, QLatin1String name)
{
    for (const StoredValue &v : values) {
        if (v.name.compare(name, Qt::CaseInsensitive) == 0)
            return v.text;
    }
    return QString();
}

// What the console uses for a value whose stored text does not fit, as its
// start-up reads take it (`settings` read the same way); "" for ECRPort,
// whose listener is then off.
QString usedInstead(const ConfigValues::Value &value, const QString &text, const ConsoleSettings &settings)
{
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    if (value.name == Config::KKAddress)
        return settings.fAddress;
    if (value.name == Config::KKPort)
        return QString::number(settings.fPort);
    if (value.name == Config::RAW)
        return flag(settings.fRAW);
    if (value.name == Config::ReportMode)
        return flag(settings.fReportMode);
    if (value.name == Config::DoPrint)
        return flag(settings.fDoPrint);
    if (value.name == Config::Session)  // as ReadSessionNumber: the next session is this + 1
        return QString::number(ParseBoundedLong(text, 0, 999999, 0));
    if (value.name == Config::ECRAutoStart)
        return flag(ConfigValues::tillAutoStart(text));
    if (value.name == Config::ECRPort)
        return QString();
    return text.isEmpty() ? QString(value.defaultValue) : text;
}

} // namespace

QList<CheckResult> CheckStoredSettings(const QString &registryDir)
{
    constexpr const char *name = "Seaded";
    qint32 rc = RegistryStore::Success;
    const QList<StoredValue> values = readStoredValues(registryDir, &rc);
    if (rc == RegistryStore::FileNotFound)
        return {result(CheckResult::Ok, name, u8("midagi pole salvestatud; konsool kasutab vaikeväärtusi"))};
    if (rc != RegistryStore::Success)
        return {result(CheckResult::Warning, name,
                       u8("väärtusi ei saa lugeda (viga ") + QString::number(rc)
                           + u8("); konsool kasutab vaikeväärtusi"))};

    const ConsoleSettings settings = ReadSettingsForCheck(registryDir);
    const auto lookup = [&](QLatin1String other) { return storedText(values, other); };
    QList<CheckResult> found;
    QStringList names;
    for (const StoredValue &v : values) {
        names << v.name;
        const ConfigValues::Value *known = ConfigValues::findAnyCase(v.name);
        if (!known) {
            found << result(CheckResult::Warning, name,
                            u8("nimi ") + quoted(v.name) + u8(" pole konsooli seade; konsool ei loe seda"));
            continue;
        }
        QString why = ConfigValues::refusal(*known, v.text);
        // Only ECRPort gives way when the two ports meet: the console
        // still reaches the payment server on KKPort.
        if (why.isEmpty() && known->name == Config::ECRPort)
            why = ConfigValues::clash(*known, v.text, lookup);
        if (why.isEmpty())
            continue;
        QString detail = QString(known->name) + u' ' + quoted(v.text) + u8(" ei sobi (") + why + u8("); ");
        const QString used = usedInstead(*known, v.text, settings);
        if (known->name == Config::ECRPort)
            detail += u8("kassaliides on väljas");
        else if (used == known->defaultValue)
            detail += u8("kasutatakse vaikeväärtust ") + used;
        else
            detail += u8("konsool loeb selle kui ") + used + u8(" (vaikeväärtus ") + known->defaultValue + u')';
        found << result(CheckResult::Warning, name, detail);
    }
    if (found.isEmpty())
        found << result(CheckResult::Ok, name,
                        u8("salvestatud ") + names.join(QStringLiteral(", ")) + u8("; kõik sobivad"));
    return found;
}

// --- program folder --------------------------------------------------------

CheckResult CheckProgramFolder(const QString &programDir, const QString &programName)
{
    constexpr const char *name = "Programmi kaust";
    const QFileInfo dir(programDir);
    if (!dir.exists())
        return result(CheckResult::Error, name, programDir + u8(" puudub"));
    if (!dir.isDir())
        return result(CheckResult::Error, name, programDir + u8(" pole kaust"));
    const QStringList files = {QStringLiteral("log.txt"), programName + QStringLiteral(".err"),
                               QStringLiteral("Report.pdf")};
    // Missing files are created there, and Report.pdf is removed before it
    // is written again: both need the folder.
    if (!mayAccess(programDir, W_OK | X_OK))
        return result(CheckResult::Error, name,
                      programDir + u8(": kausta ei saa kirjutada (") + files.join(QStringLiteral(", "))
                          + u')');
    QStringList locked;
    for (const QString &f : files) {
        const QString path = JoinPath(programDir, f);
        if (QFileInfo::exists(path) && !mayAccess(path, W_OK))
            locked << f;
    }
    if (!locked.isEmpty())
        return result(CheckResult::Error, name,
                      programDir + u8(": ei saa kirjutada faile ") + locked.join(QStringLiteral(", ")));
    return result(CheckResult::Ok, name,
                  programDir + u8(": ") + files.join(QStringLiteral(", ")) + u8(" saab kirjutada"));
}

// --- payment server ----------------------------------------------------------

namespace {

QString endpoint(const QString &address, qint32 port)
{
    const QString host = address.contains(u':') ? u'[' + address + u']' : address;
    return host + u':' + QString::number(port);
}

QString describeConnectError(int error)
{
    switch (error) {
    case ECONNREFUSED:
        return u8("ühendusest keelduti (seal ei kuula keegi)");
    case EHOSTUNREACH:
    case ENETUNREACH:
        return u8("masin või võrk pole kättesaadav");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

// Connects to one address within the time left; 0 on success, else the
// errno, ETIMEDOUT when the time ran out.
int connectOnce(const addrinfo *ai, std::chrono::steady_clock::time_point deadline)
{
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            ai->ai_protocol);
    if (fd < 0)
        return errno;
    int error = 0;
    if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            error = ETIMEDOUT;
            for (;;) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0)
                    break;
                pollfd p{fd, POLLOUT, 0};
                const int n = ::poll(&p, 1, int(left.count()));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n > 0) {
                    socklen_t length = sizeof error;
                    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                        error = errno;
                }
                break;
            }
        }
    }
    // Closed at once: the server sees a connection that ends without a
    // byte, as after a console's connect time-out.
    ::close(fd);
    return error;
}

} // namespace

CheckResult CheckPaymentServer(const QString &address, qint32 port, int timeoutMs)
{
    constexpr const char *name = "Makseserver";
    const QString where = endpoint(address, port);
    if (port < 1 || port > 65535)
        return result(CheckResult::Error, name, where + u8(": port pole vahemikus 1…65535"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const QByteArray host = address.toUtf8();
    const QByteArray service = QByteArray::number(port);
    const int gai = ::getaddrinfo(host.constData(), service.constData(), &hints, &found);
    if (gai != 0)
        return result(CheckResult::Error, name,
                      where + u8(": aadressi ei leitud (") + QString::fromLocal8Bit(gai_strerror(gai)) + u')');
    int error = ETIMEDOUT;
    for (const addrinfo *ai = found; ai; ai = ai->ai_next) {
        error = connectOnce(ai, deadline);
        if (error == 0 || std::chrono::steady_clock::now() >= deadline)
            break;
    }
    ::freeaddrinfo(found);
    if (error == 0)
        return result(CheckResult::Ok, name, where + u8(" võtab ühenduse vastu"));
    if (error == ETIMEDOUT)
        return result(CheckResult::Error, name,
                      where + u8(" ei vastanud ") + QString::number(timeoutMs / 1000.0) + u8(" s jooksul"));
    return result(CheckResult::Error, name, where + u8(": ") + describeConnectError(error));
}

// --- till hand-off listener ------------------------------------------------------

CheckResult CheckTillListener(const QString &registryDir)
{
    constexpr const char *name = "Kassaliides";
    qint32 rc = RegistryStore::Success;
    const QString ecrPort = storedText(readStoredValues(registryDir, &rc), Config::ECRPort);
    if (ConfigValues::tillListenerOff(ecrPort))
        return result(CheckResult::Ok, name, u8("väljas (ECRPort pole seatud)"));
    const ConsoleSettings settings = ReadSettingsForCheck(registryDir);
    const quint16 port = ConfigValues::tillListenerPort(ecrPort, settings.fPort);
    if (port == 0)
        return result(CheckResult::Warning, name,
                      u8("väljas: ECRPort ") + quoted(ecrPort) + u8(" ei sobi (vt Seaded)"));
    // In report mode the console takes no payments: every till request
    // would be answered Busy.
    if (settings.fReportMode)
        return result(CheckResult::Warning, name,
                      u8("ReportMode on 1: konsool võtab kassa päringud vastu, kuid vastab igale Busy"));

    // Bound as the console binds it, and let go at once. A running console
    // of this till holds the port too: from outside, it cannot be told from
    // another program.
    const QString where = endpoint(QStringLiteral("127.0.0.1"), port);
    QTcpServer probe;
    if (probe.listen(QHostAddress::LocalHost, port)) {
        probe.close();
        return result(CheckResult::Ok, name, u8("vaba, konsool kuulab ") + where);
    }
    switch (probe.serverError()) {
    case QAbstractSocket::AddressInUseError:
        return result(CheckResult::Warning, name,
                      where + u8(" on hõivatud: seda hoiab teine programm või juba töötav konsool"));
    case QAbstractSocket::SocketAccessError:
        return result(CheckResult::Warning, name,
                      where + u8(": pordil kuulamiseks pole õigust (pordid alla 1024 on "
                                 "süsteemi omad); konsool ei saa seal kuulata"));
    default:
        return result(CheckResult::Warning, name,
                      where + u8(": konsool ei saa seal kuulata (") + probe.errorString() + u')');
    }
}

// --- receipt printer -----------------------------------------------------------

namespace {

struct QueueState {
    bool answered = false;
    int state = 0;               // IPP printer-state: 3 idle, 4 processing, 5 stopped
    bool accepting = false;
    QString makeAndModel;
    QString message;
};

QueueState queueState(const QString &queue)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", queue.toUtf8().constData());
    ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    static const char *const wanted[] = {"printer-state", "printer-is-accepting-jobs",
                                         "printer-make-and-model", "printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(sizeof wanted / sizeof *wanted), nullptr, wanted);
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    QueueState s;
    if (response && cupsLastError() <= IPP_STATUS_OK_CONFLICTING) {
        s.answered = true;
        if (ipp_attribute_t *a = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM))
            s.state = ippGetInteger(a, 0);
        if (ipp_attribute_t *a = ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
            s.accepting = ippGetBoolean(a, 0);
        if (ipp_attribute_t *a = ippFindAttribute(response, "printer-make-and-model", IPP_TAG_TEXT))
            s.makeAndModel = QString::fromUtf8(ippGetString(a, 0, nullptr));
        if (ipp_attribute_t *a = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT))
            s.message = QString::fromUtf8(ippGetString(a, 0, nullptr));
    }
    ippDelete(response);
    return s;
}

} // namespace

CheckResult CheckReceiptPrinter(const ConsoleSettings &settings)
{
    constexpr const char *name = "Kviitungiprinter";
    if (!settings.fDoPrint)
        return result(CheckResult::Ok, name, u8("kviitungeid ei trükita (DoPrint=0)"));
    if (settings.fPrinter.isEmpty())
        return result(CheckResult::Error, name, u8("DoPrint on sees, aga Printer on määramata"));
    const QString queue = quoted(settings.fPrinter);

    // The console looks the name up in this list, letter case included.
    cups_dest_t *dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    const ipp_status_t listStatus = cupsLastError();
    bool exact = false;
    QString otherCase;
    for (int i = 0; i < count; ++i) {
        if (dests[i].instance)
            continue;
        const QString n = QString::fromUtf8(dests[i].name);
        if (n == settings.fPrinter)
            exact = true;
        else if (n.compare(settings.fPrinter, Qt::CaseInsensitive) == 0)
            otherCase = n;
    }
    cupsFreeDests(count, dests);
    if (count == 0 && listStatus > IPP_STATUS_OK_CONFLICTING)
        return result(CheckResult::Error, name,
                      u8("CUPS ei vasta (") + QString::fromUtf8(cupsServer()) + u8("): ")
                          + QString::fromUtf8(cupsLastErrorString()));
    if (!exact) {
        QString detail = u8("järjekorda ") + queue + u8(" CUPS-is pole");
        if (!otherCase.isEmpty())
            detail += u8(" (on ") + quoted(otherCase) + u8("; nimi peab kattuma täpselt)");
        return result(CheckResult::Error, name, detail);
    }

    const QueueState s = queueState(settings.fPrinter);
    if (!s.answered)
        return result(CheckResult::Error, name,
                      u8("järjekorra ") + queue + u8(" olekut ei saa küsida: ")
                          + QString::fromUtf8(cupsLastErrorString()));
    QStringList faults;
    if (s.state == IPP_PSTATE_STOPPED)
        faults << u8("on peatatud (cupsenable ") + settings.fPrinter + u')';
    if (!s.accepting)
        faults << u8("ei võta töid vastu (cupsaccept ") + settings.fPrinter + u')';
    if (!faults.isEmpty()) {
        QString detail = u8("järjekord ") + queue + u' ' + faults.join(u8(" ja "));
        if (!s.message.isEmpty())
            detail += u8(": ") + s.message;
        return result(CheckResult::Error, name, detail);
    }
    // CUPS names a queue without a driver this way; anything else converts
    // what it is given, and the receipt's raw bytes would be printed as text
    // or refused.
    const bool rawQueue = s.makeAndModel == u8("Local Raw Printer");
    const QString kind = rawQueue ? u8("toores järjekord") : u8("draiver: ") + s.makeAndModel;
    if (settings.fRAW && !rawQueue)
        return result(CheckResult::Warning, name,
                      u8("RAW=1, aga järjekord ") + queue + u8(" pole toores (") + kind
                          + u8("): kviitungi baidid lähevad läbi draiveri"));
    return result(CheckResult::Ok, name,
                  u8("järjekord ") + queue + u8(" võtab töid vastu (") + kind + u')');
}

// --- PDF opener ----------------------------------------------------------------

namespace {

bool isProgram(const QString &program)
{
    if (program.contains(u'/')) {
        const QFileInfo f(program);
        return f.isFile() && f.isExecutable();
    }
    return !QStandardPaths::findExecutable(program).isEmpty();
}

} // namespace

CheckResult CheckPdfOpener()
{
    constexpr const char *name = "PDF-i avaja";
    const QString still = u8("; aruanded salvestatakse siiski");
    const QString commandLine = qEnvironmentVariable(kPdfOpenerVariable).trimmed();
    if (!commandLine.isEmpty()) {
        const QStringList words = SplitCommandLine(commandLine);
        if (words.isEmpty())
            return result(CheckResult::Warning, name,
                          QLatin1String(kPdfOpenerVariable) + u8(" ei nimeta programmi") + still);
        if (!isProgram(words.first()))
            return result(CheckResult::Warning, name,
                          QLatin1String(kPdfOpenerVariable) + u8(": programmi ") + quoted(words.first())
                              + u8(" ei leitud") + still);
        return result(CheckResult::Ok, name, QLatin1String(kPdfOpenerVariable) + u8(": ") + commandLine);
    }
    if (!isProgram(QStringLiteral("xdg-open")) || !isProgram(QStringLiteral("xdg-mime")))
        return result(CheckResult::Warning, name,
                      u8("xdg-open või xdg-mime puudub (pakett xdg-utils) ja ")
                          + QLatin1String(kPdfOpenerVariable) + u8(" pole määratud") + still);
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("application/pdf")});
    QString handler;
    if (query.waitForStarted(5000) && query.waitForFinished(5000))
        handler = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    else
        query.kill();
    if (handler.isEmpty())
        return result(CheckResult::Warning, name,
                      u8("PDF-failidele pole vaikeprogrammi (xdg-mime query default application/pdf)")
                          + still);
    return result(CheckResult::Ok, name, u8("xdg-open: ") + handler);
}

// --- keyboard layout -------------------------------------------------------------

CheckResult CheckKeyboardLayout()
{
    constexpr const char *name = "Klaviatuuripaigutus";
    const QByteArray forced = qgetenv("TELLAR_KEYBOARD_LAYOUT").trimmed();
    const QByteArray lower = forced.toLower();
    if (lower == "ee" || lower == "ru" || lower == "other")
        return result(CheckResult::Ok, name,
                      QString::fromLatin1(KeyboardLayout::name(KeyboardLayout::fromName(lower)))
                          + u8(" (TELLAR_KEYBOARD_LAYOUT)"));
    const QString unknown = forced.isEmpty()
                                ? QString()
                                : u8("; TELLAR_KEYBOARD_LAYOUT=") + quoted(QString::fromLocal8Bit(forced))
                                      + u8(" on tundmatu (ee, ru või other)");
    const std::optional<QString> group = KeyboardLayout::displayGroupName();
    if (!group)
        return result(CheckResult::Warning, name,
                      u8("ekraani pole küsida (DISPLAY=") + qEnvironmentVariable("DISPLAY")
                          + u8(") ja TELLAR_KEYBOARD_LAYOUT pole määratud: kaardiradu ei parandata")
                          + unknown);
    const KeyboardLayout::Layout layout = KeyboardLayout::fromGroupName(*group);
    return result(CheckResult::Ok, name,
                  QString::fromLatin1(KeyboardLayout::name(layout)) + u8(" (X11 ")
                      + qEnvironmentVariable("DISPLAY") + u8(", rühm ") + quoted(*group) + u')' + unknown);
}

// --- code page -----------------------------------------------------------------

CheckResult CheckCodePage()
{
    constexpr const char *name = "Koodileht";
    const QByteArray wanted = qgetenv("TELLAR_CODEPAGE").trimmed();
    if (wanted.isEmpty())
        return result(CheckResult::Ok, name, QString::fromLatin1(CodePage::console().name()) + u8(" (vaikimisi)"));
    const std::optional<CodePage> named = CodePage::fromName(wanted);
    if (!named)
        return result(CheckResult::Warning, name,
                      u8("TELLAR_CODEPAGE=") + quoted(QString::fromLocal8Bit(wanted))
                          + u8(" on tundmatu; kasutatakse ") + QString::fromLatin1(CodePage::console().name()));
    return result(CheckResult::Ok, name, QString::fromLatin1(named->name()) + u8(" (TELLAR_CODEPAGE)"));
}

// --- all of them -------------------------------------------------------------------

ConsoleSettings ReadSettingsForCheck(const QString &registryDir)
{
    RegistryStore store(registryDir);
    const CodePage &cp = CodePage::console();
    HKEY key = 0;
    const bool open = store.openKey(HKEY_LOCAL_MACHINE, consoleKeyPath(), KEY_READ, &key)
                      == RegistryStore::Success;
    // As GetRegString reads: the bytes up to the first NUL; nothing stored,
    // nothing readable or zero bytes give the default.
    const auto read = [&](QLatin1String valueName, QLatin1String defaultValue) -> QString {
        if (!open)
            return defaultValue;
        quint32 size = 0;
        const QByteArray n = cp.encode(QString(valueName));
        if (store.queryValue(key, n, nullptr, nullptr, &size) != RegistryStore::Success || size == 0)
            return defaultValue;
        QByteArray data(qsizetype(size), '\0');
        if (store.queryValue(key, n, nullptr, data.data(), &size) != RegistryStore::Success)
            return defaultValue;
        data.truncate(size);
        const qsizetype nul = data.indexOf('\0');
        if (nul >= 0)
            data.truncate(nul);
        return cp.decode(data);
    };
    ConsoleSettings s;
    s.fAddress = read(Config::KKAddress, Config::KKAddressDefault);
    s.fPort = PortFromText(read(Config::KKPort, Config::KKPortDefault), QString(Config::KKPortDefault).toInt());
    s.fPrinter = read(Config::Printer, Config::PrinterDefault);
    s.fRAW = read(Config::RAW, Config::RAWDefault) == u"1";
    s.fReportMode = read(Config::ReportMode, Config::ReportModeDefault) == u"1";
    s.fDoPrint = read(Config::DoPrint, Config::DoPrintDefault) != u"0";
    s.fPOSID = read(Config::POS, Config::POSDefault);
    if (open)
        store.closeKey(key);
    return s;
}

QList<CheckResult> RunSiteCheck(const SiteCheckOptions &options)
{
    const ConsoleSettings settings = ReadSettingsForCheck(options.registryDir);
    QList<CheckResult> results = {CheckStore(options.registryDir)};
    results += CheckStoredSettings(options.registryDir);
    results << CheckProgramFolder(options.programDir, options.programName)
            << CheckPaymentServer(settings.fAddress, settings.fPort, options.connectTimeoutMs)
            << CheckTillListener(options.registryDir)
            << CheckReceiptPrinter(settings)
            << CheckPdfOpener()
            << CheckKeyboardLayout()
            << CheckCodePage();
    return results;
}
