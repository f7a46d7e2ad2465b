#include "history/HistoryMerge.h"

HistoryMerge::Result HistoryMerge::merge(const std::vector<DrawRecord>& stored,
                                         const std::vector<DrawInput>& inputs)
{
    Result result;
    PreviousDraw previous;
    bool inserted = false; // a draw was added before the stored draws still to come
    size_t s = 0;
    const auto passStored = [&] {
        const DrawRecord& draw = stored[s++];
        if (inserted) {
            DrawRecord again = draw;
            DrawDeriver::chain(previous, &again);
            if (again.values != draw.values)
                result.rederived.push_back(std::move(again));
        }
        previous = PreviousDraw::of(draw);
    };
    for (int i = 0; i < int(inputs.size()); ++i) {
        const DrawInput& in = inputs[i];
        while (s < stored.size() && stored[s].issue < in.issue)
            passStored();
        if (s < stored.size() && stored[s].issue == in.issue) {
            result.refused.push_back({i, QStringLiteral("期号%1已经存在，没有保存。").arg(in.issue)});
            continue;
        }
        if (s == 0 && !stored.empty()) {
            result.refused.push_back({i, beforeOldestText(in.issue, stored.front().issue)});
            continue;
        }
        DrawRecord record;
        QString why;
        if (!DrawDeriver::derive(in, previous, &record, &why)) {
            result.refused.push_back({i, why});
            continue;
        }
        previous = PreviousDraw::of(record);
        if (s < stored.size()) {
            ++result.gapFills;
            inserted = true;
        }
        result.added.push_back(std::move(record));
        result.addedFrom.push_back(i);
    }
    // The draws after the last gap filled are chained afresh; the rest keep their columns.
    while (s < stored.size() && inserted)
        passStored();
    return result;
}

QString HistoryMerge::beforeOldestText(const QString& issue, const QString& oldest)
{
    return QStringLiteral("期号%1早于已存的最早一期%2：参数要接着前一期算，历史号码只能补在已存的各期之间"
                          "或接在最新一期之后。")
        .arg(issue, oldest);
}
