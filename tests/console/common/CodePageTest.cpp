// The console code page: Estonian letters to the bytes the workstations
// use, every byte surviving bytes -> text -> bytes, and '?' for the rest.
#include "common/CodePage.h"

#include "TestDir.h"

namespace {

TEST(CodePage, EstonianLettersToWindows1257Bytes)
{
    const CodePage cp = *CodePage::fromName("windows-1257");
    struct Row {
        const char *letter;
        unsigned char byte;
    } rows[] = {
        {"õ", 0xF5}, {"ä", 0xE4}, {"ö", 0xF6}, {"ü", 0xFC}, {"š", 0xF0}, {"ž", 0xFE},
        {"Õ", 0xD5}, {"Ä", 0xC4}, {"Ö", 0xD6}, {"Ü", 0xDC}, {"Š", 0xD0}, {"Ž", 0xDE},
        {"€", 0x80}, {"„", 0x84}, {"“", 0x93}, {"´", 0xB4}, {"ą", 0xE0}, {"ę", 0xE6},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.letter);
        const QByteArray expected(1, static_cast<char>(r.byte));
        EXPECT_EQ(cp.encode(qs(r.letter)), expected);
        EXPECT_EQ(cp.decode(expected), qs(r.letter));
    }
}

TEST(CodePage, EstonianLettersToWindows1252Bytes)
{
    const CodePage cp = *CodePage::fromName("cp1252");
    struct Row {
        const char *letter;
        unsigned char byte;
    } rows[] = {
        {"õ", 0xF5}, {"ä", 0xE4}, {"ö", 0xF6}, {"ü", 0xFC}, {"š", 0x9A}, {"ž", 0x9E},
        {"Õ", 0xD5}, {"Š", 0x8A}, {"Ž", 0x8E}, {"€", 0x80}, {"ÿ", 0xFF},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.letter);
        const QByteArray expected(1, static_cast<char>(r.byte));
        EXPECT_EQ(cp.encode(qs(r.letter)), expected);
        EXPECT_EQ(cp.decode(expected), qs(r.letter));
    }
}

TEST(CodePage, EveryByteSurvivesTheRoundTrip)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    for (const char *name : {"windows-1257", "windows-1252"}) {
        SCOPED_TRACE(name);
        const CodePage cp = *CodePage::fromName(name);
        const QString text = cp.decode(all);
        ASSERT_EQ(text.size(), 256);
        EXPECT_EQ(cp.encode(text), all);
    }
}

TEST(CodePage, UnmappableCharactersBecomeOneQuestionMarkEach)
{
    const CodePage cp = *CodePage::fromName("windows-1257");
    // Cyrillic, a CJK letter and an emoji (a surrogate pair): one '?' each.
    EXPECT_EQ(cp.encode(qs("aж中😀b")), QByteArray("a???b"));
    // windows-1257 has no "ÿ" or "ñ", windows-1252 no "ą".
    EXPECT_EQ(cp.encode(qs("ÿñ")), QByteArray("??"));
    EXPECT_EQ(CodePage::fromName("cp1252")->encode(qs("ą")), QByteArray("?"));
    // A lone surrogate is one unmappable character, too.
    EXPECT_EQ(cp.encode(QString(QChar(0xD800))), QByteArray("?"));
}

TEST(CodePage, NamesAreRecognisedWithoutCase)
{
    struct Row {
        const char *name;
        const char *canonical;   // nullptr: not a known code page
    } rows[] = {
        {"windows-1257", "windows-1257"}, {"CP1257", "windows-1257"},
        {"Windows-1252", "windows-1252"}, {"cp1252", "windows-1252"},
        {"utf-8", nullptr},               {"", nullptr},
        {"1257", nullptr},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        const auto cp = CodePage::fromName(r.name);
        if (r.canonical) {
            ASSERT_TRUE(cp.has_value());
            EXPECT_EQ(cp->name(), QByteArray(r.canonical));
        } else {
            EXPECT_FALSE(cp.has_value());
        }
    }
}

TEST(CodePage, ConsoleDefaultsToWindows1257)
{
    // CTest does not set TELLAR_CODEPAGE for this test.
    if (!qEnvironmentVariableIsEmpty("TELLAR_CODEPAGE"))
        GTEST_SKIP() << "TELLAR_CODEPAGE is set in this environment";
    EXPECT_EQ(CodePage::console().name(), QByteArray("windows-1257"));
    EXPECT_EQ(CodePage::console().encode(qs("š")), QByteArray("\xF0"));
}

} // namespace
