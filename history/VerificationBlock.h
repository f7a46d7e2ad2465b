#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// Where the history grid shows a formula's per-draw result (setting "LsXs").
enum class VerificationMode
{
    PreCanshu, // row i: the prediction made on draw i − 1, judged by draw i (LsXs False, the default)
    Canshu,    // row i: the prediction made on draw i, judged by draw i + 1 (LsXs True)
};

// The per-draw columns of one block of formulas, as the history grid shows them beside the draws
// ("历史列表显示公式各期验算结果"): for formula numbers firstNumber .. firstNumber + formulaCount − 1
// of the current subset, the predicted number and the colour of every draw's cell. The back-test
// fills it (VerificationDisplay); the history grid only paints it.
//
// The formula columns come in blocks of 500 formulas chosen by a scroll bar: its range is 1 ..
// scrollMaximum(); a value v shows the block holding formula v, that is formulas
// ((v − 1) \ 500) × 500 + 1 onwards (paging by 500 gives 1, 501, 1001, …). Each column is headed by
// its own formula's number, so the block shown, its headers and the formulas painted always agree.
struct VerificationBlock
{
    enum Colour : std::uint8_t
    {
        NoColour,
        Hit,
        Miss,
        White
    }; // Hit blue, Miss green
    static constexpr std::int8_t kNoPrediction = INT8_MIN;
    static constexpr int kBlockSize = 500;

    int firstNumber = 1;
    int formulaCount = 0;
    int drawCount = 0;
    VerificationMode mode = VerificationMode::PreCanshu;
    // Column by column: formula i's cell on row r at i * drawCount + r.
    std::vector<std::int8_t> predictions;
    std::vector<std::uint8_t> colours;

    bool isEmpty() const { return formulaCount == 0; }
    int numberAt(int i) const { return firstNumber + i; }
    std::optional<int> prediction(int i, int row) const
    {
        const std::int8_t p = predictions[static_cast<std::size_t>(i) * drawCount + row];
        return p == kNoPrediction ? std::nullopt : std::optional<int>(p);
    }
    Colour colour(int i, int row) const
    {
        return static_cast<Colour>(colours[static_cast<std::size_t>(i) * drawCount + row]);
    }

    // ((formulas − 1) \ 500) × 500 + 1; 1 for no formulas.
    static int scrollMaximum(int formulaCount);
    // The first formula number of the block a scroll value shows.
    static int blockFirst(int scrollValue);
    // How many formulas that block holds out of formulaCount.
    static int blockSize(int scrollValue, int formulaCount);
    // "公式" + n below 100, "式" + n from 100 on.
    static QString header(int number);
};
