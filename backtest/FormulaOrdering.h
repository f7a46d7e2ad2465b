#pragma once

#include <QString>
#include <vector>

// One formula's back-test figures as the formula list shows them, with its idx.
struct FormulaFigures
{
    int idx = 0;
    float rate = 0;       // 正确率 (sglGsRate), in per cent
    int maxMissRun = 0;   // 最大连错 (intGsErrCon)
    int maxHitRun = 0;    // 最大连对 (intGsTrueCon)
    int finalMissRun = 0; // 最后连错 (intGsErrLst)
    int finalHitRun = 0;  // 最后连对 (intGsTrueLst)
};

// The five statistics a formula list can be sorted and filtered by, in the order of the sort
// and filter windows.
enum class FormulaFigure { Rate, MaxMiss, MaxHit, FinalMiss, FinalHit };
inline constexpr int kFormulaFigureCount = 5;

// One key of the best-formula walk.
struct FormulaOrderKey
{
    FormulaFigure figure = FormulaFigure::Rate;
    bool descending = true;

    // The key with its usual direction: higher rates and hit runs first, but shorter miss runs
    // first, since fewer misses are better.
    static FormulaOrderKey preferred(FormulaFigure figure);
    bool operator==(const FormulaOrderKey&) const = default;
};

// What the sort window "公式排序设置" returns. No key means the window was closed without
// 确定 and nothing is to be calculated.
struct FormulaSortChoice
{
    std::vector<FormulaOrderKey> keys; // up to three, the strongest first
    int limit = 3;                     // L: how many numbers the walk leaves unnamed (kill) or names (keep)

    bool hasFirstKey() const { return !keys.empty(); }
};

// The order in which the best-formula method walks a formula list.
class FormulaOrdering
{
public:
    // Indexes into `formulas`, ordered by the keys in turn; formulas equal in every key in
    // ascending idx.
    static std::vector<int> walkOrder(const std::vector<FormulaFigures>& formulas,
                                      const std::vector<FormulaOrderKey>& keys);

    static double value(const FormulaFigures& f, FormulaFigure figure);
    // The formula table column of a statistic ("sglGsRate", "intGsErrCon", …).
    static QString columnName(FormulaFigure figure);
    // The window caption of a statistic ("正确率", "最大连错", …).
    static QString caption(FormulaFigure figure);
    // The number in a box of the sort or filter window: an empty or unreadable box counts 0.
    static double boxNumber(const QString& text);
    // The limit box as a 16-bit integer: rounded half to even and held within -32768..32767.
    static int limitFromText(const QString& text);
};
