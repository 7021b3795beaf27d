// The main of the test programs of libraries without widgets: a QCoreApplication, so that nothing they
// do can need a display or a window, then every test on the application's thread.

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
