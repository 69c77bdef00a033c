// `Tellar --config list|get|set` run directly, with its output and exit codes.
#include "common/CodePage.h"
#include "tech/ConfigCommand.h"
#include "common/Config.h"

#include "TestDir.h"

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

TEST(ConfigCommand, RecognisedOnlyWithConfigOption)
{
    EXPECT_TRUE(isConfigCommand(list({"Tellar", "--config", "list"})));
    EXPECT_TRUE(isConfigCommand(list({"Tellar", "--registry", "/x", "--config", "list"})));
    EXPECT_FALSE(isConfigCommand(list({"Tellar"})));
    EXPECT_FALSE(isConfigCommand(list({"Tellar", "--home", "/x"})));
    EXPECT_FALSE(isConfigCommand(list({"--config"})));  // args[0] is the program
}

} // namespace
