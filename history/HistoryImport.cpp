#include "history/HistoryImport.h"

#include "history/DrawDeriver.h"
#include "history/HistoryStore.h"
#include "history/HistoryTextFile.h"

#include <QSet>

int HistoryImport::importText(HistoryStore* store, const QByteArray& content, int drawsPerDay,
                              QStringList* problems)
{
    const auto lines = HistoryTextFile::parse(content, problems);
    QSet<QString> stored;
    for (const auto& d : store->draws())
        stored.insert(d.issue);
    std::vector<DrawRecord> records;
    records.reserve(lines.size());
    PreviousDraw previous = store->lastDrawMemory();
    for (const auto& line : lines) {
        DrawInput in;
        in.issue = line.issue;
        in.numbers = line.numbers;
        in.drawsPerDay = drawsPerDay;
        in.path = EntryPath::Hand;
        DrawRecord r;
        QString error;
        if (!DrawDeriver::derive(in, previous, &r, &error)) {
            problems->append(QStringLiteral("第%1行：%2").arg(line.lineNumber).arg(error));
            continue;
        }
        if (stored.contains(r.issue)) {
            problems->append(QStringLiteral("第%1行：期号%2已经存在").arg(line.lineNumber).arg(r.issue));
            continue;
        }
        stored.insert(r.issue);
        previous = PreviousDraw::of(r);
        records.push_back(std::move(r));
    }
    if (!problems->isEmpty())
        return -1;
    QString error;
    if (!store->append(records, &error)) {
        problems->append(error);
        return -1;
    }
    return int(records.size());
}
