#include "cli/FormulaCommand.h"

#include "cli/FormulaAddCommand.h"
#include "cli/FormulaClearCommand.h"
#include "cli/FormulaDedupeCommand.h"
#include "cli/FormulaExportCommand.h"
#include "cli/FormulaImportCommand.h"
#include "cli/FormulaListCommand.h"
#include "cli/FormulaUpdateCommand.h"

FormulaCommand::FormulaCommand()
{
    m_subcommands.push_back(std::make_unique<FormulaAddCommand>());
    m_subcommands.push_back(std::make_unique<FormulaListCommand>());
    m_subcommands.push_back(std::make_unique<FormulaImportCommand>());
    m_subcommands.push_back(std::make_unique<FormulaExportCommand>());
    m_subcommands.push_back(std::make_unique<FormulaClearCommand>());
    m_subcommands.push_back(std::make_unique<FormulaUpdateCommand>());
    m_subcommands.push_back(std::make_unique<FormulaDedupeCommand>());
}

QString FormulaCommand::usage() const
{
    QStringList lines;
    for (const auto& s : m_subcommands)
        lines << QStringLiteral("formula ") + s->usage();
    return lines.join(QStringLiteral("\n  "));
}

QString FormulaCommand::usageFor(const QStringList& args) const
{
    for (const auto& s : m_subcommands)
        if (!args.isEmpty() && s->name() == args.first())
            return QStringLiteral("formula ") + s->usage();
    return usage();
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
