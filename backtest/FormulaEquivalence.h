#pragma once

#include "formula/CompiledFormula.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class HistoryColumns;

// The predictions a formula makes on the stored draws, one token per draw: on each draw the
// number ((v − 1) MOD 6) + 1 of its value v rounded as the back-test rounds it, or "no value".
// Two formulas of one table and sense are equivalent when their tokens agree on every draw: they
// are then scored alike by every back-test and predict alike for the next draw. (L1A+LT+3 and
// LT+L1A+9 are equivalent: a constant differing by 6 changes nothing after the reduction.)
//
// A single-selection (单选) formula also votes in the next-draw calculation, with its value MOD 10;
// two of them that the back-test cannot tell apart may still vote for different digits (constants
// 3 and 9). Their tokens carry both: the number 1..6 and the digit, so formulas of those kinds are
// equivalent only when they also vote alike.
class PredictionTokens
{
public:
    enum class Reduction
    {
        Number,        // ((v − 1) MOD 6) + 1: the back-test's prediction (通选 kinds)
        NumberAndDigit // that and v MOD 10: the back-test's prediction and the vote (单选 kinds)
    };
    static Reduction forKind(bool single) { return single ? Reduction::NumberAndDigit : Reduction::Number; }

    // Number: predictions -4..6 are tokens 1..11; a draw without a value is token 12.
    static constexpr std::uint8_t kNoValue = 12;
    // NumberAndDigit: the rounded value v's class modulo 30 (which fixes both its number and its
    // digit), tokens 1..30 for v >= 1 and 31..60 for v <= 0; a draw without a value is token 61.
    static constexpr std::uint8_t kNoDigitValue = 61;

    static std::uint8_t noValue(Reduction r) { return r == Reduction::Number ? kNoValue : kNoDigitValue; }
    static std::uint8_t ofValue(double x, Reduction r = Reduction::Number);
    static std::uint8_t ofInteger(long long v, Reduction r = Reduction::Number);
    // ofValue of each value, the same tokens computed without branches.
    static void ofValues(const double* values, int count, std::uint8_t* out, Reduction r = Reduction::Number);
    // Tokens of rows [first, first + count), count <= CompiledFormula::kBlockRows; `values` holds
    // kBlockRows doubles and `scratch` the formula's scratchSize().
    static void ofBlock(const HistoryColumns& history, const CompiledFormula& formula, int first, int count,
                        std::uint8_t* out, double* values, double* scratch, Reduction r = Reduction::Number);
    // Every draw's token.
    static std::vector<std::uint8_t> ofFormula(const HistoryColumns& history, const CompiledFormula& formula,
                                               Reduction r = Reduction::Number);
};

// A 64-bit hash of a token sequence (tokens 1..255), fed in pieces of any length: equal sequences give equal
// hashes however they were split. Unequal sequences may collide, so a match is confirmed token by token.
class PredictionHash
{
public:
    void add(const std::uint8_t* tokens, int count);
    std::uint64_t value() const;

private:
    void mix(std::uint64_t word);

    std::uint64_t m_state = 0x243F6A8885A308D3ULL;
    std::uint64_t m_word = 0;
    int m_shift = 0;
    std::int64_t m_count = 0;
};

// Finds the equivalent formulas of a list (a table's formulas of one sense, in idx order).
//
// Each formula first gets a key: the hash of its tokens on a sample of the history, up to
// kKeyBlocks blocks of rows spread evenly from the oldest draw to the newest. Formulas that differ
// almost always differ there, so only formulas sharing a key are compared, token by token on every
// draw; the equivalence itself is always decided on every draw.
class FormulaEquivalence
{
public:
    static constexpr int kKeyBlocks = 8;

    struct RowRange
    {
        int first = 0;
        int count = 0;
    };
    // Called on the calling thread with the formulas keyed so far.
    using Progress = std::function<void(int done, int total)>;

    // The rows a key is taken from, oldest first.
    static std::vector<RowRange> keyRows(int drawCount);
    static std::uint64_t key(const HistoryColumns& history, const CompiledFormula& formula,
                             PredictionTokens::Reduction reduction);
    // Whether the formula's tokens equal `tokens` on every draw; stops at the first difference.
    static bool samePredictions(const HistoryColumns& history, const CompiledFormula& formula,
                                const std::vector<std::uint8_t>& tokens,
                                PredictionTokens::Reduction reduction);

    // For each formula, the position of the first formula of the list that is equivalent to it, or
    // -1 when it is the first of its kind; tokens by `reduction` (PredictionTokens::forKind of the
    // list's kind). An invalid formula is equivalent to none, and so is every formula while no draw
    // is stored. Empty when cancelled. threads 0 chooses by the machine and the amount of work.
    static std::vector<int> firstEquivalents(const HistoryColumns& history,
                                             const std::vector<CompiledFormula>& formulas,
                                             PredictionTokens::Reduction reduction, int threads = 0,
                                             const Progress& progress = {},
                                             const std::atomic<bool>* cancel = nullptr);
};
