#include "search/SearchResultSaver.h"

#include "formula/FormulaTableStore.h"
#include "store/Database.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace {

bool deleteAll(Database* db, const FormulaKind& kind, QString* error)
{
    QSqlQuery q(db->connection());
    if (!q.exec(QStringLiteral("DELETE FROM \"%1\"").arg(kind.tableName()))) {
        *error = QStringLiteral("无法清空公式表%1：%2")
                     .arg(kind.tableName(), Database::errorText(q.lastError(), db->filePath()));
        return false;
    }
    return true;
}

} // namespace

bool SearchResultSaver::save(Database* db, const std::vector<SearchResult>& entries, Mode mode, bool kill,
                             std::vector<FormulaKind>* saved, QString* error)
{
    saved->clear();
    std::vector<FormulaKind> kinds;
    for (const SearchResult& e : entries)
        if (std::find(kinds.begin(), kinds.end(), e.kind) == kinds.end())
            kinds.push_back(e.kind);

    FormulaTableStore store(db);
    for (const FormulaKind& kind : kinds) {
        std::vector<FormulaRecord> records;
        for (const SearchResult& e : entries) {
            if (e.kind != kind)
                continue;
            FormulaRecord r;
            r.gongshi = e.code;
            r.gongshiCN = e.chinese;
            r.bolKill = kill;
            records.push_back(std::move(r));
        }
        Transaction tx(db->connection());
        if (!tx.begin(error) || (mode == Mode::Update && !deleteAll(db, kind, error)) ||
            !store.appendInTransaction(kind, records, error) ||
            !store.prepareGongshiTableInTransaction(kind, error) || !tx.commit(error))
            return false;
        saved->push_back(kind);
    }
    return true;
}
