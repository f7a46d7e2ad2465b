#pragma once

#include "cli/CliOptions.h"
#include "cli/Command.h"

// One subcommand of "formula" (add, list, ...). A new one is a class of its own, registered with
// one line in FormulaCommand's constructor.
class FormulaSubcommand
{
public:
    virtual ~FormulaSubcommand() = default;
    virtual QString name() const = 0;
    virtual CliSyntax syntax() const = 0;
    virtual int run(CliContext& ctx, const CliArguments& args) = 0;
};
