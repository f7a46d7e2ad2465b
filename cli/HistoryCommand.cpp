#include "cli/HistoryCommand.h"

#include "history/HistoryImport.h"
#include "history/HistoryTextFile.h"
#include "history/OnlineHistoryUpdate.h"
#include "history/Workspace.h"
#include "store/BoundedInput.h"

#include <QDate>
#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

// Each subcommand's usage line, without the leading "history ".
const std::pair<const char*, const char*> kSubcommands[] = {
    {"add", "add ISSUE DDD"},
    {"import", "import FILE|- [--skip-bad] [--sheet NAME|N]"},
    {"export", "export [FILE]"},
    {"list", "list [--all-columns]"},
    {"delete", "delete --last K | --after ISSUE | --all"},
    {"update", "update [--base-url URL] [--today YYMMDD] [--days D] [--timeout SECONDS]"},
};

} // namespace

QString HistoryCommand::usage() const
{
    QStringList lines;
    for (const auto& [name, line] : kSubcommands)
        lines << QStringLiteral("history ") + QLatin1String(line);
    return lines.join(QStringLiteral("\n  "));
}

QString HistoryCommand::usageFor(const QStringList& args) const
{
    for (const auto& [name, line] : kSubcommands)
        if (!args.isEmpty() && args.first() == QLatin1String(name))
            return QStringLiteral("history ") + QLatin1String(line);
    return usage();
}

int HistoryCommand::run(CliContext& ctx, const QStringList& args)
{
    if (args.isEmpty())
        return usageError(ctx, QStringLiteral("history needs a subcommand"));
    const QString sub = args.first();
    const QStringList rest = args.mid(1);
    if (sub == "add")
        return add(ctx, rest);
    if (sub == "import")
        return importFile(ctx, rest);
    if (sub == "export")
        return exportFile(ctx, rest);
    if (sub == "list")
        return list(ctx, rest);
    if (sub == "delete")
        return remove(ctx, rest);
    if (sub == "update")
        return update(ctx, rest);
    return usageError(ctx, QStringLiteral("unknown history subcommand %1").arg(sub));
}

int HistoryCommand::add(CliContext& ctx, const QStringList& args)
{
    if (args.size() != 2 || args[1].size() != 3)
        return usageError(ctx, QStringLiteral("history add takes ISSUE and three digits DDD"), {"add"});
    std::array<int, 3> numbers{};
    for (int i = 0; i < 3; ++i) {
        numbers[i] = args[1][i].digitValue();
        if (numbers[i] < 0)
            return usageError(ctx, QStringLiteral("DDD must be three digits"), {"add"});
    }
    if (!ctx.openWorkspace())
        return ExitFailure;
    QString error;
    Workspace& ws = *ctx.workspace;
    if (!ws.addTypedDraw(args[0], numbers, QDate::currentDate(), &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    // The stored draw as the text export writes it, then the issue the window would propose next.
    const DrawRecord& stored = *ws.history().newest();
    ctx.out << stored.issue << ' ' << stored.number(1) << stored.number(2) << stored.number(3) << Qt::endl;
    const QString next = ws.nextIssue();
    if (!next.isEmpty())
        ctx.out << "next " << next << Qt::endl;
    return ExitOk;
}

int HistoryCommand::importFile(CliContext& ctx, const QStringList& args)
{
    QStringList rest = args;
    const bool skipBad = rest.removeAll(QStringLiteral("--skip-bad")) > 0;
    // --sheet NAME or N (from 1): the workbook's sheet to read instead of the first.
    QString sheet;
    if (const qsizetype at = rest.indexOf(QStringLiteral("--sheet")); at >= 0) {
        if (at + 1 >= rest.size())
            return usageError(ctx, QStringLiteral("--sheet needs a sheet name or number"), {"import"});
        sheet = rest.takeAt(at + 1);
        rest.removeAt(at);
    }
    if (rest.size() != 1)
        return usageError(
            ctx,
            QStringLiteral("history import takes FILE (or - for standard input), --skip-bad and --sheet"),
            {"import"});
    const QString name = rest[0];
    QByteArray content;
    QString error;
    // Bounded: endless or huge input is refused before it fills the memory.
    const bool read = name == QStringLiteral("-") ? BoundedInput::readStandardInput(&content, &error)
                                                  : BoundedInput::readFile(name, &content, &error);
    if (!read) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    HistoryImport::Options options;
    options.drawsPerDay = ws.lottery().drawsPerDay;
    options.runningCount = ws.isRunningCountLottery();
    options.lottery = ws.lottery().caption;
    const HistoryImportSource source = HistoryImport::source(content);
    if (!sheet.isEmpty()) {
        bool number = false;
        const int n = sheet.toInt(&number);
        options.sheet = number ? n - 1 : -2;
        for (int i = 0; !number && i < int(source.sheets.size()); ++i)
            if (source.sheets[i].name == sheet)
                options.sheet = i;
        if (source.refusal.isEmpty() && (options.sheet < 0 || options.sheet >= int(source.sheets.size()))) {
            QStringList names;
            for (const WorkbookSheet& s : source.sheets)
                names << s.name;
            ctx.err << (source.isWorkbook()
                            ? QStringLiteral("工作簿里没有工作表“%1”（有：%2）。")
                                  .arg(sheet, names.join(QStringLiteral("、")))
                            : QStringLiteral("--sheet 只用于 Excel 工作簿，“%1”不是工作簿。").arg(name))
                    << Qt::endl;
            return ExitFailure;
        }
    }
    HistoryImportPlan plan;
    const auto accept = [skipBad](const HistoryImportPlan& p) {
        return p.refusal.isEmpty() && (p.unread.empty() || skipBad) &&
               !(p.toAdd.empty() && p.alreadyStored == 0 && p.unread.empty());
    };
    const bool stored = HistoryImport::planAndStore(&ws.history(), source, options, accept, &plan, &error);
    if (!plan.refusal.isEmpty()) {
        ctx.err << plan.refusal << Qt::endl;
        return ExitFailure;
    }
    for (const QString& p : plan.problems())
        ctx.err << p << Qt::endl;
    if (!plan.unread.empty() && !skipBad) {
        ctx.err << QStringLiteral("有%1行无法导入，没有导入任何历史号码（加 --skip-bad 只导入能识别的行）。")
                       .arg(plan.unread.size())
                << Qt::endl;
        return ExitFailure;
    }
    if (plan.toAdd.empty() && plan.alreadyStored == 0 && plan.unread.empty()) {
        ctx.err << HistoryImport::nothingFoundText(plan, options.runningCount) << Qt::endl;
        return ExitFailure;
    }
    if (!stored) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << "added " << plan.toAdd.size() << " already-stored " << plan.alreadyStored << " unreadable "
            << plan.unread.size() << Qt::endl;
    return ExitOk;
}

int HistoryCommand::exportFile(CliContext& ctx, const QStringList& args)
{
    if (args.size() > 1)
        return usageError(ctx, QStringLiteral("history export takes at most one FILE"), {"export"});
    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    const DrawRecord* newest = ws.history().newest();
    if (!newest) {
        ctx.err << QStringLiteral("没有历史号码，没有可以导出的内容。") << Qt::endl;
        return ExitFailure;
    }
    const QString path =
        args.isEmpty() ? HistoryTextFile::exportPath(ws.dataFolder(), newest ? newest->issue : QString())
                       : QDir::current().absoluteFilePath(args[0]);
    QString error;
    if (!HistoryTextFile::write(path, ws.history().draws(), &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    ctx.out << path << Qt::endl;
    return ExitOk;
}

int HistoryCommand::list(CliContext& ctx, const QStringList& args)
{
    const bool all = args.size() == 1 && args[0] == "--all-columns";
    if (!args.isEmpty() && !all)
        return usageError(ctx, QStringLiteral("history list takes only --all-columns"), {"list"});
    if (!ctx.openWorkspace())
        return ExitFailure;
    const int columns = all ? kParameterCount : 3;
    ctx.out << "strQQH";
    for (int c = 0; c < columns; ++c)
        ctx.out << '\t' << ParameterTable::code(c);
    ctx.out << '\n';
    for (const auto& d : ctx.workspace->history().draws()) {
        ctx.out << d.issue;
        for (int c = 0; c < columns; ++c)
            ctx.out << '\t' << d.values[c];
        ctx.out << '\n';
    }
    return ExitOk;
}

int HistoryCommand::remove(CliContext& ctx, const QStringList& args)
{
    enum
    {
        Last,
        After,
        All
    } mode;
    QString value;
    if (args.size() == 2 && args[0] == "--last")
        mode = Last;
    else if (args.size() == 2 && args[0] == "--after")
        mode = After;
    else if (args.size() == 1 && args[0] == "--all")
        mode = All;
    else
        return usageError(ctx, QStringLiteral("history delete takes --last K, --after ISSUE or --all"),
                          {"delete"});
    if (mode != All)
        value = args[1];
    bool ok = true;
    const int count = mode == Last ? value.toInt(&ok) : 0;
    if (!ok || count < 0)
        return usageError(ctx, QStringLiteral("--last takes a whole number"), {"delete"});
    QString error;
    QString keepUpTo;
    // The answer's form needs no history: it is refused before anything is opened.
    if (mode == After && !HistoryStore::checkKeepUpTo(value, {}, &keepUpTo, &error))
        return usageError(ctx, error, {"delete"});
    if (!ctx.openWorkspace())
        return ExitFailure;
    HistoryStore& h = ctx.workspace->history();
    if (mode == After && !HistoryStore::checkKeepUpTo(value, h.draws(), &keepUpTo, &error)) {
        ctx.err << error << Qt::endl;
        return ExitUsage;
    }
    const int removed = mode == Last    ? h.deleteLast(count, &error)
                        : mode == After ? h.deleteAfter(keepUpTo, &error)
                                        : h.deleteAll(&error);
    if (removed < 0 || (removed > 0 && !ctx.workspace->compact(&error))) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    return ExitOk;
}

int HistoryCommand::update(CliContext& ctx, const QStringList& args)
{
    OnlineUpdateOptions options;
    for (int i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return usageError(ctx, QStringLiteral("%1 needs a value").arg(args[i]), {"update"});
        const QString& option = args[i];
        const QString& value = args[i + 1];
        bool ok = false;
        if (option == "--base-url") {
            options.baseUrl = value;
        } else if (option == "--today") {
            options.today =
                value.size() == 6 ? QDate::fromString("20" + value, QStringLiteral("yyyyMMdd")) : QDate();
            if (!options.today.isValid())
                return usageError(ctx, QStringLiteral("--today takes a date YYMMDD"), {"update"});
        } else if (option == "--days") {
            options.searchDays = value.toInt(&ok);
            if (!ok || options.searchDays < OnlineHistoryUpdate::kMinDays ||
                options.searchDays > OnlineHistoryUpdate::kMaxDays)
                return usageError(ctx, QStringLiteral("--days takes a whole number from 2 to 10"),
                                  {"update"});
        } else if (option == "--timeout") {
            const double seconds = value.toDouble(&ok);
            if (!ok || seconds <= 0 || seconds > 3600)
                return usageError(ctx, QStringLiteral("--timeout takes a number of seconds"), {"update"});
            options.timeoutMs = std::max(1, int(seconds * 1000));
        } else {
            return usageError(ctx, QStringLiteral("unknown history update option %1").arg(option),
                              {"update"});
        }
    }
    if (!ctx.openWorkspace())
        return ExitFailure;
    OnlineHistoryUpdate update = OnlineHistoryUpdate::plan(*ctx.workspace, options);
    QString message;
    if (!update.runBlocking(&ctx.workspace->history(), &message)) {
        ctx.err << message << Qt::endl;
        return ExitFailure;
    }
    if (!update.rejected().isEmpty() || update.replacesStored())
        ctx.err << message << Qt::endl;
    ctx.out << "added " << update.newDraws().size() << " rejected " << update.rejected().size() << Qt::endl;
    return ExitOk;
}
