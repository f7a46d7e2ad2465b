#include "search/SchemePlan.h"

#include <algorithm>
#include <cmath>

namespace {

int toInt16(double v)
{
    return static_cast<int>(std::clamp(std::nearbyint(v), -32768.0, 32767.0));
}

} // namespace

int SchemePlan::stillToFind(const SchemeTargets& t, CountMode mode)
{
    double sum = 0;
    for (int slot = 1; slot <= 6; ++slot) {
        const double target = t.targets[slot].value_or(0);
        sum += mode == CountMode::NewFormulas ? target : std::max(0.0, target - t.storedCounts[slot]);
    }
    return toInt16(sum);
}

int SchemePlan::totalHeld(int stillToFind, int totalStored, bool appendChecked)
{
    return toInt16(double(stillToFind) + (appendChecked ? totalStored : 0));
}

std::optional<double> SchemePlan::kindTarget(int slot, const SchemeTargets& t, CountMode mode)
{
    if (slot < 1 || slot > 6 || slot == 4 || !t.targets[slot])
        return std::nullopt;
    if (mode == CountMode::NewFormulas)
        return *t.targets[slot];
    const double missing = *t.targets[slot] - t.storedCounts[slot];
    if (missing <= 0)
        return std::nullopt;
    return missing;
}
