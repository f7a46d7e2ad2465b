#pragma once

#include <QString>
#include <array>
#include <vector>

class HistoryColumns;
struct DrawRecord;

// How the results pages of a lottery write each draw's three numbers. Most publish them smallest
// first, so 百位 is mostly 1 and 个位 mostly 6; some keep the order the dice fell. Stored as "HMSX".
enum class PublicationOrder
{
    Detect = 0,    // "自动识别": from the stored draws
    Ascending = 1, // "从小到大"
    AsDrawn = 2,   // "按开出顺序"
};

// The order in force for a history once the setting is applied.
enum class DrawOrder
{
    AsDrawn,
    Ascending,
};

// What the detection found in a history and which order the chance figures use.
struct DrawOrderReading
{
    PublicationOrder setting = PublicationOrder::Detect;
    int draws = 0;          // stored draws looked at
    int ascendingDraws = 0; // of which 百位 ≤ 十位 ≤ 个位
    DrawOrder order = DrawOrder::AsDrawn;

    // "已存 35714 期中 100% 从小到大排列，按从小到大计算机会".
    QString text() const;
    // "机会按从小到大排列的开奖号码计算": the line the command line prints once.
    QString chanceLine() const;
};

// Three fair dice, read in the order a lottery publishes them: the chance of every event the
// figures against chance need, counted exactly over the 216 equally likely throws. Positions are
// those of the draw record: 0 百位 (L1A), 1 十位 (L2A), 2 个位 (L3A); a set of positions is a bit
// mask of them. Immutable; the two models are built once and shared by every thread.
class DrawModel
{
public:
    static constexpr int kThrows = 216;
    // The detection rule: ascending when at least 20 draws are stored and at least 95 % of them
    // are ascending (three fair dice fall ascending in 56 of 216 throws).
    static constexpr int kMinimumDrawsToDetect = 20;
    static constexpr double kAscendingShare = 0.95;

    static const DrawModel& of(DrawOrder order);
    static DrawOrder detect(int draws, int ascendingDraws);
    static DrawOrderReading read(const HistoryColumns& history, PublicationOrder setting);
    static DrawOrderReading read(const std::vector<DrawRecord>& draws, PublicationOrder setting);
    static const DrawModel& forHistory(const HistoryColumns& history, PublicationOrder setting)
    {
        return of(read(history, setting).order);
    }
    // The positions of ParameterTable number columns (0, 1, 2), as a mask.
    static int maskOf(const std::vector<int>& numberColumns);
    // The setting's words, "自动识别" / "从小到大" / "按开出顺序", and its command-line word.
    static QString settingCaption(PublicationOrder setting);
    static bool parseOrderWord(const QString& word, PublicationOrder* setting);

    DrawOrder order() const { return m_order; }
    // P(v is among the published numbers of the positions in `mask`), v in 1..6.
    double inChance(int mask, int v) const { return m_in[std::size_t(mask)][std::size_t(v - 1)]; }
    double outChance(int mask, int v) const { return m_out[std::size_t(mask)][std::size_t(v - 1)]; }
    // P(neither u nor v is among them).
    double bothOutChance(int mask, int u, int v) const
    {
        return m_bothOut[std::size_t(mask)][std::size_t(u - 1)][std::size_t(v - 1)];
    }
    // P(position shows v).
    double positionChance(int position, int v) const { return inChance(1 << position, v); }
    // Whether every number has the same chance in these positions (as drawn, or all three).
    bool isUniform(int mask) const { return m_uniform[std::size_t(mask)]; }

    // The published outcomes: as drawn all 216 throws, ascending the 56 sorted ones, each with the
    // throws that give it (1, 3 or 6).
    struct Outcome
    {
        std::array<int, 3> numbers{}; // 百位, 十位, 个位
        int throws = 0;
    };
    const std::vector<Outcome>& outcomes() const { return m_outcomes; }

private:
    explicit DrawModel(DrawOrder order);

    DrawOrder m_order;
    std::array<std::array<double, 6>, 8> m_in{};
    std::array<std::array<double, 6>, 8> m_out{};
    std::array<std::array<std::array<double, 6>, 6>, 8> m_bothOut{};
    std::array<bool, 8> m_uniform{};
    std::vector<Outcome> m_outcomes;
};
