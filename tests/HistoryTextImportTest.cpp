#include "TestSupport.h"

#include "history/HistoryImport.h"
#include "history/HistoryTextReader.h"
#include "history/LotteryTable.h"
#include "history/Workspace.h"
#include "store/TextFileCodec.h"

#include <QStringEncoder>
#include <gtest/gtest.h>

namespace {

using Format = HistoryTextReader::Format;

QByteArray gbk(const QString& text)
{
    QStringEncoder e("GB18030");
    return e.encode(text);
}

QStringList issuesOf(const std::vector<DrawRecord>& draws)
{
    QStringList out;
    for (const auto& d : draws)
        out << d.issue + ' ' + QString::number(d.number(1)) + QString::number(d.number(2)) +
                   QString::number(d.number(3));
    return out;
}

QStringList issuesOf(const std::vector<TextDraw>& draws)
{
    QStringList out;
    for (const auto& d : draws)
        out << d.issue + ' ' + QString::number(d.numbers[0]) + QString::number(d.numbers[1]) +
                   QString::number(d.numbers[2]);
    return out;
}

QList<int> lineNumbers(const std::vector<UnreadLine>& unread)
{
    QList<int> out;
    for (const auto& u : unread)
        out << u.lineNumber;
    return out;
}

struct OpenWorkspace : TempWorkspace
{
    HistoryImportPlan plan(const QByteArray& bytes)
    {
        HistoryImport::Options o;
        o.drawsPerDay = 78;
        o.runningCount = ws.isRunningCountLottery();
        o.today = QDate(2016, 1, 25);
        return HistoryImport::plan(ws.history(), bytes, o);
    }
};

// A results page copied from the browser: headings, the newest draw first, dates and times on
// every line, numbers written in three ways, the sum and the form after them, a pager line.
const char* kCopiedPage = "福建快3开奖结果\n"
                          "开奖日期：2016年01月21日 星期四 更新时间 10:05\n"
                          "期号 开奖时间 开奖号码 和值 形态\n"
                          "160121004期 2016-01-21 10:00:00 开奖号码：２ ２ ２ 和值：6 豹子\n"
                          "160121003 2016-01-21 09:50:00 4,5,6 15 三连号\n"
                          "160121002 2016/01/21 09:40 335 11 二同号\n"
                          "160121001 01-21 09:30 1 2 3 6 三连号\n"
                          "第 1 页 共 20 页 上一页 下一页\n";

} // namespace

TEST(HistoryTextReader, CopiedResultsPage)
{
    const auto r = HistoryTextReader::read(QByteArray(kCopiedPage), {});
    EXPECT_EQ(r.format, Format::ResultsPage);
    EXPECT_EQ(issuesOf(r.draws),
              QStringList({"160121004 222", "160121003 456", "160121002 335", "160121001 123"}));
    EXPECT_TRUE(r.unread.empty());
    EXPECT_EQ(r.ignoredLines, 4);

    // Two draws side by side, CR line ends, GBK; a pending draw and a number 7 are unreadable.
    const QString page = QStringLiteral("160121005 1 1 2 160121006 6 5 4\r160121007 等待开奖\r"
                                        "160121008 1 7 2\r");
    const auto g = HistoryTextReader::read(gbk(page), {});
    EXPECT_EQ(issuesOf(g.draws), QStringList({"160121005 112", "160121006 654"}));
    EXPECT_EQ(lineNumbers(g.unread), QList<int>({2, 3}));
    EXPECT_TRUE(g.unread[0].reason.contains(QStringLiteral("没有三个开奖号码")));
    EXPECT_EQ(g.unread[0].text, QStringLiteral("160121007 等待开奖"));
    EXPECT_TRUE(g.unread[1].reason.contains(QStringLiteral("1 7 2")));
}

TEST(HistoryTextReader, SpreadsheetCsvAndTsv)
{
    // Excel's "CSV UTF-8": BOM, header, CR LF, a date column between issue and numbers, an empty
    // trailing row of separators.
    const QByteArray excel = "\xEF\xBB\xBF"
                             "期号,开奖日期,百位,十位,个位,和值\r\n"
                             "160121001,2016/1/21,1,2,3,6\r\n"
                             "160121002,2016/1/21,3,3,5,11\r\n"
                             ",,,,,\r\n";
    auto r = HistoryTextReader::read(excel, {});
    EXPECT_EQ(r.format, Format::Table);
    EXPECT_EQ(r.delimiter, QLatin1Char(','));
    EXPECT_EQ(issuesOf(r.draws), QStringList({"160121001 123", "160121002 335"}));
    EXPECT_EQ(r.ignoredLines, 1);
    EXPECT_TRUE(r.unread.empty());

    // The plain "CSV" of a Chinese spreadsheet is GBK; columns named in another order are read by
    // their names; a sum of 9 or less in a digit column does not shift the numbers.
    const QString named =
        QStringLiteral("开奖记录\n期号,和值,个位,十位,百位\n160121001,6,3,2,1\n160121002,11,5,3,3\n");
    r = HistoryTextReader::read(gbk(named), {});
    EXPECT_EQ(issuesOf(r.draws), QStringList({"160121001 123", "160121002 335"}));
    EXPECT_EQ(r.ignoredLines, 2);

    // No header; one quoted column holding the three numbers; issues written as 第…期.
    r = HistoryTextReader::read(QByteArray("第160121001期,\"1,2,3\"\n160121002,\"3 3 5\"\n160121003,456\n"),
                                {});
    EXPECT_EQ(r.format, Format::Table);
    EXPECT_EQ(issuesOf(r.draws), QStringList({"160121001 123", "160121002 335", "160121003 456"}));

    // TSV copied from a spreadsheet, LF and CR mixed, a semicolon CSV.
    r = HistoryTextReader::read(QByteArray("160121001\t1\t2\t3\r160121002\t3\t3\t5\n"), {});
    EXPECT_EQ(r.format, Format::Table);
    EXPECT_EQ(r.delimiter, QLatin1Char('\t'));
    EXPECT_EQ(issuesOf(r.draws), QStringList({"160121001 123", "160121002 335"}));
    r = HistoryTextReader::read(QByteArray("160121001;1;2;3\n160121002;3;3;5\n"), {});
    EXPECT_EQ(r.delimiter, QLatin1Char(';'));
    EXPECT_EQ(r.draws.size(), 2u);

    // Bad rows after the data began: a row without an issue, a number out of range, a short row.
    r = HistoryTextReader::read(QByteArray("期号,百位,十位,个位\n160121001,1,2,3\n合计,,,\n160121002,7,1,1\n"
                                           "160121003,1\n160121004,4,4,4\n"),
                                {});
    EXPECT_EQ(issuesOf(r.draws), QStringList({"160121001 123", "160121004 444"}));
    EXPECT_EQ(lineNumbers(r.unread), QList<int>({3, 4, 5}));
    EXPECT_TRUE(r.unread[0].reason.contains(QStringLiteral("不是期号")));
    EXPECT_TRUE(r.unread[2].reason.contains(QStringLiteral("只有2列")));
}

TEST(HistoryTextReader, OwnExportAndRunningCounts)
{
    auto r = HistoryTextReader::read(QByteArray("160121001 123\r\n160121002 335\r\n\r\n"), {});
    EXPECT_EQ(r.format, Format::OwnExport);
    EXPECT_EQ(r.draws.size(), 2u);
    EXPECT_EQ(HistoryTextReader::read(QByteArray("\r\n  \n"), {}).format, Format::Empty);

    // 北京快3 running counts only for that lottery, with the date written on the line.
    const QByteArray beijing =
        "期号 开奖日期 开奖号码\n87654 01-21 09:20 3 5 6\n87655 2016-01-21 2,2,4\n87656 1 1 1\n";
    r = HistoryTextReader::read(beijing, {false, QDate(2016, 1, 25)});
    EXPECT_TRUE(r.draws.empty());
    r = HistoryTextReader::read(beijing, {true, QDate(2016, 1, 25)});
    EXPECT_EQ(issuesOf(r.draws), QStringList({"87654 356", "87655 224"}));
    EXPECT_EQ(r.draws[0].date, QDate(2016, 1, 21));
    EXPECT_TRUE(r.draws[0].runningCount);
    EXPECT_EQ(lineNumbers(r.unread), QList<int>({4}));
    // December dates read in January belong to last year.
    r = HistoryTextReader::read(QByteArray("87654 12-31 3 5 6\n"), {true, QDate(2017, 1, 2)});
    EXPECT_EQ(r.draws[0].date, QDate(2016, 12, 31));
}

TEST(TextFileCodec, EncodingsAndLineEnds)
{
    const QString text = QStringLiteral("期号 开奖号码\n160121001 3 5 6");
    EXPECT_EQ(TextFileCodec::decodeLenient(gbk(text)), text);
    EXPECT_EQ(TextFileCodec::decodeLenient("\xEF\xBB\xBF" + text.toUtf8()), text);
    EXPECT_EQ(TextFileCodec::splitLines(QStringLiteral("a\r\nb\rc\n\nd")),
              QStringList({"a", "b", "c", "", "d"}));
    EXPECT_EQ(TextFileCodec::splitLines(QStringLiteral("a\r\n")), QStringList({"a"}));
}

TEST(HistoryImport, PageImportMatchesTypedDraws)
{
    OpenWorkspace typed;
    addDraws(typed.ws,
             {{"160121001", "123"}, {"160121002", "335"}, {"160121003", "456"}, {"160121004", "222"}});
    OpenWorkspace pasted;
    const HistoryImportPlan plan = pasted.plan(kCopiedPage);
    // Stored oldest first and chained draw by draw: every derived column equals the typed ones.
    EXPECT_EQ(plan.firstIssue(), "160121001");
    EXPECT_EQ(plan.lastIssue(), "160121004");
    QString error;
    ASSERT_TRUE(HistoryImport::store(&pasted.ws.history(), plan, &error)) << error.toStdString();
    ASSERT_EQ(pasted.ws.history().draws().size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(pasted.ws.history().draws()[i].issue, typed.ws.history().draws()[i].issue);
        EXPECT_EQ(pasted.ws.history().draws()[i].values, typed.ws.history().draws()[i].values) << i;
    }
}

TEST(HistoryImport, StoredRepeatedOlderAndConflictingDraws)
{
    OpenWorkspace w;
    addDraws(w.ws, {{"160121001", "123"}, {"160121002", "335"}});
    // A paste of the newest stored draw adds nothing and is counted as stored.
    HistoryImportPlan plan = w.plan("160121002 3 3 5");
    EXPECT_EQ(plan.alreadyStored, 1);
    EXPECT_TRUE(plan.toAdd.empty());
    EXPECT_TRUE(plan.unread.empty());

    plan = w.plan("160121005 1 1 6\n"   // new
                  "160121003 1 1 1\n"   // new; the page repeats it below with the same numbers
                  "160121003 1 1 1\n"   //
                  "160121004 2 2 2\n"   // listed again below with other numbers
                  "160121004 2 2 3\n"   //
                  "160121002 3 3 6\n"   // stored with other numbers
                  "160121001 1 2 3\n"   // stored
                  "160120078 1 2 3\n"   // older than the oldest stored draw
                  "161301001 1 2 3\n"); // no such date
    EXPECT_EQ(issuesOf(plan.toAdd), QStringList({"160121003 111", "160121005 116"}));
    EXPECT_EQ(plan.alreadyStored, 1);
    EXPECT_EQ(lineNumbers(plan.unread), QList<int>({4, 5, 6, 8, 9}));
    EXPECT_TRUE(plan.unread[2].reason.contains(QStringLiteral("已存的开奖号码是335")));
    EXPECT_TRUE(plan.unread[3].reason.contains(QStringLiteral("早于已存的最早一期160121001")));
    EXPECT_EQ(plan.unread[3].text, "160120078 1 2 3");
    EXPECT_TRUE(plan.problems()[4].startsWith(QStringLiteral("第9行：")));
    // 160121005 chains from 160121003 (1 1 1), not from the stored newest draw (3 3 5).
    EXPECT_EQ(plan.toAdd[1].value("LX"), 2);
    EXPECT_EQ(plan.toAdd[0].value("LX"), 0);

    // Notepad's "Unicode" (UTF-16 with a mark) is read; without the mark it is refused with a
    // message rather than read as nothing.
    const QString page = QStringLiteral("160121005 1 1 6\r\n");
    const QByteArray bare(reinterpret_cast<const char*>(page.utf16()), page.size() * 2);
    EXPECT_EQ(issuesOf(w.plan(QByteArray("\xFF\xFE") + bare).toAdd), QStringList({"160121005 116"}));
    const HistoryImportPlan utf16 = w.plan(bare);
    EXPECT_TRUE(utf16.refusal.contains("UTF-16"));
    EXPECT_TRUE(utf16.refusal.contains(QStringLiteral("历史号码")));
    EXPECT_TRUE(utf16.toAdd.empty());

    // The plan is refused once the history moved on, and stores nothing.
    addDraws(w.ws, {{"160121003", "111"}});
    QString error;
    EXPECT_FALSE(HistoryImport::store(&w.ws.history(), plan, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("改变")));
    EXPECT_EQ(w.ws.history().draws().size(), 3u);
}

TEST(HistoryImport, RunningCountsTakeTheLineDate)
{
    OpenWorkspace w;
    w.ws.setLotteryIndex(LotteryTable::kBeijing);
    const HistoryImportPlan plan = w.plan("87655 2016-01-21 10:10 2 2 4\n87654 2016-01-21 10:00 3 5 6\n");
    ASSERT_EQ(plan.toAdd.size(), 2u);
    EXPECT_EQ(plan.toAdd[0].issue, "87654");
    EXPECT_EQ(plan.toAdd[0].value("NF"), 2016);
    EXPECT_EQ(plan.toAdd[0].value("RQ"), 21);
    EXPECT_EQ(plan.toAdd[0].value("RQW"), 1); // the online rule: the last digit
    EXPECT_EQ(plan.toAdd[1].value("SQH"), 55);
    EXPECT_EQ(plan.toAdd[1].value("LY"), 0);
}
