// Where the data lives, and the window program's start without a display.
#include "TestSupport.h"

#include "store/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

TEST(DataFolder, OptionThenEnvironmentThenAPortableProgramFolderThenPerUser)
{
    TempDataFolder program, user;
    const QString option = program.file("chosen");
    EXPECT_EQ(DataFolder::choose(option, "/env", program.path(), user.path()), option);
    EXPECT_EQ(DataFolder::choose({}, "/env", program.path(), user.path()), "/env");
    // A writable program folder (a build folder) without a database keeps no data: rebuilding it loses none.
    EXPECT_EQ(DataFolder::choose({}, {}, program.path(), user.path()), user.path());
    // One shipped with its database is a portable copy and keeps its data beside itself.
    QFile database(program.file("formula.mdb"));
    ASSERT_TRUE(database.open(QIODevice::WriteOnly));
    database.close();
    EXPECT_EQ(DataFolder::choose({}, {}, program.path(), user.path()), program.path());
    // A folder of that name is no database.
    TempDataFolder other;
    ASSERT_TRUE(QDir(other.path()).mkdir("formula.mdb"));
    EXPECT_EQ(DataFolder::choose({}, {}, other.path(), user.path()), user.path());
    EXPECT_TRUE(QDir(DataFolder::choose("rel", {}, {}, {})).isAbsolute());
}

// The programs themselves, copied into a folder of their own as a build folder holds them.
class ProgramFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_program = m_root.file("program/zorvane-cli");
        ASSERT_TRUE(QDir().mkpath(m_root.file("program")));
        ASSERT_TRUE(QFile::copy(QStringLiteral(ZORVANE_CLI_PATH), m_program));
    }
    // zorvane-cli from the copy with only the per-user folder to go on.
    int run(const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("ZORVANE_DATA_DIR"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_root.file("home-data"));
        p.setProcessEnvironment(env);
        p.start(m_program, args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return p.exitCode();
    }
    QString perUser(const QString& name) const
    {
        return QDir(m_root.file("home-data/Zorvane")).filePath(name);
    }
    QString besideProgram(const QString& name) const { return m_root.file("program/" + name); }

    TempDataFolder m_root;
    QString m_program;
};

TEST_F(ProgramFolder, AWritableProgramFolderWithoutADatabaseLeavesTheDataPerUser)
{
    ASSERT_EQ(run({"history", "add", "160121001", "356"}), 0);
    EXPECT_TRUE(QFileInfo::exists(perUser("formula.mdb")));
    EXPECT_FALSE(QFileInfo::exists(besideProgram("formula.mdb")));
}

TEST_F(ProgramFolder, AProgramFolderThatHoldsADatabaseKeepsUsingIt)
{
    // A build folder from before the rule, with its data: it keeps working where it is.
    ASSERT_EQ(run({"--data-dir", m_root.file("program"), "history", "add", "160121001", "356"}), 0);
    ASSERT_TRUE(QFileInfo::exists(besideProgram("formula.mdb")));
    ASSERT_EQ(run({"history", "add", "160121002", "123"}), 0);
    EXPECT_FALSE(QFileInfo::exists(perUser("formula.mdb")));
    QProcess p;
    p.start(m_program, {"--data-dir", m_root.file("program"), "history", "list"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()).count('\n'), 3);
}

// The window program answers --help and --version without a display, and without one says in a
// line how to start it instead of aborting.
class WindowProgram : public ::testing::Test
{
protected:
    struct Outcome
    {
        int exitCode = -1;
        QString out;
        QString err;
    };
    static Outcome run(const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(ZORVANE_WINDOW_PATH), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
};

TEST_F(WindowProgram, HelpAndVersionNeedNoDisplay)
{
    for (const char* flag : {"--help", "-h"}) {
        const Outcome help = run({QLatin1String(flag)});
        EXPECT_EQ(help.exitCode, 0) << flag;
        EXPECT_TRUE(help.out.startsWith("usage: zorvane ")) << help.out.toStdString();
        EXPECT_TRUE(help.out.contains("--data-dir"));
        EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();
    }
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("zorvane ")) << version.out.toStdString();
}

TEST_F(WindowProgram, WithoutADisplayOneLineSaysHowToStartIt)
{
    for (const QStringList& args : {QStringList{}, QStringList{"--data-dir", "/nonexistent"}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("zorvane-cli")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("xvfb-run")) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("Reinstalling")) << r.err.toStdString();
    }
}

} // namespace
