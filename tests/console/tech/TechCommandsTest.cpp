// `Tellar --version`, `--check` and `--support-bundle` as a technician runs
// them: the real program in a process, against the real payment server
// simulator and a private CUPS scheduler, with a store and program folder of
// the test's own.
#include "common/Config.h"
#include "common/Clock.h"
#include "common/RegistryStore.h"
#include "session/TransactionJournal.h"

#include "CupsTestServer.h"
#include "SimHarness.h"
#include "TechTestSupport.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>

#include <memory>

using namespace techtest;

namespace {

const QByteArray kPan = "4111111111111111";
const QByteArray kTrack2 = ";4111111111111111=25121010000012300000?";
const QByteArray kTrack1 = "%B5555555555554444^TAMM/MARI^2512101000000000000?";

// One private scheduler for the whole program: starting one takes a while.
// It ends with the program (static destruction stops cupsd): a scheduler
// left running would outlive the test with every descriptor it inherited.
std::unique_ptr<CupsTestServer> g_cups;

class TechCommands : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!g_cups)
            g_cups = std::make_unique<CupsTestServer>();
    }

    void SetUp() override
    {
        ASSERT_TRUE(g_cups->isRunning()) << g_cups->error().toStdString();
        m_home = m_dir.mkdir(QStringLiteral("home"));
        m_registry = m_dir.mkdir(QStringLiteral("registry"));
        m_store = std::make_unique<RegistryStore>(m_registry);
        m_env = QProcessEnvironment::systemEnvironment();
        // A till with everything a check looks at in place; single cases
        // take one thing away.
        m_env.insert(QStringLiteral("TELLAR_KEYBOARD_LAYOUT"), QStringLiteral("ee"));
        m_env.insert(QStringLiteral("TELLAR_PDF_OPENER"), QStringLiteral("/bin/true"));
        for (const char *name : {"TELLAR_CODEPAGE", "TELLAR_HOME", "TELLAR_REGISTRY", "DISPLAY"})
            m_env.remove(QString::fromLatin1(name));
        set(Config::ReportMode, QStringLiteral("0"));
        set(Config::KKAddress, QStringLiteral("127.0.0.1"));
    }

    void set(QLatin1String name, const QString &value) { PutConfigString(*m_store, Config::KeyPath, name, value); }

    // varo-sim with the shipped approval scenario, in a loop, and the store
    // pointing at it.
    void startSimulator()
    {
        ASSERT_TRUE(m_sim.start({QStringLiteral("--loop"), QStringLiteral(SIM_SCENARIO_DIR "/approval.json")}))
            << m_sim.errorOutput().toStdString();
        set(Config::KKPort, QString::number(m_sim.port()));
    }

    // A raw receipt queue on the private scheduler, the store printing to it.
    void addReceiptQueue(const QString &queue)
    {
        ASSERT_TRUE(g_cups->addRawQueue(queue, m_printer.deviceUri())) << g_cups->lastToolOutput().toStdString();
        set(Config::DoPrint, QStringLiteral("1"));
        set(Config::RAW, QStringLiteral("1"));
        set(Config::Printer, queue);
    }

    ProcessResult tellar(QStringList args)
    {
        args = QStringList{QStringLiteral("--home"), m_home, QStringLiteral("--registry"), m_registry} + args;
        return run(QStringLiteral(TELLAR_PATH), args, m_env);
    }

    // The check's lines as status, name, detail.
    static QList<QStringList> lines(const QByteArray &out)
    {
        QList<QStringList> rows;
        for (const QString &line : QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts))
            rows << line.split(u'\t');
        return rows;
    }
    static QStringList row(const QByteArray &out, const QString &check)
    {
        for (const QStringList &r : lines(out)) {
            if (r.value(1) == check)
                return r;
        }
        return {};
    }

    Scratch m_dir;
    QString m_home, m_registry;
    std::unique_ptr<RegistryStore> m_store;
    QProcessEnvironment m_env;
    SimTest::SimProcess m_sim;
    PrinterListener m_printer;
};

TEST_F(TechCommands, VersionNamesTellarQtAndLibcups)
{
    const ProcessResult r = tellar({QStringLiteral("--version")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList out = QString::fromUtf8(r.out).split(u'\n');
    ASSERT_GE(out.size(), 3) << r.out.toStdString();
    EXPECT_EQ(out[0], QStringLiteral("Tellar " TELLAR_VERSION));
    EXPECT_EQ(out[1], QStringLiteral("Qt ") + QString::fromLatin1(qVersion()));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^libcups \\d+\\.\\d+\\.\\d+$")).match(out[2]).hasMatch())
        << out[2].toStdString();
}

TEST_F(TechCommands, CheckIsAllOkAgainstTheSimulatorAndARawQueue)
{
    startSimulator();
    addReceiptQueue(QStringLiteral("Kviitung"));
    const ProcessResult r = tellar({QStringLiteral("--check")});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    const QList<QStringList> rows = lines(r.out);
    ASSERT_EQ(rows.size(), 9) << r.out.toStdString();
    const QStringList names = {QStringLiteral("Seadete hoidla"), QStringLiteral("Seaded"),
                               QStringLiteral("Programmi kaust"), QStringLiteral("Makseserver"),
                               QStringLiteral("Kassaliides"), QStringLiteral("Kviitungiprinter"),
                               QStringLiteral("PDF-i avaja"), QStringLiteral("Klaviatuuripaigutus"),
                               QStringLiteral("Koodileht")};
    for (qsizetype i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].size(), 3) << rows[i].join(u'|').toStdString();
        EXPECT_EQ(rows[i].value(0), QStringLiteral("OK")) << rows[i].join(u'|').toStdString();
        EXPECT_EQ(rows[i].value(1), names[i]);
    }
    EXPECT_TRUE(row(r.out, names[3]).value(2).startsWith(QStringLiteral("127.0.0.1:%1 ").arg(m_sim.port())));
    EXPECT_EQ(row(r.out, names[4]).value(2), QStringLiteral("väljas (ECRPort pole seatud)"));
    EXPECT_TRUE(row(r.out, names[5]).value(2).contains(QStringLiteral("\"Kviitung\"")));
    EXPECT_TRUE(m_printer.documents().empty()) << "the check prints nothing";
}

TEST_F(TechCommands, CheckWithoutServerIsAnErrorNamingAddressAndPort)
{
    // A port that was just free: nothing listens there.
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    set(Config::KKPort, QString::number(port));
    const ProcessResult r = tellar({QStringLiteral("--check")});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    const QStringList server = row(r.out, QStringLiteral("Makseserver"));
    EXPECT_EQ(server.value(0), QStringLiteral("VIGA")) << r.out.toStdString();
    EXPECT_TRUE(server.value(2).startsWith(QStringLiteral("127.0.0.1:%1").arg(port))) << r.out.toStdString();
}

TEST_F(TechCommands, CheckOfAStoppedQueueIsAnError)
{
    startSimulator();
    addReceiptQueue(QStringLiteral("Peatatud"));
    ASSERT_TRUE(g_cups->runTool({QStringLiteral("cupsdisable"), QStringLiteral("Peatatud")}))
        << g_cups->lastToolOutput().toStdString();
    const ProcessResult r = tellar({QStringLiteral("--check")});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    const QStringList printer = row(r.out, QStringLiteral("Kviitungiprinter"));
    EXPECT_EQ(printer.value(0), QStringLiteral("VIGA")) << r.out.toStdString();
    EXPECT_TRUE(printer.value(2).contains(QStringLiteral("peatatud"))) << r.out.toStdString();
}

TEST_F(TechCommands, CheckOfAQueueRejectingJobsIsAnError)
{
    startSimulator();
    addReceiptQueue(QStringLiteral("Keeldub"));
    ASSERT_TRUE(g_cups->runTool({QStringLiteral("cupsreject"), QStringLiteral("Keeldub")}))
        << g_cups->lastToolOutput().toStdString();
    const ProcessResult r = tellar({QStringLiteral("--check")});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    const QStringList printer = row(r.out, QStringLiteral("Kviitungiprinter"));
    EXPECT_EQ(printer.value(0), QStringLiteral("VIGA")) << r.out.toStdString();
    EXPECT_TRUE(printer.value(2).contains(QStringLiteral("ei võta töid vastu"))) << r.out.toStdString();
}

TEST_F(TechCommands, CheckOfAPrinterNameInAnotherCaseIsAnError)
{
    startSimulator();
    addReceiptQueue(QStringLiteral("Suurtäht"));
    set(Config::Printer, QStringLiteral("suurtäht"));
    const ProcessResult r = tellar({QStringLiteral("--check")});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    const QStringList printer = row(r.out, QStringLiteral("Kviitungiprinter"));
    EXPECT_EQ(printer.value(0), QStringLiteral("VIGA"));
    EXPECT_TRUE(printer.value(2).contains(QStringLiteral("\"Suurtäht\""))) << r.out.toStdString();
}

TEST_F(TechCommands, CheckOfRawPrintingToAQueueWithADriverWarns)
{
    startSimulator();
    const QString ppd = m_dir.file(QStringLiteral("receipt.ppd"));
    writeFile(ppd, "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
                   "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"RECEIPT.PPD\"\n"
                   "*Manufacturer: \"Test\"\n*Product: \"(Receipt)\"\n*ModelName: \"Test Receipt\"\n"
                   "*ShortNickName: \"Test Receipt\"\n*NickName: \"Test Receipt\"\n*PSVersion: \"(3010.000) 0\"\n"
                   "*LanguageLevel: \"3\"\n*ColorDevice: False\n*DefaultColorSpace: Gray\n*FileSystem: False\n"
                   "*Throughput: \"1\"\n*TTRasterizer: Type42\n"
                   "*OpenUI *PageSize: PickOne\n*DefaultPageSize: A4\n"
                   "*PageSize A4: \"<</PageSize[595 842]>>setpagedevice\"\n*CloseUI: *PageSize\n"
                   "*OpenUI *PageRegion: PickOne\n*DefaultPageRegion: A4\n"
                   "*PageRegion A4: \"<</PageSize[595 842]>>setpagedevice\"\n*CloseUI: *PageRegion\n"
                   "*DefaultImageableArea: A4\n*ImageableArea A4: \"0 0 595 842\"\n"
                   "*DefaultPaperDimension: A4\n*PaperDimension A4: \"595 842\"\n");
    ASSERT_TRUE(g_cups->runTool({QStringLiteral("lpadmin"), QStringLiteral("-p"), QStringLiteral("Draiveriga"),
                                 QStringLiteral("-E"), QStringLiteral("-v"), m_printer.deviceUri(),
                                 QStringLiteral("-P"), ppd}))
        << g_cups->lastToolOutput().toStdString();
    set(Config::DoPrint, QStringLiteral("1"));
    set(Config::RAW, QStringLiteral("1"));
    set(Config::Printer, QStringLiteral("Draiveriga"));
    ProcessResult r = tellar({QStringLiteral("--check")});
    EXPECT_EQ(r.exitCode, 0) << "a warning is not a failure:\n" << r.out.toStdString();
    QStringList printer = row(r.out, QStringLiteral("Kviitungiprinter"));
    EXPECT_EQ(printer.value(0), QStringLiteral("HOIATUS")) << r.out.toStdString();
    EXPECT_TRUE(printer.value(2).contains(QStringLiteral("Test Receipt"))) << r.out.toStdString();

    set(Config::RAW, QStringLiteral("0"));  // printing through the driver is what that queue is for
    r = tellar({QStringLiteral("--check")});
    EXPECT_EQ(row(r.out, QStringLiteral("Kviitungiprinter")).value(0), QStringLiteral("OK")) << r.out.toStdString();
}

TEST_F(TechCommands, CheckOfACorruptStoreIsAnError)
{
    writeFile(m_store->hiveFilePath(HKEY_LOCAL_MACHINE), "TELLAR-REGISTRY 1\n[SOFTWARE\n");
    const ProcessResult r = tellar({QStringLiteral("--check")});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    EXPECT_EQ(row(r.out, QStringLiteral("Seadete hoidla")).value(0), QStringLiteral("VIGA")) << r.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(m_home + QStringLiteral("/Tellar.err"))) << "the check writes no error log";
}

TEST_F(TechCommands, CheckWithoutDisplayOrLayoutWarnsAndMissingOpenerWarns)
{
    startSimulator();
    m_env.remove(QStringLiteral("TELLAR_KEYBOARD_LAYOUT"));
    m_env.insert(QStringLiteral("TELLAR_PDF_OPENER"), QStringLiteral("/no/such/viewer --page 1"));
    m_env.insert(QStringLiteral("TELLAR_CODEPAGE"), QStringLiteral("koi8-r"));
    const ProcessResult r = tellar({QStringLiteral("--check")});
    EXPECT_EQ(r.exitCode, 0) << "warnings only:\n" << r.out.toStdString();
    EXPECT_EQ(row(r.out, QStringLiteral("Klaviatuuripaigutus")).value(0), QStringLiteral("HOIATUS"));
    const QStringList opener = row(r.out, QStringLiteral("PDF-i avaja"));
    EXPECT_EQ(opener.value(0), QStringLiteral("HOIATUS"));
    EXPECT_TRUE(opener.value(2).contains(QStringLiteral("/no/such/viewer"))) << r.out.toStdString();
    EXPECT_EQ(row(r.out, QStringLiteral("Koodileht")).value(0), QStringLiteral("HOIATUS"));
}

TEST_F(TechCommands, UnknownArgumentIsAUsageError)
{
    const ProcessResult r = tellar({QStringLiteral("--check"), QStringLiteral("extra")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("usage:")) << r.err.toStdString();
    EXPECT_EQ(tellar({QStringLiteral("--support-bundle")}).exitCode, 2);
}

// --- support bundle ------------------------------------------------------------

TEST_F(TechCommands, BundleRemovesCardDataFromEveryFileAndKeepsStansAndAmounts)
{
    startSimulator();
    // What a till's folder may hold from before card data was kept out.
    const QByteArray log = "\"07.12.2026 12:30:00 OUT:0001 00000000 000042 12,50 " + kTrack2
                           + "\"\r\n07.12.2026 12:30:05 STAN=123 Summa 1250 kaart " + kPan
                           + " viide 4111111111111112\r\n";
    const QByteArray err = "<KASSA1>\tPutRegString , 07. detsember 2026 kell 12:30:00\t(321 - vaart="
                           + kTrack1 + ") \r\n";
    writeFile(m_home + QStringLiteral("/log.txt"), log);
    writeFile(m_home + QStringLiteral("/Tellar.err"), err);
    // The till's journal, beside the store: an approval of today and one
    // from 100 days ago, which the bundle leaves out.
    {
        const QDateTime now = QDateTime::currentDateTime();
        ManualClock clock(now.addDays(-100));
        TransactionJournal journal(m_registry + QStringLiteral("/journal.sqlite"), &clock);
        journal.logSent(QStringLiteral("000041"), QStringLiteral("1"), QStringLiteral("payment"), 7.0, std::nullopt);
        journal.logApproved(QStringLiteral("000041"), QStringLiteral("1"), 41);
        clock.setNow(now);
        journal.logSent(QStringLiteral("000042"), QStringLiteral("1"), QStringLiteral("payment"), 12.5, std::nullopt);
        journal.logApproved(QStringLiteral("000042"), QStringLiteral("1"), 123);
    }
    const QByteArray journalBefore = readFile(m_registry + QStringLiteral("/journal.sqlite"));
    set(Config::POS, QString::fromLatin1(kTrack2));  // a track typed into the wrong field
    const QString storeFile = m_store->hiveFilePath(HKEY_LOCAL_MACHINE);
    const QByteArray storeBefore = readFile(storeFile);
    const QDateTime logTime = QFileInfo(m_home + QStringLiteral("/log.txt")).lastModified();

    const QString archive = m_dir.file(QStringLiteral("kassa1-tugi.tar.gz"));
    const ProcessResult r = tellar({QStringLiteral("--support-bundle"), archive});
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("kassa1-tugi.tar.gz")) << r.out.toStdString();

    const auto files = unpack(archive, m_dir.file(QStringLiteral("unpacked")));
    const QString top = QStringLiteral("kassa1-tugi/");
    for (const char *name : {"log.txt", "Tellar.err", "journal.jsonl", "HKEY_LOCAL_MACHINE.reg", "version.txt",
                             "check.txt", "MANIFEST.txt"})
        EXPECT_TRUE(files.contains(top + QString::fromLatin1(name))) << name;

    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        EXPECT_FALSE(it.value().contains(kPan)) << it.key().toStdString();
        EXPECT_FALSE(it.value().contains("5555555555554444")) << it.key().toStdString();
        EXPECT_FALSE(it.value().contains("=2512101")) << it.key().toStdString();
    }
    const QByteArray logOut = files.value(top + QStringLiteral("log.txt"));
    EXPECT_EQ(logOut.size(), log.size()) << "as many '*' as there were card bytes";
    EXPECT_TRUE(logOut.contains("STAN=123 Summa 1250 kaart " + QByteArray(16, '*') + " viide 4111111111111112"));
    EXPECT_TRUE(logOut.contains("000042 12,50 " + QByteArray(kTrack2.size(), '*')));
    EXPECT_EQ(files.value(top + QStringLiteral("Tellar.err")).size(), err.size());
    const QByteArray journalOut = files.value(top + QStringLiteral("journal.jsonl"));
    EXPECT_TRUE(journalOut.contains("\"amount\":\"12.50\"")) << journalOut.toStdString();
    EXPECT_TRUE(journalOut.contains("\"stan\":123"));
    EXPECT_FALSE(journalOut.contains("\"stan\":41")) << "older than 90 days";
    EXPECT_TRUE(files.value(top + QStringLiteral("HKEY_LOCAL_MACHINE.reg")).contains("ReportMode=1:0"));
    EXPECT_TRUE(files.value(top + QStringLiteral("version.txt")).startsWith("Tellar " TELLAR_VERSION "\n"));
    EXPECT_TRUE(files.value(top + QStringLiteral("check.txt")).contains("OK\tMakseserver\t127.0.0.1:"));

    // Nothing in the folder or the store was changed.
    EXPECT_EQ(readFile(m_home + QStringLiteral("/log.txt")), log);
    EXPECT_EQ(readFile(m_home + QStringLiteral("/Tellar.err")), err);
    EXPECT_EQ(readFile(m_registry + QStringLiteral("/journal.sqlite")), journalBefore);
    EXPECT_EQ(readFile(storeFile), storeBefore);
    EXPECT_EQ(QFileInfo(m_home + QStringLiteral("/log.txt")).lastModified(), logTime);
}

TEST_F(TechCommands, BundleOfAFreshTillSaysWhatIsMissing)
{
    const QString archive = m_dir.file(QStringLiteral("tyhi.tgz"));
    const ProcessResult r = tellar({QStringLiteral("--support-bundle=") + archive});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const auto files = unpack(archive, m_dir.file(QStringLiteral("unpacked")));
    EXPECT_FALSE(files.contains(QStringLiteral("tyhi/log.txt")));
    EXPECT_FALSE(files.contains(QStringLiteral("tyhi/journal.jsonl")));
    const QByteArray manifest = files.value(QStringLiteral("tyhi/MANIFEST.txt"));
    EXPECT_TRUE(manifest.contains("log.txt: not present")) << manifest.toStdString();
    EXPECT_TRUE(manifest.contains("journal.jsonl: not present")) << manifest.toStdString();
    EXPECT_TRUE(files.contains(QStringLiteral("tyhi/check.txt")));
}

TEST_F(TechCommands, BundleThatCannotBeWrittenFailsAndLeavesNothing)
{
    const QString archive = m_dir.file(QStringLiteral("no/such/folder/b.tar.gz"));
    const ProcessResult r = tellar({QStringLiteral("--support-bundle"), archive});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(r.err.startsWith("Tellar --support-bundle: ")) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(archive));
}

} // namespace
