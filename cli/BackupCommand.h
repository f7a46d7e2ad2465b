#pragma once

#include "cli/Command.h"

// backup list | create | restore: the copies of the database in the data folder's "备份".
//   list              the backups as a table, newest first: time file operation draws Gongshi1D
//                     Gongshi2D Gongshi3D Gongshi2G Gongshi3G problem
//   create            writes a backup now (whatever the setting) and prints its path
//   restore FILE --yes  backs up the current state, then puts FILE (a path, or a file name in "备份")
//                     in place of the database; works on a database that cannot be opened, too
class BackupCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("backup"); }
    QStringList subcommands() const override;
    CliSyntax syntax(const QString& sub) const override;
    int run(CliContext& ctx, const QString& sub, const CliArguments& args) override;

private:
    int list(CliContext& ctx, const CliArguments& args);
    int create(CliContext& ctx);
    int restore(CliContext& ctx, const CliArguments& args);
};
