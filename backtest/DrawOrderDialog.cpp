#include "backtest/DrawOrderDialog.h"

#include "history/DrawModel.h"
#include "store/Settings.h"
#include "ui/MessageBoxes.h"

#include <QStringList>

bool DrawOrderDialog::ask(QWidget* parent, Settings& settings, const HistoryColumns& history)
{
    const QStringList items = {DrawModel::settingCaption(PublicationOrder::Detect),
                               DrawModel::settingCaption(PublicationOrder::Ascending),
                               DrawModel::settingCaption(PublicationOrder::AsDrawn)};
    const int stored = settings.publicationOrderIndex();
    const DrawOrderReading found = DrawModel::read(history, static_cast<PublicationOrder>(stored));
    const QString prompt =
        QStringLiteral(
            "开奖网站公布的三个号码多数按从小到大排列（百位多为1，个位多为6），也有按开出顺序公布的。"
            "机会率、超出、p值都按这里的顺序计算。\n\n%1\n\n开奖号码顺序：")
            .arg(found.text());
    int chosen = stored;
    if (!MessageBoxes::choose(parent, QStringLiteral("开奖号码顺序"), prompt, items, stored, &chosen) ||
        chosen == stored)
        return false;
    settings.setPublicationOrderIndex(chosen);
    return true;
}
