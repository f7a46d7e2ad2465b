#include "cli/SearchCommandSupport.h"

#include "cli/CliOptions.h"
#include "history/Workspace.h"
#include "search/FormulaGenerator.h"
#include "search/HoldOutSummary.h"

#include <thread>

CliSyntax& SearchCommandSupport::addCommon(CliSyntax& syntax)
{
    return syntax
        .option(QStringLiteral("--seed"), QStringLiteral("X"),
                QStringLiteral("the random seed: the same output for any thread count"))
        .option(QStringLiteral("--threads"), QStringLiteral("J"),
                QStringLiteral("1 to 64 (default: the machine's cores)"))
        .option(QStringLiteral("--save"), QStringLiteral("append|update"),
                QStringLiteral("store the results as 公式追加到数据库 or 公式更新到数据库 (after a backup)"));
}

bool SearchCommandSupport::readCommon(const CliArguments& args, Common* common, QString* error)
{
    const std::optional<QString> seed = args.value(QStringLiteral("--seed"));
    const std::optional<QString> threads = args.value(QStringLiteral("--threads"));
    const std::optional<QString> save = args.value(QStringLiteral("--save"));
    common->seed = FormulaGenerator::freshSeed();
    if (seed) {
        bool ok = false;
        common->seed = seed->toULongLong(&ok);
        if (!ok) {
            *error = QStringLiteral("--seed takes a whole number from 0 to 18446744073709551615");
            return false;
        }
    }
    common->threads = std::max(1u, std::thread::hardware_concurrency());
    if (threads) {
        bool ok = false;
        common->threads = threads->toInt(&ok);
        if (!ok || common->threads < 1 || common->threads > 64) {
            *error = QStringLiteral("--threads takes a number from 1 to 64");
            return false;
        }
    }
    if (save)
        common->save = *save == QLatin1String("update") ? SearchResultSaver::Mode::Update
                                                        : SearchResultSaver::Mode::Append;
    return true;
}

bool SearchCommandSupport::parseNumbers(const QString& text, int count, const QString& option,
                                        std::vector<double>* out, QString* error)
{
    const QStringList parts = text.split(QLatin1Char(','));
    out->clear();
    for (const QString& p : parts) {
        bool ok = false;
        const double v = p.trimmed().toDouble(&ok);
        if (!ok)
            break;
        out->push_back(v);
    }
    if (parts.size() != count || int(out->size()) != count) {
        *error = QStringLiteral("%1 takes %2 comma-separated numbers").arg(option).arg(count);
        return false;
    }
    return true;
}

void SearchCommandSupport::print(CliContext& ctx, CliFormat format, const std::vector<SearchResult>& results,
                                 qint64 tried, double seconds, bool holdOut)
{
    QStringList header{"gongshi",
                       "gongshiCN",
                       "rate",
                       "max_miss_run",
                       "max_hit_run",
                       "final_miss_run",
                       "final_hit_run",
                       "chance_rate",
                       "excess",
                       "z",
                       "p"};
    if (holdOut)
        header << holdOutHeader();
    auto optional = [](const std::optional<double>& v, int decimals) {
        return v ? QString::number(*v, 'f', decimals) : QString();
    };
    {
        CliTable table(ctx.out, format, header);
        for (const SearchResult& r : results) {
            QStringList row{r.code,
                            r.chinese,
                            QString::number(double(r.stats.rate), 'f', 4),
                            QString::number(r.stats.maxMissRun),
                            QString::number(r.stats.maxHitRun),
                            QString::number(r.stats.finalMissRun),
                            QString::number(r.stats.finalHitRun),
                            QString::number(r.chance.chanceRate, 'f', 4),
                            QString::number(r.chance.excess, 'f', 4),
                            optional(r.chance.z, 3),
                            optional(r.chance.p, 6)};
            if (holdOut)
                row << holdOutFields(r.holdOut);
            table.add(row);
        }
    }
    ctx.err << "tried " << tried << " qualified " << results.size() << " seconds "
            << QString::number(seconds, 'f', 3) << Qt::endl;
    if (holdOut)
        ctx.err << HoldOutSummary::of(results).text() << Qt::endl;
}

QStringList SearchCommandSupport::holdOutHeader()
{
    return {"holdout_hits", "holdout_tested", "holdout_rate", "holdout_chance", "holdout_p"};
}

QStringList SearchCommandSupport::holdOutFields(const ChanceFigures& h)
{
    if (h.tested <= 0)
        return {QString(), QString(), QString(), QString(), QString()};
    return {QString::number(h.hits), QString::number(h.tested), QString::number(h.plainRate(), 'f', 4),
            QString::number(h.chanceRate, 'f', 4), h.p ? QString::number(*h.p, 'f', 6) : QString()};
}

bool SearchCommandSupport::save(CliContext& ctx, const std::vector<SearchResult>& results,
                                SearchResultSaver::Mode mode, bool kill)
{
    std::vector<FormulaKind> saved;
    QString error;
    if (mode == SearchResultSaver::Mode::Update && !results.empty() &&
        !ctx.workspace->backupBefore(QStringLiteral("公式更新到数据库"), &error)) {
        ctx.err << error << Qt::endl;
        return false;
    }
    if (!SearchResultSaver::save(&ctx.workspace->database(), results, mode, kill, &saved, &error)) {
        ctx.err << error << Qt::endl;
        return false;
    }
    return true;
}
