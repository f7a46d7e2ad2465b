#include "backtest/HoldOutDialog.h"

#include "backtest/BacktestEngine.h"
#include "store/Settings.h"
#include "ui/MessageBoxes.h"

#include <algorithm>

bool HoldOutDialog::parse(const QString& answer, int drawCount, int* draws)
{
    const QString text = answer.trimmed();
    if (text.isEmpty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= '0' && c <= '9'; }))
        return false;
    const int value = text.toInt();
    if (!BacktestOptions::isAllowedHoldOut(value, drawCount))
        return false;
    *draws = value;
    return true;
}

bool HoldOutDialog::ask(QWidget* parent, Settings& settings, int drawCount)
{
    for (;;) {
        QString answer;
        if (!MessageBoxes::input(parent, QStringLiteral("留出检验期数设置"),
                                 QStringLiteral("请输入留出检验的期数（0 表示不留出）"),
                                 QString::number(settings.holdOut()), &answer) ||
            answer.trimmed().isEmpty())
            return false;
        int draws = 0;
        if (parse(answer, drawCount, &draws)) {
            settings.setHoldOut(draws);
            return true;
        }
        MessageBoxes::warning(parent, QStringLiteral("输入有误"), BacktestOptions::holdOutRefusal(drawCount));
    }
}
