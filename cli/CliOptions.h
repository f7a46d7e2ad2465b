#pragma once

#include "formula/FormulaKind.h"
#include "history/DrawModel.h"

#include <QString>
#include <QStringList>
#include <optional>

class QTextStream;
class Workspace;

// Options of the form "--name VALUE" taken out of a subcommand's arguments, so that what remains
// is positional. Each returns false with a message on a missing or malformed value.
class CliOptions
{
public:
    // Removes "--name VALUE" (the last one wins); *value stays unset when the option is absent.
    static bool take(QStringList* args, const QString& name, std::optional<QString>* value, QString* error);
    // --kind 1D|2D|3D|2G|3G (default 1D).
    static bool takeKind(QStringList* args, FormulaKind* kind, QString* error);
    // --sense kill|keep (default kill); with allowAll, "all" leaves *kill unset.
    static bool takeSense(QStringList* args, bool allowAll, std::optional<bool>* kill, QString* error);
    // --name true|false; *value unchanged when absent.
    static bool takeBool(QStringList* args, const QString& name, bool* value, QString* error);
    // --order auto|ascending|drawn: how the draws are published, for the figures against chance;
    // *order stays unset when absent.
    static bool takeOrder(QStringList* args, std::optional<PublicationOrder>* order, QString* error);
    // The order in force (the option, else the setting "HMSX"), announced once on `err` as the
    // order the chance figures use for the stored history.
    static PublicationOrder announceOrder(const std::optional<PublicationOrder>& given, Workspace& workspace,
                                          QTextStream& err);
    // The first argument that still looks like an option, or an empty text.
    static QString leftoverOption(const QStringList& args);
    static QString senseWord(bool kill) { return kill ? QStringLiteral("kill") : QStringLiteral("keep"); }
};
