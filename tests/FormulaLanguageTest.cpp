#include "formula/CompiledFormula.h"
#include "formula/FormulaArithmetic.h"
#include "formula/FormulaKind.h"
#include "formula/FormulaTranslation.h"
#include "history/HistoryColumns.h"
#include "history/ParameterTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

namespace {

QString tr(const char* text)
{
    return FormulaTranslation::translateGongshiCN(QString::fromUtf8(text));
}

// One draw whose columns are all 0 except the ones given.
HistoryColumns oneDraw(std::initializer_list<std::pair<const char*, int>> values)
{
    DrawRecord d;
    for (const auto& [code, v] : values)
        d.values[ParameterTable::column(code)] = static_cast<int16_t>(v);
    return HistoryColumns(std::vector<DrawRecord>{d});
}

double eval(const char* code, const HistoryColumns& h)
{
    const CompiledFormula f = CompiledFormula::compile(QString::fromLatin1(code));
    EXPECT_TRUE(f.isValid()) << code << ": " << f.error().toStdString();
    return f.evaluateRow(h, 0);
}

double eval(const char* code)
{
    return eval(code, oneDraw({{"L1A", 3}, {"L2A", 5}, {"L3A", 6}, {"LH", 14}}));
}

} // namespace

TEST(FormulaTranslation, EdgeCasesOfTheTable)
{
    EXPECT_EQ(tr("本期号合+上期号"), "QHW+SQH");
    EXPECT_EQ(tr("和个位+个位码"), "LI+L3A");
    EXPECT_EQ(tr("除5余0+除3余0"), "L5H+L3L");
    EXPECT_EQ(tr("个位3余"), "L3E");
    EXPECT_EQ(tr("百位码+和数+除5余0+3"), "L1A+LH+L5H+3");
    EXPECT_EQ(tr("十位互补数+个位2指数方+十位大小"), "L2I+L3J+L2B");
    EXPECT_EQ(tr("  L1A+LT+3 "), "L1A+LT+3");
    EXPECT_EQ(tr("十位码+跨度-3"), "L2A+LT-3");
    EXPECT_EQ(tr("百位码+千位码"), QStringLiteral("L1A+千位A"));
    EXPECT_EQ(tr("上期号合+年份合+月份+日期合"), "SQHW+NFW+YF+RQW");
}

TEST(FormulaTranslation, EveryParameterNameBecomesItsOwnCode)
{
    for (int i = 0; i < kParameterCount; ++i)
        EXPECT_EQ(FormulaTranslation::translateGongshiCN(ParameterTable::chineseName(i)),
                  ParameterTable::code(i))
            << ParameterTable::chineseName(i).toStdString();
}

TEST(FormulaTranslation, LongerNamesComeFirstAndCodesAreAscii)
{
    const auto& table = FormulaTranslation::translationTable();
    ASSERT_EQ(table.size(), 57u);
    EXPECT_EQ(table[37].first, QStringLiteral("除5余1"));
    EXPECT_EQ(table[41].first, QStringLiteral("除5余0"));
    EXPECT_EQ(table[41].second, "L5H");
    EXPECT_EQ(table[44].first, QStringLiteral("除3余0"));
    EXPECT_EQ(table[44].second, "L3L");
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_TRUE(FormulaTranslation::checkGongshiChars(table[i].second));
        // A name replaced earlier must not occur inside a later one, or the later could never match.
        for (std::size_t j = i + 1; j < table.size(); ++j)
            EXPECT_FALSE(table[j].first.contains(table[i].first))
                << table[i].first.toStdString() << " before " << table[j].first.toStdString();
    }
}

TEST(FormulaTranslation, AsReplaceSearchesAgainFromTheStart)
{
    QString line = QStringLiteral("aaab");
    // Each replacement forms a new occurrence, which is replaced in turn.
    EXPECT_EQ(FormulaTranslation::asReplace(&line, "ab", "b"), "b");
    EXPECT_EQ(line, "b");
    line = QStringLiteral("x合y合");
    EXPECT_EQ(FormulaTranslation::asReplace(&line, QStringLiteral("合"), "W"), "xWyW");
    line = QStringLiteral("none");
    EXPECT_EQ(FormulaTranslation::asReplace(&line, "zz", "y"), "none");
}

TEST(FormulaTranslation, ReplacingAllAtOnceGivesTheCodeOfReplacingOneOccurrenceAtATime)
{
    // The translation as a text is searched again from its start after every replacement.
    auto oneAtATime = [](QString line) {
        for (const auto& [chinese, code] : FormulaTranslation::translationTable())
            for (qsizetype at = line.indexOf(chinese); at >= 0; at = line.indexOf(chinese))
                line.replace(at, chinese.size(), code);
        return line.trimmed();
    };
    QStringList pieces{"+",
                       "-",
                       "*",
                       " MOD ",
                       "(",
                       ")",
                       "1",
                       "2",
                       "3",
                       "5",
                       "0",
                       " ",
                       "L",
                       "A",
                       QStringLiteral("余"),
                       QStringLiteral("除"),
                       QStringLiteral("千位"),
                       QStringLiteral("合"),
                       QStringLiteral("期")};
    for (const auto& [chinese, code] : FormulaTranslation::translationTable())
        pieces << chinese << code;
    std::mt19937 random(5);
    for (int i = 0; i < 3000; ++i) {
        QString text;
        const int length = int(random() % 12) + 1;
        for (int k = 0; k < length; ++k)
            text += pieces[int(random() % pieces.size())];
        EXPECT_EQ(FormulaTranslation::translateGongshiCN(text), oneAtATime(text)) << text.toStdString();
    }
}

TEST(FormulaTranslation, CharacterCheck)
{
    EXPECT_TRUE(FormulaTranslation::checkGongshiChars(""));
    EXPECT_TRUE(FormulaTranslation::checkGongshiChars("(L1A MOD 3)*2 - lt/4 + 7"));
    for (const char* bad : {"L2A+LT+3.5", "L1A,3", "L1A\\2", "L1A^2", "[L1A]", "L1A=3", "L1A\t+3"})
        EXPECT_FALSE(FormulaTranslation::checkGongshiChars(QString::fromLatin1(bad))) << bad;
    EXPECT_FALSE(FormulaTranslation::checkGongshiChars(QStringLiteral("L1A＋3")));
    EXPECT_EQ(FormulaTranslation::firstRefusedChar(QStringLiteral("L1A+千位A")), 4);
    EXPECT_EQ(FormulaTranslation::firstRefusedChar(QString("L1A") + QChar(0)), 3);
}

TEST(FormulaArithmetic, RoundsHalvesToEven)
{
    const std::pair<double, int> cases[] = {{2.5, 2},   {3.5, 4},
                                            {-2.5, -2}, {-3.5, -4},
                                            {0.5, 0},   {1.5, 2},
                                            {2.4, 2},   {2.6, 3},
                                            {-0.5, 0},  {1e9 + 0.5, 1000000000},
                                            {7, 7},     {-2147483648.5, -2147483647 - 1}};
    for (const auto& [x, expected] : cases) {
        int v = 0;
        ASSERT_TRUE(FormulaArithmetic::toInt32(x, &v)) << x;
        EXPECT_EQ(v, expected) << x;
    }
    int v = 0;
    EXPECT_FALSE(FormulaArithmetic::toInt32(2147483647.5, &v));
    EXPECT_FALSE(FormulaArithmetic::toInt32(NAN, &v));
    EXPECT_FALSE(FormulaArithmetic::toInt32(INFINITY, &v));
}

TEST(FormulaArithmetic, PredictionsAndRemainderSigns)
{
    const std::pair<int, int> cases[] = {{1, 1},   {6, 6},   {7, 1},  {12, 6}, {0, 0},
                                         {-1, -1}, {-4, -4}, {-5, 1}, {-6, 0}};
    for (const auto& [x, p] : cases)
        EXPECT_EQ(FormulaArithmetic::predictedNumber(x), p) << x;
    EXPECT_EQ(FormulaArithmetic::predictedNumber(2.5), 3); // 1.5 rounds to 2 inside MOD
    EXPECT_EQ(FormulaArithmetic::predictedNumber(3.5), 3); // 2.5 rounds to 2
    EXPECT_EQ(FormulaArithmetic::predictedNumber(7.0), 1);
    EXPECT_FALSE(FormulaArithmetic::predictedNumber(NAN).has_value());
    EXPECT_EQ(FormulaArithmetic::predictedDigit(13.0), 3);
    EXPECT_EQ(FormulaArithmetic::predictedDigit(-3.0), -3);
    EXPECT_EQ(FormulaArithmetic::predictedDigit(24.5), 4);
    EXPECT_EQ(FormulaArithmetic::mod(-7, 3), -1);
    EXPECT_EQ(FormulaArithmetic::mod(7, -3), 1);
    EXPECT_TRUE(std::isnan(FormulaArithmetic::mod(7, 0.4)));
    EXPECT_TRUE(std::isnan(FormulaArithmetic::divide(1, 0)));
}

TEST(FormulaCompiler, PrecedenceAndAssociativity)
{
    EXPECT_EQ(eval("2+3*4"), 14);
    EXPECT_EQ(eval("(2+3)*4"), 20);
    EXPECT_EQ(eval("8-3-2"), 3);
    EXPECT_EQ(eval("8/4/2"), 1);
    EXPECT_EQ(eval("L1A/2"), 1.5);
    EXPECT_EQ(eval("7/2"), 3.5);
    // MOD binds weaker than * and /, tighter than + and -.
    EXPECT_EQ(eval("2*3 MOD 4"), 2);
    EXPECT_EQ(eval("7 MOD 4*2"), 7);
    EXPECT_EQ(eval("10-7 MOD 4"), 7);
    EXPECT_EQ(eval("10 MOD 4 MOD 3"), 2);
    EXPECT_EQ(eval("1+L2A MOD 3+1"), 4);
    EXPECT_EQ(eval("-7 MOD 3"), -1);
    EXPECT_EQ(eval("7 MOD -3"), 1);
    EXPECT_EQ(eval("-L1A*-2"), 6);
    EXPECT_EQ(eval("+L1A- -L2A"), 8);
    EXPECT_EQ(eval("3-(L1A+L2A)*2"), -13);
    EXPECT_EQ(eval("  l1a  mod  2 + Lh "), 15);
}

TEST(FormulaCompiler, ModRoundsOperandsHalvesToEven)
{
    EXPECT_EQ(eval("5/2 MOD 3"), 2);            // 2.5 -> 2
    EXPECT_EQ(eval("7/2 MOD 5"), 4);            // 3.5 -> 4
    EXPECT_EQ(eval("-5/2 MOD 7"), -2);          // -2.5 -> -2
    EXPECT_EQ(eval("7 MOD 3/2"), 1);            // divisor 1.5 -> 2
    EXPECT_TRUE(std::isnan(eval("7 MOD 1/2"))); // divisor 0.5 -> 0
    EXPECT_TRUE(std::isnan(eval("L1A MOD (L2A-5)")));
}

TEST(FormulaCompiler, UncomputableValuesStayUncomputable)
{
    EXPECT_TRUE(std::isnan(eval("L1A/0")));
    EXPECT_TRUE(std::isnan(eval("L1A/(L2A-5)*0+1")));
    EXPECT_TRUE(std::isnan(eval("1/(1/0)")));
    EXPECT_TRUE(std::isnan(eval("(1/0) MOD 3")));
    EXPECT_TRUE(std::isnan(eval("1/0-1/0")));
}

TEST(FormulaCompiler, InvalidFormulasCarryAChineseReason)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "公式为空"},     {"   ", "公式为空"}, {"L1A++", "缺少运算数"}, {"L4A+1", "L4A"},
        {"ABC", "ABC"},       {"(L1A+2", "括号"},  {"L1A+2)", "括号"},      {"L1A 3", "缺少运算符"},
        {"3.5+L1A", "."},     {"MOD 3", "MOD"},    {"L1A*", "缺少运算数"},  {"canshu+1", "canshu"},
        {"strQQH", "strQQH"}, {"L1A+()", ")"},     {"L1AMOD3", "L1AMOD3"},
    };
    for (const auto& [code, reasonPart] : cases) {
        const CompiledFormula f = CompiledFormula::compile(QString::fromLatin1(code));
        EXPECT_FALSE(f.isValid()) << code;
        EXPECT_TRUE(f.error().contains(QString::fromUtf8(reasonPart)))
            << code << ": " << f.error().toStdString();
        EXPECT_TRUE(std::isnan(f.evaluateRow(oneDraw({}), 0)));
    }
    const CompiledFormula chinese = CompiledFormula::compile(QStringLiteral("L1A+千位A"));
    EXPECT_FALSE(chinese.isValid());
    EXPECT_TRUE(chinese.error().contains(QStringLiteral("千")));
    // Deep nesting is refused instead of exhausting the stack.
    EXPECT_FALSE(CompiledFormula::compile(QString(5000, '(') + "1" + QString(5000, ')')).isValid());
    EXPECT_TRUE(CompiledFormula::compile(QString(50, '(') + "1" + QString(50, ')')).isValid());
}

TEST(FormulaCompiler, FusesOperandsIntoInstructions)
{
    const CompiledFormula f = CompiledFormula::compile("L1A+LT+L3D+7");
    ASSERT_TRUE(f.isValid());
    ASSERT_EQ(f.program().size(), 4u);
    EXPECT_EQ(f.program()[0].op, CompiledFormula::Op::LoadColumn);
    EXPECT_EQ(f.program()[1].op, CompiledFormula::Op::AddColumn);
    EXPECT_EQ(f.program()[3].op, CompiledFormula::Op::AddConstant);
    EXPECT_EQ(f.stackDepth(), 1);
    EXPECT_EQ(CompiledFormula::compile("2*3+4").program().size(), 1u); // folded to 10
}

// The block evaluator and the one-row evaluator agree on random formulas over random draws,
// including uncomputable rows.
TEST(FormulaCompiler, BlockAndRowEvaluationAgree)
{
    std::mt19937 rng(7);
    std::vector<DrawRecord> draws(700);
    for (auto& d : draws)
        for (auto& v : d.values)
            v = static_cast<int16_t>(rng() % 8);
    const HistoryColumns h(draws);
    const char* ops[] = {"+", "-", "*", "/", " MOD "};
    for (int n = 0; n < 300; ++n) {
        std::function<QString(int)> gen = [&](int depth) -> QString {
            const int pick = rng() % 10;
            if (depth > 3 || pick < 4)
                return rng() % 3 ? ParameterTable::code(rng() % kParameterCount) : QString::number(rng() % 9);
            if (pick == 4)
                return "-" + gen(depth + 1);
            return "(" + gen(depth + 1) + ops[rng() % 5] + gen(depth + 1) + ")";
        };
        const QString code = gen(0) + ops[rng() % 5] + gen(0);
        const CompiledFormula f = CompiledFormula::compile(code);
        ASSERT_TRUE(f.isValid()) << code.toStdString() << f.error().toStdString();
        std::vector<double> out(CompiledFormula::kBlockRows);
        std::vector<double> scratch(f.scratchSize() + 1);
        for (int start = 0; start < h.drawCount(); start += CompiledFormula::kBlockRows) {
            const int count = std::min(CompiledFormula::kBlockRows, h.drawCount() - start);
            f.evaluateBlock(h, start, count, out.data(), scratch.data());
            for (int i = 0; i < count; ++i) {
                const double row = f.evaluateRow(h, start + i);
                if (std::isnan(row))
                    ASSERT_TRUE(std::isnan(out[i])) << code.toStdString();
                else
                    ASSERT_EQ(out[i], row) << code.toStdString();
            }
        }
    }
}

TEST(FormulaKind, TablesTextsAndCheckedPositions)
{
    ASSERT_EQ(FormulaKind::all().size(), 5u);
    const FormulaKind units{1, true};
    EXPECT_EQ(units.tableName(), "Gongshi1D");
    EXPECT_EQ(units.kindText(), QStringLiteral("个位单选"));
    EXPECT_EQ(units.selectionLabel(), QStringLiteral("单选个位"));
    EXPECT_EQ(units.checkedColumns(), std::vector<int>{ParameterTable::column("L3A")});
    EXPECT_EQ((FormulaKind{2, true}).checkedColumns(), std::vector<int>{ParameterTable::column("L2A")});
    EXPECT_EQ((FormulaKind{3, true}).checkedColumns(), std::vector<int>{ParameterTable::column("L1A")});
    EXPECT_EQ((FormulaKind{2, false}).checkedColumns(),
              (std::vector<int>{ParameterTable::column("L2A"), ParameterTable::column("L3A")}));
    EXPECT_EQ((FormulaKind{3, false}).checkedColumns().size(), 3u);
    EXPECT_EQ((FormulaKind{2, false}).kindText(), QStringLiteral("十位通选"));
    EXPECT_EQ(FormulaKind::fromCode("3g")->tableName(), "Gongshi3G");
    EXPECT_FALSE(FormulaKind::fromCode("1G").has_value());
    EXPECT_FALSE((FormulaKind{1, false}).isValid());
    EXPECT_EQ(FormulaKind::fromTableName("gongshi2d"), (FormulaKind{2, true}));
}
