#pragma once

#include "cli/Command.h"

// One subcommand of "formula" (add, list, ...). A new one is a class of its own, registered with
// one line in FormulaCommand's constructor.
class FormulaSubcommand
{
public:
    virtual ~FormulaSubcommand() = default;
    virtual QString name() const = 0;
    // The usage line without the leading "formula ".
    virtual QString usage() const = 0;
    virtual int run(CliContext& ctx, const QStringList& args) = 0;

protected:
    int usageError(CliContext& ctx, const QString& message) const
    {
        ctx.err << message << Qt::endl << "usage: zorvane-cli formula " << usage() << Qt::endl;
        return ExitUsage;
    }
};
