#pragma once

#include "cli/Command.h"

// translate TEXT: prints the code form of a Chinese formula text; when the character check refuses
// the result, prints the reason on stderr and exits with 1.
class TranslateCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("translate"); }
    CliSyntax syntax(const QString& sub) const override;
    int run(CliContext& ctx, const QString& sub, const CliArguments& args) override;
};
