#pragma once

#include "cli/FormulaSubcommand.h"

// formula list [--kind K] [--sense kill|keep|all]: the kind's formulas of one sense (or all) in idx
// order as TSV with a header row: idx sense gongshi gongshiCN sglGsRate intGsErrCon intGsTrueCon
// intGsErrLst intGsTrueLst. Statistics never written are empty; the rate has four decimals.
class FormulaListCommand : public FormulaSubcommand
{
public:
    QString name() const override { return QStringLiteral("list"); }
    CliSyntax syntax() const override;
    int run(CliContext& ctx, const CliArguments& args) override;
};
