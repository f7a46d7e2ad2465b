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

QStringList FormulaCommand::subcommands() const
{
    QStringList names;
    for (const auto& s : m_subcommands)
        names << s->name();
    return names;
}

FormulaSubcommand* FormulaCommand::find(const QString& sub) const
{
    for (const auto& s : m_subcommands)
        if (s->name() == sub)
            return s.get();
    return nullptr;
}

CliSyntax FormulaCommand::syntax(const QString& sub) const
{
    return find(sub)->syntax();
}

int FormulaCommand::run(CliContext& ctx, const QString& sub, const CliArguments& args)
{
    return find(sub)->run(ctx, args);
}
