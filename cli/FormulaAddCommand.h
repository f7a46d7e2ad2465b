#pragma once

#include "cli/FormulaSubcommand.h"

// formula add [--kind K] [--sense kill|keep] TEXT: the main window's typed entry, K and S standing
// for the window's current kind and sense. gongshiCN is TEXT as given; a kind or sense that TEXT
// names in its decoration ("[十位通选杀]…", "…=下期生码十位通选") takes the place of the options. A
// formula that does not translate to a valid code form is refused with the reason (exit 1) and
// nothing is added. Prints table, sense and code form.
class FormulaAddCommand : public FormulaSubcommand
{
public:
    QString name() const override { return QStringLiteral("add"); }
    CliSyntax syntax() const override;
    int run(CliContext& ctx, const CliArguments& args) override;
};
