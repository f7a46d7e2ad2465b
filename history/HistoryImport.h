#pragma once

#include <QString>
#include <QStringList>

class HistoryStore;

// Appends the draws of a history text file as if typed by hand, chained draw by draw from the
// newest stored draw. All or nothing: any bad line appends nothing and is named in `problems`.
class HistoryImport
{
public:
    static int importText(HistoryStore* store, const QByteArray& content, int drawsPerDay,
                          QStringList* problems);
};
