#pragma once

#include "cli/Command.h"

// backtest [--kind K] [--sense S] [--lookback W] [--exclude-current true|false] [--weighted true|false]:
// back-tests the kind's subset with every formula selected, writes the statistics back and prints
// TSV with a header row: n idx gongshi rate weighted_hits total_weight max_miss_run max_hit_run
// final_miss_run final_hit_run next hits tested chance_rate excess z p equivalent_to (the figures
// against pure chance, and the idx of the first equivalent formula), then the summary line against
// chance on stderr. Options left out come from the settings.
class BacktestCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("backtest"); }
    CliSyntax syntax(const QString& sub) const override;
    int run(CliContext& ctx, const QString& sub, const CliArguments& args) override;
};
