#include "history/HistoryImport.h"

#include "history/DrawDeriver.h"
#include "history/HistoryMerge.h"
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

QString HistoryImportPlan::formatText() const
{
    QString text = workbookKind.isEmpty()
                       ? HistoryTextReader::formatName(read)
                       : QStringLiteral("%1，工作表“%2”").arg(workbookKind, sheetNames.value(sheet));
    if (!read.layout.isEmpty())
        text += QStringLiteral("（%1）").arg(read.layout);
    return text;
}

HistoryImportSource HistoryImport::source(const QByteArray& bytes)
{
    HistoryImportSource source;
    const WorkbookReader::Kind kind = WorkbookReader::kindOf(bytes);
    if (kind != WorkbookReader::Kind::None) {
        source.workbookKind = kind == WorkbookReader::Kind::Xlsx
                                  ? QStringLiteral("Excel 工作簿（.xlsx）")
                                  : QStringLiteral("旧版 Excel 工作簿（.xls）");
        if (!WorkbookReader::read(bytes, &source.sheets, &source.refusal))
            source.workbookKind.clear();
        return source;
    }
    QString text;
    TextFileCodec::Refusal refusal;
    if (!TextFileCodec::decode(bytes, TextFileCodec::nonChineseTextChars, &text, &refusal))
        source.refusal = TextFileCodec::refusalText(refusal, QStringLiteral("历史号码"));
    else
        source.lines = TextFileCodec::splitLines(text);
    return source;
}

HistoryImportPlan HistoryImport::plan(const HistoryStore& store, const HistoryImportSource& source,
                                      const Options& options)
{
    if (!source.refusal.isEmpty()) {
        HistoryImportPlan refused;
        refused.refusal = source.refusal;
        return refused;
    }
    if (!source.isWorkbook())
        return plan(store, source.lines, options);
    const int sheet = options.sheet < 0 ? 0 : options.sheet;
    QStringList names;
    for (const WorkbookSheet& s : source.sheets)
        names << s.name;
    HistoryImportPlan p;
    if (sheet >= int(source.sheets.size())) {
        p.refusal = QStringLiteral("工作簿里没有第%1个工作表（共有%2个：%3）。")
                        .arg(sheet + 1)
                        .arg(names.size())
                        .arg(names.join(QStringLiteral("、")));
    } else {
        p = plan(store, HistoryTextReader::cellLines(source.sheets[sheet].rows), options);
    }
    p.workbookKind = source.workbookKind;
    p.sheetNames = names;
    p.sheet = sheet;
    return p;
}

HistoryImportPlan HistoryImport::plan(const HistoryStore& store, const QByteArray& bytes,
                                      const Options& options)
{
    return plan(store, source(bytes), options);
}

QString HistoryImport::nothingFoundText(const HistoryImportPlan& plan, bool runningCountLottery)
{
    QString text;
    if (!plan.workbookKind.isEmpty()) {
        text = QStringLiteral("工作表“%1”中没有找到开奖号码。").arg(plan.sheetNames.value(plan.sheet));
        QStringList others = plan.sheetNames;
        if (plan.sheet >= 0 && plan.sheet < others.size())
            others.removeAt(plan.sheet);
        if (!others.isEmpty())
            text += QStringLiteral("工作簿里还有工作表：%1（窗口的预览里可以选择，命令行用 --sheet）。")
                        .arg(others.join(QStringLiteral("、")));
    } else {
        text = QStringLiteral("没有找到开奖号码。");
    }
    text += QStringLiteral("每一期应有期号（例如160121001、20160121001或2016-01-21 001）和三个1到6的号码，"
                           "例如“160121001 356”“160121001,3,5,6”或从开奖网页复制的文字。");
    if (!runningCountLottery)
        text += QStringLiteral("北京快3的流水号期号只在彩种选择为北京快3时识别。");
    return text;
}

HistoryImportPlan HistoryImport::plan(const HistoryStore& store, const QStringList& lines,
                                      const Options& options)
{
    HistoryImportPlan plan;
    plan.read = HistoryTextReader::read(lines, {options.runningCount, options.today});
    if (!plan.read.ambiguity.isEmpty()) {
        plan.refusal = plan.read.ambiguity;
        return plan;
    }
    plan.unread = plan.read.unread;
    const DrawRecord* newest = store.newest();
    plan.baseIssue = newest ? newest->issue : QString();
    plan.generation = store.generation();

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
                                   QStringLiteral("期号%1在文字中出现了几次，开奖号码不同").arg(d.issue),
                                   d.issue});
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
                                       .arg(d.issue, digits(*s), digits(d.numbers)),
                                   d.issue});
        }
    }

    // Issue order is the order the history is kept in (strQQH as text).
    std::stable_sort(fresh.begin(), fresh.end(),
                     [](const TextDraw* a, const TextDraw* b) { return a->issue < b->issue; });
    std::vector<DrawInput> inputs;
    inputs.reserve(fresh.size());
    for (const TextDraw* d : fresh) {
        DrawInput in;
        in.issue = d->issue;
        in.numbers = d->numbers;
        in.drawsPerDay = options.drawsPerDay;
        // Running counts take their date columns from the page as the online update does.
        in.path = d->runningCount ? EntryPath::Online : EntryPath::Hand;
        in.runningCount = d->runningCount;
        in.pageDate = d->date;
        in.lottery = options.lottery;
        inputs.push_back(std::move(in));
    }
    // Each draw chained from the one just before it, stored or new; draws that fill gaps of the
    // history re-chain the stored draws after them.
    HistoryMerge::Result merged = HistoryMerge::merge(store.draws(), inputs);
    for (const auto& [input, why] : merged.refused)
        plan.unread.push_back({fresh[input]->lineNumber, QString(), why, fresh[input]->issue});
    plan.toAdd = std::move(merged.added);
    plan.gapFills = merged.gapFills;
    plan.rederived = std::move(merged.rederived);
    const TextDraw* firstAdded = merged.addedFrom.empty() ? nullptr : fresh[merged.addedFrom.front()];
    const TextDraw* lastAdded = merged.addedFrom.empty() ? nullptr : fresh[merged.addedFrom.back()];
    const auto lineOf = [&](const TextDraw* d) {
        QString text = lines.value(d->lineNumber - 1).trimmed().left(80);
        return QStringLiteral("第%1行“%2”")
            .arg(d->lineNumber)
            .arg(text.replace(QLatin1Char('\t'), QStringLiteral("  ")));
    };
    if (firstAdded) {
        plan.firstLine = lineOf(firstAdded);
        plan.lastLine = lineOf(lastAdded);
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
    // The plan was derived from the snapshot it was made from: draws between stored ones depend
    // on all of it, not only on the newest draw.
    const DrawRecord* newest = store->newest();
    if ((newest ? newest->issue : QString()) != plan.baseIssue || store->generation() != plan.generation) {
        *error = QStringLiteral("历史号码在预览之后改变了，没有导入。请重新导入。");
        return false;
    }
    return store->insert(plan.toAdd, plan.rederived, error);
}

bool HistoryImport::planAndStore(HistoryStore* store, const HistoryImportSource& source,
                                 const Options& options,
                                 const std::function<bool(const HistoryImportPlan&)>& accept,
                                 HistoryImportPlan* plan, QString* error)
{
    // Each new attempt follows a write of another program; a few are plenty.
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        *plan = HistoryImport::plan(*store, source, options);
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
    if (!planAndStore(store, source(content), options, accept, &p, &error)) {
        if (!p.refusal.isEmpty())
            problems->append(p.refusal);
        *problems << p.problems();
        if (!error.isEmpty())
            problems->append(error);
        return -1;
    }
    return int(p.toAdd.size());
}
