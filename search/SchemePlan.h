#pragma once

#include <array>
#include <optional>

// How the all-kinds search reads its targets: "公式新增数量" counts the formulas to find, "公式保有
// 数量" the formulas the kind's table shall hold (the formulas already stored count towards it).
enum class CountMode
{
    NewFormulas,
    HeldFormulas
};

// The all-kinds search's targets and stored counts, indexed by slot 1..6 (index 0 unused).
struct SchemeTargets
{
    std::array<std::optional<double>, 7> targets; // none when the slot's box holds no number
    std::array<int, 7> storedCounts{};
};

// What the scheme frame computes from its targets.
class SchemePlan
{
public:
    // The formulas still to find over slots 1..6: the sum of the targets (a missing one counts 0),
    // or in HeldFormulas mode the sum of max(0, target − stored count); a 16-bit integer.
    static int stillToFind(const SchemeTargets& t, CountMode mode);
    // The figure after "公式总保有量": still to find, plus the formulas stored when the results are
    // to be appended to them.
    static int totalHeld(int stillToFind, int totalStored, bool appendChecked);
    // The number a kind must find; none when the all-kinds search skips it (slot 4, no number in
    // its box, or already full in HeldFormulas mode).
    static std::optional<double> kindTarget(int slot, const SchemeTargets& t, CountMode mode);
};
