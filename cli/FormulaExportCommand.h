#pragma once

#include "cli/FormulaSubcommand.h"

// formula export [--all] [--kind K] [--sense kill|keep]: writes the Chinese text export of kind K
// ("所选类公式中文导出", the formulas in list order with the final hit runs of a back-test with the
// stored settings), or with --all the export of every kind ("所有类公式中文导出"), sense S only.
// Prints the file's path.
class FormulaExportCommand : public FormulaSubcommand
{
public:
    QString name() const override { return QStringLiteral("export"); }
    CliSyntax syntax() const override;
    int run(CliContext& ctx, const CliArguments& args) override;
};
