#include "FormulaTestTables.h"

#include "formula/FormulaTableStore.h"

#include <QFile>

void PrintTo(const Row& row, std::ostream* os)
{
    *os << '{' << row.code.toStdString() << ", " << row.chinese.toStdString() << ", "
        << (row.kill ? "kill" : "keep") << '}';
}

std::vector<Row> tableRows(Workspace& ws, const FormulaKind& kind)
{
    std::vector<FormulaRecord> records;
    QString error;
    EXPECT_TRUE(FormulaTableStore(&ws.database()).loadTable(kind, &records, &error)) << error.toStdString();
    std::vector<Row> out;
    for (const FormulaRecord& r : records) {
        EXPECT_EQ(r.idx, int(out.size()) + 1) << kind.tableName().toStdString();
        out.push_back({r.gongshi, r.gongshiCN, r.bolKill});
    }
    return out;
}

void storeRows(Workspace& ws, const FormulaKind& kind, const std::vector<Row>& rows)
{
    std::vector<FormulaRecord> records;
    for (const Row& row : rows) {
        FormulaRecord r;
        r.gongshi = row.code;
        r.gongshiCN = row.chinese;
        r.bolKill = row.kill;
        records.push_back(r);
    }
    QString error;
    ASSERT_TRUE(FormulaTableStore(&ws.database()).append(kind, records, &error)) << error.toStdString();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void FormulaTablesTest::SetUp()
{
    QString error;
    ASSERT_TRUE(m_ws.open(m_dir.path(), &error)) << error.toStdString();
}
