#include "ui/DatabaseGuard.h"

#include "ui/MessageBoxes.h"

bool DatabaseGuard::require(QWidget* parent) const
{
    if (isOpen())
        return true;
    MessageBoxes::error(parent, QStringLiteral("数据库没有打开，无法执行此操作。\n%1").arg(m_startupError));
    return false;
}
