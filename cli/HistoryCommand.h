#pragma once

#include "cli/Command.h"

// history add | import | export | list | delete | update: the history operations of the main window.
class HistoryCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("history"); }
    QStringList subcommands() const override;
    CliSyntax syntax(const QString& sub) const override;
    int run(CliContext& ctx, const QString& sub, const CliArguments& args) override;

private:
    int add(CliContext& ctx, const QStringList& args);
    int importFile(CliContext& ctx, const CliArguments& args);
    int exportFile(CliContext& ctx, const QStringList& args);
    int list(CliContext& ctx, const CliArguments& args);
    int remove(CliContext& ctx, const CliArguments& args);
    int update(CliContext& ctx, const CliArguments& args);
};
