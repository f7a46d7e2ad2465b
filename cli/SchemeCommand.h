#pragma once

#include "cli/Command.h"

// scheme [--sense S] [--targets t1,t2,t3,t5,t6] [--mode new|keep] [--distinct] [--save append|update]
//        [--yes] [--seed X] [--threads J] [--tries T]
// The all-kinds search over slots 1, 2, 3, 5, 6 with the stored per-kind ranges and operand counts;
// the targets default to the stored scheme ("SSSZ", 60 each). Mode "new" counts formulas to find,
// "keep" the formulas each table shall hold; --distinct skips equivalents as the search command does.
// Each kind tries at most T candidates (default 10,000,000); a kind that stops there short of its
// target is named on stderr with the ranges no candidate fell in. Progress goes to stderr.
// --save update deletes the stored formulas of every kind searched that holds any: without --yes it
// is refused (exit 2) before the search, naming each kind and its count. Output as the search
// command's.
class SchemeCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("scheme"); }
    CliSyntax syntax(const QString& sub) const override;
    int run(CliContext& ctx, const QString& sub, const CliArguments& args) override;
};
