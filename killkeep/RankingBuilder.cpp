#include "killkeep/RankingBuilder.h"

#include "store/WorkbookWriter.h"

#include <algorithm>
#include <map>

namespace {

int figure(const RankingEntry& e, int column)
{
    switch (column) {
    case RankingBuilder::NumberColumn:
        return e.number;
    case RankingBuilder::AllColumn:
        return e.all;
    case RankingBuilder::KillColumn:
        return e.kill;
    case RankingBuilder::KeepColumn:
        return e.keep;
    }
    return 0;
}

// Orders by one column; the entries come in ascending number, and the stable sort keeps that
// order among equal counts.
std::vector<RankingEntry> orderedBy(std::vector<RankingEntry> entries, int column, bool descending)
{
    std::stable_sort(entries.begin(), entries.end(), [&](const RankingEntry& a, const RankingEntry& b) {
        return descending ? figure(a, column) > figure(b, column) : figure(a, column) < figure(b, column);
    });
    return entries;
}

} // namespace

QString RankingRow::verdict() const
{
    return filtered ? QStringLiteral("滤杀") : QStringLiteral("保留");
}

RankingBuilder::RankingBuilder(std::vector<RankingEntry> entries, bool killSense)
    : m_entries(std::move(entries)), m_killSense(killSense)
{
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const RankingEntry& a, const RankingEntry& b) { return a.number < b.number; });
    // Kill sense: the numbers fewest formulas want to kill first; keep sense: the most wanted.
    numberRows(orderedBy(m_entries, AllColumn, !m_killSense));

    std::map<int, DistributionRow> byVotes;
    for (const RankingRow& r : m_rows) {
        DistributionRow& d = byVotes[r.entry.all];
        d.votes = r.entry.all;
        ++d.count;
        d.numbers += QString::number(r.entry.number) + QLatin1Char(' ');
    }
    for (const auto& [votes, row] : byVotes)
        m_distribution.push_back(row);
    if (!m_killSense)
        std::reverse(m_distribution.begin(), m_distribution.end());
}

std::vector<RankingEntry> RankingBuilder::entriesOf(const VoteTally& tally, int position)
{
    std::vector<RankingEntry> entries;
    const int first = VoteTally::firstValue(position);
    for (int v = first; v < first + VoteTally::cellCount(position); ++v) {
        const VoteTally::Cell c = tally.cell(position, v);
        entries.push_back({v, c.all, c.kill, c.keep});
    }
    return entries;
}

void RankingBuilder::numberRows(std::vector<RankingEntry> ordered)
{
    m_rows.clear();
    for (const RankingEntry& e : ordered) {
        RankingRow r;
        r.rank = int(m_rows.size()) + 1;
        r.entry = e;
        r.filtered = (e.all == 0) != m_killSense;
        m_rows.push_back(r);
    }
}

void RankingBuilder::resortByColumn(int column)
{
    m_sortFlag = !m_sortFlag;
    m_resorted = true;
    if (column < NumberColumn || column > KeepColumn)
        return;
    numberRows(orderedBy(m_entries, column, !m_killSense || m_sortFlag));
}

QStringList RankingBuilder::headers() const
{
    if (m_resorted)
        return {QStringLiteral("排序序号"),
                QStringLiteral("号码"),
                QStringLiteral("杀留Err值（公式错误值）"),
                QStringLiteral("杀码Err值（公式错误值）"),
                QStringLiteral("留码Err值（公式错误值）"),
                QStringLiteral("保留/滤杀")};
    return {QStringLiteral("排序序号"),  QStringLiteral("号码"),      QStringLiteral("杀留Err值"),
            QStringLiteral("杀码Err值"), QStringLiteral("留码Err值"), QStringLiteral("保留/滤杀")};
}

QStringList RankingBuilder::distributionHeaders()
{
    return {QStringLiteral("杀留次数"), QStringLiteral("个数"), QStringLiteral("号码")};
}

std::vector<RankingExportRow> RankingBuilder::exportRows() const
{
    std::vector<RankingExportRow> out;
    for (const RankingEntry& e : orderedBy(m_entries, KillColumn, false))
        out.push_back({int(out.size()) + 1, e.number, e.all});
    return out;
}

QStringList RankingBuilder::exportHeaders()
{
    return {QStringLiteral("排序序号"), QStringLiteral("号码"), QStringLiteral("杀留Err值（公式错误值）")};
}

bool RankingBuilder::writeWorkbook(const QString& path, QString* error) const
{
    WorkbookWriter book(path);
    const QStringList headers = exportHeaders();
    for (int c = 0; c < headers.size(); ++c)
        book.writeText(0, c, headers[c]);
    int sheetRow = 1;
    for (const RankingExportRow& r : exportRows()) {
        book.writeNumber(sheetRow, 0, r.row);
        book.writeNumber(sheetRow, 1, r.number);
        book.writeNumber(sheetRow, 2, r.all);
        ++sheetRow;
    }
    return book.save(error);
}
