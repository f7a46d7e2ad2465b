#include "formula/CompiledFormula.h"

#include "backtest/HistoryColumns.h"
#include "formula/FormulaArithmetic.h"

#include <algorithm>
#include <array>

namespace {

using Op = CompiledFormula::Op;

template <typename F>
inline void apply(double* __restrict top, int count, F f)
{
    for (int i = 0; i < count; ++i)
        top[i] = f(top[i], i);
}

} // namespace

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
        case Op::LoadColumn: stack[++sp] = history.value(ins.column, row); break;
        case Op::LoadConstant: stack[++sp] = ins.constant; break;
        case Op::Negate: stack[sp] = -stack[sp]; break;
        case Op::Add: --sp; stack[sp] += stack[sp + 1]; break;
        case Op::Subtract: --sp; stack[sp] -= stack[sp + 1]; break;
        case Op::Multiply: --sp; stack[sp] *= stack[sp + 1]; break;
        case Op::Divide: --sp; stack[sp] = FormulaArithmetic::divide(stack[sp], stack[sp + 1]); break;
        case Op::Modulo: --sp; stack[sp] = FormulaArithmetic::mod(stack[sp], stack[sp + 1]); break;
        case Op::AddColumn: stack[sp] += history.value(ins.column, row); break;
        case Op::SubtractColumn: stack[sp] -= history.value(ins.column, row); break;
        case Op::MultiplyColumn: stack[sp] *= history.value(ins.column, row); break;
        case Op::DivideColumn: stack[sp] = FormulaArithmetic::divide(stack[sp], history.value(ins.column, row)); break;
        case Op::ModuloColumn: stack[sp] = FormulaArithmetic::mod(stack[sp], history.value(ins.column, row)); break;
        case Op::AddConstant: stack[sp] += ins.constant; break;
        case Op::SubtractConstant: stack[sp] -= ins.constant; break;
        case Op::MultiplyConstant: stack[sp] *= ins.constant; break;
        case Op::DivideConstant: stack[sp] = FormulaArithmetic::divide(stack[sp], ins.constant); break;
        case Op::ModuloConstant: stack[sp] = FormulaArithmetic::mod(stack[sp], ins.constant); break;
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
    // Stack level 0 is `out` itself; deeper levels live in scratch. Each instruction runs over the
    // whole block, so the loops are short and branch-free enough for the compiler to vectorise.
    auto level = [&](int sp) { return sp == 0 ? out : scratch + static_cast<std::size_t>(sp - 1) * kBlockRows; };
    int sp = -1;
    for (const Instruction& ins : m_program) {
        switch (ins.op) {
        case Op::LoadColumn: {
            const double* c = history.column(ins.column) + firstRow;
            std::copy(c, c + count, level(++sp));
            break;
        }
        case Op::LoadConstant:
            std::fill(level(sp + 1), level(sp + 1) + count, ins.constant);
            ++sp;
            break;
        case Op::Negate:
            apply(level(sp), count, [](double a, int) { return -a; });
            break;
        case Op::Add:
        case Op::Subtract:
        case Op::Multiply:
        case Op::Divide:
        case Op::Modulo: {
            const double* __restrict r = level(sp);
            double* __restrict t = level(--sp);
            switch (ins.op) {
            case Op::Add: apply(t, count, [r](double a, int i) { return a + r[i]; }); break;
            case Op::Subtract: apply(t, count, [r](double a, int i) { return a - r[i]; }); break;
            case Op::Multiply: apply(t, count, [r](double a, int i) { return a * r[i]; }); break;
            case Op::Divide: apply(t, count, [r](double a, int i) { return FormulaArithmetic::divide(a, r[i]); }); break;
            default: apply(t, count, [r](double a, int i) { return FormulaArithmetic::mod(a, r[i]); }); break;
            }
            break;
        }
        case Op::AddColumn:
        case Op::SubtractColumn:
        case Op::MultiplyColumn:
        case Op::DivideColumn:
        case Op::ModuloColumn: {
            const double* __restrict r = history.column(ins.column) + firstRow;
            double* __restrict t = level(sp);
            switch (ins.op) {
            case Op::AddColumn: apply(t, count, [r](double a, int i) { return a + r[i]; }); break;
            case Op::SubtractColumn: apply(t, count, [r](double a, int i) { return a - r[i]; }); break;
            case Op::MultiplyColumn: apply(t, count, [r](double a, int i) { return a * r[i]; }); break;
            case Op::DivideColumn: apply(t, count, [r](double a, int i) { return FormulaArithmetic::divide(a, r[i]); }); break;
            default: apply(t, count, [r](double a, int i) { return FormulaArithmetic::mod(a, r[i]); }); break;
            }
            break;
        }
        case Op::AddConstant:
        case Op::SubtractConstant:
        case Op::MultiplyConstant:
        case Op::DivideConstant:
        case Op::ModuloConstant: {
            const double k = ins.constant;
            double* __restrict t = level(sp);
            switch (ins.op) {
            case Op::AddConstant: apply(t, count, [k](double a, int) { return a + k; }); break;
            case Op::SubtractConstant: apply(t, count, [k](double a, int) { return a - k; }); break;
            case Op::MultiplyConstant: apply(t, count, [k](double a, int) { return a * k; }); break;
            case Op::DivideConstant: apply(t, count, [k](double a, int) { return FormulaArithmetic::divide(a, k); }); break;
            default: apply(t, count, [k](double a, int) { return FormulaArithmetic::mod(a, k); }); break;
            }
            break;
        }
        }
    }
}
