#pragma once

#include "cli/CliSyntax.h"
#include "cli/CliTable.h"
#include "formula/FormulaKind.h"
#include "history/DrawModel.h"

#include <QString>
#include <optional>

// The options several commands share, declared and read the same way everywhere.
class CliOptions
{
public:
    // --kind K (1D, 2D, 3D, 2G or 3G; default 1D).
    static CliSyntax& addKind(CliSyntax& syntax);
    // --sense kill|keep (default kill); with allowAll also "all".
    static CliSyntax& addSense(CliSyntax& syntax, bool allowAll);
    // --format tsv|csv|json.
    static CliSyntax& addFormat(CliSyntax& syntax);

    static bool kind(const CliArguments& args, FormulaKind* kind, QString* error);
    // kill unless --sense keep; with allowAll, "all" leaves the result unset.
    static std::optional<bool> sense(const CliArguments& args);
    static CliFormat format(const CliArguments& args)
    {
        return CliTable::formatNamed(args.value("--format"));
    }
    // --NAME true|false: *value unchanged when absent.
    static void boolean(const CliArguments& args, const QString& name, bool* value);
    // A whole number from `low` to `high` for option `name`; *value unchanged when absent. False
    // with `message` (or one naming the range) when malformed.
    static bool number(const CliArguments& args, const QString& name, qint64 low, qint64 high, qint64* value,
                       QString* error, const QString& message = QString());
    static bool number(const CliArguments& args, const QString& name, int low, int high, int* value,
                       QString* error, const QString& message = QString());

    // --order auto|ascending|drawn: how the draws are published, for the figures against chance.
    static CliSyntax& addOrder(CliSyntax& syntax);
    // The order given, unset when absent (CliContext::openSession lays it over the setting "HMSX").
    static std::optional<PublicationOrder> order(const CliArguments& args);

    static QString senseWord(bool kill) { return kill ? QStringLiteral("kill") : QStringLiteral("keep"); }
};
