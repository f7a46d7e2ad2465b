#include "history/OnlineHistoryUpdate.h"

#include "history/DrawDeriver.h"
#include "history/HistoryStore.h"
#include "history/PageFetcher.h"
#include "history/PageText.h"
#include "history/ResultsPageAddress.h"
#include "history/ResultsPageParser.h"
#include "history/Workspace.h"

#include <QHash>

#include <algorithm>

namespace {

QDate dateOf(const DrawRecord& draw)
{
    return QDate(draw.value("NF"), draw.value("YF"), draw.value("RQ"));
}

// The rejected draws named in a message; a long list is cut short.
QString rejectedList(const QStringList& reasons)
{
    constexpr int kShown = 10;
    QString text = reasons.mid(0, kShown).join(QStringLiteral("；"));
    if (reasons.size() > kShown)
        text += QStringLiteral("等%1期").arg(reasons.size());
    return text;
}

} // namespace

OnlineHistoryUpdate::OnlineHistoryUpdate(const std::vector<DrawRecord>& stored, int lotteryIndex,
                                         int searchDays, const QDate& today)
    : m_lottery(LotteryTable::orEmpty(lotteryIndex)), m_runningCount(lotteryIndex == LotteryTable::kBeijing),
      m_searchDays(validDays(searchDays)), m_today(today),
      m_base(ResultsPageAddress::base(m_lottery.provinceCode, ResultsPageAddress::defaultHost())),
      m_timeoutMs(PageFetcher::kDefaultTimeoutMs)
{
    m_storedCount = int(stored.size());
    if (!stored.empty()) {
        // A stored date that is not a date cannot be judged old; such a history is kept.
        const QDate oldest = dateOf(stored.front());
        m_replace = oldest.isValid() && oldest.daysTo(today) > m_searchDays;
    }
    if (stored.empty() || m_replace) {
        m_daysToFetch = m_searchDays;
        return;
    }
    const DrawRecord& newest = stored.back();
    m_newestIssue = newest.issue;
    m_newestDate = dateOf(newest);
    m_previous = PreviousDraw::of(newest);
    m_daysToFetch =
        m_newestDate.isValid() ? int(std::max<qint64>(1, m_newestDate.daysTo(today) + 1)) : m_searchDays;
}

OnlineHistoryUpdate OnlineHistoryUpdate::plan(Workspace& workspace, const OnlineUpdateOptions& options)
{
    const QDate today = options.today.isValid() ? options.today : QDate::currentDate();
    const int days = options.searchDays > 0 ? options.searchDays : workspace.settings().searchDays();
    OnlineHistoryUpdate update(workspace.history().draws(), workspace.lotteryIndex(), days, today);
    update.setBase(options.baseUrl.isEmpty()
                       ? ResultsPageAddress::base(workspace.lottery().provinceCode,
                                                  ResultsPageAddress::host(workspace.settings()))
                       : options.baseUrl);
    if (options.timeoutMs > 0)
        update.setTimeout(options.timeoutMs);
    Workspace* ws = &workspace;
    update.setBeforeReplace(
        [ws](QString* error) { return ws->backupBefore(QStringLiteral("开奖历史在线更新"), error); });
    return update;
}

QUrl OnlineHistoryUpdate::pageUrl() const
{
    return ResultsPageAddress::page(m_base, requestedDraws());
}

bool OnlineHistoryUpdate::issuesToSearch(const ResultsPageParser& parser, QStringList* issues,
                                         QString* error) const
{
    const int perDay = m_lottery.drawsPerDay;
    if (m_runningCount) {
        // 北京快3 counts its draws on without a date: the range runs from the draw after the
        // newest stored one (or the first listed) over draws per day × days to fetch.
        qlonglong start = 0;
        if (m_newestIssue.isEmpty()) {
            // A page of cells lists the issue apart from its numbers: its first issue is the
            // oldest the reader finds.
            qlonglong oldest = -1;
            if (parser.listedDraws().empty())
                for (const PageDraw& d : parser.textDraws())
                    if (d.problem.isEmpty() && (oldest < 0 || d.issue.toLongLong() < oldest))
                        oldest = d.issue.toLongLong();
            if (oldest >= 0)
                start = oldest;
            else if (!parser.firstRunningIssue(&start, error))
                return false;
        } else {
            bool ok = false;
            start = m_newestIssue.toLongLong(&ok) + 1;
            if (!ok) {
                *error =
                    QStringLiteral("最新一期的期号“%1”不是数字，无法确定要更新的期号。").arg(m_newestIssue);
                return false;
            }
        }
        const qlonglong end = start + qlonglong(perDay) * m_daysToFetch;
        for (qlonglong i = start; i <= end; ++i)
            *issues << QString::number(i);
        return true;
    }
    // Date-numbered issues: from the draw after the newest stored one (or the first draw of the
    // day the days setting back) to today's last draw. Only issues that can exist are searched:
    // sequence numbers 1 to draws per day on real dates.
    QDate day;
    int sequence = 1;
    if (m_newestIssue.isEmpty()) {
        day = m_today.addDays(-m_searchDays);
    } else {
        QString why;
        if (!DrawDeriver::checkDatedIssue(m_newestIssue, &why)) {
            *error = QStringLiteral("最新一期的期号无法识别（%1），无法确定要更新的期号。").arg(why);
            return false;
        }
        day = QDate(2000 + m_newestIssue.left(2).toInt(), m_newestIssue.mid(2, 2).toInt(),
                    m_newestIssue.mid(4, 2).toInt());
        sequence = m_newestIssue.right(3).toInt() + 1;
    }
    for (; day <= m_today; day = day.addDays(1), sequence = 1) {
        const QString prefix = day.toString(QStringLiteral("yyMMdd"));
        for (; sequence <= perDay; ++sequence)
            *issues << prefix + QStringLiteral("%1").arg(sequence, 3, 10, QChar('0'));
    }
    return true;
}

namespace {

QString numbersText(const std::array<int, 3>& n)
{
    return QStringLiteral("%1%2%3").arg(n[0]).arg(n[1]).arg(n[2]);
}

// A reason as the list of rejected draws gives it: beginning with the issue.
QString withIssue(const QString& issue, const QString& why)
{
    return why.startsWith(QStringLiteral("期号")) ? why : QStringLiteral("期号%1：%2").arg(issue, why);
}

} // namespace

bool OnlineHistoryUpdate::readPage(const QString& pageText, QString* error)
{
    m_newDraws.clear();
    m_rejected.clear();
    m_firstIssue.clear();
    m_lastIssue.clear();
    ResultsPageParser parser(pageText, m_runningCount, m_today);
    QStringList issues;
    if (!issuesToSearch(parser, &issues, error))
        return false;
    if (!issues.isEmpty()) {
        m_firstIssue = issues.first();
        m_lastIssue = issues.last();
    }

    // Every reading of each issue: the results page layout's (the numbers right after the issue)
    // and the import reader's (numbers in cells of their own, issues in other forms).
    const std::vector<PageDraw> listed = parser.listedDraws();
    QHash<QString, std::vector<const PageDraw*>> readings;
    for (const PageDraw& d : listed)
        readings[d.issue].push_back(&d);
    QHash<QString, const PageDraw*> textRead, textProblem;
    for (const PageDraw& d : parser.textDraws()) {
        if (d.problem.isEmpty()) {
            readings[d.issue].push_back(&d);
            if (!textRead.contains(d.issue))
                textRead.insert(d.issue, &d);
        } else if (!textProblem.contains(d.issue)) {
            textProblem.insert(d.issue, &d);
        }
    }
    // Whether the page is in the results page layout (some draw read right after its issue):
    // only then does the order of the finds matter.
    const bool pageLayout = !listed.empty();

    PreviousDraw previous = m_replace ? PreviousDraw{} : m_previous;
    int found = 0;
    for (const QString& issue : issues) {
        PageDraw atIssue;
        const bool inLayout = parser.find(issue, &atIssue);
        const bool goodInLayout = inLayout && atIssue.problem.isEmpty();
        const PageDraw* text = textRead.value(issue);
        if (!inLayout && !text && !textProblem.contains(issue))
            continue;
        ++found;
        // One issue listed with different numbers: which is right cannot be told.
        QStringList different;
        for (const PageDraw* r : readings.value(issue))
            if (!different.contains(numbersText(r->numbers)))
                different << numbersText(r->numbers);
        if (goodInLayout && !different.contains(numbersText(atIssue.numbers)))
            different << numbersText(atIssue.numbers);
        if (different.size() > 1) {
            m_rejected << QStringLiteral("期号%1：页面上列出了几次，开奖号码不同（%2），没有保存")
                              .arg(issue, different.join(QStringLiteral("、")));
            continue;
        }
        const PageDraw* chosen = goodInLayout ? &atIssue : text;
        if (!chosen) {
            // In a page of cells the reader says best why the numbers are missing.
            const PageDraw* why = inLayout && (pageLayout || !textProblem.contains(issue))
                                      ? &atIssue
                                      : textProblem.value(issue);
            m_rejected << withIssue(issue, why->problem);
            continue;
        }
        DrawInput input;
        input.issue = issue;
        input.numbers = chosen->numbers;
        input.drawsPerDay = m_lottery.drawsPerDay;
        input.path = EntryPath::Online;
        input.runningCount = m_runningCount;
        input.pageDate = chosen->date;
        input.lottery = m_lottery.caption;
        DrawRecord record;
        QString why;
        if (!DrawDeriver::derive(input, previous, &record, &why)) {
            m_rejected << withIssue(issue, why);
            continue;
        }
        previous = PreviousDraw::of(record);
        m_newDraws.push_back(std::move(record));
    }
    for (const QString& issue : issuesBeyondDrawsPerDay(parser)) {
        ++found;
        m_rejected << QStringLiteral("期号%1：%2每天只有%3期，页面上的这一期不属于它")
                          .arg(issue, m_lottery.caption)
                          .arg(m_lottery.drawsPerDay);
    }

    if (pageLayout && parser.listedOutOfOrder()) {
        m_newDraws.clear();
        m_rejected.clear();
        *error = QStringLiteral("页面上的开奖号码不是按期号从旧到新排列的，无法完整读取。");
        return false;
    }
    // A page that lists none of the expected issues is a wrong page, unless it still shows the
    // newest stored draw: then there is simply nothing new yet.
    if (found == 0 && !issues.isEmpty() && !(!m_newestIssue.isEmpty() && parser.contains(m_newestIssue))) {
        *error =
            parser.textAmbiguity().isEmpty()
                ? QStringLiteral("页面中没有找到期号%1到%2的开奖号码（网络页面不对，或者服务器还没有更新）。")
                      .arg(m_firstIssue, m_lastIssue)
                : parser.textAmbiguity();
        return false;
    }
    // Draws were listed but not one could be stored: the update failed, whatever it found.
    if (found > 0 && m_newDraws.empty()) {
        *error = QStringLiteral("页面上列出了%1期新的开奖号码，但一期也不能保存：%2")
                     .arg(m_rejected.size())
                     .arg(rejectedList(m_rejected));
        m_rejected.clear();
        return false;
    }
    return true;
}

QStringList OnlineHistoryUpdate::issuesBeyondDrawsPerDay(const ResultsPageParser& parser) const
{
    QStringList beyond;
    if (m_runningCount || m_firstIssue.isEmpty())
        return beyond;
    const QString firstDay = m_firstIssue.left(6);
    const QString lastDay = m_today.toString(QStringLiteral("yyMMdd"));
    std::vector<PageDraw> listed = parser.listedDraws();
    listed.insert(listed.end(), parser.textDraws().begin(), parser.textDraws().end());
    for (const PageDraw& d : listed) {
        const QString day = d.issue.left(6);
        if (d.issue.size() == 9 && day >= firstDay && day <= lastDay &&
            d.issue.right(3).toInt() > m_lottery.drawsPerDay && !beyond.contains(d.issue))
            beyond << d.issue;
    }
    return beyond;
}

bool OnlineHistoryUpdate::store(HistoryStore* history, QString* error) const
{
    if (m_newDraws.empty())
        return true;
    if (m_replace && m_storedCount > 0 && m_beforeReplace && !m_beforeReplace(error))
        return false;
    return history->replaceAndAppend(m_replace, m_newDraws, error);
}

bool OnlineHistoryUpdate::finish(const FetchResult& fetched, HistoryStore* history, QString* message)
{
    m_failedAtSource = false;
    if (fetched.status != FetchResult::Ok) {
        m_failedAtSource = fetched.status != FetchResult::Cancelled;
        *message = failureMessage(fetched.error);
        return false;
    }
    QString error;
    if (!readPage(PageText::fromHtml(fetched.body, fetched.contentType), &error)) {
        m_failedAtSource = true;
        *message = failureMessage(error);
        return false;
    }
    if (!store(history, &error)) {
        *message = failureMessage(error);
        return false;
    }
    *message = summary();
    return true;
}

bool OnlineHistoryUpdate::runBlocking(HistoryStore* history, QString* message)
{
    PageFetcher fetcher;
    fetcher.setTimeout(m_timeoutMs);
    return finish(fetcher.fetch(pageUrl()), history, message);
}

QString OnlineHistoryUpdate::summary() const
{
    const int added = int(m_newDraws.size());
    const int rejected = int(m_rejected.size());
    if (added == 0 && rejected == 0)
        return QStringLiteral("没有找到新的开奖号码，历史号码没有任何改动。");
    QString text = QStringLiteral("在线更新完成：新增%1期，拒绝%2期。").arg(added).arg(rejected);
    if (added > 0 && m_replace)
        text += QStringLiteral("原有历史号码已超过%1天，已替换为新下载的号码。").arg(m_searchDays);
    if (rejected > 0)
        text += QStringLiteral("没有保存的开奖号码：%1。").arg(rejectedList(m_rejected));
    if (added == 0)
        text += QStringLiteral("历史号码没有任何改动。");
    return text;
}

QString OnlineHistoryUpdate::failureMessage(const QString& reason)
{
    QString text = reason.trimmed();
    if (!text.isEmpty() && !text.endsWith(QStringLiteral("。")))
        text += QStringLiteral("。");
    return text + QStringLiteral("在线更新没有完成，历史号码没有任何改动。");
}
