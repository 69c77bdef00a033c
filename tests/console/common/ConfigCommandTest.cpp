// `Tellar --config list|get|set` run directly, with its output and exit codes.
#include "common/CodePage.h"
#include "tech/ConfigCommand.h"
#include "common/Config.h"
#include "common/RegistryStore.h"

#include "TestDir.h"

#include <utility>

#include <QBuffer>

namespace {

struct CommandResult {
    int code = -1;
    QByteArray out, err;
};

CommandResult run(QStringList args)
{
    args.prepend(QStringLiteral("/opt/tellar/Tellar"));
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    CommandResult r;
    r.code = runConfigCommand(args, out, err);
    r.out = out.data();
    r.err = err.data();
    return r;
}

QStringList list(std::initializer_list<const char *> items)
{
    QStringList out;
    for (const char *i : items)
        out << qs(i);
    return out;
}

TEST(ConfigCommand, SetGetAndListThroughTheStore)
{
    TestDir dir;
    const QString reg = dir.path();
    EXPECT_EQ(run({QStringLiteral("--registry"), reg, QStringLiteral("--config"),
                   QStringLiteral("list")})
                  .out,
              QByteArray());  // nothing stored yet: nothing listed, success

    CommandResult r = run({QStringLiteral("--registry"), reg, QStringLiteral("--config"), QStringLiteral("set"),
                 QStringLiteral("POS"), QStringLiteral("12345678")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.isEmpty() && r.err.isEmpty());
    r = run({QStringLiteral("--config"), QStringLiteral("set"), QStringLiteral("Printer"),
             qs("Kassa õ"), QStringLiteral("--registry=") + reg});
    EXPECT_EQ(r.code, 0);

    r = run({QStringLiteral("--registry"), reg, QStringLiteral("--config"), QStringLiteral("get"),
             QStringLiteral("pos")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QByteArray("12345678\n"));
    r = run({QStringLiteral("--registry"), reg, QStringLiteral("--config"), QStringLiteral("get"),
             QStringLiteral("Printer")});
    EXPECT_EQ(r.out, QByteArray("Kassa \xF5\n"));  // as stored: code page bytes

    r = run({QStringLiteral("--registry"), reg, QStringLiteral("--config"), QStringLiteral("list")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QByteArray("POS=12345678\nPrinter=Kassa \xF5\n"));

    // The console reads what the command wrote.
    RegistryStore store(reg);
    EXPECT_EQ(GetConfigString(store, Config::KeyPath, Config::POS, Config::POSDefault),
              QStringLiteral("12345678"));
}

TEST(ConfigCommand, EmptyValueIsStoredEmpty)
{
    TestDir dir;
    ASSERT_EQ(run({QStringLiteral("--registry"), dir.path(), QStringLiteral("--config"),
                   QStringLiteral("set"), QStringLiteral("POS"), QString()})
                  .code,
              0);
    const CommandResult r = run({QStringLiteral("--registry"), dir.path(), QStringLiteral("--config"),
                       QStringLiteral("get"), QStringLiteral("POS")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QByteArray("\n"));
}

TEST(ConfigCommand, MissingValueExitsOneWithMessage)
{
    TestDir dir;
    const CommandResult r = run({QStringLiteral("--registry"), dir.path(), QStringLiteral("--config"),
                       QStringLiteral("get"), QStringLiteral("POS")});
    EXPECT_EQ(r.code, ConfigCommand::NotFound);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains("no value \"POS\"")) << r.err.constData();
}

TEST(ConfigCommand, UnusableStoreExitsThreeWithReason)
{
    TestDir dir;
    dir.writeFile(QStringLiteral("blocker"), "x");
    const QString blocked = dir.file(QStringLiteral("blocker/registry"));
    for (const char *verb : {"set", "get", "list"}) {
        SCOPED_TRACE(verb);
        QStringList args{QStringLiteral("--registry"), blocked, QStringLiteral("--config"),
                         qs(verb)};
        if (QByteArray(verb) != "list")
            args << QStringLiteral("POS");
        if (QByteArray(verb) == "set")
            args << QStringLiteral("1");
        const CommandResult r = run(args);
        EXPECT_EQ(r.code, ConfigCommand::StoreError);
        EXPECT_TRUE(r.err.contains(blocked.toUtf8())) << r.err.constData();
        EXPECT_TRUE(r.err.contains("error 3")) << r.err.constData();
    }

    TestDir corrupt;
    corrupt.writeFile(QStringLiteral("HKEY_LOCAL_MACHINE.reg"), "garbage");
    const CommandResult r = run({QStringLiteral("--registry"), corrupt.path(), QStringLiteral("--config"),
                       QStringLiteral("list")});
    EXPECT_EQ(r.code, ConfigCommand::StoreError);
    EXPECT_TRUE(r.err.contains("corrupt")) << r.err.constData();
}

TEST(ConfigCommand, WrongUsageExitsTwo)
{
    TestDir dir;
    struct Row {
        const char *name;
        QStringList args;
    } rows[] = {
        {"no verb", list({"--config"})},
        {"unknown verb", list({"--config", "frob"})},
        {"get without name", list({"--config", "get"})},
        {"set without value", list({"--config", "set", "POS"})},
        {"list with extra", list({"--config", "list", "POS"})},
        {"unknown option", list({"--bogus", "--config", "list"})},
        {"registry without folder", list({"--config", "list", "--registry"})},
    };
    for (Row &r : rows) {
        SCOPED_TRACE(r.name);
        if (!r.args.endsWith(QStringLiteral("--registry")))
            r.args << QStringLiteral("--registry") << dir.path();
        const CommandResult result = run(r.args);
        EXPECT_EQ(result.code, ConfigCommand::UsageError);
        EXPECT_TRUE(result.err.contains("usage: Tellar")) << result.err.constData();
    }
    EXPECT_FALSE(dir.exists(QStringLiteral("HKEY_LOCAL_MACHINE.reg")));
}

TEST(ConfigCommand, EnvironmentChoosesTheStore)
{
    TestDir dir;
    const QByteArray saved = qgetenv("TELLAR_REGISTRY");
    qputenv("TELLAR_REGISTRY", QFile::encodeName(dir.path()));
    const CommandResult r = run(list({"--config", "set", "KKPort", "9000"}));
    if (saved.isEmpty())
        qunsetenv("TELLAR_REGISTRY");
    else
        qputenv("TELLAR_REGISTRY", saved);
    EXPECT_EQ(r.code, 0) << r.err.constData();
    RegistryStore store(dir.path());
    EXPECT_EQ(GetConfigString(store, Config::KeyPath, Config::KKPort, Config::KKPortDefault),
              QStringLiteral("9000"));
}

// `set NAME VALUE` on the store in `dir`.
CommandResult set(const TestDir &dir, const QString &name, const QString &value)
{
    return run({QStringLiteral("--registry"), dir.path(), QStringLiteral("--config"), QStringLiteral("set"),
                name, value});
}

QString stored(const TestDir &dir, QLatin1String name)
{
    RegistryStore store(dir.path());
    return GetConfigString(store, Config::KeyPath, name, QStringLiteral("<none>"));
}

// A refusal: usage exit, one line on err naming the value, nothing on out.
void expectRefused(const CommandResult &r, const char *mentions)
{
    EXPECT_EQ(r.code, ConfigCommand::UsageError);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    EXPECT_TRUE(r.err.endsWith('\n'));
    EXPECT_TRUE(r.err.contains(mentions)) << r.err.constData();
}

TEST(ConfigCommand, MisspeltNameIsRefusedAndNothingIsWritten)
{
    TestDir dir;
    const CommandResult r = set(dir, QStringLiteral("KKprot"), QStringLiteral("9000"));
    expectRefused(r, "\"KKprot\"");
    EXPECT_EQ(r.err, qs("Tellar --config: tundmatu seade \"KKprot\". Tuntud seaded: KKAddress, KKPort, "
                        "Printer, RAW, ReportMode, DoPrint, POS, Session, ECRPort, ECRAutoStart.\n")
                         .toUtf8());
    EXPECT_FALSE(dir.exists(QStringLiteral("HKEY_LOCAL_MACHINE.reg"))) << "a refusal creates no store";

    ASSERT_EQ(set(dir, QStringLiteral("POS"), QStringLiteral("1")).code, 0);
    const QByteArray before = dir.readFile(QStringLiteral("HKEY_LOCAL_MACHINE.reg"));
    expectRefused(set(dir, QStringLiteral("Port"), QStringLiteral("9000")), "\"Port\"");
    EXPECT_EQ(dir.readFile(QStringLiteral("HKEY_LOCAL_MACHINE.reg")), before);
}

TEST(ConfigCommand, NameInAnotherLetterCaseIsRefusedNamingTheSpelling)
{
    TestDir dir;
    const CommandResult r = set(dir, QStringLiteral("KKport"), QStringLiteral("9000"));
    expectRefused(r, "\"KKport\"; see kirjutatakse \"KKPort\"");
    EXPECT_EQ(stored(dir, Config::KKPort), QStringLiteral("<none>"));
}

TEST(ConfigCommand, PortThatIsNotAWholeNumberOneTo65535IsRefused)
{
    TestDir dir;
    ASSERT_EQ(set(dir, QStringLiteral("KKPort"), QStringLiteral("9000")).code, 0);
    const CommandResult r = set(dir, QStringLiteral("KKPort"), QStringLiteral("abc"));
    expectRefused(r, "KKPort");
    EXPECT_EQ(r.err, qs("Tellar --config: KKPort: \"abc\" ei sobi. Lubatud: täisarv 1–65535.\n").toUtf8());
    for (const char *bad : {"0", "65536", "70000", "-1", "+9000", " 9000", "9000.0", "9e3", ""}) {
        SCOPED_TRACE(bad);
        expectRefused(set(dir, QStringLiteral("KKPort"), qs(bad)), "täisarv 1–65535");
        if (*bad && QByteArray(bad) != "0")  // ECRPort's "off"
            expectRefused(set(dir, QStringLiteral("ECRPort"), qs(bad)), "ECRPort: ");
    }
    EXPECT_EQ(stored(dir, Config::KKPort), QStringLiteral("9000")) << "refusals leave the stored value";
    EXPECT_EQ(stored(dir, Config::ECRPort), QStringLiteral("<none>"));
}

TEST(ConfigCommand, TillPortOnThePaymentServerPortIsRefusedEitherWay)
{
    TestDir dir;
    // Nothing stored: the payment server is on the default 8145.
    expectRefused(set(dir, QStringLiteral("ECRPort"), QStringLiteral("8145")), "sama port kui KKPort");
    ASSERT_EQ(set(dir, QStringLiteral("KKPort"), QStringLiteral("9000")).code, 0);
    const CommandResult r = set(dir, QStringLiteral("ECRPort"), QStringLiteral("9000"));
    EXPECT_EQ(r.err, qs("Tellar --config: ECRPort: \"9000\" ei sobi, sama port kui KKPort. Lubatud: "
                        "täisarv 1–65535; tühi või 0 lülitab kassaliidese välja.\n")
                         .toUtf8());
    EXPECT_EQ(r.code, ConfigCommand::UsageError);
    EXPECT_EQ(set(dir, QStringLiteral("ECRPort"), QStringLiteral("8145")).code, 0) << "8145 is free now";
    expectRefused(set(dir, QStringLiteral("KKPort"), QStringLiteral("8145")), "sama port kui ECRPort");
    EXPECT_EQ(stored(dir, Config::KKPort), QStringLiteral("9000"));
    EXPECT_EQ(set(dir, QStringLiteral("ECRPort"), QStringLiteral("0")).code, 0);
    EXPECT_EQ(set(dir, QStringLiteral("KKPort"), QStringLiteral("8145")).code, 0) << "a listener that is off";
}

TEST(ConfigCommand, FlagOtherThanZeroOrOneIsRefused)
{
    TestDir dir;
    for (const char *name : {"RAW", "ReportMode", "DoPrint", "ECRAutoStart"}) {
        for (const char *bad : {"2", "yes", "", " 1", "01"}) {
            SCOPED_TRACE(std::string(name) + "=" + bad);
            const CommandResult r = set(dir, qs(name), qs(bad));
            expectRefused(r, "Lubatud: 0 või 1.");
            EXPECT_TRUE(r.err.contains(name)) << r.err.constData();
        }
    }
    EXPECT_FALSE(dir.exists(QStringLiteral("HKEY_LOCAL_MACHINE.reg")));
}

TEST(ConfigCommand, SessionOutsideTheCounterAndEmptyAddressAreRefused)
{
    TestDir dir;
    for (const char *bad : {"1000000", "-1", "abc", "", "1.5"}) {
        SCOPED_TRACE(bad);
        expectRefused(set(dir, QStringLiteral("Session"), qs(bad)), "täisarv 0–999999");
    }
    expectRefused(set(dir, QStringLiteral("KKAddress"), QString()), "KKAddress: \"\" ei sobi");
    EXPECT_FALSE(dir.exists(QStringLiteral("HKEY_LOCAL_MACHINE.reg")));
}

TEST(ConfigCommand, UsableValuesAreStillStored)
{
    TestDir dir;
    const std::pair<const char *, const char *> rows[] = {
        {"KKAddress", "kassa-server.lan"}, {"KKPort", "1"}, {"KKPort", "65535"}, {"Printer", "Kassa õ 1"},
        {"Printer", ""}, {"RAW", "1"}, {"ReportMode", "0"}, {"DoPrint", "1"}, {"POS", ""},
        {"POS", "KASSA 01"}, {"Session", "0"}, {"Session", "999999"}, {"ECRPort", ""}, {"ECRPort", "0"},
        {"ECRPort", "9100"}, {"ECRAutoStart", "1"},
    };
    for (const auto &[name, value] : rows) {
        SCOPED_TRACE(std::string(name) + "=" + value);
        const CommandResult r = set(dir, qs(name), qs(value));
        EXPECT_EQ(r.code, 0) << r.err.constData();
        EXPECT_TRUE(r.err.isEmpty());
    }
    const CommandResult r = run({QStringLiteral("--registry"), dir.path(), QStringLiteral("--config"),
                                 QStringLiteral("list")});
    EXPECT_EQ(r.out, QByteArray("KKAddress=kassa-server.lan\nKKPort=65535\nPrinter=\nRAW=1\nReportMode=0\n"
                                "DoPrint=1\nPOS=KASSA 01\nSession=999999\nECRPort=9100\nECRAutoStart=1\n"));
}

TEST(ConfigCommand, UnknownStoredNamesAreStillListedAndGot)
{
    TestDir dir;
    {
        RegistryStore store(dir.path());
        PutConfigString(store, Config::KeyPath, QStringLiteral("KKprot"), QStringLiteral("9000"));
    }
    CommandResult r = run({QStringLiteral("--registry"), dir.path(), QStringLiteral("--config"),
                           QStringLiteral("list")});
    EXPECT_EQ(r.out, QByteArray("KKprot=9000\n"));
    r = run({QStringLiteral("--registry"), dir.path(), QStringLiteral("--config"), QStringLiteral("get"),
             QStringLiteral("KKprot")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, QByteArray("9000\n"));
}

TEST(ConfigCommand, RecognisedOnlyWithConfigOption)
{
    EXPECT_TRUE(isConfigCommand(list({"Tellar", "--config", "list"})));
    EXPECT_TRUE(isConfigCommand(list({"Tellar", "--registry", "/x", "--config", "list"})));
    EXPECT_FALSE(isConfigCommand(list({"Tellar"})));
    EXPECT_FALSE(isConfigCommand(list({"Tellar", "--home", "/x"})));
    EXPECT_FALSE(isConfigCommand(list({"--config"})));  // args[0] is the program
}

} // namespace
