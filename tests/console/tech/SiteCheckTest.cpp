// Single checks of the site check, in process: what they find and what they
// leave behind.
#include "common/Config.h"
#include "common/RegistryStore.h"
#include "tech/SiteCheck.h"

#include "TechTestSupport.h"

#include <QFileInfo>

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

} // namespace
