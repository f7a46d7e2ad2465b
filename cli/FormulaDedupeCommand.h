#pragma once

#include "cli/FormulaSubcommand.h"

// formula dedupe [--kind K] [--sense kill|keep|all] [--yes]: lists the groups of equivalent formulas
// (the same prediction on every stored draw) as TSV, one row per formula that would go:
//   sense kept_idx kept_gongshi equivalent_idx equivalent_gongshi
// then "groups G equivalents K". With --yes deletes them as "删除等价公式(&Q)" does (one
// transaction, the rest renumbered, the file compacted) and prints "deleted K".
class FormulaDedupeCommand : public FormulaSubcommand
{
public:
    QString name() const override { return QStringLiteral("dedupe"); }
    CliSyntax syntax() const override;
    int run(CliContext& ctx, const CliArguments& args) override;
};
