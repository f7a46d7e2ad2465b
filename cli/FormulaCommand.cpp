#include "cli/FormulaCommand.h"

#include "cli/FormulaAddCommand.h"
#include "cli/FormulaListCommand.h"

FormulaCommand::FormulaCommand()
{
    m_subcommands.push_back(std::make_unique<FormulaAddCommand>());
    m_subcommands.push_back(std::make_unique<FormulaListCommand>());
}

QString FormulaCommand::usage() const
{
    QStringList lines;
    for (const auto& s : m_subcommands)
        lines << QStringLiteral("formula ") + s->usage();
    return lines.join(QStringLiteral("\n  "));
}

int FormulaCommand::run(CliContext& ctx, const QStringList& args)
{
    if (args.isEmpty())
        return usageError(ctx, QStringLiteral("formula needs a subcommand"));
    for (const auto& s : m_subcommands)
        if (s->name() == args.first())
            return s->run(ctx, args.mid(1));
    return usageError(ctx, QStringLiteral("unknown formula subcommand %1").arg(args.first()));
}
