#include "formula/CompiledFormula.h"

#include "formula/FormulaArithmetic.h"
#include "history/HistoryColumns.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using Op = CompiledFormula::Op;

// Instructions that only change the top of the stack, with a column or a constant as operand.
bool changesTopOnly(Op op)
{
    return op == Op::Negate || (op >= Op::AddColumn && op <= Op::ModuloConstant);
}

// Calls f(r) for r = 0..W-1, fully unrolled so a tile's values stay in registers.
template <int W, typename F> inline void forRows(F f)
{
#pragma GCC unroll 8
    for (int r = 0; r < W; ++r)
        f(r);
}

// Runs a segment of instructions (an optional load, then top-only instructions) on W rows held in
// registers, so a formula such as L1A+LT+L3D+7 passes over its rows once.
template <int W>
inline void runTile(const CompiledFormula::Instruction* ins, const CompiledFormula::Instruction* end,
                    const HistoryColumns& history, int row, double* __restrict top)
{
    double t[W];
    if (ins->op == Op::LoadColumn) {
        const double* c = history.column(ins->column) + row;
        forRows<W>([&](int r) { t[r] = c[r]; });
        ++ins;
    } else if (ins->op == Op::LoadConstant) {
        forRows<W>([&](int r) { t[r] = ins->constant; });
        ++ins;
    } else {
        forRows<W>([&](int r) { t[r] = top[r]; });
    }
    for (; ins != end; ++ins) {
        const double k = ins->constant;
        const double* c = history.column(ins->column) + row;
        switch (ins->op) {
        case Op::Negate:
            forRows<W>([&](int r) { t[r] = -t[r]; });
            break;
        case Op::AddColumn:
            forRows<W>([&](int r) { t[r] += c[r]; });
            break;
        case Op::SubtractColumn:
            forRows<W>([&](int r) { t[r] -= c[r]; });
            break;
        case Op::MultiplyColumn:
            forRows<W>([&](int r) { t[r] *= c[r]; });
            break;
        case Op::DivideColumn:
            forRows<W>([&](int r) { t[r] = FormulaArithmetic::divide(t[r], c[r]); });
            break;
        case Op::ModuloColumn:
            forRows<W>([&](int r) { t[r] = FormulaArithmetic::mod(t[r], c[r]); });
            break;
        case Op::AddConstant:
            forRows<W>([&](int r) { t[r] += k; });
            break;
        case Op::SubtractConstant:
            forRows<W>([&](int r) { t[r] -= k; });
            break;
        case Op::MultiplyConstant:
            forRows<W>([&](int r) { t[r] *= k; });
            break;
        case Op::DivideConstant:
            forRows<W>([&](int r) { t[r] = FormulaArithmetic::divide(t[r], k); });
            break;
        case Op::ModuloConstant:
            forRows<W>([&](int r) { t[r] = FormulaArithmetic::mod(t[r], k); });
            break;
        default:
            break;
        }
    }
    forRows<W>([&](int r) { top[r] = t[r]; });
}

template <typename F>
inline void combineLevels(double* __restrict left, const double* __restrict right, int count, F f)
{
    for (int i = 0; i < count; ++i)
        left[i] = f(left[i], right[i]);
}

} // namespace

double CompiledFormula::lastValue(const HistoryColumns& history, int row, int* fromRow) const
{
    if (fromRow)
        *fromRow = -1;
    if (!m_valid)
        return FormulaArithmetic::kNoValue;
    for (int r = std::min(row, history.drawCount() - 1); r >= 0; --r) {
        const double v = evaluateRow(history, r);
        if (!std::isnan(v)) {
            if (fromRow)
                *fromRow = r;
            return v;
        }
    }
    return FormulaArithmetic::kNoValue;
}

double CompiledFormula::evaluateRow(const HistoryColumns& history, int row) const
{
    if (!m_valid)
        return FormulaArithmetic::kNoValue;
    std::array<double, 32> small{};
    std::vector<double> large;
    double* stack = small.data();
    if (m_stackDepth > static_cast<int>(small.size())) {
        large.resize(m_stackDepth);
        stack = large.data();
    }
    int sp = -1;
    for (const Instruction& ins : m_program) {
        switch (ins.op) {
        case Op::LoadColumn:
            stack[++sp] = history.value(ins.column, row);
            break;
        case Op::LoadConstant:
            stack[++sp] = ins.constant;
            break;
        case Op::Negate:
            stack[sp] = -stack[sp];
            break;
        case Op::Add:
            --sp;
            stack[sp] += stack[sp + 1];
            break;
        case Op::Subtract:
            --sp;
            stack[sp] -= stack[sp + 1];
            break;
        case Op::Multiply:
            --sp;
            stack[sp] *= stack[sp + 1];
            break;
        case Op::Divide:
            --sp;
            stack[sp] = FormulaArithmetic::divide(stack[sp], stack[sp + 1]);
            break;
        case Op::Modulo:
            --sp;
            stack[sp] = FormulaArithmetic::mod(stack[sp], stack[sp + 1]);
            break;
        case Op::AddColumn:
            stack[sp] += history.value(ins.column, row);
            break;
        case Op::SubtractColumn:
            stack[sp] -= history.value(ins.column, row);
            break;
        case Op::MultiplyColumn:
            stack[sp] *= history.value(ins.column, row);
            break;
        case Op::DivideColumn:
            stack[sp] = FormulaArithmetic::divide(stack[sp], history.value(ins.column, row));
            break;
        case Op::ModuloColumn:
            stack[sp] = FormulaArithmetic::mod(stack[sp], history.value(ins.column, row));
            break;
        case Op::AddConstant:
            stack[sp] += ins.constant;
            break;
        case Op::SubtractConstant:
            stack[sp] -= ins.constant;
            break;
        case Op::MultiplyConstant:
            stack[sp] *= ins.constant;
            break;
        case Op::DivideConstant:
            stack[sp] = FormulaArithmetic::divide(stack[sp], ins.constant);
            break;
        case Op::ModuloConstant:
            stack[sp] = FormulaArithmetic::mod(stack[sp], ins.constant);
            break;
        }
    }
    return stack[0];
}

void CompiledFormula::evaluateBlock(const HistoryColumns& history, int firstRow, int count, double* out,
                                    double* scratch) const
{
    if (!m_valid) {
        std::fill(out, out + count, FormulaArithmetic::kNoValue);
        return;
    }
    // Stack level 0 is `out` itself; deeper levels live in scratch. Loads and top-only instructions
    // run as segments, tile by tile; the operators that pop a level run over the whole block.
    constexpr int kTile = 8;
    auto level = [&](int sp) {
        return sp == 0 ? out : scratch + static_cast<std::size_t>(sp - 1) * kBlockRows;
    };
    const Instruction* const begin = m_program.data();
    const Instruction* const end = begin + m_program.size();
    int sp = -1;
    for (const Instruction* ins = begin; ins != end;) {
        if (ins->op >= Op::Add && ins->op <= Op::Modulo) {
            const double* r = level(sp);
            double* t = level(--sp);
            switch (ins->op) {
            case Op::Add:
                combineLevels(t, r, count, [](double a, double b) { return a + b; });
                break;
            case Op::Subtract:
                combineLevels(t, r, count, [](double a, double b) { return a - b; });
                break;
            case Op::Multiply:
                combineLevels(t, r, count, [](double a, double b) { return a * b; });
                break;
            case Op::Divide:
                combineLevels(t, r, count,
                              [](double a, double b) { return FormulaArithmetic::divide(a, b); });
                break;
            default:
                combineLevels(t, r, count, [](double a, double b) { return FormulaArithmetic::mod(a, b); });
                break;
            }
            ++ins;
            continue;
        }
        const Instruction* segmentEnd = ins + 1;
        while (segmentEnd != end && changesTopOnly(segmentEnd->op))
            ++segmentEnd;
        if (ins->op == Op::LoadColumn || ins->op == Op::LoadConstant)
            ++sp;
        double* top = level(sp);
        int i = 0;
        for (; i + kTile <= count; i += kTile)
            runTile<kTile>(ins, segmentEnd, history, firstRow + i, top + i);
        for (; i < count; ++i)
            runTile<1>(ins, segmentEnd, history, firstRow + i, top + i);
        ins = segmentEnd;
    }
}
