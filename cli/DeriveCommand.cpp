#include "cli/DeriveCommand.h"

#include "history/DrawDeriver.h"
#include "history/LotteryTable.h"

#include <QDate>

namespace {

bool parseDigits(const QString& text, std::array<int, 3>* out)
{
    if (text.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        const int v = text[i].digitValue();
        if (v < 0)
            return false;
        (*out)[i] = v;
    }
    return true;
}

} // namespace

int DeriveCommand::run(CliContext& ctx, const QStringList& args)
{
    bool online = false;
    PreviousDraw previous;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--online") {
            online = true;
        } else if (args[i] == "--prev") {
            if (i + 1 >= args.size() || !parseDigits(args[i + 1], &previous.numbers))
                return usageError(ctx, QStringLiteral("--prev takes three digits"));
            ++i;
        } else if (args[i].startsWith("--")) {
            return usageError(ctx, QStringLiteral("unknown option %1").arg(args[i]));
        } else {
            positional << args[i];
        }
    }
    DrawInput in;
    if (positional.size() != 2 || !parseDigits(positional[1], &in.numbers))
        return usageError(ctx, QStringLiteral("derive takes ISSUE and three digits DDD"));
    const int lottery = ctx.lotteryIndex();
    in.issue = positional[0];
    in.drawsPerDay = LotteryTable::orEmpty(lottery).drawsPerDay;
    in.path = online ? EntryPath::Online : EntryPath::Hand;
    if (online && lottery == LotteryTable::kBeijing) {
        in.runningCount = true;
        in.pageDate = QDate::currentDate();
    }
    DrawRecord r;
    QString error;
    if (!DrawDeriver::derive(in, previous, &r, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << "strQQH\t" << r.issue << '\n';
    for (int c = 0; c < kParameterCount; ++c)
        ctx.out << ParameterTable::code(c) << '\t' << r.values[c] << '\n';
    return ExitOk;
}
