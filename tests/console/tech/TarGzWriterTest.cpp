// The support bundle's archive writer, read back by the system's tar.
#include "tech/TarGzWriter.h"

#include "TechTestSupport.h"

#include <QBuffer>
#include <QFileInfo>
#include <QTimeZone>

using namespace techtest;

namespace {

const QDateTime kStamp = QDateTime::fromSecsSinceEpoch(1796646600, Qt::UTC);

TEST(TarGzWriter, MembersReadBackByTarByteForByte)
{
    Scratch dir;
    QFile file(dir.file(QStringLiteral("a.tar.gz")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray binary;
    for (int i = 0; i < 3000; ++i)
        binary.append(char(i * 7));
    {
        TarGzWriter tar(file);
        ASSERT_TRUE(tar.addFile(QStringLiteral("b/empty.txt"), QByteArray(), kStamp));
        ASSERT_TRUE(tar.addFile(QStringLiteral("b/one-block.txt"), QByteArray(512, 'x'), kStamp));
        ASSERT_TRUE(tar.addFile(QStringLiteral("b/binary.bin"), binary, kStamp));
        ASSERT_TRUE(tar.addFile(QStringLiteral("b/õun.txt"), "Õun\r\n", kStamp));
        ASSERT_TRUE(tar.finish());
    }
    file.close();

    const auto files = unpack(file.fileName(), dir.file(QStringLiteral("out")));
    ASSERT_EQ(files.size(), 4);
    EXPECT_EQ(files.value(QStringLiteral("b/empty.txt")), QByteArray());
    EXPECT_EQ(files.value(QStringLiteral("b/one-block.txt")), QByteArray(512, 'x'));
    EXPECT_EQ(files.value(QStringLiteral("b/binary.bin")), binary);
    EXPECT_EQ(files.value(QStringLiteral("b/õun.txt")), QByteArray("Õun\r\n"));
    EXPECT_EQ(QFileInfo(dir.file(QStringLiteral("out/b/binary.bin"))).lastModified().toSecsSinceEpoch(),
              kStamp.toSecsSinceEpoch());
}

TEST(TarGzWriter, ListingShowsModeAndNoOwnerName)
{
    Scratch dir;
    QFile file(dir.file(QStringLiteral("a.tar.gz")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    {
        TarGzWriter tar(file);
        ASSERT_TRUE(tar.addFile(QStringLiteral("x/log.txt"), "abc", kStamp));
        ASSERT_TRUE(tar.finish());
    }
    file.close();
    const ProcessResult r = run(QStringLiteral("tar"), {QStringLiteral("-tvzf"), file.fileName(), QStringLiteral("--numeric-owner")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("-rw-r--r-- 0/0")) << r.out.toStdString();
    EXPECT_TRUE(r.out.trimmed().endsWith("x/log.txt")) << r.out.toStdString();
}

TEST(TarGzWriter, LongNameIsSplitIntoPrefixAndName)
{
    Scratch dir;
    const QString folder = QString(120, u'd');
    const QString name = folder + QStringLiteral("/") + QString(90, u'n');
    QFile file(dir.file(QStringLiteral("a.tar.gz")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    {
        TarGzWriter tar(file);
        ASSERT_TRUE(tar.addFile(name, "long", kStamp));
        ASSERT_TRUE(tar.finish());
    }
    file.close();
    const auto files = unpack(file.fileName(), dir.file(QStringLiteral("out")));
    EXPECT_EQ(files.value(name), QByteArray("long"));
}

TEST(TarGzWriter, NameThatCannotBeStoredIsRefusedAndTheArchiveStaysSound)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    TarGzWriter tar(buffer);
    EXPECT_FALSE(tar.addFile(QString(101, u'n'), "x", kStamp)) << "no '/' to split at";
    EXPECT_FALSE(tar.addFile(QStringLiteral("/etc/passwd"), "x", kStamp)) << "absolute";
    EXPECT_FALSE(tar.addFile(QString(), "x", kStamp));
    EXPECT_TRUE(tar.addFile(QStringLiteral("ok.txt"), "x", kStamp));
    EXPECT_TRUE(tar.finish());
}

TEST(TarGzWriter, HeaderChecksumIsTheByteSumWithBlankField)
{
    bool ok = false;
    const QByteArray h = TarGzWriter::header(QStringLiteral("a.txt"), 3, kStamp, 0644, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(h.size(), 512);
    quint32 sum = 0;
    for (qsizetype i = 0; i < h.size(); ++i)
        sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(h[i]);
    EXPECT_EQ(h.mid(148, 6).toUInt(nullptr, 8), sum);
    EXPECT_EQ(h.mid(124, 11), QByteArray("00000000003"));
    EXPECT_EQ(h.mid(257, 8), QByteArray("ustar\0" "00", 8));
}

} // namespace
