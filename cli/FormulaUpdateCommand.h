#pragma once

#include "cli/FormulaSubcommand.h"

// formula update [--url URL] [--kind K] [--sense kill|keep]: "公式在线更新（&W)" without the
// question: downloads the formula file (from URL, else the setting "FormulaUrl"), keeps it as
// "Pelq.txt" and replaces every stored formula by the file's; lines without a kind go to K, lines
// without a sense keep S. Prints the outcome; on failure the Chinese reason and exit 1, with the
// stored formulas unchanged.
class FormulaUpdateCommand : public FormulaSubcommand
{
public:
    QString name() const override { return QStringLiteral("update"); }
    CliSyntax syntax() const override;
    int run(CliContext& ctx, const CliArguments& args) override;
};
