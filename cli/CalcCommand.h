#pragma once

#include "cli/Command.h"

// calc: the next-draw calculation of "计算公式(&C)". Back-tests the kind as the window does when
// the kind is shown (figures written back), lets the best or every formula of the kind's subset
// vote for the draw after the newest one (or, with --issue, for that stored issue from the draw
// before it), and prints the ranking window's rows as TSV:
//   position rank number votes kill_votes keep_votes verdict
// one ranking for 通选 (position = the kind's), one per position from 个位 up for 单选; then, for the
// best method, one line "walk IDX GONGSHI VOTED" per formula walked (VOTED "-" when it cast no vote).
class CalcCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("calc"); }
    QString usage() const override;
    int run(CliContext& ctx, const QStringList& args) override;
};
