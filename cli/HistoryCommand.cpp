#include "cli/HistoryCommand.h"

#include "cli/CliOptions.h"
#include "cli/HistoryFairnessCommand.h"
#include "history/HistoryImport.h"
#include "history/HistoryTextFile.h"
#include "history/OnlineHistoryUpdate.h"
#include "history/Workspace.h"
#include "store/BoundedInput.h"

#include <QDate>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <limits>

QStringList HistoryCommand::subcommands() const
{
    return {QStringLiteral("add"),     QStringLiteral("import"), QStringLiteral("export"),
            QStringLiteral("list"),    QStringLiteral("delete"), QStringLiteral("update"),
            QStringLiteral("fairness")};
}

CliSyntax HistoryCommand::syntax(const QString& sub) const
{
    if (sub == QLatin1String("fairness"))
        return HistoryFairnessCommand::syntax();
    if (sub == QLatin1String("add"))
        return CliSyntax(QStringLiteral("history add"),
                         QStringLiteral(
                             "Stores one draw as typed by hand, after the newest stored draw or into a "
                             "gap between stored draws,\nchained from the draw before it; prints \"ISSUE "
                             "DDD\" (the draw stored), \"next NEXT\" (the issue proposed next)\nand, "
                             "when it filled a gap, \"filled-gap BEFORE AFTER\"."))
            .arguments(QStringLiteral("ISSUE DDD"), 2, 2,
                       QStringLiteral("the issue and the numbers of 百位, 十位 and 个位"));
    if (sub == QLatin1String("import"))
        return CliSyntax(QStringLiteral("history import"),
                         QStringLiteral(
                             "Adds the draws of FILE: the text export, a CSV/TSV table or text copied from "
                             "a results page;\nstored draws are skipped, gaps between stored draws filled; "
                             "prints \"added N already-stored M unreadable K gaps-filled G\"."))
            .flag(QStringLiteral("--skip-bad"),
                  QStringLiteral(
                      "add the readable lines even when others cannot be read (each named on stderr)"))
            .option(
                QStringLiteral("--sheet"), QStringLiteral("NAME|N"),
                QStringLiteral("the workbook's sheet to read, by name or number from 1 (default: the first)"))
            .arguments(QStringLiteral("FILE|-"), 1, 1,
                       QStringLiteral("the file to read, - for standard input"));
    if (sub == QLatin1String("export"))
        return CliSyntax(
                   QStringLiteral("history export"),
                   QStringLiteral("Writes the text export \"ISSUE DDD\" per line and prints the file's path; "
                                  "an empty history is not exported."))
            .arguments(
                QStringLiteral("[FILE|-]"), 0, 1,
                QStringLiteral("the file to write (default: the window's file name), - for standard output"));
    if (sub == QLatin1String("list")) {
        CliSyntax list(QStringLiteral("history list"),
                       QStringLiteral("The stored draws as a table: strQQH L1A L2A L3A."));
        list.flag(QStringLiteral("--all-columns"), QStringLiteral("every stored column of the draw record"));
        return CliOptions::addFormat(list);
    }
    if (sub == QLatin1String("delete"))
        return CliSyntax(
                   QStringLiteral("history delete"),
                   QStringLiteral("Deletes draws from the end of the history, after a backup of the database "
                                  "(one of --last, --after, --all)."))
            .option(QStringLiteral("--last"), QStringLiteral("K"), QStringLiteral("the newest K draws"))
            .option(QStringLiteral("--after"), QStringLiteral("ISSUE"),
                    QStringLiteral(
                        "every draw after ISSUE, as 删除到选定期 takes it (not before the oldest draw)"))
            .flag(QStringLiteral("--all"), QStringLiteral("every draw (needs --yes)"))
            .flag(QStringLiteral("--yes"), QStringLiteral("confirms --all"));
    return CliSyntax(QStringLiteral("history update"),
                     QStringLiteral("The online update of the history; prints \"added N rejected M\"."))
        .option(QStringLiteral("--base-url"), QStringLiteral("URL"),
                QStringLiteral("replaces \"http://\" + province code + results host"))
        .option(QStringLiteral("--today"), QStringLiteral("YYMMDD"),
                QStringLiteral("the date taken as today"))
        .option(QStringLiteral("--days"), QStringLiteral("D"),
                QStringLiteral("days to search, 2 to 10 (default: setting IniSerchDay)"))
        .option(QStringLiteral("--timeout"), QStringLiteral("SECONDS"),
                QStringLiteral("how long to wait for the page"));
}

int HistoryCommand::run(CliContext& ctx, const QString& sub, const CliArguments& args)
{
    if (sub == QLatin1String("add"))
        return add(ctx, args.positionals());
    if (sub == QLatin1String("import"))
        return importFile(ctx, args);
    if (sub == QLatin1String("export"))
        return exportFile(ctx, args.positionals());
    if (sub == QLatin1String("list"))
        return list(ctx, args);
    if (sub == QLatin1String("delete"))
        return remove(ctx, args);
    if (sub == QLatin1String("fairness"))
        return HistoryFairnessCommand::run(ctx, args);
    return update(ctx, args);
}

int HistoryCommand::add(CliContext& ctx, const QStringList& args)
{
    if (args[1].size() != 3)
        return ctx.usageError(QStringLiteral("history add takes ISSUE and three digits DDD"));
    std::array<int, 3> numbers{};
    for (int i = 0; i < 3; ++i) {
        numbers[i] = args[1][i].digitValue();
        if (numbers[i] < 0)
            return ctx.usageError(QStringLiteral("DDD must be three digits"));
    }
    if (!ctx.openWorkspace())
        return ExitFailure;
    QString error;
    Workspace& ws = *ctx.workspace;
    HistoryStore::Placement placement;
    if (!ws.addTypedDraw(args[0], numbers, QDate::currentDate(), &error, &placement)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    // The stored draw as the text export writes it (it need not be the newest: it may fill a gap),
    // then the issue the window would propose next, then the draws around a gap it filled.
    const DrawRecord& stored = placement.stored;
    ctx.out << stored.issue << ' ' << stored.number(1) << stored.number(2) << stored.number(3) << Qt::endl;
    const QString next = ws.nextIssue();
    if (!next.isEmpty())
        ctx.out << "next " << next << Qt::endl;
    if (placement.filledGap())
        ctx.out << "filled-gap " << placement.before << ' ' << placement.after << Qt::endl;
    return ExitOk;
}

int HistoryCommand::importFile(CliContext& ctx, const CliArguments& args)
{
    const bool skipBad = args.has(QStringLiteral("--skip-bad"));
    // --sheet NAME or N (from 1): the workbook's sheet to read instead of the first.
    const QString sheet = args.value(QStringLiteral("--sheet")).value_or(QString());
    const QString name = args.positionals().first();
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
    // "added" counts every draw stored; "gaps-filled" those of them that fell between stored draws.
    ctx.out << "added " << plan.toAdd.size() << " already-stored " << plan.alreadyStored << " unreadable "
            << plan.unread.size() << " gaps-filled " << plan.gapFills << Qt::endl;
    return ExitOk;
}

int HistoryCommand::exportFile(CliContext& ctx, const QStringList& args)
{
    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    const DrawRecord* newest = ws.history().newest();
    if (!newest) {
        ctx.err << QStringLiteral("没有历史号码，没有可以导出的内容。") << Qt::endl;
        return ExitFailure;
    }
    // "-": the export on standard output, nothing else printed.
    if (!args.isEmpty() && args[0] == QLatin1String("-")) {
        ctx.out.flush();
        QFile standardOutput;
        const QByteArray text = HistoryTextFile::format(ws.history().draws());
        if (!standardOutput.open(stdout, QIODevice::WriteOnly) || standardOutput.write(text) != text.size() ||
            !standardOutput.flush()) {
            ctx.err << QStringLiteral("无法写入标准输出：%1").arg(standardOutput.errorString()) << Qt::endl;
            return ExitFailure;
        }
        return ExitOk;
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

int HistoryCommand::list(CliContext& ctx, const CliArguments& args)
{
    const bool all = args.has(QStringLiteral("--all-columns"));
    if (!ctx.openWorkspace())
        return ExitFailure;
    const int columns = all ? kParameterCount : 3;
    QStringList header{QStringLiteral("strQQH")};
    for (int c = 0; c < columns; ++c)
        header << ParameterTable::code(c);
    CliTable table(ctx.out, CliOptions::format(args), header);
    for (const auto& d : ctx.workspace->history().draws()) {
        QStringList row{d.issue};
        for (int c = 0; c < columns; ++c)
            row << QString::number(d.values[c]);
        table.add(row);
    }
    return ExitOk;
}

int HistoryCommand::remove(CliContext& ctx, const CliArguments& args)
{
    const std::optional<QString> last = args.value(QStringLiteral("--last"));
    const std::optional<QString> after = args.value(QStringLiteral("--after"));
    const bool all = args.has(QStringLiteral("--all"));
    if (int(last.has_value()) + int(after.has_value()) + int(all) != 1)
        return ctx.usageError(QStringLiteral("history delete takes one of --last K, --after ISSUE or --all"));
    int count = 0;
    QString error;
    if (last && !CliOptions::number(args, QStringLiteral("--last"), 0, std::numeric_limits<int>::max(),
                                    &count, &error, QStringLiteral("--last takes a whole number")))
        return ctx.usageError(error);
    if (all && !args.has(QStringLiteral("--yes")))
        return ctx.usageError(QStringLiteral("确定要删除所有历史号码吗？（确认请加 --yes）"));
    QString keepUpTo;
    // The answer's form needs no history: it is refused before anything is opened.
    if (after && !HistoryStore::checkKeepUpTo(*after, {}, &keepUpTo, &error))
        return ctx.usageError(error);
    if (!ctx.openWorkspace())
        return ExitFailure;
    Workspace& ws = *ctx.workspace;
    HistoryStore& h = ws.history();
    if (after && !HistoryStore::checkKeepUpTo(*after, h.draws(), &keepUpTo, &error)) {
        ctx.err << error << Qt::endl;
        return ExitUsage;
    }
    // The window's entry of the same deletion names the backup.
    const bool deletesSome =
        !h.isEmpty() && (all || (last && count > 0) || (after && h.newest()->issue > keepUpTo));
    const QString operation = all    ? QStringLiteral("删除所有历史")
                              : last ? QStringLiteral("删除最后指定数量期历史")
                                     : QStringLiteral("删除到选定期");
    if (deletesSome && !ws.backupBefore(operation, &error)) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    const int removed = last    ? h.deleteLast(count, &error)
                        : after ? h.deleteAfter(keepUpTo, &error)
                                : h.deleteAll(&error);
    if (removed < 0 || (removed > 0 && !ws.compact(&error))) {
        ctx.err << error << Qt::endl;
        return ExitFailure;
    }
    return ExitOk;
}

int HistoryCommand::update(CliContext& ctx, const CliArguments& args)
{
    OnlineUpdateOptions options;
    QString error;
    if (const std::optional<QString> base = args.value(QStringLiteral("--base-url")))
        options.baseUrl = *base;
    if (const std::optional<QString> today = args.value(QStringLiteral("--today"))) {
        options.today =
            today->size() == 6 ? QDate::fromString("20" + *today, QStringLiteral("yyyyMMdd")) : QDate();
        if (!options.today.isValid())
            return ctx.usageError(QStringLiteral("--today takes a date YYMMDD"));
    }
    if (!CliOptions::number(args, QStringLiteral("--days"), OnlineHistoryUpdate::kMinDays,
                            OnlineHistoryUpdate::kMaxDays, &options.searchDays, &error,
                            QStringLiteral("--days takes a whole number from 2 to 10")))
        return ctx.usageError(error);
    if (const std::optional<QString> timeout = args.value(QStringLiteral("--timeout"))) {
        bool ok = false;
        const double seconds = timeout->toDouble(&ok);
        if (!ok || seconds <= 0 || seconds > 3600)
            return ctx.usageError(QStringLiteral("--timeout takes a number of seconds"));
        options.timeoutMs = std::max(1, int(seconds * 1000));
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
