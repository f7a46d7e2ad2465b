#pragma once

#include "cli/FormulaSubcommand.h"

// formula clear --yes: deletes every formula of all five kinds ("清空所有公式"); --yes answers the
// window's confirmation. Prints "cleared".
class FormulaClearCommand : public FormulaSubcommand
{
public:
    QString name() const override { return QStringLiteral("clear"); }
    CliSyntax syntax() const override;
    int run(CliContext& ctx, const CliArguments& args) override;
};
