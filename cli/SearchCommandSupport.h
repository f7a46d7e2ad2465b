#pragma once

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

    // Takes --seed X (default: fresh from the clock and the system's entropy), --threads J (default:
    // the machine's cores) and --save append|update out of args.
    static bool takeCommon(QStringList* args, Common* common, QString* error);
    // A comma-separated list of exactly `count` numbers.
    static bool parseNumbers(const QString& text, int count, const QString& option, std::vector<double>* out,
                             QString* error);

    // The header row, one row per result (its five figures, then its chance rate, excess, z and p)
    // and the closing line "tried T qualified Q seconds S".
    static void print(CliContext& ctx, const std::vector<SearchResult>& results, qint64 tried,
                      double seconds);
    // Saves as the window's buttons do; prints the error and returns false on failure.
    static bool save(CliContext& ctx, const std::vector<SearchResult>& results, SearchResultSaver::Mode mode,
                     bool kill);
};
