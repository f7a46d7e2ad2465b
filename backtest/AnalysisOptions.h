#pragma once

#include "backtest/BacktestEngine.h"
#include "history/DrawModel.h"
#include "store/Settings.h"

#include <optional>

// The options every analysis of the history shares — the back-test, the calculation, the search,
// the scheme, the trend charts — read from the settings in this one place, so the window and the
// command line cannot disagree on one of them.
struct AnalysisOptions
{
    int lookBackIndex = LookBackTable::kDefaultIndex; // the entry of the look-back table ("JSQS")
    bool excludeCurrent = true;                       // "SyBq"
    bool weighted = true;                             // "ZqlJq"
    int holdOut = 0;                                  // "HoldOut"
    bool showChance = true;                           // "JHDB": the chance columns and the summary line
    PublicationOrder publicationOrder = PublicationOrder::Detect; // "HMSX"
    // A look-back given as a number of draws (the command line's --lookback), in force instead of
    // the entry above; never stored: the settings hold only table entries.
    std::optional<int> lookBackDrawsGiven;

    static AnalysisOptions fromSettings(const Settings& settings);
    void writeTo(Settings& settings) const;

    // W: the draws given, else those of the look-back entry (0 = all draws).
    int lookBackDraws() const;
    BacktestOptions backtest() const;

    bool operator==(const AnalysisOptions&) const = default;
};
