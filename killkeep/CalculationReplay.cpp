#include "killkeep/CalculationReplay.h"

#include "backtest/BacktestEngine.h"
#include "backtest/ChanceFigures.h"
#include "backtest/FormulaOrdering.h"
#include "backtest/RollingFigures.h"
#include "history/DrawModel.h"
#include "history/HistoryColumns.h"
#include "history/Probability.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// A number of a fair die: 1..6.
bool isDieNumber(int n)
{
    return n >= 1 && n <= 6;
}

QString joined(const std::vector<int>& numbers, QChar separator)
{
    QStringList parts;
    for (int n : numbers)
        parts << QString::number(n);
    return parts.join(separator);
}

// The rankings' parts, each by `part`, the window's way ("个位 1 4 6；十位 2 5", a 通选 ranking
// alone without its position) or the command line's ("1,4,6/2,5", "-" for an empty part).
template <typename Part>
QString rankingsText(const std::vector<ReplayRanking>& rankings, bool forWindow, Part part)
{
    QStringList texts;
    for (const ReplayRanking& r : rankings) {
        const std::vector<int>& numbers = part(r);
        if (!forWindow) {
            texts << (numbers.empty() ? QStringLiteral("-") : joined(numbers, QLatin1Char(',')));
            continue;
        }
        QString text = joined(numbers, QLatin1Char(' '));
        if (r.position != VoteTally::kGeneralPosition)
            text = FormulaKind::positionCaption(r.position) + QLatin1Char(' ') + text;
        texts << text.trimmed();
    }
    return texts.join(forWindow ? QStringLiteral("；") : QStringLiteral("/"));
}

QString percent(double value)
{
    return QString::number(value, 'f', 2) + QLatin1Char('%');
}

// The figures the best method walks, as NextDrawCalculation::figuresOf() takes them from a back-test.
std::vector<FormulaFigures> figuresOf(const CalculationTable& table, const RollingFigures& rolling)
{
    std::vector<FormulaFigures> figures(table.formulas.size());
    for (std::size_t i = 0; i < figures.size(); ++i) {
        FormulaFigures& f = figures[i];
        f.idx = table.formulas[i].idx;
        if (i >= table.compiled.size())
            continue;
        const FormulaStats s = rolling.stats(int(i));
        f.rate = s.rate;
        f.maxMissRun = s.maxMissRun;
        f.maxHitRun = s.maxHitRun;
        f.finalMissRun = s.finalMissRun;
        f.finalHitRun = s.finalHitRun;
    }
    return figures;
}

} // namespace

QString ReplayDraw::drawnText() const
{
    return QString::number(numbers[0]) + QString::number(numbers[1]) + QString::number(numbers[2]);
}

QString ReplayDraw::killedText(bool forWindow) const
{
    return rankingsText(rankings, forWindow,
                        [](const ReplayRanking& r) -> const std::vector<int>& { return r.killed; });
}

QString ReplayDraw::levelsText(bool forWindow) const
{
    return rankingsText(rankings, forWindow,
                        [](const ReplayRanking& r) -> const std::vector<int>& { return r.levels; });
}

QString ReplaySummary::absentText() const
{
    if (draws == 0)
        return QStringLiteral("没有回测任何一期");
    QString text = QStringLiteral("回测 %1 期：滤杀号码 %2 个，其中未开出 %3 个，占 %4，机会率 %5")
                       .arg(draws)
                       .arg(killedCompared)
                       .arg(killedAbsent)
                       .arg(percent(absentShare), percent(chanceShare));
    text +=
        p ? QStringLiteral("，p=%1").arg(*p < 0.001 ? QStringLiteral("<0.001") : QString::number(*p, 'f', 3))
          : QStringLiteral("，无法计算p值");
    if (killedOutside > 0)
        text += QStringLiteral("（另有 %1 个滤杀数字不在1~6之间，必不开出，未计入）").arg(killedOutside);
    return text;
}

QString ReplaySummary::levelsText() const
{
    QStringList parts;
    for (int level = 1; level <= levelCount(); ++level)
        parts << QStringLiteral("第%1位 %2（机会 %3）")
                     .arg(level)
                     .arg(levelCounts[level - 1])
                     .arg(levelExpected[level - 1], 0, 'f', 1);
    return QStringLiteral("开奖号码所在位次：") + parts.join(QStringLiteral("，"));
}

int CalculationReplay::maxDraws(int drawCount, int lookBackDraws)
{
    return std::max(0, drawCount - std::max(lookBackDraws, 1));
}

bool CalculationReplay::checkDraws(int count, int drawCount, int lookBackDraws, QString* error)
{
    const int most = maxDraws(drawCount, lookBackDraws);
    if (most <= 0) {
        *error = lookBackDraws > 0 ? QStringLiteral("历史号码只有 %1 期，不多于检索期数 %2 期，无法回测。")
                                         .arg(drawCount)
                                         .arg(lookBackDraws)
                                   : QStringLiteral("历史号码不足两期，无法回测。");
        return false;
    }
    if (count < 1 || count > most) {
        *error = QStringLiteral("回测期数必须是 1 到 %1 之间的整数（历史期数减去检索期数）。").arg(most);
        return false;
    }
    return true;
}

ReplayDraw CalculationReplay::compare(const DrawRecord& draw, const CalculationOutcome& outcome,
                                      const CalculationRequest& request, const DrawModel& model)
{
    ReplayDraw d;
    d.issue = draw.issue;
    d.numbers = {draw.number(1), draw.number(2), draw.number(3)};
    for (const auto& [position, ranking] : CalculationRun::rankings(outcome, request)) {
        ReplayRanking r;
        r.position = position;
        const FormulaKind compared =
            position == VoteTally::kGeneralPosition ? request.kind : FormulaKind{position, true};
        const std::vector<int> columns = compared.checkedColumns();
        const int mask = DrawModel::maskOf(columns);
        for (int column : columns)
            r.drawn.push_back(draw.value(column));
        const std::vector<RankingRow>& rows = ranking.rows();
        r.expectedLevels.assign(rows.size(), 0.0);
        for (const RankingRow& row : rows) {
            const int n = row.entry.number;
            if (row.filtered) {
                r.killed.push_back(n);
                if (!isDieNumber(n))
                    ++r.killedOutside;
                else if (std::find(r.drawn.begin(), r.drawn.end(), n) != r.drawn.end())
                    ++r.killedDrawn;
            }
            // By chance the compared positions show n as often as the model says, whatever the
            // ranking: the drawn numbers expected on this row's level.
            if (isDieNumber(n)) {
                double expected = 0;
                for (int column : columns)
                    expected += model.positionChance(column, n);
                r.expectedLevels[std::size_t(row.rank - 1)] = expected;
            }
        }
        std::sort(r.killed.begin(), r.killed.end());
        for (int n : r.drawn) {
            const auto at = std::find_if(rows.begin(), rows.end(),
                                         [n](const RankingRow& row) { return row.entry.number == n; });
            r.levels.push_back(at == rows.end() ? 0 : at->rank);
        }
        // By chance a killed number u stays undrawn with a_u, two of them u and v both with b_uv
        // (the model's chances for the compared positions): E = Σ a_u,
        // Var = Σ a_u (1 − a_u) + Σ_{u≠v} (b_uv − a_u a_v).
        const int m = int(r.killed.size()) - r.killedOutside;
        for (int u : r.killed) {
            if (!isDieNumber(u))
                continue;
            const double a = model.outChance(mask, u);
            r.expectedAbsent += a;
            r.absentVariance += a * (1 - a);
            for (int v : r.killed)
                if (v != u && isDieNumber(v))
                    r.absentVariance += model.bothOutChance(mask, u, v) - a * model.outChance(mask, v);
        }
        d.killedCompared += m;
        d.killedDrawn += r.killedDrawn;
        d.killedOutside += r.killedOutside;
        d.levels.insert(d.levels.end(), r.levels.begin(), r.levels.end());
        d.rankings.push_back(std::move(r));
    }
    return d;
}

ReplaySummary CalculationReplay::summarize(const std::vector<ReplayDraw>& draws,
                                           const CalculationRequest& request)
{
    ReplaySummary s;
    const int levels = request.kind.single ? VoteTally::kDigits : VoteTally::kNumbers;
    s.levelCounts.assign(std::size_t(levels), 0);
    s.levelExpected.assign(std::size_t(levels), 0.0);
    double expected = 0, variance = 0;
    for (const ReplayDraw& d : draws) {
        ++s.draws;
        s.killedCompared += d.killedCompared;
        s.killedAbsent += d.killedAbsent();
        s.killedOutside += d.killedOutside;
        for (const ReplayRanking& r : d.rankings) {
            expected += r.expectedAbsent;
            variance += r.absentVariance;
            for (int level : r.levels)
                if (level >= 1 && level <= levels)
                    ++s.levelCounts[std::size_t(level - 1)];
            for (std::size_t i = 0; i < r.expectedLevels.size() && i < s.levelExpected.size(); ++i)
                s.levelExpected[i] += r.expectedLevels[i];
        }
    }
    if (s.killedCompared > 0) {
        s.absentShare = 100.0 * s.killedAbsent / s.killedCompared;
        s.chanceShare = 100.0 * expected / s.killedCompared;
    }
    if (variance > 1e-12) {
        s.z = (s.killedAbsent - expected) / std::sqrt(variance);
        s.p = Probability::normalUpperTail(*s.z);
    }
    return s;
}

ReplayResult CalculationReplay::run(const std::vector<CalculationTable>& tables,
                                    const std::vector<DrawRecord>& draws, const HistoryColumns& history,
                                    int count, const CalculationRequest& request, const Progress& progress,
                                    const std::atomic<bool>* cancel)
{
    ReplayResult result;
    result.kind = request.kind;
    result.kill = request.kill;
    result.bestMethod = request.bestMethod;
    const int total = std::clamp(count, 0, std::max(0, int(draws.size()) - 1));
    result.draws.reserve(std::size_t(total));
    const int first = int(draws.size()) - total;
    // The order of the whole stored history, for every replayed draw alike.
    const DrawModel& model = DrawModel::forHistory(history, request.backtest.publicationOrder);
    // Consecutive draws back-test nearly the same rows. Without figures against chance in the
    // order, each table's figures are carried forward from draw to draw; otherwise the formulas'
    // predictions on every row from the first window on are worked out once.
    std::vector<CalculationTable> cached = tables;
    const bool carried = request.bestMethod && !FormulaOrdering::usesChance(request.keys);
    std::vector<std::unique_ptr<RollingFigures>> rolling;
    std::vector<std::vector<FormulaFigures>> figures(tables.size());
    if (carried) {
        BacktestOptions options = request.backtest;
        options.holdOut = 0;
        for (const CalculationTable& t : tables)
            rolling.push_back(
                std::make_unique<RollingFigures>(history, t.compiled, t.kind, request.kill, options, first));
    } else if (request.bestMethod) {
        const int lookBack = std::max(request.backtest.lookBackDraws, 0);
        const int firstRow = lookBack > 0 ? first - lookBack - 2 : 0;
        for (CalculationTable& t : cached)
            t.predictions = PredictionCache::build(history, t.compiled, firstRow);
    }
    for (int t = first; t < int(draws.size()); ++t) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            result.cancelled = true;
            break;
        }
        // "验证历史结果" of draw t: the calculation from the draw before it, over the first t draws.
        for (std::size_t k = 0; k < rolling.size(); ++k) {
            rolling[k]->advanceTo(t);
            figures[k] = figuresOf(tables[k], *rolling[k]);
        }
        CalculationOutcome outcome;
        CalculationRun::calculate(cached, history, t - 1, request, &outcome, carried ? &figures : nullptr);
        result.draws.push_back(compare(draws[std::size_t(t)], outcome, request, model));
        if (progress)
            progress(t - first + 1, total);
    }
    result.summary = summarize(result.draws, request);
    return result;
}
