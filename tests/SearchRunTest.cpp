#include "SearchTestSupport.h"
#include "TestSupport.h"

#include "backtest/FormulaEquivalence.h"
#include "formula/FormulaTableStore.h"
#include "formula/FormulaTextFile.h"
#include "history/HistoryColumns.h"
#include "history/Workspace.h"
#include "search/SchemeSearch.h"
#include "search/SearchResultExport.h"
#include "search/SearchResultSaver.h"
#include "search/SearchRun.h"

#include <QFile>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <set>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

const std::vector<DrawRecord>& draws()
{
    static const std::vector<DrawRecord> d = searchTestDraws(500, 21);
    return d;
}

// Kill formulas of the units right at least 86 % of the time (weighted): a few in a hundred qualify.
QualificationRanges someQualify()
{
    return {{86, 100, 0, 32768, 0, 32768, 0, 32768, 0, 32768}};
}

QualificationRanges allQualify()
{
    return {{-1, 101, 0, 32768, 0, 32768, 0, 32768, 0, 32768}};
}

SearchRunConfig config(const QualificationRanges& ranges, int threads, std::uint64_t seed = 17)
{
    SearchRunConfig c;
    c.evaluator =
        std::make_shared<CandidateEvaluator>(draws(), SearchRules{FormulaKind{1, true}, true, 300, true});
    c.generator = {8, false, 0};
    c.ranges = ranges;
    c.seed = seed;
    c.threads = threads;
    return c;
}

// The same candidates judged one by one, in order: the try number of each qualified candidate.
std::vector<qint64> qualifyingTries(const SearchRunConfig& c, qint64 tries)
{
    std::vector<qint64> out;
    SearchCandidate candidate;
    for (qint64 block = 0; block * SearchRun::kBlockTries < tries; ++block) {
        FormulaGenerator g(c.seed, (c.stream << 40) ^ std::uint64_t(block));
        for (int i = 0; i < SearchRun::kBlockTries && block * SearchRun::kBlockTries + i < tries; ++i) {
            g.next(c.generator, &candidate);
            if (c.ranges.admits(c.evaluator->evaluate(candidate)))
                out.push_back(block * SearchRun::kBlockTries + i);
        }
    }
    return out;
}

struct RunOutcome
{
    std::vector<SearchResult> results;
    SearchRun::Progress progress;
};

RunOutcome runToEnd(const SearchRunConfig& c)
{
    SearchRun run(c);
    run.start();
    run.wait();
    return {run.takeResults(), run.progress()};
}

QStringList codes(const std::vector<SearchResult>& results)
{
    QStringList out;
    for (const SearchResult& r : results)
        out << r.code;
    return out;
}

SearchResult result(FormulaKind kind, const char* code, const char* chinese)
{
    return {kind, true, QString::fromLatin1(code), QString::fromUtf8(chinese), {}, {}, {}};
}

struct OpenWorkspace : TempWorkspace
{
    std::vector<FormulaRecord> table(FormulaKind kind)
    {
        std::vector<FormulaRecord> out;
        QString error;
        EXPECT_TRUE(FormulaTableStore(&ws.database()).loadTable(kind, &out, &error)) << error.toStdString();
        return out;
    }
};

} // namespace

TEST(SearchRun, TriesExactlyTheAskedNumberAndQualifiesAsOneByOne)
{
    SearchRunConfig c = config(someQualify(), 2);
    c.maxTries = 3000;
    const RunOutcome out = runToEnd(c);
    const std::vector<qint64> expected = qualifyingTries(c, 3000);
    EXPECT_EQ(out.progress.tried, 3000);
    EXPECT_TRUE(out.progress.finished);
    ASSERT_EQ(out.results.size(), expected.size());
    EXPECT_GT(expected.size(), 10u);
    EXPECT_EQ(out.progress.qualified, int(expected.size()));
    for (const SearchResult& r : out.results) {
        EXPECT_EQ(r.kind, (FormulaKind{1, true}));
        EXPECT_TRUE(r.kill);
        EXPECT_TRUE(r.chinese.startsWith(QStringLiteral("[个位单选杀]")));
        EXPECT_TRUE(someQualify().admits(r.stats));
    }
}

TEST(SearchRun, AutoStopEndsWithTheCandidateThatReachesTheTarget)
{
    for (int threads : {1, 2, 3}) {
        SearchRunConfig c = config(someQualify(), threads);
        c.stopAt = 12;
        const RunOutcome out = runToEnd(c);
        const std::vector<qint64> expected = qualifyingTries(c, 20000);
        ASSERT_GE(expected.size(), 12u);
        EXPECT_EQ(out.results.size(), 12u) << threads;
        EXPECT_EQ(out.progress.tried, expected[11] + 1) << threads;
    }
    // Earlier results of the list count towards the target.
    SearchRunConfig c = config(someQualify(), 2);
    c.stopAt = 12;
    c.alreadyQualified = 10;
    const RunOutcome out = runToEnd(c);
    EXPECT_EQ(out.results.size(), 2u);
}

TEST(SearchRun, ATargetAlreadyMetStillTriesOneCandidate)
{
    SearchRunConfig c = config(allQualify(), 2);
    c.stopAt = 0; // a box holding no number
    RunOutcome out = runToEnd(c);
    EXPECT_EQ(out.progress.tried, 1);
    EXPECT_EQ(out.results.size(), 1u);

    c.stopAt = 50;
    c.alreadyQualified = 50;
    out = runToEnd(c);
    EXPECT_EQ(out.progress.tried, 1);
    EXPECT_EQ(out.results.size(), 1u);

    c = config(QualificationRanges{}, 2); // nothing qualifies: rate 0 to 0 excludes every candidate here
    c.stopAt = 0;
    out = runToEnd(c);
    EXPECT_EQ(out.progress.tried, 1);
    EXPECT_TRUE(out.results.empty());
}

TEST(SearchRun, AFixedSeedGivesTheSameResultsForAnyThreadCount)
{
    SearchRunConfig c = config(someQualify(), 1, 12345);
    c.maxTries = 2000;
    const QStringList one = codes(runToEnd(c).results);
    c.threads = 4;
    EXPECT_EQ(codes(runToEnd(c).results), one);
    c.seed = 12346;
    EXPECT_NE(codes(runToEnd(c).results), one);
}

TEST(SearchRun, TheListNeverHoldsMoreThanItsRoom)
{
    SearchRunConfig c = config(allQualify(), 2);
    c.capacity = 5;
    RunOutcome out = runToEnd(c);
    EXPECT_EQ(out.results.size(), 5u);
    EXPECT_EQ(out.progress.tried, 5);
    EXPECT_TRUE(out.progress.listFull);

    c.capacity = 0;
    out = runToEnd(c);
    EXPECT_TRUE(out.results.empty());
    EXPECT_TRUE(out.progress.listFull);
    EXPECT_TRUE(out.progress.finished);
}

// Blocks handed in out of order wait for the earlier ones; the candidate that reaches the target
// or fills the list may sit in any of them. Holding back early blocks by a seed-chosen time makes
// later ones finish first, so the closing release runs while other blocks still wait.
TEST(SearchRun, OutOfOrderBlocksEndExactlyAtTheTargetOrTheRoomForAnyThreadCount)
{
    for (int threads : {2, 4, 8}) {
        for (std::uint64_t seed = 1; seed <= 12; ++seed) {
            SearchRunConfig c = config(someQualify(), threads, seed);
            const std::vector<qint64> expected = qualifyingTries(c, 12 * SearchRun::kBlockTries);
            // The target's candidate is the first one of a block beyond the first two.
            const qint64 closingBlock = 2 + qint64(seed % 7);
            const int target = 1 + int(std::count_if(expected.begin(), expected.end(), [&](qint64 t) {
                                   return t < closingBlock * SearchRun::kBlockTries;
                               }));
            ASSERT_LT(std::size_t(target), expected.size());
            ASSERT_GE(expected[target - 1], 2 * SearchRun::kBlockTries);
            c.beforeSubmit = [seed, threads](qint64 block) {
                if ((block + qint64(seed)) % threads != 0)
                    std::this_thread::sleep_for(
                        std::chrono::microseconds(200 * ((block * 7 + qint64(seed)) % 5)));
            };
            const bool byCapacity = seed % 2 == 0;
            if (byCapacity)
                c.capacity = target;
            else
                c.stopAt = target;
            const RunOutcome out = runToEnd(c);
            const std::string where = "threads " + std::to_string(threads) + ", seed " + std::to_string(seed);
            ASSERT_EQ(out.results.size(), std::size_t(target)) << where;
            EXPECT_EQ(out.progress.qualified, target) << where;
            EXPECT_EQ(out.progress.tried, expected[target - 1] + 1) << where;
            EXPECT_EQ(out.progress.listFull, byCapacity) << where;
            EXPECT_TRUE(out.progress.finished) << where;
            const std::vector<qint64> one = qualifyingTries(c, expected[target - 1] + 1);
            EXPECT_EQ(one.size(), std::size_t(target)) << where;
        }
    }
}

TEST(SearchRun, PauseHoldsTheWorkersAndStopEndsTheRun)
{
    SearchRun run(config(someQualify(), 2));
    run.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    run.pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const qint64 paused = run.progress().tried;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(run.progress().tried, paused);
    EXPECT_FALSE(run.isFinished());
    run.resume();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_GT(run.progress().tried, paused);
    run.stop();
    run.wait();
    EXPECT_TRUE(run.isFinished());
    const SearchRun::Progress p = run.progress();
    EXPECT_TRUE(p.hasCurrent);
    EXPECT_FALSE(p.currentChinese.isEmpty());
    EXPECT_EQ(int(run.takeResults().size()), p.qualified);
}

TEST(SearchRun, AnAutoStopChangedWhileTheWorkersRunTakesEffect)
{
    // Set while the first block is still held back: the run ends exactly with the candidate that
    // reaches the target, as if it had been set at the start.
    {
        SearchRunConfig c = config(someQualify(), 2);
        const std::vector<qint64> expected = qualifyingTries(c, 20 * SearchRun::kBlockTries);
        ASSERT_GE(expected.size(), 3u);
        std::atomic<bool> released{false};
        c.beforeSubmit = [&released](qint64 block) {
            while (block == 0 && !released)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        SearchRun run(c);
        run.start();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        run.setStopAt(3);
        released = true;
        run.wait();
        const SearchRun::Progress p = run.progress();
        EXPECT_TRUE(p.finished);
        EXPECT_EQ(p.qualified, 3);
        EXPECT_EQ(p.tried, expected[2] + 1);
        EXPECT_EQ(run.takeResults().size(), 3u);
    }
    // Lowered below what has qualified: the run ends at once.
    {
        SearchRun run(config(someQualify(), 2));
        run.start();
        for (int i = 0; i < 5000 && run.progress().qualified < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_GE(run.progress().qualified, 2);
        run.setStopAt(1);
        for (int i = 0; i < 2000 && !run.isFinished(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_TRUE(run.isFinished());
        EXPECT_FALSE(run.progress().listFull);
        run.wait();
    }
    // Removed before the first results came in: the run goes on past the old target.
    {
        SearchRunConfig c = config(someQualify(), 2);
        c.stopAt = 3;
        std::atomic<bool> released{false};
        c.beforeSubmit = [&released](qint64 block) {
            while (block == 0 && !released)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        SearchRun run(c);
        run.start();
        run.setStopAt(std::nullopt);
        released = true;
        for (int i = 0; i < 5000 && run.progress().qualified <= 3 && !run.isFinished(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_GT(run.progress().qualified, 3);
        EXPECT_FALSE(run.isFinished());
        run.stop();
        run.wait();
    }
}

TEST(SchemeSearch, VisitsTheKindsInOrderAndStopsEachAtItsTarget)
{
    SchemeConfig c;
    c.draws = draws();
    c.targets.targets = {std::nullopt, 2, 3, 1, 7, 2, 2}; // slot 4 is never searched
    for (int slot = 1; slot <= 6; ++slot) {
        c.ranges[slot] = allQualify();
        c.operandCounts[slot] = 4;
    }
    c.seed = 5;
    c.threads = 2;
    SchemeSearch search(c);
    search.start();
    std::vector<int> leftBehind;
    while (!search.isFinished()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        for (int s : search.advance())
            leftBehind.push_back(s);
    }
    EXPECT_EQ(leftBehind, (std::vector<int>{1, 2, 3, 5, 6}));
    const std::vector<SearchResult> results = search.takeResults();
    QStringList kinds;
    for (const SearchResult& r : results) {
        kinds << r.kind.code();
        EXPECT_EQ(r.code.count(QLatin1Char('+')), 4);
    }
    EXPECT_EQ(kinds, (QStringList{"1D", "1D", "2D", "2D", "2D", "3D", "2G", "2G", "3G", "3G"}));
    EXPECT_EQ(search.tried(), 10);
    EXPECT_TRUE(results[8].chinese.startsWith(QStringLiteral("[百位通选杀]")));
}

TEST(SchemeSearch, SkipsKindsWithoutATargetOrAlreadyFull)
{
    SchemeConfig c;
    c.draws = draws();
    c.mode = CountMode::HeldFormulas;
    c.targets.targets = {std::nullopt, 60, std::nullopt, 4, 0, 10, 0};
    c.targets.storedCounts = {0, 60, 0, 1, 0, 12, 0};
    for (int slot = 1; slot <= 6; ++slot) {
        c.ranges[slot] = allQualify();
        c.operandCounts[slot] = 8;
    }
    c.kill = false;
    SchemeSearch search(c);
    search.start();
    search.runToEnd();
    const std::vector<SearchResult> results = search.takeResults();
    ASSERT_EQ(results.size(), 3u); // only 3D: 4 held, 1 stored
    for (const SearchResult& r : results) {
        EXPECT_EQ(r.kind, (FormulaKind{3, true}));
        EXPECT_FALSE(r.kill);
        EXPECT_TRUE(r.chinese.startsWith(QStringLiteral("[百位单选生]")));
    }
    EXPECT_EQ(search.tried(), 3); // the skipped kinds tried nothing

    // In NewFormulas mode a target of 0 still tries one candidate.
    c.mode = CountMode::NewFormulas;
    c.targets.targets = {std::nullopt, 0, std::nullopt, std::nullopt, 0, std::nullopt, std::nullopt};
    SchemeSearch zero(c);
    zero.start();
    zero.runToEnd();
    EXPECT_EQ(zero.tried(), 1);
    EXPECT_EQ(zero.takeResults().size(), 1u);
}

TEST(SearchResultSaver, AppendDropsDuplicatesAndEveryEntryGoesToItsOwnKind)
{
    OpenWorkspace o;
    const FormulaKind tensSingle{2, true}, tensGeneral{2, false};
    QString error;
    FormulaRecord existing;
    existing.gongshi = "LH+LT+1";
    existing.gongshiCN = QStringLiteral("[十位单选杀]和数+跨度+1");
    ASSERT_TRUE(FormulaTableStore(&o.ws.database()).append(tensSingle, {existing}, &error));

    const std::vector<SearchResult> entries = {
        result(tensSingle, "LH+LT+1", "[十位单选杀]和数+跨度+1"), // already stored
        result(tensSingle, "L1A+L2A+2", "[十位单选杀]百位码+十位码+2"),
        result(tensSingle, "L1A+L2A+2", "[十位单选杀]百位码+十位码+2"), // twice in the list
        result(tensGeneral, "L3A+L3A+0", "[十位通选杀]个位码+个位码+0"),
        result(tensSingle, "LT+LT+5", "[十位单选杀]跨度+跨度+5"),
    };
    std::vector<FormulaKind> saved;
    ASSERT_TRUE(SearchResultSaver::save(&o.ws.database(), entries, SearchResultSaver::Mode::Append, true,
                                        &saved, &error))
        << error.toStdString();
    EXPECT_EQ(saved, (std::vector<FormulaKind>{tensSingle, tensGeneral}));
    const auto single = o.table(tensSingle);
    ASSERT_EQ(single.size(), 3u);
    EXPECT_EQ(single[0].gongshi, "LH+LT+1");
    EXPECT_EQ(single[1].gongshi, "L1A+L2A+2");
    EXPECT_EQ(single[2].gongshi, "LT+LT+5");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(single[i].idx, i + 1);
    ASSERT_EQ(o.table(tensGeneral).size(), 1u);
    EXPECT_TRUE(o.table(FormulaKind{1, true}).empty());
}

TEST(SearchResultSaver, UpdateReplacesOnlyTheTablesThatReceiveResultsAndUsesTheSenseGiven)
{
    OpenWorkspace o;
    QString error;
    FormulaTableStore store(&o.ws.database());
    FormulaRecord keep;
    keep.gongshi = "L1A+L1A+1";
    keep.gongshiCN = "x";
    keep.bolKill = false;
    for (const FormulaKind& k : FormulaKind::all())
        ASSERT_TRUE(store.append(k, {keep}, &error));
    const FormulaKind tensSingle{2, true};
    const std::vector<SearchResult> entries = {result(tensSingle, "LH+LT+1", "a"),
                                               result(tensSingle, "LH+LT+1", "a"),
                                               result(tensSingle, "LH+LT+2", "b")};
    std::vector<FormulaKind> saved;
    ASSERT_TRUE(SearchResultSaver::save(&o.ws.database(), entries, SearchResultSaver::Mode::Update, false,
                                        &saved, &error));
    const auto tens = o.table(tensSingle);
    ASSERT_EQ(tens.size(), 2u);
    EXPECT_EQ(tens[0].gongshi, "LH+LT+1");
    EXPECT_FALSE(tens[0].bolKill); // kill candidates saved while "生" is chosen
    for (const FormulaKind& k : FormulaKind::all()) {
        if (k != tensSingle) {
            EXPECT_EQ(o.table(k).size(), 1u) << k.code().toStdString();
        }
    }

    // Entries of one kind separated by another kind are all kept by an update.
    const FormulaKind units{1, true};
    const std::vector<SearchResult> mixed = {
        result(units, "LH+LT+3", "c"), result(tensSingle, "LH+LT+4", "d"), result(units, "LH+LT+5", "e")};
    ASSERT_TRUE(SearchResultSaver::save(&o.ws.database(), mixed, SearchResultSaver::Mode::Update, true,
                                        &saved, &error));
    EXPECT_EQ(o.table(units).size(), 2u);
    EXPECT_EQ(o.table(tensSingle).size(), 1u);

    // An empty list saves nothing and succeeds.
    ASSERT_TRUE(
        SearchResultSaver::save(&o.ws.database(), {}, SearchResultSaver::Mode::Update, true, &saved, &error));
    EXPECT_TRUE(saved.empty());
    EXPECT_EQ(o.table(units).size(), 2u);
}

TEST(SearchResultSaver, AFailingTableStaysAsItWasAndTheEarlierOnesStaySaved)
{
    OpenWorkspace o;
    QSqlQuery q(o.ws.database().connection());
    // A damaged table: no gongshiCN column, so appending to it fails after its formulas were deleted.
    ASSERT_TRUE(q.exec("DROP TABLE Gongshi3G"));
    ASSERT_TRUE(q.exec("CREATE TABLE Gongshi3G (idx INTEGER, gongshi TEXT, bolKill INTEGER)"));
    ASSERT_TRUE(q.exec("INSERT INTO Gongshi3G VALUES (1, 'LH+1', 1)"));
    const std::vector<SearchResult> entries = {result(FormulaKind{1, true}, "LH+LT+1", "a"),
                                               result(FormulaKind{3, false}, "LH+LT+2", "b"),
                                               result(FormulaKind{2, true}, "LH+LT+3", "c")};
    std::vector<FormulaKind> saved;
    QString error;
    EXPECT_FALSE(SearchResultSaver::save(&o.ws.database(), entries, SearchResultSaver::Mode::Update, true,
                                         &saved, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(saved, (std::vector<FormulaKind>{FormulaKind{1, true}}));
    EXPECT_EQ(o.table(FormulaKind{1, true}).size(), 1u);
    ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM Gongshi3G") && q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
    EXPECT_TRUE(o.table(FormulaKind{2, true}).empty());
}

TEST(SearchResultExport, SeparatorsFollowEveryFiftiethFormulaAndTheEnd)
{
    QStringList forms;
    for (int i = 1; i <= 120; ++i)
        forms << QStringLiteral("[个位单选杀]和数+跨度+%1").arg(i);
    const QStringList lines = SearchResultExport::lines(forms);
    ASSERT_EQ(lines.size(), 4 + 120 + 3);
    EXPECT_EQ(lines[0], QStringLiteral("本组公式由《Zorvane》软件搜索而来"));
    EXPECT_TRUE(lines[3].isEmpty());
    EXPECT_EQ(lines[4], forms[0]);
    EXPECT_EQ(lines[54], FormulaTextFile::separator(50));
    EXPECT_EQ(lines[54], QStringLiteral("————————————50——————————————本公式由《Zorvane》生成"));
    EXPECT_EQ(lines[105], FormulaTextFile::separator(100));
    EXPECT_EQ(lines.last(), FormulaTextFile::separator(120));
    EXPECT_EQ(SearchResultExport::lines({}).last(), FormulaTextFile::separator(0));

    TempDataFolder dir;
    const QString path = SearchResultExport::filePath(dir.path(), "160121002");
    EXPECT_TRUE(path.endsWith(QStringLiteral("/160121002期快3彩公式.txt")));
    QString error;
    ASSERT_TRUE(SearchResultExport::write(path, forms, &error)) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(FormulaTextFile::decodeLines(f.readAll()), lines);
}

namespace {

// Candidates of two operands repeat each other often (A+B and B+A): what "跳过等价公式" is for.
SearchRunConfig distinctConfig(int threads, const QStringList& known)
{
    SearchRunConfig c = config(allQualify(), threads);
    c.generator = {2, false, 0};
    c.maxTries = 1500;
    c.distinct = std::make_shared<DistinctCandidates>(draws(), FormulaKind{1, true}, known);
    return c;
}

} // namespace

// With equivalents skipped, the list is what a one-by-one search gives that keeps a candidate only
// when it predicts unlike every known formula and every candidate kept before it; for any thread
// count, and the counters count only the kept ones.
TEST(SearchRun, DistinctSkipsEquivalentsOfKnownAndEarlierCandidates)
{
    const QStringList known = {"L1A+L2A", "LH+LT+6"};
    const DistinctCandidates filter(draws(), FormulaKind{1, true}, known);
    std::vector<std::vector<std::uint8_t>> kept;
    for (const QString& code : known)
        kept.push_back(PredictionTokens::ofFormula(HistoryColumns(draws()), CompiledFormula::compile(code),
                                                   PredictionTokens::Reduction::NumberAndDigit));
    QStringList expected;
    const SearchRunConfig c = distinctConfig(1, known);
    SearchCandidate candidate;
    for (qint64 block = 0; block * SearchRun::kBlockTries < c.maxTries; ++block) {
        FormulaGenerator g(c.seed, (c.stream << 40) ^ std::uint64_t(block));
        for (int i = 0; i < SearchRun::kBlockTries && block * SearchRun::kBlockTries + i < c.maxTries; ++i) {
            g.next(c.generator, &candidate);
            const std::vector<std::uint8_t> tokens = filter.tokens(candidate);
            if (std::find(kept.begin(), kept.end(), tokens) != kept.end())
                continue;
            kept.push_back(tokens);
            expected << candidate.codeForm();
        }
    }
    ASSERT_LT(expected.size(), 1500); // some were equivalent
    for (int threads : {1, 2, 4}) {
        const RunOutcome r = runToEnd(distinctConfig(threads, known));
        EXPECT_EQ(codes(r.results), expected) << threads;
        EXPECT_EQ(r.progress.qualified, expected.size());
        EXPECT_EQ(r.progress.tried, 1500);
    }
    // The known formulas' equivalents never come back, written either way round.
    const RunOutcome r = runToEnd(distinctConfig(2, known));
    for (const SearchResult& res : r.results) {
        EXPECT_NE(res.code, "L2A+L1A+0");
        EXPECT_NE(res.code, "L1A+L2A+0");
    }
    // Off, every candidate qualifies.
    SearchRunConfig off = distinctConfig(2, known);
    off.distinct.reset();
    EXPECT_EQ(runToEnd(off).progress.qualified, 1500);
}

// The target counts distinct candidates only.
TEST(SearchRun, DistinctTargetCountsOnlyKeptCandidates)
{
    SearchRunConfig c = distinctConfig(2, {});
    c.maxTries = -1;
    c.stopAt = 40;
    const RunOutcome r = runToEnd(c);
    ASSERT_EQ(r.results.size(), 40u);
    std::set<std::vector<std::uint8_t>> distinct;
    for (const SearchResult& res : r.results)
        distinct.insert(PredictionTokens::ofFormula(HistoryColumns(draws()),
                                                    CompiledFormula::compile(res.code),
                                                    PredictionTokens::Reduction::NumberAndDigit));
    EXPECT_EQ(distinct.size(), 40u);
    EXPECT_GE(r.progress.tried, 40);

    // With no draw stored nothing can be told apart, so nothing is skipped.
    const DistinctCandidates empty({}, FormulaKind{1, true}, {"L1A+L2A+0"});
    const SearchCandidate candidate = candidateOf({"L1A", "L2A"}, 0);
    EXPECT_FALSE(empty.isKnown(candidate, empty.key(candidate)));
    EXPECT_FALSE(empty.sameAs(candidate, candidate));
}

// The all-kinds search skips equivalents per kind: of the kind's known formulas and of its own
// earlier candidates, never across kinds.
TEST(SchemeSearch, DistinctPerKind)
{
    SchemeConfig c;
    c.draws = draws();
    c.targets.targets = {std::nullopt, 150, std::nullopt, std::nullopt, std::nullopt, 150, std::nullopt};
    for (int slot = 1; slot <= 6; ++slot) {
        c.ranges[slot] = allQualify();
        c.operandCounts[slot] = 2;
    }
    c.seed = 8;
    c.threads = 2;
    c.distinct = true;
    c.knownCodes[1] = {"L1A+L2A+0"};
    SchemeSearch search(c);
    search.start();
    search.runToEnd();
    const std::vector<SearchResult> results = search.takeResults();
    ASSERT_EQ(results.size(), 300u);
    const HistoryColumns h(draws());
    std::set<std::vector<std::uint8_t>> units = {PredictionTokens::ofFormula(
        h, CompiledFormula::compile("L1A+L2A+0"), PredictionTokens::Reduction::NumberAndDigit)};
    std::set<std::vector<std::uint8_t>> tens;
    for (const SearchResult& r : results) {
        auto& seen = r.kind == FormulaKind{1, true} ? units : tens;
        EXPECT_TRUE(seen.insert(PredictionTokens::ofFormula(h, CompiledFormula::compile(r.code),
                                                            PredictionTokens::forKind(r.kind.single)))
                        .second)
            << r.code.toStdString();
    }
    EXPECT_GT(search.tried(), 300); // repeats were tried and skipped
}
