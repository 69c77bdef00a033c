// GoogleTest main for tests that drive real widgets: one QApplication for the
// whole run (the platform is "offscreen", set by the test's environment).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
