#pragma once

#include "cli/Command.h"

// search [--kind K] [--sense S] [--operands N] [--tries T] [--target Q] [--seed X] [--threads J]
//        [--ranges b0,…,b9] [--lookback W] [--weighted true|false] [--tail V|random]
//        [--form bracket|next] [--distinct] [--save append|update]
// The single-kind formula search: tries T candidates (default 100,000, or without limit when only
// --target is given) or stops when Q have qualified. Left-out values come from the stored search
// settings of the kind and sense (ranges, operand count) and the main window's settings (look-back,
// weighting); the tail defaults to the given constant 0 and the form to "[Xxx类]A+B". With
// --distinct a candidate equivalent to a formula stored in the kind's table with the same sense, or
// to one qualified earlier in the run, does not qualify ("跳过等价公式").
class SearchCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("search"); }
    CliSyntax syntax(const QString& sub) const override;
    int run(CliContext& ctx, const QString& sub, const CliArguments& args) override;
};
