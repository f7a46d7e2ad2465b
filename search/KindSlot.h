#pragma once

#include "formula/FormulaKind.h"

#include <array>
#include <optional>

// The search window numbers its kinds by slot: the position (1 个位, 2 十位, 3 百位) plus 3 for
// 通选. Slot 4 (个位通选) has no table and is never searched. The stored search settings number a
// kind by slot − 1 (0, 1, 2, 4, 5).
class KindSlot
{
public:
    static constexpr int kFirst = 1;
    static constexpr int kFinished = 7; // the all-kinds search's slot after its last kind

    static int of(const FormulaKind& kind) { return kind.position + (kind.single ? 0 : 3); }
    // The kind of a slot; none for slot 4 and for numbers outside 1..6.
    static std::optional<FormulaKind> kind(int slot);
    static int kindNumber(int slot) { return slot - 1; }
    // The slot the all-kinds search visits after `slot`: 1, 2, 3, 5, 6, then kFinished.
    static int next(int slot) { return slot == 3 ? 5 : slot + 1; }
    static const std::array<int, 5>& schemeOrder();
};
