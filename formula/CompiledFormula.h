#pragma once

#include "formula/ColumnSum.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class HistoryColumns;

// A formula's code form compiled once into a small stack program over parameter columns and
// constants. Binary operators whose right operand is a single column or constant are fused into
// one instruction, and constant subexpressions are folded. An invalid formula (it does not parse,
// or names a letter group that is not a parameter code) has no program and carries the reason.
//
// Values that cannot be computed (division by zero, MOD 0, numbers out of the engine's range) are
// NaN, which propagates through every later operation: such a row has no value.
class CompiledFormula
{
public:
    enum class Op : std::uint8_t
    {
        LoadColumn,
        LoadConstant,
        Negate,
        Add,
        Subtract,
        Multiply,
        Divide,
        Modulo, // pop right operand
        AddColumn,
        SubtractColumn,
        MultiplyColumn,
        DivideColumn,
        ModuloColumn, // right operand: column
        AddConstant,
        SubtractConstant,
        MultiplyConstant,
        DivideConstant,
        ModuloConstant, // right: constant
    };
    struct Instruction
    {
        Op op;
        int column = 0;
        double constant = 0;
    };
    // Rows evaluated at a time by evaluateBlock().
    static constexpr int kBlockRows = 256;

    // Compiles the code form; never fails, an invalid formula reports isValid() false.
    static CompiledFormula compile(const QString& code);

    CompiledFormula() = default;
    bool isValid() const { return m_valid; }
    const QString& error() const { return m_error; } // Chinese reason when invalid
    const std::vector<Instruction>& program() const { return m_program; }
    int stackDepth() const { return m_stackDepth; }
    // The formula as a plain sum of columns and a constant, evaluated in integers; null when it is
    // not one (the interpreter below runs it).
    const ColumnSum* columnSum() const { return m_sum ? &*m_sum : nullptr; }
    // The same formula always run by the interpreter: the integer path is checked against it.
    CompiledFormula interpreted() const
    {
        CompiledFormula f = *this;
        f.m_sum.reset();
        return f;
    }

    // The formula's value on one draw (row 0 = oldest); NaN when invalid or not computable.
    double evaluateRow(const HistoryColumns& history, int row) const;
    // The value a prediction made on `row` uses: the value on that row or, when it has none, on the
    // newest earlier row that has one (the back-test carries the last value forward the same way).
    // NaN when no row up to `row` has a value; *fromRow (when given) gets the row used, or -1.
    double lastValue(const HistoryColumns& history, int row, int* fromRow = nullptr) const;
    // Values of rows [firstRow, firstRow + count) into out, count <= kBlockRows. scratch must hold
    // at least scratchSize() doubles and is reused between calls.
    void evaluateBlock(const HistoryColumns& history, int firstRow, int count, double* out,
                       double* scratch) const;
    std::size_t scratchSize() const
    {
        return static_cast<std::size_t>(m_stackDepth > 1 ? m_stackDepth - 1 : 0) * kBlockRows;
    }

private:
    friend class FormulaCompiler;

    bool m_valid = false;
    QString m_error;
    std::vector<Instruction> m_program;
    int m_stackDepth = 0;
    std::optional<ColumnSum> m_sum;
};
