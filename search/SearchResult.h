#pragma once

#include "backtest/ChanceFigures.h"
#include "formula/FormulaKind.h"
#include "formula/FormulaStats.h"

#include <QString>

// One qualified candidate of the result list. It keeps its kind, so it is saved into its own
// kind's table whatever mix of searches filled the list.
struct SearchResult
{
    FormulaKind kind;
    bool kill = true;
    QString code;    // gongshi
    QString chinese; // gongshiCN
    FormulaStats stats;
    ChanceFigures chance; // the search's window against pure chance
};
