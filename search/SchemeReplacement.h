#pragma once

#include "formula/FormulaKind.h"
#include "search/SchemePlan.h"

#include <QString>
#include <QStringList>
#include <vector>

class FormulaTableStore;

// What an all-kinds search that replaces the stored formulas ("搜索完毕公式自动更新到数据库", the
// command line's --save update) puts at stake: every kind it searches loses all its stored
// formulas, kill and keep alike, once it found any. The window asks once before the run, naming
// each kind and its count; the command line refuses without --yes.
class SchemeReplacement
{
public:
    struct Loss
    {
        FormulaKind kind;
        int stored = 0;
    };

    // Counts the stored formulas (both senses) of every kind that has a target into
    // targets->storedCounts; the others get 0. False with the message when a table cannot be read.
    static bool countStored(const FormulaTableStore& store, SchemeTargets* targets, QString* error);
    // The kinds the run searches (SchemePlan::kindTarget) that hold formulas, in the run's order.
    static std::vector<Loss> losses(const SchemeTargets& targets, CountMode mode);

    static QString title(); // "方案搜索"
    // "个位单选：将删除已有的 17030 条公式（生码和杀码）", one line per kind.
    static QStringList lines(const std::vector<Loss>& losses);
    // The lines, then the closing question.
    static QString question(const std::vector<Loss>& losses);
    // The command line's refusal without --yes: the lines, then how to confirm.
    static QString refusal(const std::vector<Loss>& losses);
};
