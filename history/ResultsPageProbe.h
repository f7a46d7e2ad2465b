#pragma once

#include <QDate>
#include <QString>
#include <QUrl>

struct FetchResult;

// "测试连接" of the online sources: one load of a lottery's results page with n = 1, and what it
// shows in the format the online update reads.
class ResultsPageProbe
{
public:
    // "http://" + province code + host + "/?n=1".
    static QUrl address(const QString& provinceCode, const QString& host);
    // One sentence for the user: how many draws the page lists in the update's format and the
    // newest of them, or why none could be read. True when at least one draw was read.
    static bool describe(const FetchResult& fetched, bool runningCount, const QDate& today, QString* message);
};
