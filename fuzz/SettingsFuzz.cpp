// The settings values read back from a settings file: the main window's section, the search
// window's ranges, operand counts and scheme targets, the results host and the formula file's
// address, each used the way the program uses it.
#include "FuzzSupport.h"

#include "backtest/BacktestEngine.h"
#include "formula/FormulaOnlineUpdate.h"
#include "history/IssueNumbers.h"
#include "history/LotteryTable.h"
#include "history/OnlineHistoryUpdate.h"
#include "history/ResultsPageAddress.h"
#include "search/KindSlot.h"
#include "search/NumericText.h"
#include "search/SchemePlan.h"
#include "search/SearchSettings.h"
#include "store/Settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::initialise();
    // Each input gets a folder of its own: the settings store caches files by name.
    static int counter = 0;
    const QString folder =
        QDir(FuzzSupport::scratchFolder()).filePath(QStringLiteral("settings%1").arg(++counter));
    QDir().mkpath(folder + QStringLiteral("/Pelq"));
    {
        QFile file(folder + QStringLiteral("/Pelq/Pelq.ini"));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char*>(data), qint64(size)) < 0)
            FuzzSupport::fail("write settings file");
    }
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
    {
        Settings settings;
        const int lottery = settings.lotteryIndex();
        const Lottery l = LotteryTable::orEmpty(lottery);
        (void)IssueNumbers::next(FuzzSupport::fixedHistory().back(), l.drawsPerDay,
                                 lottery == LotteryTable::kBeijing);
        const BacktestOptions options = BacktestOptions::fromSettings(settings);
        if (options.lookBackDraws < 0)
            FuzzSupport::fail("negative look-back");
        (void)settings.calculateSelected();
        (void)settings.resultsOnCurrentDraw();

        OnlineHistoryUpdate update(FuzzSupport::fixedHistory(), lottery, settings.searchDays(),
                                   QDate(2016, 1, 23));
        update.setBase(ResultsPageAddress::base(l.provinceCode, ResultsPageAddress::host(settings)));
        (void)update.pageUrl();
        if (update.daysToFetch() < 0 || update.requestedDraws() < 0)
            FuzzSupport::fail("negative days or draws to fetch");
        (void)QUrl(FormulaOnlineUpdate::url(settings));

        SearchSettings search(&settings);
        SchemeTargets targets;
        for (int slot = 1; slot <= 6; ++slot) {
            const int count = search.operandCount(slot);
            if (count < SearchSettings::kMinOperandCount || count > SearchSettings::kMaxOperandCount)
                FuzzSupport::fail("operand count out of range");
            for (bool kill : {true, false}) {
                const QualificationRanges ranges = search.ranges(KindSlot::kindNumber(slot), kill);
                (void)ranges.texts();
                (void)ranges.admits(FormulaStats{});
                targets.targets[slot] = NumericText::value(search.schemeTargetText(slot, kill));
                targets.storedCounts[slot] = slot * 7;
            }
        }
        for (CountMode mode : {CountMode::NewFormulas, CountMode::HeldFormulas}) {
            const int still = SchemePlan::stillToFind(targets, mode);
            (void)SchemePlan::totalHeld(still, 42, true);
            for (int slot = 1; slot <= 6; ++slot)
                (void)SchemePlan::kindTarget(slot, targets, mode);
        }
    }
    QDir(folder).removeRecursively();
    return 0;
}
