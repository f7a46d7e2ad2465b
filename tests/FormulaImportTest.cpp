#include "CliRunner.h"
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
#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

#include <random>

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

    // An import that rejects nothing writes no list, and removes the one of the earlier import.
    const FormulaImportResult clean = import(lines({"L1A+4"}));
    EXPECT_EQ(clean.rejected, 0);
    EXPECT_TRUE(clean.unrecognisedPath.isEmpty());
    EXPECT_FALSE(QFile::exists(r.unrecognisedPath));
}

TEST_F(FormulaImportTest, AListOfRejectedLinesThatCannotBeWrittenUndoesNothing)
{
    // A folder where the list would go: it can be neither written nor removed.
    ASSERT_TRUE(QDir().mkpath(m_dir.file(FormulaImport::unrecognisedFileName())));
    FormulaImportResult r = import(lines({"L1A+5"}));
    EXPECT_EQ(r.added, 1);
    EXPECT_TRUE(r.unrecognisedError.isEmpty());
    r = import(lines({"L1A+6", "百位码+千位码"}));
    EXPECT_EQ(r.added, 1);
    EXPECT_EQ(r.rejected, 1);
    EXPECT_TRUE(r.unrecognisedPath.isEmpty());
    EXPECT_FALSE(r.unrecognisedError.isEmpty());
    EXPECT_EQ(rows(k1D), (std::vector<Row>{{"L1A+5", "L1A+5", true}, {"L1A+6", "L1A+6", true}}));
}

TEST_F(FormulaImportTest, ANextDrawMarkAtTheSecondCharacterOnlyChoosesKindAndSense)
{
    const FormulaImportResult r =
        import(lines({"=下期生码十位单选", "L2A+7", "下期杀码百位单选", "L2A+8"}), k1D, true);
    EXPECT_EQ(r.added, 2);
    // "下期" at the very start is the only line refused; it changes nothing.
    EXPECT_EQ(r.rejectedLines, lines({"下期杀码百位单选"}));
    EXPECT_EQ(rows(k2D), (std::vector<Row>{{"L2A+7", "L2A+7", false}, {"L2A+8", "L2A+8", false}}));
    EXPECT_TRUE(r.kill == false);
}

TEST_F(FormulaImportTest, OftenChangingKindsEndAsAddingLineByLine)
{
    // The procedure line by line: on each change of kind the table left is renumbered and the new
    // one prepared; each run is appended; at the end the last table is renumbered.
    struct Line
    {
        FormulaKind kind;
        QString code;
    };
    auto byLines = [](Workspace& ws, const std::vector<Line>& file) {
        FormulaTableStore store(&ws.database());
        QString error;
        Transaction tx(ws.database().connection());
        ASSERT_TRUE(tx.begin(&error));
        FormulaKind previous = k1D;
        for (const Line& line : file) {
            if (!(line.kind == previous)) {
                ASSERT_TRUE(store.renumberInTransaction(previous, &error));
                ASSERT_TRUE(store.prepareGongshiTableInTransaction(line.kind, &error));
                previous = line.kind;
            }
            FormulaRecord r;
            r.gongshi = line.code;
            r.gongshiCN = QStringLiteral("[%1杀]%2").arg(line.kind.kindText(), line.code);
            ASSERT_TRUE(store.appendInTransaction(line.kind, {r}, &error));
        }
        if (!file.empty()) {
            ASSERT_TRUE(store.renumberInTransaction(previous, &error));
        }
        ASSERT_TRUE(tx.commit(&error));
    };
    auto tables = [](Workspace& ws) {
        QStringList out;
        for (const FormulaKind& kind : FormulaKind::all()) {
            std::vector<FormulaRecord> records;
            QString error;
            EXPECT_TRUE(FormulaTableStore(&ws.database()).loadTable(kind, &records, &error));
            for (const FormulaRecord& r : records)
                out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                           .arg(kind.code())
                           .arg(r.idx)
                           .arg(r.gongshi, r.gongshiCN)
                           .arg(r.bolKill)
                           .arg(r.sglGsRate ? QString::number(*r.sglGsRate) : QStringLiteral("-"))
                           .arg(r.intGsTrueLst ? QString::number(*r.intGsTrueLst) : QStringLiteral("-"));
        }
        return out;
    };
    auto fill = [](Workspace& ws, std::mt19937& random) {
        // Stored formulas of both senses with repeats and back-test figures.
        for (const FormulaKind& kind : FormulaKind::all()) {
            std::vector<Row> stored;
            for (int i = 0; i < 12; ++i) {
                const QString code = QStringLiteral("L1A+%1").arg(random() % 6);
                stored.push_back(
                    {code, QStringLiteral("[%1杀]%2").arg(kind.kindText(), code), random() % 3 != 0});
            }
            storeRows(ws, kind, stored);
        }
        QSqlQuery q(ws.database().connection());
        for (const QString& table : Database::formulaTables())
            ASSERT_TRUE(
                q.exec(QStringLiteral("UPDATE %1 SET sglGsRate = idx * 1.5, intGsTrueLst = idx").arg(table)));
    };
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 random(seed);
        std::vector<Line> file;
        FormulaKind kind = k1D;
        for (int i = 0; i < 200; ++i) {
            if (random() % 3 == 0)
                kind = FormulaKind::all()[random() % 5];
            file.push_back({kind, QStringLiteral("L1A+%1").arg(random() % 8)});
        }
        QStringList text;
        for (const Line& line : file)
            text << QStringLiteral("[%1杀]%2").arg(line.kind.kindText(), line.code);

        TempDataFolder otherDir;
        Workspace expected;
        QString error;
        ASSERT_TRUE(expected.open(otherDir.path(), &error));
        std::mt19937 fillRandom(seed);
        fill(expected, fillRandom);
        byLines(expected, file);
        ASSERT_TRUE(FormulaClearAll::clearAll(&m_ws.database(), &error));
        std::mt19937 sameFill(seed);
        fill(m_ws, sameFill);
        EXPECT_EQ(import(text, k1D, true).added, 200);
        EXPECT_EQ(tables(m_ws), tables(expected)) << "seed " << seed;
    }
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

TEST(FormulaImportEncoding, TheCommandLineReadsUtf8WithSymbolsAndMarkedUtf16AndRefusesBareUtf16)
{
    TempDataFolder dir;
    const QString file = dir.file("u.txt");
    writeFile(file, "\xE8\xAF\xB4\xE6\x98\x8E\xC2\xB0\r\n\xE6\x9C\x88\xE4\xBB\xBD+6\r\n"); // 说明°, 月份+6
    CliResult r = runCli(dir.path(), {"formula", "import", file});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("added 1 rejected 1\n")) << r.out.toStdString();
    EXPECT_TRUE(runCli(dir.path(), {"formula", "list"}).out.contains("\tYF+6\t"));

    // Notepad's "Unicode" (UTF-16 with a mark) is read; without the mark it is refused.
    QStringEncoder bare(QStringEncoder::Utf16LE);
    writeFile(file, bare.encode(QStringLiteral("[十位通选杀]十位码+1\r\n")));
    r = runCli(dir.path(), {"formula", "import", file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("UTF-16")) << r.err.toStdString();
    EXPECT_EQ(runCli(dir.path(), {"formula", "list", "--kind", "2G"}).out.count('\n'), 1);
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    writeFile(file, utf16.encode(QStringLiteral("[十位通选杀]十位码+1\r\n")));
    r = runCli(dir.path(), {"formula", "import", file});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(runCli(dir.path(), {"formula", "list", "--kind", "2G"}).out.count('\n'), 2);
}
