// The session runs on Qt's event loop: the tests need a QCoreApplication, and
// a fixed time zone so no stamp depends on the machine.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char **argv)
{
    setenv("TZ", "UTC", 1);
    tzset();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
