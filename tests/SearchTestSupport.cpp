#include "SearchTestSupport.h"
#include "SyntheticHistory.h"

#include "formula/CompiledFormula.h"
#include "formula/FormulaArithmetic.h"
#include "history/DrawDeriver.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"
#include "history/Workspace.h"

#include <QDate>
#include <gtest/gtest.h>

#include <optional>
#include <random>

std::vector<DrawRecord> searchTestDraws(int count, unsigned seed)
{
    return syntheticDraws(count, seed);
}

void storeDraws(Workspace& ws, const std::vector<DrawRecord>& draws)
{
    QString error;
    ASSERT_TRUE(ws.history().append(draws, &error)) << error.toStdString();
}

SearchCandidate candidateOf(const QStringList& codes, int tail)
{
    SearchCandidate c;
    for (const QString& code : codes) {
        const int index = ParameterTable::indexOf(code);
        EXPECT_GE(index, 0) << code.toStdString();
        c.operands[c.operandCount++] = static_cast<std::uint8_t>(index);
    }
    c.tail = tail;
    return c;
}

FormulaStats referenceSearchStats(const std::vector<DrawRecord>& draws, const QString& code,
                                  const SearchRules& rules)
{
    const HistoryColumns history(draws);
    const CompiledFormula formula = CompiledFormula::compile(code);
    EXPECT_TRUE(formula.isValid()) << code.toStdString();
    const int n = static_cast<int>(draws.size());
    // PreCanshu: the number predicted from the previous draw.
    std::vector<std::optional<int>> preCanshu(n);
    for (int k = 0; k + 1 < n; ++k)
        preCanshu[k + 1] = FormulaArithmetic::predictedNumber(formula.evaluateRow(history, k));
    // GSGL: the verdict of each draw.
    std::vector<bool> verdict(n, false);
    for (int k = 1; k < n; ++k) {
        if (!preCanshu[k])
            continue;
        bool equalsOne = false;
        for (int column : rules.kind.checkedColumns())
            equalsOne = equalsOne || *preCanshu[k] == draws[k].value(column);
        verdict[k] = rules.kill ? !equalsOne : equalsOne;
    }
    FormulaStats s;
    if (n < 2)
        return s;
    int start = rules.lookBackDraws != 0 ? std::max(1, n - rules.lookBackDraws - 1) : 1;
    int hitRun = 0, missRun = 0;
    for (int row = start, k = 1; row < n; ++row, ++k) {
        const std::int64_t weight = rules.weighted ? std::int64_t(k) * k : 1;
        s.totalWeight += weight;
        if (verdict[row]) {
            missRun = 0;
            s.weightedHits += weight;
            s.maxHitRun = std::max(s.maxHitRun, ++hitRun);
        } else {
            hitRun = 0;
            s.maxMissRun = std::max(s.maxMissRun, ++missRun);
        }
    }
    s.finalHitRun = hitRun;
    s.finalMissRun = missRun;
    s.rate = static_cast<float>(100.0 * double(s.weightedHits) / double(s.totalWeight));
    return s;
}
