// The main of test programs that need a QApplication: headless unless told otherwise. The
// platform must be chosen before QApplication exists, and gtest_discover_tests runs the binary
// without the test's environment.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/look.h"

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ApplyWindowLook(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
