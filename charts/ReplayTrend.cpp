#include "charts/ReplayTrend.h"

#include "killkeep/CalculationReplay.h"

#include <algorithm>

ReplayTrend ReplayTrend::notReplayed()
{
    ReplayTrend t;
    t.requirement =
        QStringLiteral("还没有计算回测。请在主窗口选好种类和杀码/"
                       "生码后，在公式列表上按右键（或“管理”菜单）选“计算方法回测”，"
                       "也可以在计算结果窗口按“计算方法回测”按钮；在回测窗口填好回测期数，按“开始回测”。"
                       "回测完成后，这里画出开奖号码所在位次的分布和每 10 期滤杀正确的比例。");
    return t;
}

QString ReplayTrend::titleOf(const ReplayResult& result)
{
    return QStringLiteral("%1%2码 %3 回测 %4 期")
        .arg(result.kind.kindText(), result.kill ? QStringLiteral("杀") : QStringLiteral("生"),
             result.bestMethod ? QStringLiteral("最优公式法") : QStringLiteral("计算选中公式"))
        .arg(result.draws.size());
}

ReplayTrend ReplayTrend::of(const ReplayResult& result)
{
    ReplayTrend t;
    // A replay always takes one draw at least: no draws and not cancelled is no replay yet.
    if (result.draws.empty() && !result.cancelled)
        return notReplayed();
    if (result.draws.empty()) {
        t.requirement = QStringLiteral("上次计算回测在第一期完成前就取消了，没有可画的结果：请重新回测。");
        return t;
    }
    t.title = titleOf(result);
    t.drawCount = static_cast<int>(result.draws.size());
    t.levelCounts = result.summary.levelCounts;
    t.levelExpected = result.summary.levelExpected;
    t.share = result.summary.absentShare;
    t.chanceShare = result.summary.chanceShare;
    for (int start = 0; start < t.drawCount; start += kBlockDraws) {
        const int end = std::min(start + kBlockDraws, t.drawCount);
        Block b;
        b.firstIssue = result.draws[std::size_t(start)].issue;
        b.lastIssue = result.draws[std::size_t(end - 1)].issue;
        b.draws = end - start;
        double expected = 0;
        for (int i = start; i < end; ++i) {
            const ReplayDraw& d = result.draws[std::size_t(i)];
            b.compared += d.killedCompared;
            b.right += d.killedAbsent();
            for (const ReplayRanking& r : d.rankings)
                expected += r.expectedAbsent;
        }
        // A block without 滤杀 numbers in 1..6 has no share to show.
        if (b.compared == 0)
            continue;
        b.share = 100.0 * b.right / b.compared;
        b.chanceShare = 100.0 * expected / b.compared;
        t.blocks.push_back(b);
    }
    return t;
}

QString ReplayTrend::levelText(int level) const
{
    if (level < 1 || level > levelCount())
        return QString();
    return QStringLiteral("第 %1 位：开出 %2 个号码（纯属运气时约 %3 个）")
        .arg(level)
        .arg(levelCounts[std::size_t(level - 1)])
        .arg(levelExpected[std::size_t(level - 1)], 0, 'f', 1);
}

QString ReplayTrend::blockText(int index) const
{
    if (index < 0 || index >= blockCount())
        return QString();
    const Block& b = blocks[std::size_t(index)];
    return QStringLiteral("第 %1 ~ %2 期（%3 期）：滤杀 %4 个，正确 %5 个，正确率 %6%（机会 %7%）")
        .arg(b.firstIssue, b.lastIssue)
        .arg(b.draws)
        .arg(b.compared)
        .arg(b.right)
        .arg(b.share, 0, 'f', 1)
        .arg(b.chanceShare, 0, 'f', 1);
}
