#pragma once

#include "cli/Command.h"

// history fairness [--last N] [--order auto|ascending|drawn]: the fairness check of the stored
// draws against fair dice read in the publication order, as TSV "cell observed expected" (the
// 18 position-number cells as drawn, the 56 sorted outcomes ascending), then the rows chi_square,
// degrees and p with the value in the second field.
class HistoryFairnessCommand
{
public:
    static QString usageLine()
    {
        return QStringLiteral("fairness [--last N] [--order auto|ascending|drawn]");
    }
    static int run(CliContext& ctx, const QStringList& args);
};
