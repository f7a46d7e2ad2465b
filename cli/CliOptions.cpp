#include "cli/CliOptions.h"

CliSyntax& CliOptions::addKind(CliSyntax& syntax)
{
    return syntax.option(
        QStringLiteral("--kind"), QStringLiteral("K"),
        QStringLiteral("formula kind 1D, 2D, 3D (单选 of 个位, 十位, 百位), 2G or 3G (通选); default 1D"));
}

CliSyntax& CliOptions::addSense(CliSyntax& syntax, bool allowAll)
{
    return allowAll ? syntax.option(QStringLiteral("--sense"), QStringLiteral("kill|keep|all"),
                                    QStringLiteral("杀 or 生 formulas, or both; default kill"))
                    : syntax.option(QStringLiteral("--sense"), QStringLiteral("kill|keep"),
                                    QStringLiteral("杀 or 生 formulas; default kill"));
}

CliSyntax& CliOptions::addFormat(CliSyntax& syntax)
{
    return syntax.option(QStringLiteral("--format"), CliTable::formatChoices(), CliTable::formatHelp());
}

bool CliOptions::kind(const CliArguments& args, FormulaKind* kind, QString* error)
{
    *kind = FormulaKind{1, true};
    const std::optional<QString> text = args.value(QStringLiteral("--kind"));
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

std::optional<bool> CliOptions::sense(const CliArguments& args)
{
    const std::optional<QString> text = args.value(QStringLiteral("--sense"));
    if (text && *text == QLatin1String("all"))
        return std::nullopt;
    return !(text && *text == QLatin1String("keep"));
}

void CliOptions::boolean(const CliArguments& args, const QString& name, bool* value)
{
    if (const std::optional<QString> text = args.value(name))
        *value = *text == QLatin1String("true");
}

bool CliOptions::number(const CliArguments& args, const QString& name, qint64 low, qint64 high, qint64* value,
                        QString* error, const QString& message)
{
    const std::optional<QString> text = args.value(name);
    if (!text)
        return true;
    bool ok = false;
    const qint64 v = text->toLongLong(&ok);
    if (!ok || v < low || v > high) {
        *error = message.isEmpty()
                     ? QStringLiteral("%1 takes a number from %2 to %3").arg(name).arg(low).arg(high)
                     : message;
        return false;
    }
    *value = v;
    return true;
}

bool CliOptions::number(const CliArguments& args, const QString& name, int low, int high, int* value,
                        QString* error, const QString& message)
{
    qint64 v = *value;
    if (!number(args, name, qint64(low), qint64(high), &v, error, message))
        return false;
    *value = int(v);
    return true;
}

CliSyntax& CliOptions::addOrder(CliSyntax& syntax)
{
    return syntax.option(
        QStringLiteral("--order"), QStringLiteral("auto|ascending|drawn"),
        QStringLiteral("how the draws' numbers are published, for the chance figures: detected, "
                       "smallest first or as drawn (default: setting HMSX)"));
}

std::optional<PublicationOrder> CliOptions::order(const CliArguments& args)
{
    const std::optional<QString> text = args.value(QStringLiteral("--order"));
    PublicationOrder order = PublicationOrder::Detect;
    if (!text || !DrawModel::parseOrderWord(*text, &order))
        return std::nullopt; // the parser has refused any other word
    return order;
}
