#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Every test run gets its own settings folder so the real user's settings are never touched.
int main(int argc, char** argv)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("ZORVANE_NO_OPEN", "1");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
