#include "cli/SearchCommandSupport.h"

#include "cli/CliOptions.h"
#include "history/Workspace.h"
#include "search/FormulaGenerator.h"

#include <thread>

bool SearchCommandSupport::takeCommon(QStringList* args, Common* common, QString* error)
{
    std::optional<QString> seed, threads, save;
    if (!CliOptions::take(args, QStringLiteral("--seed"), &seed, error) ||
        !CliOptions::take(args, QStringLiteral("--threads"), &threads, error) ||
        !CliOptions::take(args, QStringLiteral("--save"), &save, error))
        return false;
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
    if (save) {
        if (*save == QLatin1String("append"))
            common->save = SearchResultSaver::Mode::Append;
        else if (*save == QLatin1String("update"))
            common->save = SearchResultSaver::Mode::Update;
        else {
            *error = QStringLiteral("--save takes append or update");
            return false;
        }
    }
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

void SearchCommandSupport::print(CliContext& ctx, const std::vector<SearchResult>& results, qint64 tried,
                                 double seconds)
{
    ctx.out
        << "gongshi\tgongshiCN\trate\tmax_miss_run\tmax_hit_run\tfinal_miss_run\tfinal_hit_run\tchance_rate\t"
           "excess\tz\tp\n";
    auto optional = [](const std::optional<double>& v, int decimals) {
        return v ? QString::number(*v, 'f', decimals) : QString();
    };
    for (const SearchResult& r : results)
        ctx.out << r.code << '\t' << r.chinese << '\t' << QString::number(double(r.stats.rate), 'f', 4)
                << '\t' << r.stats.maxMissRun << '\t' << r.stats.maxHitRun << '\t' << r.stats.finalMissRun
                << '\t' << r.stats.finalHitRun << '\t' << QString::number(r.chance.chanceRate, 'f', 4) << '\t'
                << QString::number(r.chance.excess, 'f', 4) << '\t' << optional(r.chance.z, 3) << '\t'
                << optional(r.chance.p, 6) << '\n';
    ctx.out << "tried " << tried << " qualified " << results.size() << " seconds "
            << QString::number(seconds, 'f', 3) << '\n';
}

bool SearchCommandSupport::save(CliContext& ctx, const std::vector<SearchResult>& results,
                                SearchResultSaver::Mode mode, bool kill)
{
    std::vector<FormulaKind> saved;
    QString error;
    if (!SearchResultSaver::save(&ctx.workspace->database(), results, mode, kill, &saved, &error)) {
        ctx.err << error << Qt::endl;
        return false;
    }
    return true;
}
