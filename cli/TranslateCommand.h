#pragma once

#include "cli/Command.h"

// translate TEXT: prints the code form of a Chinese formula text; when the character check refuses
// the result, prints the reason on stderr and exits with 1.
class TranslateCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("translate"); }
    QString usage() const override { return QStringLiteral("translate TEXT"); }
    int run(CliContext& ctx, const QStringList& args) override;
};
