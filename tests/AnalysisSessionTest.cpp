#include "backtest/AnalysisSession.h"
#include "backtest/BacktestEngine.h"
#include "formula/CompiledFormula.h"
#include "history/HistoryStore.h"
#include "history/Workspace.h"
#include "store/Settings.h"

#include "SyntheticHistory.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

class Session : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(m_ws.open(m_dir.path(), &error)) << error.toStdString();
        m_ws.settings().restoreDefaults();
    }
    // Draws [from, to) of one long history, so that later slices continue the stored issues.
    void append(const std::vector<DrawRecord>& all, std::size_t from, std::size_t to)
    {
        QString error;
        const std::vector<DrawRecord> slice(all.begin() + from, all.begin() + to);
        ASSERT_TRUE(m_ws.history().append(slice, &error)) << error.toStdString();
    }

    TempDataFolder m_dir;
    Workspace m_ws;
};

// The options come from the settings in one place and go back to the same keys; the back-test's
// options are those options, whichever way they are asked for.
TEST_F(Session, OptionsAreTheSettingsReadOnce)
{
    Settings& s = m_ws.settings();
    AnalysisOptions defaults = AnalysisOptions::fromSettings(s);
    EXPECT_EQ(defaults, AnalysisOptions{});
    EXPECT_EQ(defaults.lookBackDraws(), 300);

    AnalysisOptions changed;
    changed.lookBackIndex = 0;
    changed.excludeCurrent = false;
    changed.weighted = false;
    changed.holdOut = 40;
    changed.showChance = false;
    changed.publicationOrder = PublicationOrder::Ascending;
    changed.writeTo(s);
    EXPECT_EQ(AnalysisOptions::fromSettings(s), changed);
    const BacktestOptions direct = BacktestOptions::fromSettings(s);
    const BacktestOptions viaOptions = changed.backtest();
    EXPECT_EQ(direct.lookBackDraws, viaOptions.lookBackDraws);
    EXPECT_EQ(direct.lookBackDraws, LookBackTable::draws(0));
    EXPECT_EQ(direct.excludeCurrent, false);
    EXPECT_EQ(direct.weighted, false);
    EXPECT_EQ(direct.holdOut, 40);
    EXPECT_EQ(direct.publicationOrder, PublicationOrder::Ascending);

    // A look-back entry outside the table reads as the default one.
    s.setLookBackIndex(LookBackTable::kCount);
    EXPECT_EQ(AnalysisOptions::fromSettings(s).lookBackIndex, LookBackTable::kDefaultIndex);
    s.restoreDefaults();
    EXPECT_EQ(AnalysisOptions::fromSettings(s), AnalysisOptions{});
}

// A look-back given in draws (the command line's --lookback) rules over the table entry, 0 meaning
// every draw as for an entry; it is never stored, so the settings keep their entry.
TEST_F(Session, ALookBackGivenInDrawsRulesAndIsNeverStored)
{
    Settings& s = m_ws.settings();
    s.setLookBackIndex(1);
    AnalysisOptions given = AnalysisOptions::fromSettings(s);
    EXPECT_FALSE(given.lookBackDrawsGiven);
    ASSERT_EQ(given.lookBackDraws(), LookBackTable::draws(1));
    given.lookBackDrawsGiven = 57;
    EXPECT_EQ(given.lookBackDraws(), 57);
    EXPECT_EQ(given.backtest().lookBackDraws, 57);
    given.lookBackDrawsGiven = 0;
    EXPECT_EQ(given.backtest().lookBackDraws, 0);

    given.writeTo(s);
    EXPECT_EQ(s.lookBackIndex(), 1);
    EXPECT_NE(AnalysisOptions::fromSettings(s), given);
    AnalysisSession session(&m_ws);
    session.overrideOptions(given);
    EXPECT_EQ(session.options().lookBackDraws(), 0);
    session.reloadOptions();
    EXPECT_EQ(session.options().lookBackDraws(), LookBackTable::draws(1));
}

// Each change is announced once, to every subscriber, and only when something changed; the column
// copy and the order reading follow the history.
TEST_F(Session, AnnouncesEachChangeOnceAndFollowsTheHistory)
{
    const std::vector<DrawRecord> all = syntheticDraws(250, 5, true);
    append(all, 0, 200);
    AnalysisSession session(&m_ws);
    EXPECT_EQ(session.columns()->drawCount(), 200);
    EXPECT_EQ(session.drawOrder().order, DrawOrder::Ascending);

    int kind = 0, options = 0, history = 0;
    std::vector<FormulaKind> formulas;
    QObject::connect(&session, &AnalysisSession::kindChanged, [&] { ++kind; });
    QObject::connect(&session, &AnalysisSession::optionsChanged, [&] { ++options; });
    QObject::connect(&session, &AnalysisSession::historyChanged, [&] { ++history; });
    QObject::connect(&session, &AnalysisSession::formulasChanged,
                     [&](const FormulaKind& k) { formulas.push_back(k); });

    session.setKind(FormulaKind{1, true}, true); // what it already shows
    EXPECT_EQ(kind, 0);
    session.setKind(FormulaKind{2, false}, false);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(session.kind(), (FormulaKind{2, false}));
    EXPECT_FALSE(session.kill());

    AnalysisOptions o = session.options();
    session.setOptions(o);
    EXPECT_EQ(options, 0);
    o.publicationOrder = PublicationOrder::AsDrawn;
    session.setOptions(o);
    EXPECT_EQ(options, 1);
    EXPECT_EQ(session.drawOrder().order, DrawOrder::AsDrawn);
    EXPECT_EQ(m_ws.settings().publicationOrderIndex(), int(PublicationOrder::AsDrawn));

    // Settings changed behind the session's back (a restore of the defaults): read again once.
    m_ws.settings().restoreDefaults();
    session.reloadOptions();
    session.reloadOptions();
    EXPECT_EQ(options, 2);
    EXPECT_EQ(session.drawOrder().order, DrawOrder::Ascending);

    // A command's flags lie over the stored options without being stored.
    AnalysisOptions flags = session.options();
    flags.lookBackIndex = 0;
    session.overrideOptions(flags);
    EXPECT_EQ(session.options().lookBackIndex, 0);
    EXPECT_EQ(m_ws.settings().lookBackIndex(), LookBackTable::kDefaultIndex);

    const std::shared_ptr<const HistoryColumns> before = session.columns();
    append(all, 200, 250);
    EXPECT_EQ(session.columns()->drawCount(), 200); // until it is told
    session.historyWasChanged();
    EXPECT_EQ(history, 1);
    EXPECT_EQ(session.columns()->drawCount(), 250);
    EXPECT_EQ(before->drawCount(), 200); // a snapshot taken earlier is untouched

    session.formulasWereChanged(FormulaKind{3, true});
    EXPECT_EQ(formulas, (std::vector<FormulaKind>{FormulaKind{3, true}}));
}

// Formulas stored with their own kind and sense bring them along in one announcement; a replaced
// database is one announcement with the history read again; a change of the options names the
// options it replaced.
TEST_F(Session, AddedFormulasReplacedStoreAndThePreviousOptions)
{
    const std::vector<DrawRecord> all = syntheticDraws(120, 3);
    append(all, 0, 100);
    AnalysisSession session(&m_ws);
    int kind = 0, formulas = 0, history = 0, replaced = 0;
    std::vector<AnalysisOptions> previous;
    QObject::connect(&session, &AnalysisSession::kindChanged, [&] { ++kind; });
    QObject::connect(&session, &AnalysisSession::formulasChanged, [&] {
        ++formulas;
        // Subscribers read the new kind while they hear of the formulas.
        EXPECT_EQ(session.kind(), (FormulaKind{3, false}));
    });
    QObject::connect(&session, &AnalysisSession::historyChanged, [&] { ++history; });
    QObject::connect(&session, &AnalysisSession::storeReplaced, [&] { ++replaced; });
    QObject::connect(&session, &AnalysisSession::optionsChanged,
                     [&](const AnalysisOptions& before) { previous.push_back(before); });

    session.formulasWereAdded(FormulaKind{3, false}, false);
    EXPECT_EQ(formulas, 1);
    EXPECT_EQ(kind, 0);
    EXPECT_FALSE(session.kill());

    append(all, 100, 120);
    session.storeWasReplaced();
    EXPECT_EQ(replaced, 1);
    EXPECT_EQ(history, 0);
    EXPECT_EQ(session.columns()->drawCount(), 120);

    const AnalysisOptions first = session.options();
    AnalysisOptions changed = first;
    changed.holdOut = 12;
    session.setOptions(changed);
    changed.lookBackIndex = 1;
    session.setOptions(changed);
    ASSERT_EQ(previous.size(), 2u);
    EXPECT_EQ(previous[0], first);
    EXPECT_EQ(previous[1].holdOut, 12);
    EXPECT_EQ(previous[1].lookBackIndex, first.lookBackIndex);
}

// Back-tests on worker threads keep the snapshot they took while the session moves on to newer
// histories: each finishes with the figures of its own snapshot.
TEST_F(Session, WorkersKeepTheirSnapshotWhileTheHistoryChanges)
{
    const std::vector<DrawRecord> all = syntheticDraws(720, 9);
    append(all, 0, 600);
    AnalysisSession session(&m_ws);
    const std::vector<CompiledFormula> formulas = {CompiledFormula::compile(QStringLiteral("L1A+L2A+3")),
                                                   CompiledFormula::compile(QStringLiteral("L3A*2+LH"))};
    const BacktestOptions options = session.options().backtest();
    const auto expected = [&](const HistoryColumns& h) {
        BacktestOptions one = options;
        one.threads = 1;
        return BacktestEngine::run(h, formulas, FormulaKind{1, true}, true, one);
    };

    constexpr int kWorkers = 4;
    std::vector<std::shared_ptr<const HistoryColumns>> taken(kWorkers);
    std::vector<BacktestResult> results(kWorkers);
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        taken[w] = session.columns();
        workers.emplace_back([&, w] {
            BacktestOptions one = options;
            one.threads = 1;
            for (int round = 0; round < 3; ++round)
                results[w] = BacktestEngine::run(*taken[w], formulas, FormulaKind{1, true}, true, one);
        });
        append(all, 600 + 30 * w, 630 + 30 * w);
        session.historyWasChanged();
    }
    for (std::thread& t : workers)
        t.join();
    for (int w = 0; w < kWorkers; ++w) {
        EXPECT_EQ(taken[w]->drawCount(), 600 + 30 * w);
        const BacktestResult reference = expected(*taken[w]);
        ASSERT_EQ(results[w].outcomes.size(), reference.outcomes.size());
        for (std::size_t f = 0; f < formulas.size(); ++f) {
            EXPECT_EQ(results[w].outcomes[f].stats, reference.outcomes[f].stats) << w;
            EXPECT_EQ(results[w].outcomes[f].chance.p, reference.outcomes[f].chance.p) << w;
        }
    }
    EXPECT_EQ(session.columns()->drawCount(), 600 + 30 * kWorkers);
}

} // namespace
