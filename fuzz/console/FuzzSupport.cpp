#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace Fuzz {

namespace {

int g_argc = 1;
char g_arg0[] = "fuzz";
char *g_argv[] = {g_arg0, nullptr};

// Never destroyed: the fuzzer ends the process with exit(), and the folder's
// removal then is all the cleaning the run needs.
QTemporaryDir *g_scratch = nullptr;

} // namespace

void initialise()
{
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QCoreApplication(g_argc, g_argv);
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                    : QDir::tempPath();
    g_scratch = new QTemporaryDir(base + QStringLiteral("/tellar-fuzz-XXXXXX"));
    require(g_scratch->isValid(), "the scratch folder can be made");
    g_scratch->setAutoRemove(true);
    std::atexit([] { delete g_scratch; });
    qputenv("TELLAR_REGISTRY", QFile::encodeName(g_scratch->filePath(QStringLiteral("registry"))));
    qputenv("TELLAR_HOME", QFile::encodeName(g_scratch->path()));
}

QString scratchDir()
{
    return g_scratch ? g_scratch->path() : QString();
}

void require(bool condition, const char *invariant)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", invariant);
    std::fflush(stderr);
    std::abort();
}

uint8_t Reader::byte()
{
    return m_pos < m_size ? m_data[m_pos++] : 0;
}

QByteArray Reader::bytes(std::size_t n)
{
    const std::size_t take = n < left() ? n : left();
    QByteArray out(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(take));
    m_pos += take;
    return out;
}

QByteArray Reader::rest()
{
    return bytes(left());
}

} // namespace Fuzz
