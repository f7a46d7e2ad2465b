#include "cli/CliOptions.h"

#include "history/Workspace.h"

#include <QTextStream>

bool CliOptions::take(QStringList* args, const QString& name, std::optional<QString>* value, QString* error)
{
    for (int i = 0; i < args->size();) {
        if ((*args)[i] != name) {
            ++i;
            continue;
        }
        if (i + 1 >= args->size()) {
            *error = QStringLiteral("%1 needs a value").arg(name);
            return false;
        }
        *value = (*args)[i + 1];
        args->remove(i, 2);
    }
    return true;
}

bool CliOptions::takeKind(QStringList* args, FormulaKind* kind, QString* error)
{
    std::optional<QString> text;
    if (!take(args, QStringLiteral("--kind"), &text, error))
        return false;
    *kind = FormulaKind{1, true};
    if (!text)
        return true;
    const auto k = FormulaKind::fromCode(*text);
    if (!k) {
        *error = QStringLiteral("--kind takes 1D, 2D, 3D, 2G or 3G");
        return false;
    }
    *kind = *k;
    return true;
}

bool CliOptions::takeSense(QStringList* args, bool allowAll, std::optional<bool>* kill, QString* error)
{
    std::optional<QString> text;
    if (!take(args, QStringLiteral("--sense"), &text, error))
        return false;
    *kill = true;
    if (!text || *text == QLatin1String("kill"))
        return true;
    if (*text == QLatin1String("keep")) {
        *kill = false;
        return true;
    }
    if (allowAll && *text == QLatin1String("all")) {
        kill->reset();
        return true;
    }
    *error = allowAll ? QStringLiteral("--sense takes kill, keep or all") : QStringLiteral("--sense takes kill or keep");
    return false;
}

bool CliOptions::takeBool(QStringList* args, const QString& name, bool* value, QString* error)
{
    std::optional<QString> text;
    if (!take(args, name, &text, error))
        return false;
    if (!text)
        return true;
    if (*text == QLatin1String("true") || *text == QLatin1String("false")) {
        *value = *text == QLatin1String("true");
        return true;
    }
    *error = QStringLiteral("%1 takes true or false").arg(name);
    return false;
}

QString CliOptions::leftoverOption(const QStringList& args)
{
    for (const QString& a : args)
        if (a.startsWith(QLatin1String("--")))
            return a;
    return QString();
}

bool CliOptions::takeOrder(QStringList* args, std::optional<PublicationOrder>* order, QString* error)
{
    std::optional<QString> text;
    if (!take(args, QStringLiteral("--order"), &text, error))
        return false;
    if (!text)
        return true;
    PublicationOrder parsed = PublicationOrder::Detect;
    if (!DrawModel::parseOrderWord(*text, &parsed)) {
        *error = QStringLiteral("--order takes auto, ascending or drawn");
        return false;
    }
    *order = parsed;
    return true;
}

PublicationOrder CliOptions::announceOrder(const std::optional<PublicationOrder>& given, Workspace& workspace,
                                           QTextStream& err)
{
    const PublicationOrder order =
        given.value_or(static_cast<PublicationOrder>(workspace.settings().publicationOrderIndex()));
    err << DrawModel::read(workspace.history().draws(), order).chanceLine() << Qt::endl;
    return order;
}
