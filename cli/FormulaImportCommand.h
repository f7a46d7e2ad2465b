#pragma once

#include "cli/FormulaSubcommand.h"

// formula import FILE [--kind K] [--sense kill|keep]: reads a formula text file as "读取公式文本(N)"
// does, starting from kind K and sense S. Rejected lines go to "无法识别公式.txt" in the data
// folder. Prints "added N rejected M", then the unrecognised file's path when M > 0.
class FormulaImportCommand : public FormulaSubcommand
{
public:
    QString name() const override { return QStringLiteral("import"); }
    CliSyntax syntax() const override;
    int run(CliContext& ctx, const CliArguments& args) override;
};
