#include "search/KindSlot.h"

std::optional<FormulaKind> KindSlot::kind(int slot)
{
    if (slot < 1 || slot > 6 || slot == 4)
        return std::nullopt;
    return FormulaKind{(slot - 1) % 3 + 1, slot <= 3};
}

const std::array<int, 5>& KindSlot::schemeOrder()
{
    static const std::array<int, 5> order = {1, 2, 3, 5, 6};
    return order;
}
