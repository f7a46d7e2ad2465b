// One 4 KB page of formula.mdb overwritten: every command that reads the history or a formula
// table fails with the database-damaged message and changes nothing; a read of the history or a
// table that stops on the damaged page is an error, never a shorter list; the compaction never
// calls a damaged file whole.
#include "ChildProcess.h"
#include "RobustnessSupport.h"
#include "TestSupport.h"

#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

using Robustness::readFile;
using Robustness::writeFile;

constexpr qint64 kPage = 4096;

// Overwrites page `page` (counted from 1) with bytes no page holds, and bumps the file's change
// counter as a write by another program would: a connection that has the file open then reads
// the page afresh instead of keeping its cached copy.
void damagePage(const QString& path, qint64 page)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_GT(f.size(), page * kPage);
    ASSERT_TRUE(f.seek((page - 1) * kPage));
    ASSERT_EQ(f.write(QByteArray(kPage, char(0x5a))), kPage);
    ASSERT_TRUE(f.seek(24));
    uchar counter[4];
    ASSERT_EQ(f.read(reinterpret_cast<char*>(counter), 4), 4);
    qToBigEndian(qFromBigEndian<quint32>(counter) + 1, counter);
    ASSERT_TRUE(f.seek(24));
    ASSERT_EQ(f.write(reinterpret_cast<const char*>(counter), 4), 4);
}

QByteArray digestOf(const QString& path)
{
    return QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha1);
}

class DamagedFile : public ::testing::Test
{
protected:
    QString data() const { return m_dir.file(QStringLiteral("data")); }
    QString database() const { return QDir(data()).filePath(QStringLiteral("formula.mdb")); }

    // 3,000 draws, then formulas of every kind: the history's pages come first in the file.
    void SetUp() override
    {
        QDir().mkpath(data());
        writeFile(m_dir.file("history.txt"), Robustness::historyLines(3000));
        writeFile(m_dir.file("formulas.txt"), Robustness::formulaLines(5000));
        ASSERT_EQ(runCliChild(data(), {"history", "import", m_dir.file("history.txt")}).exitCode, 0);
        m_historyPages = QFileInfo(database()).size() / kPage;
        ASSERT_EQ(runCliChild(data(), {"formula", "import", m_dir.file("formulas.txt")}).exitCode, 0);
        m_pages = QFileInfo(database()).size() / kPage;
        ASSERT_GT(m_pages, m_historyPages + 20);
    }

    static void expectDamaged(const QString& message)
    {
        EXPECT_TRUE(message.contains(QStringLiteral("已损坏"))) << message.toStdString();
        EXPECT_FALSE(message.contains(QStringLiteral("完好"))) << message.toStdString();
    }

    TempDataFolder m_dir;
    qint64 m_historyPages = 0;
    qint64 m_pages = 0;
};

TEST_F(DamagedFile, EveryCommandFailsAndChangesNothing)
{
    for (const qint64 page : {m_historyPages / 2, (m_historyPages + m_pages) / 2}) {
        const QString copy = m_dir.file(QStringLiteral("copy%1").arg(page));
        Robustness::copyFolder(data(), copy);
        const QString file = QDir(copy).filePath(QStringLiteral("formula.mdb"));
        damagePage(file, page);
        const QByteArray damaged = digestOf(file);
        for (const QStringList& args :
             {QStringList{"history", "list"}, QStringList{"formula", "list", "--kind", "1D"},
              QStringList{"formula", "list", "--kind", "3G"},
              QStringList{"formula", "add", QStringLiteral("百位码+3")},
              QStringList{"history", "add", "160301001", "123"},
              QStringList{"history", "delete", "--last", "1"}, QStringList{"backtest", "--kind", "2D"},
              QStringList{"calc"}}) {
            const ChildOutcome r = runCliChild(copy, args);
            const std::string what =
                QStringLiteral("page %1: %2").arg(page).arg(args.join(' ')).toStdString();
            EXPECT_EQ(r.exitCode, 1) << what;
            expectDamaged(r.err);
            EXPECT_TRUE(r.out.isEmpty()) << what << ": " << r.out.left(200).toStdString();
            EXPECT_EQ(digestOf(file), damaged) << what << ": the file changed";
            EXPECT_FALSE(QFileInfo::exists(file + QStringLiteral("-journal"))) << what;
        }
    }
}

// The damage happens while the file is open (after the check at start-up): the reads find it.
TEST_F(DamagedFile, AReadThatStopsOnTheDamageIsAnError)
{
    Workspace ws;
    QString error;
    ASSERT_TRUE(ws.open(data(), &error)) << error.toStdString();
    ASSERT_EQ(ws.history().draws().size(), 3000u);
    FormulaTableStore store(&ws.database());
    std::vector<FormulaRecord> formulas;
    ASSERT_TRUE(store.loadTable(FormulaKind{3, false}, &formulas, &error)) << error.toStdString();
    ASSERT_EQ(formulas.size(), 1000u);

    // A page in the middle of the history: the draws before it read fine, then the read stops.
    damagePage(database(), m_historyPages / 2);
    EXPECT_FALSE(ws.history().reload(&error));
    expectDamaged(error);
    EXPECT_TRUE(ws.history().draws().empty());
    // A write needs the history it chains from: it stores nothing.
    error.clear();
    EXPECT_FALSE(ws.addTypedDraw("160301001", {1, 2, 3}, QDate(2016, 3, 1), &error));
    expectDamaged(error);
    // The compaction does not call the file whole.
    error.clear();
    EXPECT_FALSE(ws.compact(&error));
    expectDamaged(error);

    // A page among the formulas (a file of formulas only): a table read stops on it, or reads
    // the whole table; never a shorter one.
    TempDataFolder fresh;
    ASSERT_EQ(runCliChild(fresh.path(), {"formula", "import", m_dir.file("formulas.txt")}).exitCode, 0);
    Workspace other;
    ASSERT_TRUE(other.open(fresh.path(), &error)) << error.toStdString();
    damagePage(fresh.file("formula.mdb"), QFileInfo(fresh.file("formula.mdb")).size() / kPage / 2);
    FormulaTableStore otherStore(&other.database());
    int failed = 0;
    for (const FormulaKind& kind : FormulaKind::all()) {
        std::vector<FormulaRecord> rows;
        error.clear();
        if (otherStore.loadTable(kind, &rows, &error)) {
            EXPECT_EQ(rows.size(), 1000u) << kind.code().toStdString();
            continue;
        }
        ++failed;
        expectDamaged(error);
        EXPECT_TRUE(rows.empty());
    }
    EXPECT_GE(failed, 1);
}

} // namespace
