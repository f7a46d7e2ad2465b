#pragma once

#include "cli/FormulaSubcommand.h"

// formula add [--kind K] [--sense kill|keep] TEXT: translates TEXT like the main window's typed
// entry and appends it to the kind's table, gongshiCN being TEXT as given. A kind or sense that
// TEXT names in its decoration ("[十位通选杀]…", "…=下期生十位通选") takes the place of the options,
// as it takes the place of the window's current kind and sense. Prints table, sense and code form.
class FormulaAddCommand : public FormulaSubcommand
{
public:
    QString name() const override { return QStringLiteral("add"); }
    QString usage() const override { return QStringLiteral("add [--kind K] [--sense kill|keep] TEXT"); }
    int run(CliContext& ctx, const QStringList& args) override;
};
