#pragma once

#include "backtest/ChanceFigures.h"
#include "cli/Command.h"
#include "search/SearchResult.h"
#include "search/SearchResultSaver.h"

#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

// What the search and scheme commands share: --seed, --threads and --save, the TSV output and the
// saving.
class SearchCommandSupport
{
public:
    struct Common
    {
        std::uint64_t seed = 0;
        int threads = 1;
        std::optional<SearchResultSaver::Mode> save;
    };

    // Declares --seed X, --threads J and --save append|update.
    static CliSyntax& addCommon(CliSyntax& syntax);
    // Reads them: the seed defaults to a fresh one from the clock and the system's entropy, the
    // threads to the machine's cores.
    static bool readCommon(const CliArguments& args, Common* common, QString* error);
    // A comma-separated list of exactly `count` numbers.
    static bool parseNumbers(const QString& text, int count, const QString& option, std::vector<double>* out,
                             QString* error);

    // The table: one row per result (its five figures, then its chance rate, excess, z and p, and
    // with `holdOut` its hold-out hits, draws, rate, chance rate and p). The closing line "tried T
    // qualified Q seconds S" and, with `holdOut`, the hold-out summary go to stderr.
    static void print(CliContext& ctx, CliFormat format, const std::vector<SearchResult>& results,
                      qint64 tried, double seconds, bool holdOut = false);
    // The hold-out columns' header and a row's five fields (empty when nothing was held out), shared
    // with backtest.
    static QStringList holdOutHeader();
    static QStringList holdOutFields(const ChanceFigures& holdOut);
    // Saves as the window's buttons do (an update after a backup of the database); prints the error
    // and returns false on failure.
    static bool save(CliContext& ctx, const std::vector<SearchResult>& results, SearchResultSaver::Mode mode,
                     bool kill);
};
