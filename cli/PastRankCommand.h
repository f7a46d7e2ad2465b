#pragma once

#include "cli/Command.h"

// pastrank [--kind K] [--sense S] [--position 1|2|3]: the rows of "历史开奖列表" as TSV with its
// header row (columns 0 to 26 and the count columns), every formula of the kind's subset of sense S
// selected. The position counts as in the kind (1 个位, 2 十位, 3 百位) and defaults to the kind's;
// the selection mode (单选/通选) is the kind's.
class PastRankCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("pastrank"); }
    CliSyntax syntax(const QString& sub) const override;
    int run(CliContext& ctx, const QString& sub, const CliArguments& args) override;
};
