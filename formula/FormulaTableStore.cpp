#include "formula/FormulaTableStore.h"

#include "store/Database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

const QList<QPair<QString, QString>>& columnTypes()
{
    static const QList<QPair<QString, QString>> columns = {
        {"idx", "INTEGER"},          {"gongshi", "TEXT"},        {"gongshiCN", "TEXT"},
        {"bolKill", "INTEGER"},      {"sglGsRate", "REAL"},      {"intGsErrCon", "INTEGER"},
        {"intGsTrueCon", "INTEGER"}, {"intGsErrLst", "INTEGER"}, {"intGsTrueLst", "INTEGER"}};
    return columns;
}

QString createStatement(const QString& table)
{
    QStringList defs;
    for (const auto& [name, type] : columnTypes())
        defs << QStringLiteral("\"%1\" %2").arg(name, type);
    return QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(table, defs.join(QStringLiteral(", ")));
}

// Old files may hold Access-style -1 for True; any non-zero value is a kill formula.
const char* kKillTest = "(bolKill <> 0)";

template <typename T> std::optional<T> optionalValue(const QVariant& v)
{
    if (v.isNull())
        return std::nullopt;
    return v.value<T>();
}

bool fail(QString* error, const QString& what, const QSqlQuery& q, const Database* db)
{
    *error = QStringLiteral("%1：%2").arg(what, Database::errorText(q.lastError(), db->filePath()));
    return false;
}

} // namespace

FormulaTableStore::FormulaTableStore(Database* db) : m_db(db) {}

const char* const FormulaTableStore::kSameFormulaTest =
    "COALESCE(gongshi, '') = ? AND COALESCE(gongshiCN, '') = ? AND (bolKill <> 0) = ?";

void FormulaTableStore::bindFormula(QSqlQuery* q, const FormulaRecord& r)
{
    // Read as text, an empty column and NULL look alike; both compare as ''.
    q->addBindValue(r.gongshi.isNull() ? QStringLiteral("") : r.gongshi);
    q->addBindValue(r.gongshiCN.isNull() ? QStringLiteral("") : r.gongshiCN);
    q->addBindValue(r.bolKill ? 1 : 0);
}

bool FormulaTableStore::isReadOnly() const
{
    return m_db->isReadOnly();
}

const QStringList& FormulaTableStore::columnNames()
{
    static const QStringList names = [] {
        QStringList n;
        for (const auto& c : columnTypes())
            n << c.first;
        return n;
    }();
    return names;
}

bool FormulaTableStore::load(const QString& sql, const QVariantList& binds, std::vector<FormulaRecord>* out,
                             QString* error) const
{
    out->clear();
    QSqlQuery q(m_db->connection());
    q.setForwardOnly(true);
    auto readFailed = [&] {
        *error = m_db->readFailure(QStringLiteral("无法读取公式表"), q.lastError());
        out->clear();
        return false;
    };
    if (!q.prepare(sql))
        return readFailed();
    for (const QVariant& b : binds)
        q.addBindValue(b);
    if (!q.exec())
        return readFailed();
    while (q.next()) {
        FormulaRecord r;
        r.rowId = q.value(0).toLongLong();
        r.idx = q.value(1).toInt();
        r.gongshi = q.value(2).toString();
        r.gongshiCN = q.value(3).toString();
        r.bolKill = q.value(4).toLongLong() != 0;
        r.sglGsRate = optionalValue<float>(q.value(5));
        r.intGsErrCon = optionalValue<int>(q.value(6));
        r.intGsTrueCon = optionalValue<int>(q.value(7));
        r.intGsErrLst = optionalValue<int>(q.value(8));
        r.intGsTrueLst = optionalValue<int>(q.value(9));
        out->push_back(std::move(r));
    }
    // A damaged page or a failing disk ends the rows early: that is no shorter table.
    if (q.lastError().isValid())
        return readFailed();
    return true;
}

bool FormulaTableStore::loadSubset(const FormulaKind& kind, bool kill, std::vector<FormulaRecord>* out,
                                   QString* error) const
{
    return load(QStringLiteral(
                    "SELECT rowid, idx, gongshi, gongshiCN, bolKill, sglGsRate, intGsErrCon, intGsTrueCon, "
                    "intGsErrLst, intGsTrueLst FROM \"%1\" WHERE %2 = ? ORDER BY idx, rowid")
                    .arg(kind.tableName(), QLatin1String(kKillTest)),
                {kill ? 1 : 0}, out, error);
}

bool FormulaTableStore::loadTable(const FormulaKind& kind, std::vector<FormulaRecord>* out,
                                  QString* error) const
{
    return load(QStringLiteral(
                    "SELECT rowid, idx, gongshi, gongshiCN, bolKill, sglGsRate, intGsErrCon, intGsTrueCon, "
                    "intGsErrLst, intGsTrueLst FROM \"%1\" ORDER BY idx, rowid")
                    .arg(kind.tableName()),
                {}, out, error);
}

bool FormulaTableStore::append(const FormulaKind& kind, const std::vector<FormulaRecord>& records,
                               QString* error)
{
    Transaction tx(m_db->connection());
    return tx.begin(error) && appendInTransaction(kind, records, error) && tx.commit(error);
}

bool FormulaTableStore::appendInTransaction(const FormulaKind& kind,
                                            const std::vector<FormulaRecord>& records, QString* error)
{
    QSqlQuery q(m_db->connection());
    if (!q.exec(QStringLiteral("SELECT COALESCE(MAX(idx), 0) FROM \"%1\"").arg(kind.tableName())) ||
        !q.next())
        return fail(error, QStringLiteral("无法添加公式"), q, m_db);
    int idx = std::max(0, q.value(0).toInt());
    q.finish();
    if (!q.prepare(QStringLiteral("INSERT INTO \"%1\" (idx, gongshi, gongshiCN, bolKill) VALUES (?, ?, ?, ?)")
                       .arg(kind.tableName())))
        return fail(error, QStringLiteral("无法添加公式"), q, m_db);
    for (const FormulaRecord& r : records) {
        q.addBindValue(++idx);
        q.addBindValue(r.gongshi);
        q.addBindValue(r.gongshiCN);
        q.addBindValue(r.bolKill ? 1 : 0);
        if (!q.exec())
            return fail(error, QStringLiteral("无法添加公式"), q, m_db);
    }
    return true;
}

bool FormulaTableStore::prepareGongshiTable(const FormulaKind& kind, QString* error)
{
    Transaction tx(m_db->connection());
    return tx.begin(error) && prepareGongshiTableInTransaction(kind, error) && tx.commit(error);
}

bool FormulaTableStore::prepareGongshiTableInTransaction(const FormulaKind& kind, QString* error)
{
    const QString table = kind.tableName();
    const QString work = QStringLiteral("Tmp");
    QSqlDatabase db = m_db->connection();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("DROP TABLE IF EXISTS \"%1\"").arg(work)) || !q.exec(createStatement(work)))
        return fail(error, QStringLiteral("无法整理公式表%1").arg(table), q, m_db);
    const QSqlRecord existing = db.record(table);
    if (!existing.isEmpty()) {
        // An older table may lack columns; read those as empty.
        auto column = [&existing](const char* name) {
            return existing.contains(QLatin1String(name)) ? QStringLiteral("\"%1\"").arg(QLatin1String(name))
                                                          : QStringLiteral("NULL");
        };
        const QString ordered =
            QStringLiteral("SELECT %1 AS k, %2 AS g, %3 AS c, ROW_NUMBER() OVER (ORDER BY %4, rowid) AS n "
                           "FROM \"%5\"")
                .arg(column("bolKill"), column("gongshi"), column("gongshiCN"), column("idx"), table);
        // Fresh rowids of the work table follow the insertion order, which becomes the new idx.
        if (!q.exec(
                QStringLiteral("INSERT INTO \"%1\" (bolKill, gongshi, gongshiCN) SELECT k, g, c FROM (%2) "
                               "GROUP BY k, g, c ORDER BY MIN(n)")
                    .arg(work, ordered)))
            return fail(error, QStringLiteral("无法整理公式表%1").arg(table), q, m_db);
        if (!q.exec(QStringLiteral("DROP TABLE \"%1\"").arg(table)))
            return fail(error, QStringLiteral("无法整理公式表%1").arg(table), q, m_db);
    }
    if (!q.exec(QStringLiteral("UPDATE \"%1\" SET idx = rowid").arg(work)) ||
        !q.exec(QStringLiteral("ALTER TABLE \"%1\" RENAME TO \"%2\"").arg(work, table)))
        return fail(error, QStringLiteral("无法整理公式表%1").arg(table), q, m_db);
    return true;
}

bool FormulaTableStore::writeStatistics(const FormulaKind& kind, const std::vector<FormulaRecord>& rows,
                                        const std::vector<FormulaStats>& stats, QString* error)
{
    m_changedElsewhere = false;
    const QString table = kind.tableName();
    QSqlDatabase db = m_db->connection();
    Transaction tx(db);
    if (!tx.begin(error))
        return false;
    if (!renumberInTransaction(kind, error))
        return false;
    // Each row is addressed by its rowid and must still hold the formula it was read with: another
    // program may have deleted, rebuilt or compacted the table since (rowids then change).
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("UPDATE \"%1\" SET sglGsRate = ?, intGsErrCon = ?, intGsTrueCon = ?, "
                                  "intGsErrLst = ?, intGsTrueLst = ? WHERE rowid = ? AND %2")
                       .arg(table, QLatin1String(kSameFormulaTest))))
        return fail(error, QStringLiteral("无法保存公式统计结果"), q, m_db);
    for (std::size_t i = 0; i < rows.size() && i < stats.size(); ++i) {
        const FormulaStats& s = stats[i];
        q.addBindValue(static_cast<double>(s.rate));
        q.addBindValue(s.maxMissRun);
        q.addBindValue(s.maxHitRun);
        q.addBindValue(s.finalMissRun);
        q.addBindValue(s.finalHitRun);
        q.addBindValue(rows[i].rowId);
        bindFormula(&q, rows[i]);
        if (!q.exec())
            return fail(error, QStringLiteral("无法保存公式统计结果"), q, m_db);
        if (q.numRowsAffected() != 1) {
            m_changedElsewhere = true;
            *error = QStringLiteral("另一个程序刚刚改动了公式表%1，统计结果没有保存。").arg(table);
            return false;
        }
    }
    return tx.commit(error);
}

bool FormulaTableStore::renumberInTransaction(const FormulaKind& kind, QString* error)
{
    QSqlQuery q(m_db->connection());
    if (!q.exec(QStringLiteral("UPDATE \"%1\" SET idx = o.n FROM (SELECT rowid AS r, ROW_NUMBER() OVER "
                               "(ORDER BY idx, rowid) AS n FROM \"%1\") AS o WHERE \"%1\".rowid = o.r")
                    .arg(kind.tableName())))
        return fail(error, QStringLiteral("无法为公式表%1重新编号").arg(kind.tableName()), q, m_db);
    return true;
}
