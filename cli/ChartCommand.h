#pragma once

#include "cli/Command.h"

// chart numbers|formula IDX|replay [--kind K] [--sense S] [--method M] [--keys K,K,K] [--limit L]
//       [--last N] [--window M] --png FILE [--size WxH]:
// renders the trend charts of the window "走势图" offscreen into a PNG (default 1200x800) and prints
// "FILE<TAB>WxH". numbers: the newest N draws (default 100); formula: the rolling rate of the
// formula numbered IDX in the kind's subset over M draws (default the look-back), the newest N
// points only when --last is given; replay: the calculation replayed over the newest N draws
// (default 100, or what the history allows) as calc --replay does, with calc's options, drawn as the
// tab "计算回测". A chart that cannot be drawn (fewer than two draws, an unknown formula, no
// formulas to replay) is reported on stderr with exit code 1 and leaves no file.
class ChartCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("chart"); }
    CliSyntax syntax(const QString& sub) const override;
    int run(CliContext& ctx, const QString& sub, const CliArguments& args) override;
};
