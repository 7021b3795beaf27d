// The main of the Qt test programs: the application object, then every test on the application's
// thread. Programs that show widgets are built with MTH_TEST_WIDGETS and draw on the offscreen platform
// (no display needed); the others run below the widgets, in a QCoreApplication.

#if MTH_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    testing::InitGoogleTest(&argc, argv);
    TestApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
