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
    // Against pure chance (kept in memory only): the p value, 1 when there is none (no evidence of
    // skill), and the excess over the chance rate in percentage points.
    double pValue = 1;
    double excess = 0;
};

// The statistics a formula list can be sorted and filtered by, in the order of the sort and filter
// windows: the five stored ones, then the p value and the excess over chance.
enum class FormulaFigure
{
    Rate,
    MaxMiss,
    MaxHit,
    FinalMiss,
    FinalHit,
    PValue,
    Excess
};
inline constexpr int kFormulaFigureCount = 7;

// One key of the best-formula walk.
struct FormulaOrderKey
{
    FormulaFigure figure = FormulaFigure::Rate;
    bool descending = true;

    // The key with its usual direction: higher rates, hit runs and excesses first, but shorter miss
    // runs and smaller p values first, since fewer misses and less luck are better.
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
    // The formula table column of a statistic ("sglGsRate", "intGsErrCon", …); empty for the p
    // value and the excess, which are not stored.
    static QString columnName(FormulaFigure figure);
    // The window caption of a statistic ("正确率", "最大连错", …, "p值", "超出").
    static QString caption(FormulaFigure figure);
    // Whether any key needs the figures against chance.
    static bool usesChance(const std::vector<FormulaOrderKey>& keys);
    // The number in a box of the sort or filter window: an empty or unreadable box counts 0.
    static double boxNumber(const QString& text);
    // The limit box as a 16-bit integer: rounded half to even and held within -32768..32767.
    static int limitFromText(const QString& text);
};
