#pragma once

#include "cli/Command.h"

// derive [--online] [--prev DDD] ISSUE DDD: prints every column of the derived draw record.
class DeriveCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("derive"); }
    CliSyntax syntax(const QString& sub) const override;
    int run(CliContext& ctx, const QString& sub, const CliArguments& args) override;
};
