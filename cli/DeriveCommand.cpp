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

CliSyntax DeriveCommand::syntax(const QString& /*sub*/) const
{
    return CliSyntax(QStringLiteral("derive"),
                     QStringLiteral("One line per column of the draw record, CODE<TAB>VALUE, strQQH first."))
        .flag(QStringLiteral("--online"), QStringLiteral("the online update's rules"))
        .option(QStringLiteral("--prev"), QStringLiteral("DDD"), QStringLiteral("the previous draw"))
        .arguments(QStringLiteral("ISSUE DDD"), 2, 2,
                   QStringLiteral("the issue and the numbers of 百位, 十位 and 个位"));
}

int DeriveCommand::run(CliContext& ctx, const QString& /*sub*/, const CliArguments& args)
{
    const bool online = args.has(QStringLiteral("--online"));
    PreviousDraw previous;
    if (const std::optional<QString> prev = args.value(QStringLiteral("--prev")))
        if (!parseDigits(*prev, &previous.numbers))
            return ctx.usageError(QStringLiteral("--prev takes three digits"));
    const QStringList& positional = args.positionals();
    DrawInput in;
    if (!parseDigits(positional[1], &in.numbers))
        return ctx.usageError(QStringLiteral("derive takes ISSUE and three digits DDD"));
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
