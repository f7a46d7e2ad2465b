#include "formula/ColumnSum.h"

#include "formula/CompiledFormula.h"
#include "formula/SumKernels.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"

#include <cmath>
#include <map>

namespace {

using Op = CompiledFormula::Op;

// Any partial result stays below this in magnitude: 32-bit integer sums are then exact, and so are
// the interpreter's doubles.
constexpr double kLimit = 2147483647.0;
constexpr double kColumnMagnitude = 32768.0; // a 16-bit value's largest magnitude

// An integer linear combination of columns, as the stack of the program holds it.
struct Linear
{
    std::map<int, long long> coefficients;
    long long constant = 0;

    // The largest magnitude its value can take on any draw.
    double bound() const
    {
        double b = std::fabs(double(constant));
        for (const auto& [column, k] : coefficients)
            b += std::fabs(double(k)) * kColumnMagnitude;
        return b;
    }
    void add(const Linear& other, long long sign)
    {
        for (const auto& [column, k] : other.coefficients)
            coefficients[column] += sign * k;
        constant += sign * other.constant;
    }
    void scale(long long factor)
    {
        for (auto& entry : coefficients)
            entry.second *= factor;
        constant *= factor;
    }
};

// An integral constant small enough to scale or add without leaving the limit.
bool integral(double c, long long* out)
{
    if (!(std::fabs(c) <= kLimit) || c != std::floor(c))
        return false;
    *out = static_cast<long long>(c);
    return true;
}

Linear ofColumn(int column)
{
    Linear l;
    l.coefficients[column] = 1;
    return l;
}

Linear ofConstant(long long c)
{
    Linear l;
    l.constant = c;
    return l;
}

} // namespace

std::optional<ColumnSum> ColumnSum::of(const CompiledFormula& formula)
{
    if (!formula.isValid())
        return std::nullopt;
    std::vector<Linear> stack;
    for (const CompiledFormula::Instruction& ins : formula.program()) {
        long long c = 0;
        if (ins.op == Op::AddConstant || ins.op == Op::SubtractConstant || ins.op == Op::MultiplyConstant ||
            ins.op == Op::LoadConstant) {
            if (!integral(ins.constant, &c))
                return std::nullopt;
        }
        if (ins.column < 0 || ins.column >= kParameterCount)
            return std::nullopt;
        switch (ins.op) {
        case Op::LoadColumn:
            stack.push_back(ofColumn(ins.column));
            break;
        case Op::LoadConstant:
            stack.push_back(ofConstant(c));
            break;
        case Op::Negate:
            if (stack.empty())
                return std::nullopt;
            stack.back().scale(-1);
            break;
        case Op::Add:
        case Op::Subtract: {
            if (stack.size() < 2)
                return std::nullopt;
            const Linear right = stack.back();
            stack.pop_back();
            stack.back().add(right, ins.op == Op::Add ? 1 : -1);
            break;
        }
        case Op::Multiply: {
            // Only a product with a constant side stays a sum.
            if (stack.size() < 2)
                return std::nullopt;
            Linear right = stack.back();
            stack.pop_back();
            Linear& left = stack.back();
            if (right.coefficients.empty()) {
                left.scale(right.constant);
            } else if (left.coefficients.empty()) {
                right.scale(left.constant);
                left = right;
            } else {
                return std::nullopt;
            }
            break;
        }
        case Op::AddColumn:
        case Op::SubtractColumn:
            if (stack.empty())
                return std::nullopt;
            stack.back().add(ofColumn(ins.column), ins.op == Op::AddColumn ? 1 : -1);
            break;
        case Op::AddConstant:
        case Op::SubtractConstant:
            if (stack.empty())
                return std::nullopt;
            stack.back().constant += ins.op == Op::AddConstant ? c : -c;
            break;
        case Op::MultiplyColumn: {
            // 3*LT: a constant times a column.
            if (stack.empty() || !stack.back().coefficients.empty())
                return std::nullopt;
            Linear column = ofColumn(ins.column);
            column.scale(stack.back().constant);
            stack.back() = column;
            break;
        }
        case Op::MultiplyConstant:
            if (stack.empty())
                return std::nullopt;
            stack.back().scale(c);
            break;
        default:
            return std::nullopt; // division, MOD, a product of two columns
        }
        if (stack.empty() || stack.back().bound() > kLimit)
            return std::nullopt;
    }
    if (stack.size() != 1)
        return std::nullopt;
    ColumnSum sum;
    int terms = 0;
    for (const auto& [column, k] : stack.back().coefficients) {
        terms += int(k < 0 ? -k : k);
        if (terms > kMaxTerms)
            return std::nullopt;
        std::vector<int>& side = k > 0 ? sum.m_added : sum.m_subtracted;
        side.insert(side.end(), std::size_t(k < 0 ? -k : k), column);
    }
    sum.m_constant = static_cast<std::int32_t>(stack.back().constant);
    return sum;
}

ColumnSum ColumnSum::ofColumns(const std::vector<int>& added, std::int32_t constant)
{
    ColumnSum sum;
    sum.m_added = added;
    sum.m_constant = constant;
    return sum;
}

void ColumnSum::predictionCodes(const HistoryColumns& history, int firstRow, int count,
                                std::int8_t* codes) const
{
    const std::int16_t* added[kMaxTerms];
    const std::int16_t* subtracted[kMaxTerms];
    for (std::size_t k = 0; k < m_added.size(); ++k)
        added[k] = history.column16(m_added[k]) + firstRow;
    for (std::size_t k = 0; k < m_subtracted.size(); ++k)
        subtracted[k] = history.column16(m_subtracted[k]) + firstRow;
    SumKernels::predictionCodes(added, int(m_added.size()), subtracted, int(m_subtracted.size()), m_constant,
                                count, codes);
}
