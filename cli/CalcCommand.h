#pragma once

#include "cli/Command.h"

#include <optional>

// calc: the next-draw calculation of "计算公式(&C)". Back-tests the kind as the window does when
// the kind is shown (figures written back), lets the best or every formula of the kind's subset
// vote for the draw after the newest one (or, with --issue, for that stored issue from the draw
// before it), and prints the ranking window's rows as TSV:
//   position rank number votes kill_votes keep_votes verdict
// one ranking for 通选 (position = the kind's), one per position from 个位 up for 单选. The best
// method's walk goes to stderr, one line "walk IDX GONGSHI VOTED" per formula walked (VOTED "-" when
// it cast no vote); with --walk it is the table instead: idx gongshi voted.
//
// With --replay K it replays the calculation over the newest K draws instead (each from the draws
// before it, as --issue does for one) and prints TSV "issue drawn killed killed_drawn levels" per
// draw (killed and levels: numbers by ",", 单选 positions from 个位 up by "/", "-" for none), the
// summary against chance on stderr. Nothing is written.
class AnalysisSession;
struct CalculationRequest;
struct ReplayResult;

class CalcCommand : public Command
{
public:
    QString name() const override { return QStringLiteral("calc"); }
    CliSyntax syntax(const QString& sub) const override;
    int run(CliContext& ctx, const QString& sub, const CliArguments& args) override;

    // The calculation's options --kind, --sense, --method best|selected, --keys and --limit, which
    // the chart command's replay takes too; read into `request` (and `method`, which the stored
    // choice decides without it), false with a usage message.
    static CliSyntax& addRequest(CliSyntax& syntax);
    static bool readRequest(const CliArguments& args, CalculationRequest* request,
                            std::optional<QString>* method, QString* error);
    // Once the session is open: the method (when --method was not given, the stored choice) and
    // the back-test options, the session's.
    static void completeRequest(const AnalysisSession& session, const std::optional<QString>& method,
                                CalculationRequest* request);
    // Replays the calculation over the newest `count` stored draws; false with a Chinese message
    // when the history or the formulas do not allow it.
    static bool replay(const AnalysisSession& session, const CalculationRequest& request, int count,
                       ReplayResult* result, QString* error);

private:
    int runReplay(CliContext& ctx, const CalculationRequest& request, int count, CliFormat format) const;
    static QString noFormulasMessage(const CalculationRequest& request);
};
