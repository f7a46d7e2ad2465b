#include "IsolatedEnvironment.h"

#include <QApplication>
#include <gtest/gtest.h>

// Windows run headless.
int main(int argc, char** argv)
{
    IsolatedEnvironment isolated;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
