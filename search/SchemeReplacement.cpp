#include "search/SchemeReplacement.h"

#include "formula/FormulaTableStore.h"
#include "search/KindSlot.h"

bool SchemeReplacement::countStored(const FormulaTableStore& store, SchemeTargets* targets, QString* error)
{
    for (int slot : KindSlot::schemeOrder()) {
        targets->storedCounts[slot] = 0;
        if (!targets->targets[slot])
            continue;
        std::vector<FormulaRecord> rows;
        if (!store.loadTable(*KindSlot::kind(slot), &rows, error))
            return false;
        targets->storedCounts[slot] = int(rows.size());
    }
    return true;
}

std::vector<SchemeReplacement::Loss> SchemeReplacement::losses(const SchemeTargets& targets, CountMode mode)
{
    std::vector<Loss> out;
    for (int slot : KindSlot::schemeOrder())
        if (SchemePlan::kindTarget(slot, targets, mode) && targets.storedCounts[slot] > 0)
            out.push_back({*KindSlot::kind(slot), targets.storedCounts[slot]});
    return out;
}

QString SchemeReplacement::title()
{
    return QStringLiteral("方案搜索");
}

QStringList SchemeReplacement::lines(const std::vector<Loss>& losses)
{
    QStringList out;
    for (const Loss& l : losses)
        out << QStringLiteral("%1：将删除已有的 %2 条公式（生码和杀码）")
                   .arg(l.kind.kindText())
                   .arg(l.stored);
    return out;
}

QString SchemeReplacement::question(const std::vector<Loss>& losses)
{
    return lines(losses).join(QLatin1Char('\n')) +
           QStringLiteral("\n方案搜索完毕后，搜索到合格公式的类换成新公式（没有搜索到的类保持不变）。确定开始"
                          "方案搜索吗？");
}

QString SchemeReplacement::refusal(const std::vector<Loss>& losses)
{
    return QStringLiteral("--save update 将在搜索完毕后删除搜索到合格公式的类的已有公式：\n") +
           lines(losses).join(QLatin1Char('\n')) +
           QStringLiteral("\n方案搜索没有开始，没有删除任何公式。（确认请加 --yes）");
}
