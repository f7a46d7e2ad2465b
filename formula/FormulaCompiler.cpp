#include "formula/FormulaCompiler.h"

#include "formula/FormulaArithmetic.h"
#include "history/ParameterTable.h"

#include <algorithm>

namespace {

using Op = CompiledFormula::Op;
using Program = std::vector<CompiledFormula::Instruction>;

// Nesting of parentheses and unary signs beyond this is refused rather than risking the stack.
constexpr int kMaxNesting = 200;

struct Token
{
    enum Kind
    {
        End,
        Number,
        Code,
        Plus,
        Minus,
        Times,
        Slash,
        Mod,
        Open,
        Close
    } kind = End;
    double number = 0;
    int column = 0;
    QString text;
};

struct ParseError
{
    QString message;
};

class Parser
{
public:
    explicit Parser(const QString& text) : m_text(text) { advance(); }

    Program parse()
    {
        if (m_token.kind == Token::End)
            throw ParseError{QStringLiteral("公式为空")};
        Program p = expression(0);
        if (m_token.kind == Token::Close)
            throw ParseError{QStringLiteral("括号不配对：多余的“)”")};
        if (m_token.kind != Token::End)
            throw ParseError{QStringLiteral("公式语法错误：“%1”前缺少运算符").arg(m_token.text)};
        return p;
    }

private:
    void advance()
    {
        while (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char(' '))
            ++m_pos;
        m_token = Token{};
        if (m_pos >= m_text.size())
            return;
        const qsizetype start = m_pos;
        const QChar c = m_text[m_pos];
        const char16_t u = c.unicode();
        auto isDigit = [](char16_t x) { return x >= '0' && x <= '9'; };
        auto isLetter = [](char16_t x) { return (x >= 'A' && x <= 'Z') || (x >= 'a' && x <= 'z'); };
        if (isDigit(u)) {
            while (m_pos < m_text.size() && isDigit(m_text[m_pos].unicode()))
                ++m_pos;
            m_token.kind = Token::Number;
            m_token.text = m_text.mid(start, m_pos - start);
            m_token.number = m_token.text.toDouble();
            return;
        }
        if (isLetter(u)) {
            while (m_pos < m_text.size() &&
                   (isLetter(m_text[m_pos].unicode()) || isDigit(m_text[m_pos].unicode())))
                ++m_pos;
            m_token.text = m_text.mid(start, m_pos - start);
            if (m_token.text.compare(QLatin1String("MOD"), Qt::CaseInsensitive) == 0) {
                m_token.kind = Token::Mod;
                return;
            }
            m_token.column = ParameterTable::indexOf(m_token.text);
            if (m_token.column < 0)
                throw ParseError{QStringLiteral("“%1”不是参数代码").arg(m_token.text)};
            m_token.kind = Token::Code;
            return;
        }
        ++m_pos;
        m_token.text = QString(c);
        switch (u) {
        case '+':
            m_token.kind = Token::Plus;
            return;
        case '-':
            m_token.kind = Token::Minus;
            return;
        case '*':
            m_token.kind = Token::Times;
            return;
        case '/':
            m_token.kind = Token::Slash;
            return;
        case '(':
            m_token.kind = Token::Open;
            return;
        case ')':
            m_token.kind = Token::Close;
            return;
        default:
            throw ParseError{QStringLiteral("公式含有无法识别的字符“%1”").arg(c)};
        }
    }

    static bool isSingleLoad(const Program& p, Op op) { return p.size() == 1 && p.front().op == op; }

    static double fold(Op op, double a, double b)
    {
        switch (op) {
        case Op::Add:
            return a + b;
        case Op::Subtract:
            return a - b;
        case Op::Multiply:
            return a * b;
        case Op::Divide:
            return FormulaArithmetic::divide(a, b);
        default:
            return FormulaArithmetic::mod(a, b);
        }
    }

    // left OP right, with `op` one of the stack forms Add..Modulo.
    static Program combine(Program left, Program right, Op op)
    {
        const int offset = static_cast<int>(op) - static_cast<int>(Op::Add);
        if (isSingleLoad(left, Op::LoadConstant) && isSingleLoad(right, Op::LoadConstant)) {
            left.front().constant = fold(op, left.front().constant, right.front().constant);
            return left;
        }
        if (isSingleLoad(right, Op::LoadColumn)) {
            left.push_back(
                {static_cast<Op>(static_cast<int>(Op::AddColumn) + offset), right.front().column, 0});
            return left;
        }
        if (isSingleLoad(right, Op::LoadConstant)) {
            left.push_back(
                {static_cast<Op>(static_cast<int>(Op::AddConstant) + offset), 0, right.front().constant});
            return left;
        }
        left.insert(left.end(), right.begin(), right.end());
        left.push_back({op, 0, 0});
        return left;
    }

    Program expression(int depth)
    {
        Program p = modTerm(depth);
        while (m_token.kind == Token::Plus || m_token.kind == Token::Minus) {
            const Op op = m_token.kind == Token::Plus ? Op::Add : Op::Subtract;
            advance();
            p = combine(std::move(p), modTerm(depth), op);
        }
        return p;
    }

    Program modTerm(int depth)
    {
        Program p = product(depth);
        while (m_token.kind == Token::Mod) {
            advance();
            p = combine(std::move(p), product(depth), Op::Modulo);
        }
        return p;
    }

    Program product(int depth)
    {
        Program p = unary(depth);
        while (m_token.kind == Token::Times || m_token.kind == Token::Slash) {
            const Op op = m_token.kind == Token::Times ? Op::Multiply : Op::Divide;
            advance();
            p = combine(std::move(p), unary(depth), op);
        }
        return p;
    }

    Program unary(int depth)
    {
        if (depth > kMaxNesting)
            throw ParseError{QStringLiteral("公式嵌套过深")};
        if (m_token.kind == Token::Plus) {
            advance();
            return unary(depth + 1);
        }
        if (m_token.kind == Token::Minus) {
            advance();
            Program p = unary(depth + 1);
            if (isSingleLoad(p, Op::LoadConstant))
                p.front().constant = -p.front().constant;
            else
                p.push_back({Op::Negate, 0, 0});
            return p;
        }
        return primary(depth);
    }

    Program primary(int depth)
    {
        const Token t = m_token;
        switch (t.kind) {
        case Token::Number:
            advance();
            return {{Op::LoadConstant, 0, t.number}};
        case Token::Code:
            advance();
            return {{Op::LoadColumn, t.column, 0}};
        case Token::Open: {
            advance();
            Program p = expression(depth + 1);
            if (m_token.kind != Token::Close)
                throw ParseError{QStringLiteral("括号不配对：缺少“)”")};
            advance();
            return p;
        }
        case Token::End:
            throw ParseError{QStringLiteral("公式不完整：末尾缺少运算数")};
        default:
            throw ParseError{QStringLiteral("公式语法错误：“%1”处缺少运算数").arg(t.text)};
        }
    }

    const QString& m_text;
    qsizetype m_pos = 0;
    Token m_token;
};

int stackDepthOf(const Program& program)
{
    int depth = 0;
    int deepest = 0;
    for (const auto& ins : program) {
        if (ins.op == Op::LoadColumn || ins.op == Op::LoadConstant)
            ++depth;
        else if (ins.op >= Op::Add && ins.op <= Op::Modulo)
            --depth;
        deepest = std::max(deepest, depth);
    }
    return deepest;
}

} // namespace

CompiledFormula FormulaCompiler::compile(const QString& code)
{
    CompiledFormula f;
    try {
        Parser parser(code);
        f.m_program = parser.parse();
        f.m_stackDepth = stackDepthOf(f.m_program);
        f.m_valid = true;
        f.m_sum = ColumnSum::of(f);
    } catch (const ParseError& e) {
        f.m_program.clear();
        f.m_error = e.message;
        f.m_valid = false;
    }
    return f;
}

CompiledFormula CompiledFormula::compile(const QString& code)
{
    return FormulaCompiler::compile(code);
}
