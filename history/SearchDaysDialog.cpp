#include "history/SearchDaysDialog.h"

#include "history/OnlineHistoryUpdate.h"
#include "store/Settings.h"
#include "ui/MessageBoxes.h"

#include <algorithm>

bool SearchDaysDialog::parseDays(const QString& answer, int* days)
{
    const QString text = answer.trimmed();
    if (text.isEmpty() ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= '0' && c <= '9'; }))
        return false;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < OnlineHistoryUpdate::kMinDays || value > OnlineHistoryUpdate::kMaxDays)
        return false;
    *days = value;
    return true;
}

bool SearchDaysDialog::ask(QWidget* parent, Settings& settings)
{
    for (;;) {
        QString answer;
        if (!MessageBoxes::input(parent, QStringLiteral("设置天数"),
                                 QStringLiteral("请输入需要统计的历史号码的天数（2~10中的任意自然数）"),
                                 QString::number(OnlineHistoryUpdate::validDays(settings.searchDays())),
                                 &answer) ||
            answer.trimmed().isEmpty())
            return false;
        int days = 0;
        if (parseDays(answer, &days)) {
            settings.setSearchDays(days);
            return true;
        }
        MessageBoxes::warning(
            parent, QStringLiteral("输入有误"),
            QStringLiteral(
                "为了保证时效性和提高计算效率，软件只能统计10天以内的数据，请输入2到10中的自然数。"));
    }
}
