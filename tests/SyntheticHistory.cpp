#include "SyntheticHistory.h"

#include "history/DrawDeriver.h"

#include <QDate>
#include <algorithm>
#include <random>

std::vector<DrawRecord> syntheticDraws(int count, unsigned seed, bool ascending)
{
    std::mt19937 rng(seed);
    std::vector<DrawRecord> out;
    out.reserve(size_t(std::max(count, 0)));
    PreviousDraw previous;
    for (int i = 0; i < count; ++i) {
        DrawInput in;
        in.issue =
            QDate(2016, 1, 1).addDays(i / 78).toString("yyMMdd") + QString::asprintf("%03d", i % 78 + 1);
        in.numbers = {int(rng() % 6) + 1, int(rng() % 6) + 1, int(rng() % 6) + 1};
        if (ascending)
            std::sort(in.numbers.begin(), in.numbers.end());
        in.drawsPerDay = 78;
        DrawRecord r;
        QString error;
        if (!DrawDeriver::derive(in, previous, &r, &error))
            qFatal("synthetic draw refused: %s", qPrintable(error));
        previous = PreviousDraw::of(r);
        out.push_back(r);
    }
    return out;
}

std::vector<DrawRecord> drawsWithNumbers(const std::vector<std::array<int, 3>>& draws)
{
    std::vector<DrawRecord> records(draws.size());
    for (std::size_t i = 0; i < draws.size(); ++i) {
        records[i].issue = QString::number(160121001 + qulonglong(i));
        for (int p = 0; p < 3; ++p)
            records[i].values[p] = static_cast<int16_t>(draws[i][p]);
    }
    return records;
}
