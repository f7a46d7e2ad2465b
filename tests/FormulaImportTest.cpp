#include "FormulaTestTables.h"
#include "TestSupport.h"

#include "backtest/BacktestRunner.h"
#include "backtest/FormulaExport.h"
#include "formula/FormulaClearAll.h"
#include "formula/FormulaImport.h"
#include "formula/FormulaTableStore.h"
#include "formula/FormulaTextFile.h"
#include "formula/FormulaTranslation.h"
#include "formula/FormulaTypedEntry.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"

#include <QFile>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

namespace {

const QChar kIdeographicSpace(0x3000);

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

QStringList lines(std::initializer_list<const char*> texts)
{
    QStringList out;
    for (const char* t : texts)
        out << u(t);
    return out;
}

class FormulaImportTest : public FormulaTablesTest
{
protected:
    // Writes the lines as a GBK file and imports it as "读取公式文本(N)" does.
    FormulaImportResult import(const QStringList& text, FormulaKind start = k1D, bool kill = true)
    {
        const QString path = m_dir.file(QStringLiteral("in.txt"));
        writeFile(path, FormulaTextFile::encode(text));
        FormulaImportOptions options;
        options.startKind = start;
        options.startKill = kill;
        options.unrecognisedPath = m_dir.file(FormulaImport::unrecognisedFileName());
        FormulaImportResult result;
        QString error;
        EXPECT_TRUE(FormulaImport(&m_ws.database(), options).importFile(path, &result, &error))
            << error.toStdString();
        return result;
    }
};

} // namespace

// --- File import ---------------------------------------------------------------------------

TEST_F(FormulaImportTest, DecorationsChooseTheKindAndTheSense)
{
    // A bracket names the kind only: the sense in force stays.
    FormulaImportResult r = import(lines({"[十位通选杀]十位码+和数+3"}), k1D, false);
    EXPECT_EQ(r.added, 1);
    EXPECT_TRUE(r.kindChanged);
    EXPECT_FALSE(r.kill);
    // A next-draw form with 码 after the sense names kind and sense.
    r = import(lines({"十位码+和数+3=下期生码十位通选"}), k1D, true);
    EXPECT_FALSE(r.kill);
    // With the position right after 杀 it names the sense only: the kind in force takes it.
    r = import(lines({"十位码+和数+3=下期杀十位通选"}), k3D, false);
    EXPECT_TRUE(r.kill);
    EXPECT_FALSE(r.kindChanged);
    // A plain line goes unchanged to the kind in force; a closing bracket as eighth character.
    import(lines({"L1A+LT+3"}), k3G, false);
    import(lines({"[十位通选杀类]十位码+3"}), k1D, true);

    EXPECT_EQ(rows(k2G), (std::vector<Row>{{"L2A+LH+3", "[十位通选杀]十位码+和数+3", false},
                                           {"L2A+LH+3", "十位码+和数+3=下期生码十位通选", false},
                                           {"L2A+3", "[十位通选杀类]十位码+3", true}}));
    EXPECT_EQ(rows(k3D), (std::vector<Row>{{"L2A+LH+3", "十位码+和数+3=下期杀十位通选", true}}));
    EXPECT_EQ(rows(k3G), (std::vector<Row>{{"L1A+LT+3", "L1A+LT+3", false}}));
    EXPECT_TRUE(rows(k1D).empty());
}

TEST_F(FormulaImportTest, ADecorationHoldsForTheLinesAfterIt)
{
    const FormulaImportResult r =
        import(lines({"[百位单选杀]L1A+1", "L1A+2", "L1A+3=下期生码百位通选", "L1A+4"}), k1D, true);
    EXPECT_EQ(r.added, 4);
    EXPECT_FALSE(r.kill); // the window adopts the sense of the last next-draw line
    EXPECT_EQ(rows(k3D), (std::vector<Row>{{"L1A+1", "[百位单选杀]L1A+1", true}, {"L1A+2", "L1A+2", true}}));
    EXPECT_EQ(rows(k3G),
              (std::vector<Row>{{"L1A+3", "L1A+3=下期生码百位通选", false}, {"L1A+4", "L1A+4", false}}));
}

TEST_F(FormulaImportTest, ExportedLinesReadBackAndBannerLinesAreRejected)
{
    const QString exported = u("百位码+3") + QString(11, kIdeographicSpace) + u("连准：5期");
    const FormulaImportResult r =
        import({FormulaTextFile::banner(), QString(), exported, FormulaTextFile::separator(1)}, k1D, true);
    EXPECT_EQ(r.added, 1);
    EXPECT_EQ(r.rejected, 2);
    EXPECT_EQ(rows(k1D), (std::vector<Row>{{"L1A+3", "百位码+3", true}}));
    const QStringList expected{FormulaTranslation::translateGongshiCN(FormulaTextFile::banner()),
                               FormulaTranslation::translateGongshiCN(FormulaTextFile::separator(1))};
    EXPECT_EQ(r.rejectedLines, expected);
    EXPECT_EQ(r.unrecognisedPath, m_dir.file(u("无法识别公式.txt")));
    EXPECT_EQ(readFile(r.unrecognisedPath), FormulaTextFile::encode(expected)); // GBK, CR LF

    // The next import recreates the file: empty when nothing is rejected.
    EXPECT_EQ(import(lines({"L1A+4"})).rejected, 0);
    EXPECT_TRUE(QFile::exists(r.unrecognisedPath));
    EXPECT_TRUE(readFile(r.unrecognisedPath).isEmpty());
}

TEST_F(FormulaImportTest, FormulasTheEvaluatorCannotUseAreRejectedLikeUnrecognisedText)
{
    const FormulaImportResult r =
        import(lines({"L1A++", "L4A+1", "(L1A+2", "百位码+千位码", "", "[十位通选杀]", "下期杀百位单选",
                      "1+2=下期生码个位通选", "L2A+5"}),
               k1D, true);
    EXPECT_EQ(r.added, 1);
    // Blank lines and a decoration without a formula translate to nothing and leave no trace.
    EXPECT_EQ(r.rejectedLines, lines({"L1A++", "L4A+1", "(L1A+2", "L1A+千位A", "下期杀百位单选", "1+2"}));
    // 个位通选 is no kind: the line is refused, but the sense it names holds, and the kind of the
    // refused bracket line (十位通选) too.
    EXPECT_EQ(rows(k2G), (std::vector<Row>{{"L2A+5", "L2A+5", false}}));
    EXPECT_TRUE(rows(k1D).empty());
}

TEST_F(FormulaImportTest, ReturningToAKindDeduplicatesItsFirstRun)
{
    store(k2G, {{"L2A+1", "[十位通选杀]L2A+1", true}, {"L2A+9", "L2A+9", true}});
    const FormulaImportResult r =
        import(lines({"[十位通选杀]L2A+1", "[百位通选杀]L1A+1", "[百位通选杀]L1A+1", "[十位通选杀]L2A+2"}));
    EXPECT_EQ(r.added, 4);
    // The repeat added in the first 十位通选 run is gone once the import comes back to that kind;
    // the 百位通选 run is only prepared when entered, so its own repeat stays.
    EXPECT_EQ(rows(k2G), (std::vector<Row>{{"L2A+1", "[十位通选杀]L2A+1", true},
                                           {"L2A+9", "L2A+9", true},
                                           {"L2A+2", "[十位通选杀]L2A+2", true}}));
    EXPECT_EQ(rows(k3G),
              (std::vector<Row>{{"L1A+1", "[百位通选杀]L1A+1", true}, {"L1A+1", "[百位通选杀]L1A+1", true}}));
}

TEST_F(FormulaImportTest, StoredFormulasKeepTheirOrderAndTheAddedOnesFollowInFileOrder)
{
    QSqlQuery q(m_ws.database().connection());
    ASSERT_TRUE(q.exec("INSERT INTO Gongshi1D (idx, gongshi, gongshiCN, bolKill) VALUES "
                       "(9, 'L1A+9', 'L1A+9', 1), (3, 'L1A+3', 'L1A+3', 1), (3, 'L1A+3', 'L1A+3', 1)"));
    import(lines({"L3A+2", "L3A+1"}));
    // The kind at the start is not prepared: its repeats stay, and idx closes its gaps.
    EXPECT_EQ(rows(k1D), (std::vector<Row>{{"L1A+3", "L1A+3", true},
                                           {"L1A+3", "L1A+3", true},
                                           {"L1A+9", "L1A+9", true},
                                           {"L3A+2", "L3A+2", true},
                                           {"L3A+1", "L3A+1", true}}));
}

TEST(FormulaImportEncoding, GbkThatHappensToBeValidUtf8IsReadAsGbk)
{
    // In GBK "[十位通选杀]L2A+1" is also valid UTF-8, spelling "[ʮλͨѡɱ]L2A+1".
    const QStringList text = lines({"[十位通选杀]L2A+1", "[十位通选杀]L2A+2"});
    const QByteArray gbk = FormulaTextFile::encode(text);
    QStringDecoder utf8(QStringDecoder::Utf8);
    utf8.decode(gbk);
    ASSERT_FALSE(utf8.hasError());
    EXPECT_EQ(FormulaTextFile::decodeLines(gbk), text);
    EXPECT_EQ(FormulaTextFile::decodeLines(text.join("\r\n").toUtf8()), text);
}

TEST(FormulaImportEncoding, GbkAndUtf8FilesReadAlike)
{
    const QStringList text =
        lines({"百位码+和数+3　　连准：2期", "[十位通选杀]十位码+1", "个位码+跨度=下期生码百位单选"});
    QStringEncoder utf8(QStringEncoder::Utf8);
    const QByteArray plainUtf8 = utf8.encode(text.join("\r\n"));
    for (const QByteArray& bytes : {FormulaTextFile::encode(text), plainUtf8,
                                    QByteArray("\xEF\xBB\xBF") + plainUtf8, plainUtf8 + "\n"}) {
        TempDataFolder dir;
        Workspace ws;
        QString error;
        ASSERT_TRUE(ws.open(dir.path(), &error));
        FormulaImportOptions options;
        FormulaImportResult r;
        ASSERT_TRUE(FormulaImport(&ws.database(), options).importBytes(bytes, &r, &error))
            << error.toStdString();
        EXPECT_EQ(r.added, 3);
        EXPECT_EQ(tableRows(ws, k1D), (std::vector<Row>{{"L1A+LH+3", "百位码+和数+3", true}}));
        EXPECT_EQ(tableRows(ws, k2G), (std::vector<Row>{{"L2A+1", "[十位通选杀]十位码+1", true}}));
        EXPECT_EQ(tableRows(ws, k3D), (std::vector<Row>{{"L3A+LT", "个位码+跨度=下期生码百位单选", false}}));
    }
}

TEST_F(FormulaImportTest, ADatabaseFailureAddsNothing)
{
    store(k1D, {{"L1A+9", "L1A+9", true}});
    // A view in the place of the scratch table makes the preparation of the second kind fail,
    // after the first kind's formulas were written.
    QSqlQuery q(m_ws.database().connection());
    ASSERT_TRUE(q.exec("CREATE VIEW Tmp AS SELECT 1"));
    const QString path = m_dir.file("in.txt");
    writeFile(path, FormulaTextFile::encode(lines({"L1A+1", "L1A+2", "[十位通选杀]L2A+1"})));
    FormulaImportOptions options;
    FormulaImportResult r;
    QString error;
    EXPECT_FALSE(FormulaImport(&m_ws.database(), options).importFile(path, &r, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(r.added, 0);
    EXPECT_EQ(rows(k1D), (std::vector<Row>{{"L1A+9", "L1A+9", true}}));
    EXPECT_TRUE(rows(k2G).empty());

    EXPECT_FALSE(FormulaImport(&m_ws.database(), options).importFile(m_dir.file("missing.txt"), &r, &error));
    EXPECT_TRUE(error.contains("missing.txt"));
}

// --- Typed entry ---------------------------------------------------------------------------

TEST_F(FormulaImportTest, TypedEntryFollowsTheDecorationAndRefusesWhatCannotBeEvaluated)
{
    Database* db = &m_ws.database();
    TypedEntryResult r = FormulaTypedEntry::add(db, u(" 　"), k1D, true);
    EXPECT_FALSE(r.added);
    EXPECT_EQ(r.title, u("添加公式失败"));
    EXPECT_EQ(r.message, u("请在左边文本框输入需要添加的公式"));
    r = FormulaTypedEntry::add(db, u("下期杀十位通选"), k1D, true);
    EXPECT_EQ(r.title, u("无法识别公式"));
    EXPECT_EQ(r.message, u("公式文本文件中含有无法识别公式，无法添加到软件"));
    r = FormulaTypedEntry::add(db, u("L1A++"), k1D, true);
    EXPECT_FALSE(r.added);
    EXPECT_TRUE(r.message.contains("L1A++") && r.message.contains(u("无法计算"))) << r.message.toStdString();
    r = FormulaTypedEntry::add(db, u("L4A+1"), k1D, true);
    EXPECT_TRUE(r.message.contains(u("“L4A”不是参数代码"))) << r.message.toStdString();
    r = FormulaTypedEntry::add(db, u("百位码+千位码"), k1D, true);
    EXPECT_TRUE(r.message.contains(u("“千位”"))) << r.message.toStdString();
    r = FormulaTypedEntry::add(db, u("1+2=下期生码个位通选"), k1D, true);
    EXPECT_TRUE(r.message.contains(u("个位通选"))) << r.message.toStdString();
    for (const FormulaKind& kind : FormulaKind::all())
        EXPECT_TRUE(rows(kind).empty());

    r = FormulaTypedEntry::add(db, u("  [十位通选杀]十位码+和数+3 "), k1D, false);
    ASSERT_TRUE(r.added);
    EXPECT_EQ(r.kind, k2G);
    EXPECT_FALSE(r.kill); // a bracket names no sense
    EXPECT_EQ(r.record.gongshiCN, u("[十位通选杀]十位码+和数+3"));
    r = FormulaTypedEntry::add(db, u("十位码+3=下期生码十位通选"), k1D, true);
    EXPECT_EQ(r.kind, k2G);
    EXPECT_FALSE(r.kill);
    r = FormulaTypedEntry::add(db, u("L1A+LT+3"), k3D, true);
    EXPECT_EQ(r.kind, k3D);
    EXPECT_EQ(rows(k2G), (std::vector<Row>{{"L2A+LH+3", "[十位通选杀]十位码+和数+3", false},
                                           {"L2A+3", "十位码+3=下期生码十位通选", false}}));
    EXPECT_EQ(rows(k3D), (std::vector<Row>{{"L1A+LT+3", "L1A+LT+3", true}}));
}

// --- Clear all -----------------------------------------------------------------------------

TEST_F(FormulaImportTest, ClearAllEmptiesEveryKindOrNone)
{
    for (const FormulaKind& kind : FormulaKind::all())
        store(kind, {{"L1A+1", "L1A+1", true}, {"L1A+2", "L1A+2", false}});
    QSqlQuery q(m_ws.database().connection());
    ASSERT_TRUE(
        q.exec("CREATE TRIGGER refuse BEFORE DELETE ON Gongshi3G BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    QString error;
    EXPECT_FALSE(FormulaClearAll::clearAll(&m_ws.database(), &error));
    EXPECT_TRUE(error.contains("Gongshi3G"));
    for (const FormulaKind& kind : FormulaKind::all())
        EXPECT_EQ(rows(kind).size(), 2u) << kind.tableName().toStdString();
    ASSERT_TRUE(q.exec("DROP TRIGGER refuse"));
    EXPECT_TRUE(FormulaClearAll::clearAll(&m_ws.database(), &error)) << error.toStdString();
    for (const FormulaKind& kind : FormulaKind::all())
        EXPECT_TRUE(rows(kind).empty());
}

// --- Exports -------------------------------------------------------------------------------

TEST_F(FormulaImportTest, AllKindsExportWritesTheSenseInKindOrder)
{
    addDraws(m_ws, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "224"}, {"160121004", "135"}});
    for (const FormulaKind& kind : FormulaKind::all()) {
        const QString text = FormulaExport::kindText(kind, false);
        store(kind, {{"L1A+1", QStringLiteral("[%1]百位码+1").arg(text), false},
                     {"L2A+1", QStringLiteral("[%1]十位码+1").arg(FormulaExport::kindText(kind, true)), true},
                     {"L3A+2", QStringLiteral("个位码+2=下期生码%1").arg(kind.kindText()), false}});
    }
    QString path, error;
    ASSERT_TRUE(FormulaExport::exportAllKinds(m_ws, false, &path, &error)) << error.toStdString();
    EXPECT_EQ(path, m_dir.file(u("160121004期快3彩公式.txt")));

    const FormulaTableStore tables(&m_ws.database());
    const HistoryColumns history(m_ws.history().draws());
    QStringList expected{FormulaTextFile::banner(), QString()};
    int count = 0;
    for (const FormulaKind& kind : {k3D, k2D, k1D, k3G, k2G}) {
        SubsetBacktest run;
        ASSERT_TRUE(BacktestRunner::yansuanCalcu(
            tables, history, kind, false, BacktestOptions::fromSettings(m_ws.settings()), &run, &error));
        ASSERT_EQ(run.formulas.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            expected << run.formulas[i].gongshiCN + QString(11, kIdeographicSpace) + u("连准：") +
                            QString::number(run.result.outcomes[i].stats.finalHitRun) + u("期");
            ++count;
        }
    }
    expected << FormulaTextFile::separator(count);
    EXPECT_EQ(FormulaTextFile::decodeLines(readFile(path)), expected);
    EXPECT_TRUE(expected[2].startsWith(u("[百位单选生]"))); // 百位单选 comes first
}

TEST_F(FormulaImportTest, CurrentKindExportOf120Formulas)
{
    std::vector<FormulaTextFile::Entry> grid;
    for (int i = 1; i <= 120; ++i)
        grid.push_back({QStringLiteral("十位码+%1").arg(i), i % 7});
    QString path, error;
    ASSERT_TRUE(FormulaExport::exportCurrentKind(grid, k2G, true, m_dir.path(), "160121004", &path, &error));
    EXPECT_EQ(path, m_dir.file(u("160121004期快3彩十位通选杀公式.txt")));
    const QByteArray bytes = readFile(path);
    EXPECT_EQ(bytes.count("\r\n"), 2 + 120 + 3);
    const QStringList text = FormulaTextFile::decodeLines(bytes);
    QStringList separators;
    for (int i = 0; i < text.size(); ++i)
        if (text[i].startsWith(QString(12, QChar(0x2014))))
            separators << QStringLiteral("%1:%2").arg(i).arg(text[i]);
    EXPECT_EQ(separators, (QStringList{QStringLiteral("52:") + FormulaTextFile::separator(50),
                                       QStringLiteral("103:") + FormulaTextFile::separator(100),
                                       QStringLiteral("124:") + FormulaTextFile::separator(120)}));
    EXPECT_EQ(text.size(), 125);
}

TEST_F(FormulaImportTest, AnExportReadBackGivesTheSameFormulasInTheSameOrder)
{
    addDraws(m_ws, {{"160121001", "123"}, {"160121002", "456"}, {"160121003", "224"}});
    for (const FormulaKind& kind : FormulaKind::all()) {
        const QString caption = FormulaExport::kindText(kind, true);
        std::vector<Row> formulas;
        for (int i = 1; i <= 30; ++i) {
            const QString expression = QStringLiteral("百位码+和数+%1").arg(i);
            formulas.push_back({FormulaTranslation::translateGongshiCN(expression),
                                i % 2 ? QStringLiteral("[%1]%2").arg(caption, expression)
                                      : QStringLiteral("%1=下期杀码%2").arg(expression, kind.kindText()),
                                true});
        }
        store(kind, formulas);
    }
    store(k2G, {{"L2A", "[十位通选生]十位码", false}}); // the other sense stays out of the export
    std::vector<std::vector<Row>> before;
    for (const FormulaKind& kind : FormulaKind::all())
        before.push_back(rows(kind));
    before[3].pop_back();

    QString path, error;
    ASSERT_TRUE(FormulaExport::exportAllKinds(m_ws, true, &path, &error)) << error.toStdString();
    ASSERT_TRUE(FormulaClearAll::clearAll(&m_ws.database(), &error));
    FormulaImportOptions options;
    options.unrecognisedPath = m_dir.file(FormulaImport::unrecognisedFileName());
    FormulaImportResult r;
    ASSERT_TRUE(FormulaImport(&m_ws.database(), options).importFile(path, &r, &error)) << error.toStdString();
    EXPECT_EQ(r.added, 150);
    EXPECT_EQ(r.rejected, 1 + 4); // the banner; the separators after 50, 100 and 150 and the closing one
    for (std::size_t i = 0; i < FormulaKind::all().size(); ++i)
        EXPECT_EQ(rows(FormulaKind::all()[i]), before[i]) << FormulaKind::all()[i].tableName().toStdString();

    // The current-kind export of plain formulas reads back into the kind it came from.
    ASSERT_TRUE(FormulaClearAll::clearAll(&m_ws.database(), &error));
    store(k3G, {{"L1A+LT+3", "百位码+跨度+3", false}, {"L2A", "十位码", false}});
    ASSERT_TRUE(FormulaExport::exportCurrentKind(m_ws, k3G, false, &path, &error)) << error.toStdString();
    ASSERT_TRUE(FormulaClearAll::clearAll(&m_ws.database(), &error));
    options.startKind = k3G;
    options.startKill = false;
    ASSERT_TRUE(FormulaImport(&m_ws.database(), options).importFile(path, &r, &error));
    EXPECT_EQ(rows(k3G), (std::vector<Row>{{"L1A+LT+3", "百位码+跨度+3", false}, {"L2A", "十位码", false}}));
}
