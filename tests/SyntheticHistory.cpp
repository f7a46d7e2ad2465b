#include "SyntheticHistory.h"

#include "history/DrawDeriver.h"

#include <QDate>
#include <random>

std::vector<DrawRecord> syntheticDraws(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<DrawRecord> out;
    out.reserve(size_t(std::max(count, 0)));
    PreviousDraw previous;
    for (int i = 0; i < count; ++i) {
        DrawInput in;
        in.issue = QDate(2016, 1, 1).addDays(i / 78).toString("yyMMdd") + QString::asprintf("%03d", i % 78 + 1);
        in.numbers = {int(rng() % 6) + 1, int(rng() % 6) + 1, int(rng() % 6) + 1};
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
