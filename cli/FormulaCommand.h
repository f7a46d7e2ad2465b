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
    QStringList subcommands() const override;
    CliSyntax syntax(const QString& sub) const override;
    int run(CliContext& ctx, const QString& sub, const CliArguments& args) override;

private:
    FormulaSubcommand* find(const QString& sub) const;
    std::vector<std::unique_ptr<FormulaSubcommand>> m_subcommands;
};
