#include "history/Workspace.h"

#include "history/IssueNumbers.h"
#include "history/ParameterTable.h"
#include "store/DataFolder.h"

#include <QDir>

Workspace::Workspace() = default;
Workspace::~Workspace() = default;

QString Workspace::databasePath() const
{
    return QDir(m_dataFolder).filePath(QStringLiteral("formula.mdb"));
}

bool Workspace::open(const QString& dataFolderOption, QString* error)
{
    m_lotteryIndex = m_settings.lotteryIndex();
    m_dataFolder = DataFolder::resolve(dataFolderOption);
    // The objects exist even when opening fails, so the window can run without stored data.
    m_database = std::make_unique<Database>(databasePath(), ParameterTable::codes());
    m_history = std::make_unique<HistoryStore>(m_database.get());
    if (!DataFolder::ensure(m_dataFolder, error))
        return false;
    if (!m_database->open(error))
        return false;
    return m_history->reload(error);
}

bool Workspace::addTypedDraw(const QString& issue, const std::array<int, 3>& numbers, const QDate& today,
                             QString* error)
{
    if (isRunningCountLottery())
        return m_history->addTypedRunningCount(issue, numbers, today, error);
    // The lottery's name in the message (the store knows only the draws per day).
    if (!IssueNumbers::checkSequence(issue.trimmed(), lottery().drawsPerDay, lottery().caption, error))
        return false;
    return m_history->addTyped(issue, numbers, lottery().drawsPerDay, error);
}

QString Workspace::nextIssue() const
{
    const DrawRecord* newest = m_history ? m_history->newest() : nullptr;
    if (!newest)
        return {};
    return IssueNumbers::next(*newest, lottery().drawsPerDay, isRunningCountLottery());
}

bool Workspace::compact(QString* error)
{
    const bool ok = m_database->compact(error);
    QString reloadError;
    if (!m_history->reload(&reloadError) && ok) {
        *error = reloadError;
        return false;
    }
    return ok;
}
