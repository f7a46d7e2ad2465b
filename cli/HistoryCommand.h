#pragma once

#include "cli/Command.h"

// history add | import | export | list | delete | update: the history operations of the main window.
class HistoryCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("history"); }
    QString usage() const override;
    QString usageFor(const QStringList& args) const override;
    int run(CliContext& ctx, const QStringList& args) override;

private:
    int add(CliContext& ctx, const QStringList& args);
    int importFile(CliContext& ctx, const QStringList& args);
    int exportFile(CliContext& ctx, const QStringList& args);
    int list(CliContext& ctx, const QStringList& args);
    int remove(CliContext& ctx, const QStringList& args);
    int update(CliContext& ctx, const QStringList& args);
};
