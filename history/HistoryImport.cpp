#include "history/HistoryImport.h"

#include "history/DrawDeriver.h"
#include "history/HistoryStore.h"
#include "history/HistoryTextFile.h"

#include <QSet>

int HistoryImport::importText(HistoryStore* store, const QByteArray& content, int drawsPerDay,
                              QStringList* problems)
{
    QStringList unreadable;
    const auto lines = HistoryTextFile::parse(content, &unreadable);
    int added = 0;
    QString error;
    // Derived from the newest stored draw, again when another program stored draws meanwhile.
    const bool stored = store->appendDerived(
        [&](std::vector<DrawRecord>* records, QString* refusal) {
            QStringList found = unreadable;
            QSet<QString> issues;
            for (const auto& d : store->draws())
                issues.insert(d.issue);
            records->reserve(lines.size());
            PreviousDraw previous = store->lastDrawMemory();
            for (const auto& line : lines) {
                DrawInput in;
                in.issue = line.issue;
                in.numbers = line.numbers;
                in.drawsPerDay = drawsPerDay;
                in.path = EntryPath::Hand;
                DrawRecord r;
                QString why;
                if (!DrawDeriver::derive(in, previous, &r, &why)) {
                    found.append(QStringLiteral("第%1行：%2").arg(line.lineNumber).arg(why));
                    continue;
                }
                if (issues.contains(r.issue)) {
                    found.append(QStringLiteral("第%1行：期号%2已经存在").arg(line.lineNumber).arg(r.issue));
                    continue;
                }
                issues.insert(r.issue);
                previous = PreviousDraw::of(r);
                records->push_back(std::move(r));
            }
            if (!found.isEmpty()) {
                *problems << found;
                refusal->clear();
                return false;
            }
            added = int(records->size());
            return true;
        },
        &error);
    if (!stored) {
        if (!error.isEmpty())
            problems->append(error);
        return -1;
    }
    return added;
}
