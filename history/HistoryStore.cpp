#include "history/HistoryStore.h"

#include "history/HistoryMerge.h"
#include "store/Database.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <iterator>

namespace {

bool isDigits(const QString& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

QString parameterColumnList()
{
    QStringList names;
    for (const auto& e : ParameterTable::entries())
        names << e.code;
    return names.join(", ");
}

} // namespace

HistoryStore::HistoryStore(Database* db) : m_db(db) {}

bool HistoryStore::reload(QString* error)
{
    m_draws.clear();
    ++m_generation;
    std::vector<DrawRecord> draws;
    if (!read(&draws, error))
        return false;
    m_draws = std::move(draws);
    ++m_generation;
    return true;
}

bool HistoryStore::read(std::vector<DrawRecord>* draws, QString* error)
{
    // The version first: a change committed after it is seen at the next write, never missed.
    const qint64 version = m_db->dataVersion(error);
    if (version < 0)
        return false;
    QSqlQuery q(m_db->connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT strQQH, %1 FROM Lishi ORDER BY strQQH").arg(parameterColumnList()))) {
        *error = m_db->readFailure(QStringLiteral("读取历史号码失败"), q.lastError());
        return false;
    }
    while (q.next()) {
        DrawRecord r;
        r.issue = q.value(0).toString();
        for (int c = 0; c < kParameterCount; ++c)
            r.values[c] = int16_t(q.value(c + 1).toInt());
        draws->push_back(std::move(r));
    }
    // A damaged page or a failing disk ends the rows early: that is no shorter history.
    if (q.lastError().isValid()) {
        *error = m_db->readFailure(QStringLiteral("读取历史号码失败"), q.lastError());
        draws->clear();
        return false;
    }
    m_dataVersion = version;
    return true;
}

bool HistoryStore::refreshInTransaction(bool* changed, QString* error)
{
    *changed = false;
    const qint64 version = m_db->dataVersion(error);
    if (version < 0)
        return false;
    if (version == m_dataVersion)
        return true;
    // Another program committed something (perhaps only formulas, or a compaction): the history
    // is read again under the write lock and compared.
    std::vector<DrawRecord> fresh;
    if (!read(&fresh, error))
        return false;
    *changed = !std::equal(
        fresh.begin(), fresh.end(), m_draws.begin(), m_draws.end(),
        [](const DrawRecord& a, const DrawRecord& b) { return a.issue == b.issue && a.values == b.values; });
    m_draws = std::move(fresh);
    ++m_generation;
    return true;
}

PreviousDraw HistoryStore::lastDrawMemory() const
{
    return m_draws.empty() ? PreviousDraw{} : PreviousDraw::of(m_draws.back());
}

bool HistoryStore::contains(const QString& issue) const
{
    return std::any_of(m_draws.begin(), m_draws.end(), [&](const DrawRecord& d) { return d.issue == issue; });
}

bool HistoryStore::addTyped(const QString& issue, const std::array<int, 3>& numbers, int drawsPerDay,
                            QString* error, Placement* placement)
{
    DrawInput in;
    in.issue = issue.trimmed();
    in.numbers = numbers;
    in.drawsPerDay = drawsPerDay;
    in.path = EntryPath::Hand;
    return addDerived(in, placement, error);
}

bool HistoryStore::addTypedRunningCount(const QString& issue, const std::array<int, 3>& numbers,
                                        const QDate& today, QString* error, Placement* placement)
{
    DrawInput in;
    in.issue = issue.trimmed();
    // Twelve digits keep the count within reach of the arithmetic of the issue columns.
    if (!isDigits(in.issue) || in.issue.size() > 12) {
        *error = QStringLiteral("期号“%1”不正确：北京快3的期号是开奖的流水号，只能是数字（例如79550）。")
                     .arg(in.issue);
        return false;
    }
    in.numbers = numbers;
    in.path = EntryPath::Hand;
    in.runningCount = true;
    in.pageDate = today;
    return addDerived(in, placement, error);
}

bool HistoryStore::addDerived(const DrawInput& input, Placement* placement, QString* error)
{
    // Each new attempt follows a write of the other program; a few are plenty.
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        const HistoryMerge::Result merged = HistoryMerge::merge(m_draws, {input});
        if (!merged.refused.empty()) {
            // A refusal from a snapshot another program has overtaken (it deleted the draw, say)
            // is checked against the history as stored.
            const qint64 version = m_db->dataVersion(error);
            if (version < 0)
                return false;
            if (version == m_dataVersion || attempt == kAttempts) {
                *error = merged.refused.front().second;
                return false;
            }
            if (!reload(error))
                return false;
            continue;
        }
        const DrawRecord& record = merged.added.front();
        // The neighbours as they stand in the snapshot the draw was derived from.
        const auto next =
            std::upper_bound(m_draws.begin(), m_draws.end(), record.issue,
                             [](const QString& issue, const DrawRecord& d) { return issue < d.issue; });
        Placement where;
        where.stored = record;
        where.before = next == m_draws.begin() ? QString() : std::prev(next)->issue;
        where.after = next == m_draws.end() ? QString() : next->issue;
        if (write(false, merged.added, merged.rederived, error)) {
            if (placement)
                *placement = where;
            return true;
        }
        if (!m_changedElsewhere || attempt == kAttempts)
            return false;
    }
}

bool HistoryStore::append(const std::vector<DrawRecord>& records, QString* error)
{
    return write(false, records, {}, error);
}

bool HistoryStore::insert(const std::vector<DrawRecord>& records, const std::vector<DrawRecord>& rederived,
                          QString* error)
{
    return write(false, records, rederived, error);
}

bool HistoryStore::replaceAndAppend(bool removeStored, const std::vector<DrawRecord>& records, QString* error)
{
    return write(removeStored, records, {}, error);
}

int HistoryStore::deleteWhere(const QString& whereClause, const QVariantList& binds, QString* error)
{
    QSqlDatabase db = m_db->connection();
    int removed = 0;
    {
        Transaction tx(db);
        if (!tx.begin(error))
            return -1;
        QSqlQuery q(db);
        q.prepare(QStringLiteral("DELETE FROM Lishi") + whereClause);
        for (int i = 0; i < binds.size(); ++i)
            q.bindValue(i, binds[i]);
        if (!q.exec()) {
            *error = QStringLiteral("删除历史号码失败：%1。历史号码没有改变。")
                         .arg(Database::errorText(q.lastError(), m_db->filePath()));
            return -1;
        }
        removed = q.numRowsAffected();
        if (!tx.commit(error))
            return -1;
    }
    if (!reload(error))
        return -1;
    return removed;
}

int HistoryStore::deleteLast(int count, QString* error)
{
    if (count <= 0)
        return 0;
    return deleteWhere(
        QStringLiteral(" WHERE rowid IN (SELECT rowid FROM Lishi ORDER BY strQQH DESC LIMIT ?)"), {count},
        error);
}

int HistoryStore::deleteAfter(const QString& keepUpTo, QString* error)
{
    return deleteWhere(QStringLiteral(" WHERE strQQH > ?"), {keepUpTo}, error);
}

bool HistoryStore::checkKeepUpTo(const QString& answer, const std::vector<DrawRecord>& draws,
                                 QString* keepUpTo, QString* error)
{
    const QString issue = answer.trimmed();
    if (!isDigits(issue) || issue.right(3).toInt() == 0) {
        *error =
            QStringLiteral("“%1”不是可以保留到的期号：期号只能是数字，并且末三位不能是000（例如160121001）。")
                .arg(issue);
        return false;
    }
    if (!draws.empty() && issue < draws.front().issue) {
        *error = QStringLiteral("期号%1排在最早一期%2之前，会删除全部历史号码，没有删除。要删除全部历史号码，"
                                "请用“删除所有历史”。")
                     .arg(issue, draws.front().issue);
        return false;
    }
    *keepUpTo = issue;
    return true;
}

int HistoryStore::deleteAll(QString* error)
{
    return deleteWhere(QString(), {}, error);
}

bool HistoryStore::write(bool removeStored, const std::vector<DrawRecord>& records,
                         const std::vector<DrawRecord>& rederived, QString* error)
{
    m_changedElsewhere = false;
    QSqlDatabase db = m_db->connection();
    {
        Transaction tx(db);
        if (!tx.begin(error))
            return false;
        // The records were derived from the snapshot; under the write lock the file must still hold
        // what the snapshot holds, or another program wrote meanwhile (the snapshot is then read
        // again). Replacing every stored draw depends on none of them.
        if (!removeStored) {
            bool changed = false;
            if (!refreshInTransaction(&changed, error))
                return false;
            m_changedElsewhere = changed && !(records.empty() && rederived.empty());
        }
        if (m_changedElsewhere) {
            *error = QStringLiteral("另一个程序刚刚改动了历史号码，这次没有保存任何号码，请重新操作。");
            return false;
        }
        QSet<QString> seen;
        if (!removeStored) {
            for (const auto& d : m_draws)
                seen.insert(d.issue);
        }
        for (const auto& r : records) {
            if (seen.contains(r.issue)) {
                *error = QStringLiteral("期号%1已经存在，没有保存。").arg(r.issue);
                return false;
            }
            seen.insert(r.issue);
        }
        QSqlQuery q(db);
        if (removeStored && !q.exec(QStringLiteral("DELETE FROM Lishi"))) {
            *error = QStringLiteral("删除过期的历史号码失败：%1")
                         .arg(Database::errorText(q.lastError(), m_db->filePath()));
            return false;
        }
        QStringList marks;
        for (int i = 0; i <= kParameterCount; ++i)
            marks << QStringLiteral("?");
        if (!q.prepare(QStringLiteral("INSERT INTO Lishi (strQQH, %1) VALUES (%2)")
                           .arg(parameterColumnList(), marks.join(", ")))) {
            *error = QStringLiteral("保存历史号码失败：%1")
                         .arg(Database::errorText(q.lastError(), m_db->filePath()));
            return false;
        }
        for (const auto& r : records) {
            q.bindValue(0, r.issue);
            for (int c = 0; c < kParameterCount; ++c)
                q.bindValue(c + 1, int(r.values[c]));
            if (!q.exec()) {
                *error = QStringLiteral("保存期号%1失败：%2")
                             .arg(r.issue, Database::errorText(q.lastError(), m_db->filePath()));
                return false;
            }
        }
        if (!rederived.empty()) {
            QStringList columns;
            for (const auto& e : ParameterTable::entries())
                columns << e.code + QStringLiteral(" = ?");
            QSqlQuery u(db);
            if (!u.prepare(QStringLiteral("UPDATE Lishi SET %1 WHERE strQQH = ?")
                               .arg(columns.join(QStringLiteral(", "))))) {
                *error = QStringLiteral("保存历史号码失败：%1")
                             .arg(Database::errorText(u.lastError(), m_db->filePath()));
                return false;
            }
            for (const auto& r : rederived) {
                for (int c = 0; c < kParameterCount; ++c)
                    u.bindValue(c, int(r.values[c]));
                u.bindValue(kParameterCount, r.issue);
                if (!u.exec() || u.numRowsAffected() != 1) {
                    *error = QStringLiteral("重新计算期号%1的参数失败：%2。历史号码没有改变。")
                                 .arg(r.issue, u.lastError().isValid()
                                                   ? Database::errorText(u.lastError(), m_db->filePath())
                                                   : QStringLiteral("这一期不在历史号码中"));
                    return false;
                }
            }
        }
        if (!tx.commit(error))
            return false;
    }
    // Under the write lock the snapshot was the file's content, so what was just committed is put
    // into it in place instead of reading every draw back.
    applyWritten(removeStored, records, rederived);
    return true;
}

void HistoryStore::applyWritten(bool removeStored, const std::vector<DrawRecord>& records,
                                const std::vector<DrawRecord>& rederived)
{
    const auto byIssue = [](const DrawRecord& a, const DrawRecord& b) { return a.issue < b.issue; };
    if (removeStored)
        m_draws.clear();
    for (const auto& r : rederived) {
        const auto at = std::lower_bound(m_draws.begin(), m_draws.end(), r, byIssue);
        if (at != m_draws.end() && at->issue == r.issue)
            at->values = r.values;
    }
    const std::ptrdiff_t stored = std::ptrdiff_t(m_draws.size());
    m_draws.insert(m_draws.end(), records.begin(), records.end());
    std::sort(m_draws.begin() + stored, m_draws.end(), byIssue);
    std::inplace_merge(m_draws.begin(), m_draws.begin() + stored, m_draws.end(), byIssue);
    ++m_generation;
}
