// The history text import into a scratch database that already holds a fixed history. The first
// byte picks the lottery (its draws per day, 北京快3 reads running counts) and, in its top bit, the
// way in: the all-or-nothing import, or the plan the preview shows stored as the window and
// `--skip-bad` store it (unread lines left out). The rest is the file, read in every format the
// reader recognises (own export, CSV/TSV table, results page text, workbooks).
#include "FuzzSupport.h"

#include "history/HistoryImport.h"
#include "history/HistoryStore.h"
#include "history/HistoryTextReader.h"
#include "history/LotteryTable.h"
#include "store/Database.h"

#include <QSet>

namespace {

// A fixed day keeps dates without a year the same in every run.
const QDate kToday(2016, 6, 15);

void checkNumbers(const std::vector<DrawRecord>& draws)
{
    for (const DrawRecord& d : draws)
        for (int p = 1; p <= 3; ++p)
            if (d.number(p) < 1 || d.number(p) > 6)
                FuzzSupport::fail("stored a number out of 1..6", d.issue);
}

// What the reader returns holds together whatever the bytes: draws of numbers 1..6 on lines of
// the text, unread lines with a reason.
void checkRead(const HistoryTextReader::Result& read, qsizetype lineCount)
{
    for (const TextDraw& d : read.draws) {
        if (d.lineNumber < 1 || d.lineNumber > lineCount)
            FuzzSupport::fail("draw on a line outside the text", d.issue);
        if (d.issue.isEmpty())
            FuzzSupport::fail("draw without an issue");
        for (int n : d.numbers)
            if (n < 1 || n > 6)
                FuzzSupport::fail("read a number out of 1..6", d.issue);
    }
    for (const UnreadLine& u : read.unread)
        if (u.reason.isEmpty())
            FuzzSupport::fail("unread line without a reason");
}

// The plan as the preview shows it: new issues in order, none stored.
void checkPlan(const HistoryImportPlan& plan, const HistoryStore& store)
{
    if (!plan.refusal.isEmpty()) {
        if (!plan.toAdd.empty() || !plan.unread.empty() || plan.alreadyStored != 0)
            FuzzSupport::fail("refused plan with draws", plan.refusal);
        return;
    }
    QSet<QString> stored;
    for (const DrawRecord& d : store.draws())
        stored.insert(d.issue);
    // New issues in order, none before the oldest stored draw (gaps between stored ones are filled).
    QString previous = store.draws().empty() ? QString() : store.draws().front().issue;
    int gaps = 0;
    for (const DrawRecord& d : plan.toAdd) {
        if (stored.contains(d.issue))
            FuzzSupport::fail("plan adds a stored issue", d.issue);
        if (!previous.isEmpty() && !(previous < d.issue))
            FuzzSupport::fail("plan adds issues out of order", previous + QLatin1Char(' ') + d.issue);
        previous = d.issue;
        gaps += !plan.baseIssue.isEmpty() && d.issue < plan.baseIssue;
    }
    if (gaps != plan.gapFills)
        FuzzSupport::fail("plan counts its gap fills wrongly");
    checkNumbers(plan.toAdd);
    for (const UnreadLine& u : plan.unread)
        if (u.reason.isEmpty() || u.lineNumber < 1)
            FuzzSupport::fail("unread line without a reason or a line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::initialise();
    if (size < 1)
        return 0;
    static bool ready = false;
    if (!ready) {
        FuzzSupport::resetScratchDatabase();
        ready = true;
    }
    Database& db = FuzzSupport::scratchDatabase();
    const int lottery = (data[0] & 0x7f) % LotteryTable::kCount;
    const bool keepReadable = (data[0] & 0x80) != 0;
    const QByteArray file(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    HistoryImport::Options options;
    options.drawsPerDay = LotteryTable::at(lottery).drawsPerDay;
    options.runningCount = lottery == LotteryTable::kBeijing;
    options.today = kToday;

    // The lenient reading the window's preview of a pasted text starts from.
    const HistoryTextReader::Result lenient = HistoryTextReader::read(file, {options.runningCount, kToday});
    // An upper bound of the lines: every line end is a CR, an LF or a CR LF.
    const qsizetype lineBound = file.count('\n') + file.count('\r') + 1;
    checkRead(lenient, lineBound);

    HistoryStore store(&db);
    QString error;
    if (!store.reload(&error))
        FuzzSupport::fail("reload", error);
    const std::size_t before = store.draws().size();

    std::size_t added = 0;
    if (keepReadable) {
        const HistoryImportPlan plan = HistoryImport::plan(store, file, options);
        checkPlan(plan, store);
        // A workbook's rows are no lines of its bytes.
        checkRead(plan.read, !plan.refusal.isEmpty() ? 0 : plan.workbookKind.isEmpty() ? lineBound : 1048576);
        // Nothing else writes the scratch database, so a plan that holds together is stored.
        if (!HistoryImport::store(&store, plan, &error))
            FuzzSupport::fail("plan not stored", error);
        added = plan.toAdd.size();
        HistoryStore reread(&db);
        if (!reread.reload(&error))
            FuzzSupport::fail("reload after import", error);
        if (reread.draws().size() != before + added)
            FuzzSupport::fail("stored plan changed the count by another number");
        QSet<QString> issues;
        for (const DrawRecord& d : reread.draws())
            issues.insert(d.issue);
        for (const DrawRecord& d : plan.toAdd)
            if (!issues.contains(d.issue))
                FuzzSupport::fail("planned draw not stored", d.issue);
        checkNumbers(reread.draws());
    } else {
        QStringList problems;
        const int count = HistoryImport::importText(&store, file, options.drawsPerDay, &problems);
        HistoryStore reread(&db);
        if (!reread.reload(&error))
            FuzzSupport::fail("reload after import", error);
        if (count < 0) {
            if (problems.isEmpty())
                FuzzSupport::fail("refused without a reason");
            if (reread.draws().size() != before)
                FuzzSupport::fail("refused import changed the history");
            return 0;
        }
        if (!problems.isEmpty())
            FuzzSupport::fail("accepted with problems", problems.join('\n'));
        if (reread.draws().size() != before + std::size_t(count))
            FuzzSupport::fail("accepted import stored a different count");
        checkNumbers(reread.draws());
        added = std::size_t(count);
    }
    // Back to the fixed history for the next input.
    if (added > 0)
        FuzzSupport::resetScratchDatabase();
    return 0;
}
