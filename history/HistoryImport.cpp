#include "history/HistoryImport.h"

#include "history/DrawDeriver.h"
#include "history/HistoryStore.h"
#include "store/TextFileCodec.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

std::array<int, 3> numbersOf(const DrawRecord& d)
{
    return {d.number(1), d.number(2), d.number(3)};
}

QString digits(const std::array<int, 3>& n)
{
    return QStringLiteral("%1%2%3").arg(n[0]).arg(n[1]).arg(n[2]);
}

} // namespace

QStringList HistoryImportPlan::problems() const
{
    QStringList out;
    for (const UnreadLine& u : unread)
        out << QStringLiteral("第%1行：%2").arg(u.lineNumber).arg(u.reason);
    return out;
}

HistoryImportPlan HistoryImport::plan(const HistoryStore& store, const QByteArray& bytes,
                                      const Options& options)
{
    QString text;
    TextFileCodec::Refusal refusal;
    if (!TextFileCodec::decode(bytes, TextFileCodec::nonChineseTextChars, &text, &refusal)) {
        HistoryImportPlan refused;
        refused.refusal = TextFileCodec::refusalText(refusal, QStringLiteral("历史号码"));
        return refused;
    }
    return plan(store, TextFileCodec::splitLines(text), options);
}

HistoryImportPlan HistoryImport::plan(const HistoryStore& store, const QStringList& lines,
                                      const Options& options)
{
    HistoryImportPlan plan;
    plan.read = HistoryTextReader::read(lines, {options.runningCount, options.today});
    plan.unread = plan.read.unread;
    const DrawRecord* newest = store.newest();
    plan.baseIssue = newest ? newest->issue : QString();

    QHash<QString, std::array<int, 3>> stored;
    for (const DrawRecord& d : store.draws())
        stored.insert(d.issue, numbersOf(d));

    // One draw per issue: repeats with the same numbers are dropped (pages often show the newest
    // draw twice); an issue listed with different numbers is refused on all its lines.
    QHash<QString, size_t> firstOf;
    QSet<QString> conflicting;
    for (size_t i = 0; i < plan.read.draws.size(); ++i) {
        const TextDraw& d = plan.read.draws[i];
        const auto it = firstOf.constFind(d.issue);
        if (it == firstOf.cend())
            firstOf.insert(d.issue, i);
        else if (plan.read.draws[*it].numbers != d.numbers)
            conflicting.insert(d.issue);
    }
    std::vector<const TextDraw*> fresh;
    for (size_t i = 0; i < plan.read.draws.size(); ++i) {
        const TextDraw& d = plan.read.draws[i];
        if (conflicting.contains(d.issue)) {
            plan.unread.push_back({d.lineNumber, QString(),
                                   QStringLiteral("期号%1在文字中出现了几次，开奖号码不同").arg(d.issue)});
            continue;
        }
        if (firstOf.value(d.issue) != i)
            continue;
        const auto s = stored.constFind(d.issue);
        if (s == stored.cend()) {
            fresh.push_back(&d);
        } else if (*s == d.numbers) {
            ++plan.alreadyStored;
        } else {
            plan.unread.push_back({d.lineNumber, QString(),
                                   QStringLiteral("期号%1已经存在，已存的开奖号码是%2，这里是%3")
                                       .arg(d.issue, digits(*s), digits(d.numbers))});
        }
    }

    // Issue order is the order the history is kept in (strQQH as text).
    std::stable_sort(fresh.begin(), fresh.end(),
                     [](const TextDraw* a, const TextDraw* b) { return a->issue < b->issue; });
    PreviousDraw previous = store.lastDrawMemory();
    for (const TextDraw* d : fresh) {
        if (!plan.baseIssue.isEmpty() && d->issue < plan.baseIssue) {
            plan.unread.push_back(
                {d->lineNumber, QString(),
                 QStringLiteral("期号%1早于已存的最新一期%2：历史号码只能接在最新一期之后添加")
                     .arg(d->issue, plan.baseIssue)});
            continue;
        }
        DrawInput in;
        in.issue = d->issue;
        in.numbers = d->numbers;
        in.drawsPerDay = options.drawsPerDay;
        // Running counts take their date columns from the page as the online update does.
        in.path = d->runningCount ? EntryPath::Online : EntryPath::Hand;
        in.runningCount = d->runningCount;
        in.pageDate = d->date;
        DrawRecord record;
        QString why;
        if (!DrawDeriver::derive(in, previous, &record, &why)) {
            plan.unread.push_back({d->lineNumber, QString(), why});
            continue;
        }
        previous = PreviousDraw::of(record);
        plan.toAdd.push_back(std::move(record));
    }

    // The line texts of refusals found after reading.
    for (UnreadLine& u : plan.unread)
        if (u.text.isEmpty() && u.lineNumber >= 1 && u.lineNumber <= lines.size())
            u.text = lines[u.lineNumber - 1].trimmed().left(80);
    std::stable_sort(plan.unread.begin(), plan.unread.end(),
                     [](const UnreadLine& a, const UnreadLine& b) { return a.lineNumber < b.lineNumber; });
    return plan;
}

bool HistoryImport::store(HistoryStore* store, const HistoryImportPlan& plan, QString* error)
{
    if (plan.toAdd.empty())
        return true;
    const DrawRecord* newest = store->newest();
    if ((newest ? newest->issue : QString()) != plan.baseIssue) {
        *error = QStringLiteral("历史号码在预览之后改变了，没有导入。请重新导入。");
        return false;
    }
    return store->append(plan.toAdd, error);
}

bool HistoryImport::planAndStore(HistoryStore* store, const QByteArray& bytes, const Options& options,
                                 const std::function<bool(const HistoryImportPlan&)>& accept,
                                 HistoryImportPlan* plan, QString* error)
{
    // Each new attempt follows a write of another program; a few are plenty.
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        *plan = HistoryImport::plan(*store, bytes, options);
        if (!accept(*plan))
            return false;
        if (HistoryImport::store(store, *plan, error))
            return true;
        if (!store->changedElsewhere() || attempt == kAttempts)
            return false;
        error->clear();
    }
}

int HistoryImport::importText(HistoryStore* store, const QByteArray& content, int drawsPerDay,
                              QStringList* problems)
{
    Options options;
    options.drawsPerDay = drawsPerDay;
    HistoryImportPlan p;
    QString error;
    const auto accept = [](const HistoryImportPlan& plan) {
        return plan.refusal.isEmpty() && plan.unread.empty();
    };
    if (!planAndStore(store, content, options, accept, &p, &error)) {
        if (!p.refusal.isEmpty())
            problems->append(p.refusal);
        *problems << p.problems();
        if (!error.isEmpty())
            problems->append(error);
        return -1;
    }
    return int(p.toAdd.size());
}
