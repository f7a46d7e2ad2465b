#pragma once

#include "killkeep/VoteTally.h"

#include <QString>
#include <QStringList>
#include <vector>

// One number's (or digit's) votes as the ranking shows them.
struct RankingEntry
{
    int number = 0;
    int all = 0;  // 杀留Err值: how many formulas named the number
    int kill = 0; // 杀码Err值
    int keep = 0; // 留码Err值

    bool operator==(const RankingEntry&) const = default;
};

// One row of the ranking grid.
struct RankingRow
{
    int rank = 0; // 排序序号, from 1
    RankingEntry entry;
    // "滤杀" when the number is filtered out: named by a kill formula, or named by no keep formula.
    bool filtered = false;

    QString verdict() const;
};

// One row of the distribution grid: a vote count, how many numbers have it and which.
struct DistributionRow
{
    int votes = 0;
    int count = 0;
    QString numbers; // each number followed by one blank, in ranking order: "1 3 6 "

    bool operator==(const DistributionRow&) const = default;
};

// One row of the "导出列表(&E)" sheet.
struct RankingExportRow
{
    int row = 0;
    int number = 0;
    int all = 0;
};

// One ranking of a kill/keep window: the numbers 1..6 of a general-selection calculation, or
// the digits 0..9 of one position of a single-selection calculation. Activation ranks the
// numbers by their votes so that the numbers that survive come first (kill sense: fewest votes
// first; keep sense: most votes first) and groups them by vote count; a double-click re-sorts
// by a column. Numbers with equal counts always stand in ascending number.
class RankingBuilder
{
public:
    enum Column
    {
        RankColumn,
        NumberColumn,
        AllColumn,
        KillColumn,
        KeepColumn,
        VerdictColumn,
        ColumnCount
    };

    RankingBuilder() = default;
    // Activation: ranks the entries (in any order) with the sort flag FALSE.
    RankingBuilder(std::vector<RankingEntry> entries, bool killSense);

    // The cells of one position of a tally, in number order (position 0: the numbers 1..6).
    static std::vector<RankingEntry> entriesOf(const VoteTally& tally, int position);

    bool killSense() const { return m_killSense; }
    // Inverted by every double-click; FALSE after activation.
    bool sortFlag() const { return m_sortFlag; }
    const std::vector<RankingRow>& rows() const { return m_rows; }
    // Built at activation and left as it is by a re-sort.
    const std::vector<DistributionRow>& distribution() const { return m_distribution; }

    // Double-click on grid column `column`: inverts the sort flag; on 号码 or one of the three
    // vote columns orders by that column, descending with the keep sense or a TRUE flag,
    // ascending otherwise. Another column keeps the row order. Either way the grid's headers
    // become the re-sort headers.
    void resortByColumn(int column);

    // The ranking grid's header texts: the activation set until the first re-sort, then the
    // texts that name the votes "（公式错误值）".
    QStringList headers() const;
    static QStringList distributionHeaders();

    // The sheet of "导出列表(&E)": ordered by kill votes ascending, equal counts in ascending
    // number; headers "排序序号", "号码", "杀留Err值（公式错误值）".
    std::vector<RankingExportRow> exportRows() const;
    static QStringList exportHeaders();
    // Writes the export sheet as a workbook at `path`, replacing an old file.
    bool writeWorkbook(const QString& path, QString* error) const;

private:
    void numberRows(std::vector<RankingEntry> ordered);

    std::vector<RankingEntry> m_entries; // ascending number
    bool m_killSense = true;
    bool m_sortFlag = false;
    bool m_resorted = false;
    std::vector<RankingRow> m_rows;
    std::vector<DistributionRow> m_distribution;
};
