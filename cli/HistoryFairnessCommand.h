#pragma once

#include "cli/CliSyntax.h"
#include "cli/Command.h"

// history fairness [--last N] [--order auto|ascending|drawn]: the fairness check of the stored
// draws against fair dice read in the publication order, as a table "cell observed expected" (the
// 18 position-number cells as drawn, the 56 sorted outcomes ascending), then the rows chi_square,
// degrees and p with the value in the second field; the verdict goes to stderr.
class HistoryFairnessCommand
{
public:
    static CliSyntax syntax();
    static int run(CliContext& ctx, const CliArguments& args);
};
