#include "CliRunner.h"
#include "FixtureResultsServer.h"
#include "FormulaTestTables.h"

#include "formula/FormulaImport.h"
#include "formula/FormulaOnlineUpdate.h"
#include "formula/FormulaTextFile.h"
#include "store/Settings.h"

#include <QFile>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

// A published formula file: bracket lines of two kinds, lines the five-character offset cuts,
// a next-draw line, a repeat and a line that is no formula; padded past 1024 bytes.
QByteArray publishedFile()
{
    QStringList lines{u("[百位单选杀]百位码+和数+1"),
                      u("[百位单选杀]百位码+和数+1"),
                      u("编号001L1A+LT+3"),
                      u("十位码+3=下期生码十位通选"),
                      u("编号002L2A+2"),
                      u("第三条：L1A++"),
                      u("[十位通选杀]十位码+和数+4")};
    for (int i = 1; i <= 60; ++i)
        lines << QStringLiteral("[个位单选杀]个位码+跨度+%1").arg(i);
    return FormulaTextFile::encode(lines);
}

class FormulaOnlineUpdateTest : public FormulaTablesTest
{
protected:
    void SetUp() override
    {
        FormulaTablesTest::SetUp();
        for (const FormulaKind& kind : FormulaKind::all())
            store(kind, {{"L1A+9", "L1A+9", true}, {"L2A+9", "L2A+9", false}});
        m_server.setPage(publishedFile(), "text/plain");
        m_server.setReply(FixtureResultsServer::Reply::Page);
    }

    bool update(QString* message, const QString& url = {}, int timeoutMs = 5000)
    {
        FormulaUpdateOptions options;
        options.url = url.isEmpty() ? m_server.baseUrl() + QStringLiteral("/Pelq.txt") : url;
        options.timeoutMs = timeoutMs;
        FormulaOnlineUpdate run(m_ws, k3G, true, options);
        const bool ok = run.runBlocking(message);
        m_last = run.imported();
        return ok;
    }

    void expectUnchanged()
    {
        for (const FormulaKind& kind : FormulaKind::all())
            EXPECT_EQ(rows(kind), (std::vector<Row>{{"L1A+9", "L1A+9", true}, {"L2A+9", "L2A+9", false}}))
                << kind.tableName().toStdString();
    }

    QString localCopy() const { return m_dir.file(u("Pelq.txt")); }

    FixtureResultsServer m_server;
    FormulaImportResult m_last;
};

} // namespace

TEST_F(FormulaOnlineUpdateTest, ReplacesEveryFormulaByTheFile)
{
    QString message;
    ASSERT_TRUE(update(&message)) << message.toStdString();
    EXPECT_EQ(m_server.lastTarget(), "/Pelq.txt");
    EXPECT_EQ(readFile(localCopy()), publishedFile()); // kept unchanged
    EXPECT_EQ(m_last.added, 66);
    EXPECT_EQ(m_last.rejected, 1);
    EXPECT_TRUE(message.contains(u("读入66个公式"))) << message.toStdString();
    // Rejected lines leave no file; a change of kind prepares nothing, so the repeat stays.
    EXPECT_FALSE(QFile::exists(m_dir.file(FormulaImport::unrecognisedFileName())));
    EXPECT_EQ(rows(k3D), (std::vector<Row>{{"L1A+LH+1", "[百位单选杀]百位码+和数+1", true},
                                           {"L1A+LH+1", "[百位单选杀]百位码+和数+1", true},
                                           {"L1A+LT+3", "编号001L1A+LT+3", true}}));
    // The next-draw line names 十位通选 and the keep sense, which holds for the line after it.
    EXPECT_EQ(rows(k2G), (std::vector<Row>{{"L2A+3", "十位码+3=下期生码十位通选", false},
                                           {"L2A+2", "编号002L2A+2", false},
                                           {"L2A+LH+4", "[十位通选杀]十位码+和数+4", false}}));
    const std::vector<Row> units = rows(k1D);
    ASSERT_EQ(units.size(), 60u);
    EXPECT_EQ(units.back(), (Row{"L3A+LT+60", "[个位单选杀]个位码+跨度+60", false}));
    EXPECT_TRUE(rows(k2D).empty());
    EXPECT_TRUE(rows(k3G).empty());
    EXPECT_FALSE(m_last.kill);
}

TEST_F(FormulaOnlineUpdateTest, AFileOf1024BytesOrLessChangesNothing)
{
    QByteArray shortFile = FormulaTextFile::encode({u("[百位单选杀]百位码+1")});
    shortFile += QByteArray(1024 - shortFile.size(), ' ');
    m_server.setPage(shortFile, "text/plain");
    QString message;
    EXPECT_FALSE(update(&message));
    EXPECT_TRUE(message.contains("1024")) << message.toStdString();
    EXPECT_TRUE(message.contains(u("没有任何改动")));
    EXPECT_EQ(readFile(localCopy()), shortFile);
    expectUnchanged();
}

TEST_F(FormulaOnlineUpdateTest, AFailedDownloadChangesNothingAndSaysWhy)
{
    struct Case
    {
        const char* name;
        FixtureResultsServer::Reply reply;
        const char* says;
    };
    for (const Case& c :
         {Case{"404", FixtureResultsServer::Reply::NotFound, "公式服务器返回了错误（HTTP 404"},
          Case{"hang", FixtureResultsServer::Reply::Hang, "秒内没有送来完整的公式文件"},
          Case{"not http", FixtureResultsServer::Reply::NotHttp, "无法从公式服务器下载公式文件"}}) {
        m_server.setReply(c.reply);
        QString message;
        EXPECT_FALSE(update(&message, {}, 500)) << c.name;
        EXPECT_TRUE(message.contains(u(c.says))) << c.name << ": " << message.toStdString();
        EXPECT_TRUE(message.endsWith(u("公式在线更新没有完成，软件中的公式没有任何改动。")));
        EXPECT_FALSE(QFile::exists(localCopy())) << c.name;
        expectUnchanged();
    }
    QString message;
    EXPECT_FALSE(update(
        &message, QStringLiteral("http://127.0.0.1:%1/Pelq.txt").arg(FixtureResultsServer::closedPort())));
    EXPECT_TRUE(message.contains(u("无法从公式服务器下载公式文件"))) << message.toStdString();
    expectUnchanged();
}

TEST_F(FormulaOnlineUpdateTest, ARedirectIsFollowed)
{
    m_server.setReply(FixtureResultsServer::Reply::Redirect);
    m_server.setRedirectPath("/files/Pelq.txt");
    QString message;
    ASSERT_TRUE(update(&message)) << message.toStdString();
    EXPECT_EQ(m_server.requestCount(), 2);
    EXPECT_EQ(m_server.lastTarget(), "/files/Pelq.txt");
    EXPECT_EQ(m_last.added, 66);
}

TEST_F(FormulaOnlineUpdateTest, AFileWithoutFormulasOrADatabaseFailureChangesNothing)
{
    // An error page served as a success must not empty the store.
    QByteArray page = "<html><body>";
    while (page.size() <= 2048)
        page += "<p>Service temporarily unavailable</p>\r\n";
    m_server.setPage(page, "text/html");
    QString message;
    EXPECT_FALSE(update(&message));
    EXPECT_TRUE(message.contains(u("没有一个可以识别的公式"))) << message.toStdString();
    expectUnchanged();

    // The clearing and the adding are one transaction.
    m_server.setPage(publishedFile(), "text/plain");
    QSqlQuery q(m_ws.database().connection());
    ASSERT_TRUE(
        q.exec("CREATE TRIGGER refuse BEFORE INSERT ON Gongshi1D BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    EXPECT_FALSE(update(&message));
    EXPECT_TRUE(message.contains("refused")) << message.toStdString();
    EXPECT_EQ(m_last.added, 0);
    expectUnchanged();
}

TEST_F(FormulaOnlineUpdateTest, TheAddressComesFromTheSettings)
{
    Settings& settings = m_ws.settings();
    EXPECT_EQ(FormulaOnlineUpdate::url(settings), FormulaOnlineUpdate::defaultUrl());
    EXPECT_TRUE(FormulaOnlineUpdate::defaultUrl().contains(".example/"));
    settings.writeString("IniSetting", "FormulaUrl", m_server.baseUrl() + "/published.txt");
    EXPECT_EQ(FormulaOnlineUpdate(m_ws, k1D, true).address().toString(),
              m_server.baseUrl() + "/published.txt");
    QString message;
    ASSERT_TRUE(FormulaOnlineUpdate(m_ws, k1D, true).runBlocking(&message)) << message.toStdString();
    EXPECT_EQ(m_server.lastTarget(), "/published.txt");
    settings.writeString("IniSetting", "FormulaUrl", " ");
    EXPECT_EQ(FormulaOnlineUpdate::url(settings), FormulaOnlineUpdate::defaultUrl());
}

// --- The command line ----------------------------------------------------------------------

TEST(FormulaCommands, ImportExportClearAndUpdate)
{
    TempDataFolder dir;
    const QString file = dir.file("in.txt");
    writeFile(file, FormulaTextFile::encode({FormulaTextFile::banner(), u("[十位通选杀]十位码+1"),
                                             u("十位码+2"), u("百位码+千位码")}));
    CliResult r = runCli(dir.path(), {"formula", "import", file, "--kind", "3D", "--sense", "keep"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u("added 2 rejected 2\n") + dir.file(u("无法识别公式.txt")) + "\n");
    r = runCli(dir.path(), {"formula", "list", "--kind", "2G", "--sense", "keep"});
    EXPECT_EQ(r.out.count('\n'), 3);
    r = runCli(dir.path(), {"formula", "import", dir.file("none.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(runCli(dir.path(), {"formula", "import"}).exitCode, 2);

    ASSERT_EQ(runCli(dir.path(), {"history", "add", "160121001", "123"}).exitCode, 0);
    r = runCli(dir.path(), {"formula", "export", "--kind", "2G", "--sense", "keep"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, dir.file(u("160121001期快3彩十位通选生公式.txt")) + "\n");
    EXPECT_EQ(FormulaTextFile::decodeLines(readFile(r.out.trimmed())).size(), 2 + 2 + 1);
    r = runCli(dir.path(), {"formula", "export", "--all", "--sense", "keep"});
    EXPECT_EQ(r.out, dir.file(u("160121001期快3彩公式.txt")) + "\n");
    // A file named writes the export there; a second one is too many.
    const QString chosen = dir.file(QStringLiteral("chosen.txt"));
    r = runCli(dir.path(), {"formula", "export", "--kind", "2G", "--sense", "keep", chosen});
    EXPECT_EQ(r.out, chosen + "\n");
    EXPECT_EQ(readFile(chosen), readFile(dir.file(u("160121001期快3彩十位通选生公式.txt"))));
    EXPECT_EQ(runCli(dir.path(), {"formula", "export", chosen, "extra"}).exitCode, 2);

    r = runCli(dir.path(), {"formula", "clear"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(u("清空所有公式后将无法恢复")));
    EXPECT_EQ(runCli(dir.path(), {"formula", "list", "--kind", "2G", "--sense", "all"}).out.count('\n'), 3);
    r = runCli(dir.path(), {"formula", "clear", "--yes"});
    EXPECT_EQ(r.out, "cleared\n");
    EXPECT_EQ(runCli(dir.path(), {"formula", "list", "--kind", "2G", "--sense", "all"}).out.count('\n'), 1);

    FixtureResultsServer server;
    server.setPage(publishedFile(), "text/plain");
    r = runCli(dir.path(), {"formula", "update", "--url", server.baseUrl() + "/Pelq.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(u("读入66个公式"))) << r.out.toStdString();
    server.setReply(FixtureResultsServer::Reply::NotFound);
    r = runCli(dir.path(), {"formula", "update", "--url", server.baseUrl() + "/Pelq.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u("没有任何改动"))) << r.err.toStdString();
    EXPECT_EQ(runCli(dir.path(), {"formula", "list", "--kind", "1D", "--sense", "all"}).out.count('\n'), 61);
}
