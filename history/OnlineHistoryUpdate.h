#pragma once

#include "history/DrawRecord.h"
#include "history/LotteryTable.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <vector>

class HistoryStore;
class ResultsPageParser;
class Workspace;
struct FetchResult;

// What the caller may fix for one update; the defaults are those of the window.
struct OnlineUpdateOptions
{
    QString baseUrl;    // replaces "http://" + province code + results host; empty: from the settings
    QDate today;        // invalid: the system date
    int searchDays = 0; // 0: the setting "IniSerchDay"
    int timeoutMs = 0;  // 0: the default time bound of the page load
};

// One online update of the draw history, from planning the page request to storing the draws.
// Nothing is written before a page has loaded and been read: the stale draws (when the oldest
// stored draw is older than the days setting) are removed and the new ones added in one
// transaction, so an update that fails or is cancelled leaves the history as it was.
class OnlineHistoryUpdate
{
public:
    static constexpr int kMinDays = 2;
    static constexpr int kMaxDays = 10;
    static constexpr int kDefaultDays = 6;
    // A stored days setting out of 2..10 counts as the default.
    static int validDays(int days) { return days >= kMinDays && days <= kMaxDays ? days : kDefaultDays; }

    // Plans the update of `stored` (ascending issue order) for the lottery on `today`.
    OnlineHistoryUpdate(const std::vector<DrawRecord>& stored, int lotteryIndex, int searchDays,
                        const QDate& today);

    // Plans the update of the workspace's history and lottery with the options' overrides: the
    // days setting "IniSerchDay", the system date and the results host "ResultsHost".
    static OnlineHistoryUpdate plan(Workspace& workspace, const OnlineUpdateOptions& options);

    // The oldest stored draw is more than the days setting old: the history is fetched anew.
    bool replacesStored() const { return m_replace; }
    // How many stored draws a good page replaces (0 unless replacesStored()).
    int storedDrawsReplaced() const { return m_replace ? m_storedCount : 0; }
    int searchDays() const { return m_searchDays; }
    int daysToFetch() const { return m_daysToFetch; }
    // The value of the page's query "n": draws per day × days to fetch.
    int requestedDraws() const { return m_lottery.drawsPerDay * m_daysToFetch; }
    // The page address: base + "/?n=" + requestedDraws(); the base defaults to "http://" +
    // province code + the default results host.
    void setBase(const QString& base) { m_base = base; }
    QUrl pageUrl() const;
    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int timeout() const { return m_timeoutMs; }

    // Reads the new draws from the text of the loaded page, derived and chained draw by draw
    // from the newest stored draw (or from none when the history is replaced). Draws listed for a
    // day of the range with a sequence number beyond the lottery's draws per day are rejected with
    // the reason. False, with the reason, when the page is not usable: none of the expected
    // issues, or the draws found are not in order (listed newest first).
    bool readPage(const QString& pageText, QString* error);
    // Issues searched by the last readPage, first and last (empty when none).
    const QString& firstIssue() const { return m_firstIssue; }
    const QString& lastIssue() const { return m_lastIssue; }
    const std::vector<DrawRecord>& newDraws() const { return m_newDraws; }
    const QStringList& rejected() const { return m_rejected; } // one reason per rejected draw

    // Runs before stored draws are replaced; false (with the reason) stores nothing. plan() sets
    // the workspace's backup here.
    void setBeforeReplace(std::function<bool(QString* error)> hook) { m_beforeReplace = std::move(hook); }
    // Removes the stale draws and adds the new ones, in one transaction. Writes nothing when no
    // draw was read.
    bool store(HistoryStore* history, QString* error) const;

    // Reads and stores a loaded page. Returns false with failureMessage() of the reason in
    // `message` (nothing changed); on success `message` is summary().
    bool finish(const FetchResult& fetched, HistoryStore* history, QString* message);
    // After finish() failed: the page could not be loaded or was not a usable results page (as
    // opposed to a cancel or a database failure), so the source may be set wrong.
    bool failedAtSource() const { return m_failedAtSource; }
    // The whole update without a window: load the page (waiting in a local event loop), then
    // finish().
    bool runBlocking(HistoryStore* history, QString* message);

    // After a successful update: how many draws were added and rejected, and why.
    QString summary() const;
    // After a failed or cancelled one: the reason and that nothing was changed.
    static QString failureMessage(const QString& reason);

private:
    bool issuesToSearch(const ResultsPageParser& parser, QStringList* issues, QString* error) const;
    // Draws the page lists for a day of the range beyond the lottery's draws per day.
    QStringList issuesBeyondDrawsPerDay(const ResultsPageParser& parser) const;

    Lottery m_lottery;
    bool m_runningCount = false;
    int m_searchDays = kDefaultDays;
    QDate m_today;
    QString m_base;
    int m_timeoutMs = 0;
    bool m_replace = false;
    int m_storedCount = 0;
    int m_daysToFetch = 0;
    bool m_failedAtSource = false;
    QString m_newestIssue; // empty when nothing stored (or replaced)
    QDate m_newestDate;
    PreviousDraw m_previous;

    QString m_firstIssue;
    QString m_lastIssue;
    std::vector<DrawRecord> m_newDraws;
    QStringList m_rejected;
    std::function<bool(QString* error)> m_beforeReplace;
};
