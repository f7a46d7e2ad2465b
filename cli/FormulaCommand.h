#pragma once

#include "cli/Command.h"
#include "cli/FormulaSubcommand.h"

#include <memory>
#include <vector>

// formula SUBCOMMAND ...: the formula table operations.
class FormulaCommand : public Command
{
public:
    FormulaCommand();
    QString name() const override { return QStringLiteral("formula"); }
    QString usage() const override;
    QString usageFor(const QStringList& args) const override;
    int run(CliContext& ctx, const QStringList& args) override;

private:
    std::vector<std::unique_ptr<FormulaSubcommand>> m_subcommands;
};
