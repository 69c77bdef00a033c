// Single checks of the site check, in process: what they find and what they
// leave behind.
#include "common/Config.h"
#include "common/RegistryStore.h"
#include "tech/SiteCheck.h"

#include "TechTestSupport.h"

#include <QFileInfo>
#include <QTcpServer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace techtest;

namespace {

// A listening socket on 127.0.0.1, port chosen by the system, that nobody
// accepts on: connections wait in its queue for the test to take them.
class Listener {
public:
    Listener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (::bind(m_fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 && ::listen(m_fd, 4) == 0
            && ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&a), &length) == 0)
            m_port = ntohs(a.sin_port);
    }
    ~Listener() { ::close(m_fd); }
    quint16 port() const { return m_port; }
    int fd() const { return m_fd; }
    // Closes the socket: the port is then free and nothing listens there.
    void stop()
    {
        ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};

TEST(PaymentServerCheck, ConnectsSendsNothingAndClosesAtOnce)
{
    Listener server;
    ASSERT_NE(server.port(), 0);
    const CheckResult r = CheckPaymentServer(QStringLiteral("127.0.0.1"), server.port(), 5000);
    EXPECT_EQ(r.status, CheckResult::Ok) << r.detail.toStdString();
    EXPECT_TRUE(r.detail.startsWith(QStringLiteral("127.0.0.1:%1 ").arg(server.port()))) << r.detail.toStdString();

    const int client = ::accept(server.fd(), nullptr, nullptr);
    ASSERT_GE(client, 0);
    char byte = 0;
    EXPECT_EQ(::read(client, &byte, 1), 0) << "the check's connection is already closed, and sent nothing";
    ::close(client);
}

TEST(PaymentServerCheck, RefusedConnectionIsAnErrorNamingAddressAndPort)
{
    Listener gone;
    const quint16 port = gone.port();
    gone.stop();
    const CheckResult r = CheckPaymentServer(QStringLiteral("127.0.0.1"), port, 5000);
    EXPECT_EQ(r.status, CheckResult::Error);
    EXPECT_EQ(r.name, QStringLiteral("Makseserver"));
    EXPECT_TRUE(r.detail.startsWith(QStringLiteral("127.0.0.1:%1: ").arg(port))) << r.detail.toStdString();
}

TEST(StoreCheck, CorruptStoreFileIsAnError)
{
    Scratch dir;
    writeFile(dir.file(QStringLiteral("HKEY_LOCAL_MACHINE.reg")), "not a store\n");
    const CheckResult r = CheckStore(dir.path());
    EXPECT_EQ(r.status, CheckResult::Error);
    EXPECT_TRUE(r.detail.contains(QStringLiteral("rikutud"))) << r.detail.toStdString();
}

TEST(StoreCheck, StoreThatIsAFileIsAnError)
{
    Scratch dir;
    writeFile(dir.file(QStringLiteral("registry")), "x");
    EXPECT_EQ(CheckStore(dir.file(QStringLiteral("registry"))).status, CheckResult::Error);
    EXPECT_EQ(CheckStore(dir.file(QStringLiteral("registry/below"))).status, CheckResult::Error)
        << "a folder that can never be created";
}

TEST(StoreCheck, MissingFolderThatCanBeCreatedIsOkAndIsNotCreated)
{
    Scratch dir;
    const QString store = dir.file(QStringLiteral("a/b/registry"));
    const CheckResult r = CheckStore(store);
    EXPECT_EQ(r.status, CheckResult::Ok) << r.detail.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("a")))) << "the check writes nothing";
}

TEST(StoreCheck, ReadableStoreIsOkAndUnchanged)
{
    Scratch dir;
    RegistryStore store(dir.path());
    PutConfigString(store, Config::KeyPath, Config::POS, QStringLiteral("12345678"));
    const QString file = store.hiveFilePath(HKEY_LOCAL_MACHINE);
    const QByteArray before = readFile(file);
    const CheckResult r = CheckStore(dir.path());
    EXPECT_EQ(r.status, CheckResult::Ok) << r.detail.toStdString();
    EXPECT_EQ(readFile(file), before);
}

TEST(ProgramFolderCheck, MissingOrFileIsAnError)
{
    Scratch dir;
    EXPECT_EQ(CheckProgramFolder(dir.file(QStringLiteral("none")), QStringLiteral("Tellar")).status,
              CheckResult::Error);
    writeFile(dir.file(QStringLiteral("file")), "x");
    EXPECT_EQ(CheckProgramFolder(dir.file(QStringLiteral("file")), QStringLiteral("Tellar")).status,
              CheckResult::Error);
    const CheckResult ok = CheckProgramFolder(dir.path(), QStringLiteral("Tellar"));
    EXPECT_EQ(ok.status, CheckResult::Ok);
    EXPECT_TRUE(ok.detail.contains(QStringLiteral("Tellar.err"))) << ok.detail.toStdString();
}

TEST(ReceiptPrinterCheck, DoPrintOffNeedsNoPrinter)
{
    ConsoleSettings s;
    s.fDoPrint = false;
    s.fPrinter.clear();
    EXPECT_EQ(CheckReceiptPrinter(s).status, CheckResult::Ok);
}

TEST(ReceiptPrinterCheck, DoPrintOnWithoutPrinterIsAnError)
{
    ConsoleSettings s;
    s.fDoPrint = true;
    s.fPrinter.clear();
    EXPECT_EQ(CheckReceiptPrinter(s).status, CheckResult::Error);
}

TEST(CheckLines, StatusWordsAndTabs)
{
    EXPECT_EQ(FormatCheckLine({CheckResult::Ok, QStringLiteral("A"), QStringLiteral("b c")}),
              QStringLiteral("OK\tA\tb c"));
    EXPECT_EQ(StatusWord(CheckResult::Warning), QStringLiteral("HOIATUS"));
    EXPECT_EQ(StatusWord(CheckResult::Error), QStringLiteral("VIGA"));
    EXPECT_TRUE(SiteCheckPassed({{CheckResult::Ok, {}, {}}, {CheckResult::Warning, {}, {}}}));
    EXPECT_FALSE(SiteCheckPassed({{CheckResult::Ok, {}, {}}, {CheckResult::Error, {}, {}}}));
}

TEST(SettingsForCheck, ReadAsTheConsoleReadsThem)
{
    Scratch dir;
    RegistryStore store(dir.path());
    PutConfigString(store, Config::KeyPath, Config::KKPort, QStringLiteral("abc"));
    PutConfigString(store, Config::KeyPath, Config::KKAddress, QStringLiteral("10.1.2.3"));
    PutConfigString(store, Config::KeyPath, Config::DoPrint, QStringLiteral("yes"));
    PutConfigString(store, Config::KeyPath, Config::POS, QString());
    const ConsoleSettings s = ReadSettingsForCheck(dir.path());
    EXPECT_EQ(s.fPort, 8145) << "a port that is not a number is the default";
    EXPECT_EQ(s.fAddress, QStringLiteral("10.1.2.3"));
    EXPECT_TRUE(s.fDoPrint) << "on unless exactly \"0\"";
    EXPECT_EQ(s.fPOSID, QStringLiteral("00000000")) << "an empty value reads as the default";
    EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("Tellar.err"))));
}

// --- Seaded ------------------------------------------------------------------

class StoredSettingsCheck : public ::testing::Test {
protected:
    void put(const QString &name, const QString &value)
    {
        RegistryStore store(m_dir.path());
        PutConfigString(store, Config::KeyPath, name, value);
    }
    QStringList warnings() const
    {
        QStringList out;
        for (const CheckResult &r : CheckStoredSettings(m_dir.path())) {
            EXPECT_EQ(r.name, QStringLiteral("Seaded"));
            if (r.status == CheckResult::Warning)
                out << r.detail;
            else
                EXPECT_EQ(r.status, CheckResult::Ok) << r.detail.toStdString();
        }
        return out;
    }
    Scratch m_dir;
};

TEST_F(StoredSettingsCheck, UnusablePortWarnsNamingTheDefaultTheConsoleUses)
{
    put(QStringLiteral("KKPort"), QStringLiteral("abc"));
    EXPECT_EQ(warnings(), QStringList{QStringLiteral(
                              "KKPort \"abc\" ei sobi (täisarv 1–65535); kasutatakse vaikeväärtust 8145")});
    for (const char *outside : {"0", "70000", "-5"}) {
        put(QStringLiteral("KKPort"), QString::fromLatin1(outside));
        EXPECT_EQ(warnings().value(0),
                  QStringLiteral("KKPort \"%1\" ei sobi (täisarv 1–65535); kasutatakse vaikeväärtust 8145")
                      .arg(QString::fromLatin1(outside)));
        EXPECT_EQ(ReadSettingsForCheck(m_dir.path()).fPort, 8145) << "what the warning says is used";
    }
}

TEST_F(StoredSettingsCheck, PortTheConsoleReadsOtherwiseSaysWhichPort)
{
    // The console's reader rounds "9000.4" to 9000: the warning must not
    // claim the default.
    put(QStringLiteral("KKPort"), QStringLiteral("9000.4"));
    EXPECT_EQ(warnings(), QStringList{QStringLiteral(
                              "KKPort \"9000.4\" ei sobi (täisarv 1–65535); konsool loeb selle kui 9000 "
                              "(vaikeväärtus 8145)")});
}

TEST_F(StoredSettingsCheck, FlagsReadOtherwiseThanTheirDefaultSayWhatTheConsoleUses)
{
    put(QStringLiteral("ReportMode"), QStringLiteral("2"));  // on only for "1"; default on
    put(QStringLiteral("DoPrint"), QStringLiteral("yes"));   // on unless "0"; default off
    put(QStringLiteral("RAW"), QStringLiteral("jah"));       // on only for "1"; default off
    EXPECT_EQ(warnings(),
              (QStringList{QStringLiteral("ReportMode \"2\" ei sobi (0 või 1); konsool loeb selle kui 0 (vaikeväärtus 1)"),
                           QStringLiteral("DoPrint \"yes\" ei sobi (0 või 1); konsool loeb selle kui 1 (vaikeväärtus 0)"),
                           QStringLiteral("RAW \"jah\" ei sobi (0 või 1); kasutatakse vaikeväärtust 0")}));
}

TEST_F(StoredSettingsCheck, NameNoConsoleReadsWarns)
{
    put(QStringLiteral("KKprot"), QStringLiteral("9000"));
    put(QStringLiteral("POS"), QStringLiteral("00001234"));
    EXPECT_EQ(warnings(), QStringList{QStringLiteral("nimi \"KKprot\" pole konsooli seade; konsool ei loe seda")});
}

TEST_F(StoredSettingsCheck, NameInAnotherLetterCaseIsReadSoNotWarned)
{
    put(QStringLiteral("KKport"), QStringLiteral("9000"));  // the store matches names without case
    EXPECT_TRUE(warnings().isEmpty());
    EXPECT_EQ(ReadSettingsForCheck(m_dir.path()).fPort, 9000);
}

TEST_F(StoredSettingsCheck, UsableValuesGiveOneOkLineAndNothingIsWritten)
{
    put(QStringLiteral("KKPort"), QStringLiteral("9000"));
    put(QStringLiteral("ECRPort"), QStringLiteral("9100"));
    put(QStringLiteral("Session"), QStringLiteral("41"));
    RegistryStore store(m_dir.path());
    const QByteArray before = readFile(store.hiveFilePath(HKEY_LOCAL_MACHINE));
    const QList<CheckResult> r = CheckStoredSettings(m_dir.path());
    ASSERT_EQ(r.size(), 1);
    EXPECT_EQ(r[0].status, CheckResult::Ok);
    EXPECT_EQ(r[0].detail, QStringLiteral("salvestatud KKPort, ECRPort, Session; kõik sobivad"));
    EXPECT_EQ(readFile(store.hiveFilePath(HKEY_LOCAL_MACHINE)), before);
}

TEST_F(StoredSettingsCheck, TillPortOnThePaymentServerPortWarnsThatTheListenerIsOff)
{
    put(QStringLiteral("ECRPort"), QStringLiteral("8145"));  // KKPort not stored: 8145
    EXPECT_EQ(warnings(), QStringList{QStringLiteral(
                              "ECRPort \"8145\" ei sobi (sama port kui KKPort); kassaliides on väljas")});
    const CheckResult listener = CheckTillListener(m_dir.path());
    EXPECT_EQ(listener.status, CheckResult::Warning);
    EXPECT_EQ(listener.detail, QStringLiteral("väljas: ECRPort \"8145\" ei sobi (vt Seaded)"));
}

// --- Kassaliides -------------------------------------------------------------

TEST(TillListenerCheck, WithoutECRPortOrZeroItIsOff)
{
    Scratch dir;
    CheckResult r = CheckTillListener(dir.path());
    EXPECT_EQ(FormatCheckLine(r), QStringLiteral("OK\tKassaliides\tväljas (ECRPort pole seatud)"));
    RegistryStore store(dir.path());
    PutConfigString(store, Config::KeyPath, Config::ECRPort, QStringLiteral("0"));
    r = CheckTillListener(dir.path());
    EXPECT_EQ(FormatCheckLine(r), QStringLiteral("OK\tKassaliides\tväljas (ECRPort pole seatud)"));
}

TEST(TillListenerCheck, FreePortIsOkAndLeftFree)
{
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    Scratch dir;
    RegistryStore store(dir.path());
    PutConfigString(store, Config::KeyPath, Config::ECRPort, QString::number(port));
    // Report mode (the default) answers every till request Busy.
    EXPECT_EQ(CheckTillListener(dir.path()).status, CheckResult::Warning);
    PutConfigString(store, Config::KeyPath, Config::ReportMode, QStringLiteral("0"));
    const CheckResult r = CheckTillListener(dir.path());
    EXPECT_EQ(r.status, CheckResult::Ok) << r.detail.toStdString();
    EXPECT_EQ(r.detail, QStringLiteral("vaba, konsool kuulab 127.0.0.1:%1").arg(port));
    QTcpServer again;
    EXPECT_TRUE(again.listen(QHostAddress::LocalHost, port)) << "the check let the port go";
}

TEST(TillListenerCheck, TakenPortIsAWarning)
{
    Listener other;
    ASSERT_NE(other.port(), 0);
    Scratch dir;
    RegistryStore store(dir.path());
    PutConfigString(store, Config::KeyPath, Config::ECRPort, QString::number(other.port()));
    PutConfigString(store, Config::KeyPath, Config::ReportMode, QStringLiteral("0"));
    const CheckResult r = CheckTillListener(dir.path());
    EXPECT_EQ(r.status, CheckResult::Warning);
    EXPECT_EQ(r.detail, QStringLiteral("127.0.0.1:%1 on hõivatud: seda hoiab teine programm või juba töötav konsool")
                            .arg(other.port()));
}

} // namespace
