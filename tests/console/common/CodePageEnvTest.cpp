// TELLAR_CODEPAGE chooses the console code page (CTest sets it to cp1252 for
// this program).
#include "common/CodePage.h"

#include "TestDir.h"

namespace {

TEST(CodePage, EnvironmentSelectsWindows1252)
{
    ASSERT_EQ(qgetenv("TELLAR_CODEPAGE"), QByteArray("cp1252"));
    EXPECT_EQ(CodePage::console().name(), QByteArray("windows-1252"));
    EXPECT_EQ(CodePage::console().encode(qs("š")), QByteArray("\x9A"));
}

} // namespace
