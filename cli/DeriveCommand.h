#pragma once

#include "cli/Command.h"

// derive [--online] [--prev DDD] ISSUE DDD: prints every column of the derived draw record.
class DeriveCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("derive"); }
    QString usage() const override { return QStringLiteral("derive [--online] [--prev DDD] ISSUE DDD"); }
    int run(CliContext& ctx, const QStringList& args) override;
};
