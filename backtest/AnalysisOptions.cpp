#include "backtest/AnalysisOptions.h"

#include "store/Settings.h"

AnalysisOptions AnalysisOptions::fromSettings(const Settings& settings)
{
    AnalysisOptions o;
    o.lookBackIndex = settings.lookBackIndex();
    o.excludeCurrent = settings.excludeCurrent();
    o.weighted = settings.weighted();
    o.holdOut = settings.holdOut();
    o.showChance = settings.showChanceComparison();
    o.publicationOrder = static_cast<PublicationOrder>(settings.publicationOrderIndex());
    return o;
}

void AnalysisOptions::writeTo(Settings& settings) const
{
    settings.setLookBackIndex(lookBackIndex);
    settings.setExcludeCurrent(excludeCurrent);
    settings.setWeighted(weighted);
    settings.setHoldOut(holdOut);
    settings.setShowChanceComparison(showChance);
    settings.setPublicationOrderIndex(static_cast<int>(publicationOrder));
}

int AnalysisOptions::lookBackDraws() const
{
    return lookBackDrawsGiven.value_or(LookBackTable::draws(lookBackIndex));
}

BacktestOptions AnalysisOptions::backtest() const
{
    BacktestOptions o;
    o.lookBackDraws = lookBackDraws();
    o.excludeCurrent = excludeCurrent;
    o.weighted = weighted;
    o.holdOut = holdOut;
    o.publicationOrder = publicationOrder;
    return o;
}
