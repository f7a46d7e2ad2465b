// The conventions every zorvane-cli command keeps, checked across all of them: standard output
// carries only the table (every row with the header's number of fields, in TSV, CSV or JSON), the
// options read alike everywhere ("--opt value", "--opt=value", "--", "-" for standard input and
// output), anything unknown is refused the same way, and each command's --help lists its options.
#include "CliRunner.h"
#include "SyntheticHistory.h"
#include "TestSupport.h"

#include "backtest/AnalysisSession.h"
#include "backtest/BacktestRunner.h"
#include "formula/FormulaKind.h"
#include "formula/FormulaTableStore.h"
#include "history/Workspace.h"
#include "store/Settings.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

// A data folder with 400 draws and formulas of two kinds, some of them equivalent.
class CliContract : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Pelq"), QStringLiteral("Pelq"))
            .clear();
        s_dir = new TempDataFolder;
        Workspace ws;
        QString error;
        ASSERT_TRUE(ws.open(s_dir->path(), &error)) << error.toStdString();
        ASSERT_TRUE(ws.history().append(syntheticDraws(400, 5), &error)) << error.toStdString();
        addFormulas(ws, FormulaKind{2, true}, true, {"L1A+LT+3", "L3A", "LT+L1A+9", "L2A+LH", "L3A+30"}, "");
        addFormulas(ws, FormulaKind{2, true}, false, {"L1A+L2A", "LH+1"}, "");
        addFormulas(ws, FormulaKind{1, true}, true, {"L1A+LT+3", "L3A", "LT+L1A+9", "L2A", "L3A+30"}, "");
        // Chinese forms as typed, for the text export.
        for (const char* text : {"百位码+和数+3", "十位码+和数+1", "个位码+2"})
            ASSERT_EQ(
                runCli(s_dir->path(), {"formula", "add", "--kind", "3G", QString::fromUtf8(text)}).exitCode,
                0);
        ASSERT_EQ(runCli(s_dir->path(), {"backup", "create"}).exitCode, 0);
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static CliResult run(const QStringList& args, const QByteArray& input = QByteArray())
    {
        return runCli(s_dir->path(), args, input);
    }

    static TempDataFolder* s_dir;
};

TempDataFolder* CliContract::s_dir = nullptr;

// Splits CSV text (RFC 4180: quoted fields may hold commas, quotes and line breaks) into rows.
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row << field;
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field);
    return rows;
}

// The command paths --help lists ("history add", "backtest"): a second word that is a plain word
// names a subcommand.
QList<QStringList> listedCommands()
{
    const CliResult help = runCli(QString(), {"--help"});
    QList<QStringList> commands;
    for (const QString& line : help.out.split('\n')) {
        if (!line.startsWith(QLatin1String("  ")) || line.size() < 3 || !line[2].isLower())
            continue;
        const QStringList words = line.trimmed().split(' ');
        QStringList path{words[0]};
        if (words.size() > 1 &&
            QRegularExpression(QStringLiteral("^[a-z][a-z-]*$")).match(words[1]).hasMatch())
            path << words[1];
        commands << path;
    }
    return commands;
}

// The commands that print a table, each with arguments that make it print some rows.
const QList<QStringList>& tableCommands()
{
    static const QList<QStringList> commands{
        {"history", "list"},
        {"history", "list", "--all-columns"},
        {"formula", "list", "--kind", "2D", "--sense", "all"},
        {"formula", "dedupe", "--kind", "1D", "--sense", "all"},
        {"backtest", "--kind", "2D"},
        {"backtest", "--kind", "1D", "--holdout", "40"},
        {"search", "--kind", "3D", "--tries", "300", "--seed", "3", "--threads", "1", "--ranges",
         "0,100,0,32768,0,32768,0,32768,0,32768"},
        {"scheme", "--targets", "1,1,0,0,0", "--seed", "4", "--threads", "1"},
        {"pastrank", "--kind", "2D"},
        {"calc", "--kind", "2D", "--method", "best"},
        {"calc", "--kind", "2D", "--method", "best", "--walk"},
        {"calc", "--kind", "1D", "--replay", "20"},
        {"backup", "list"},
    };
    return commands;
}

TEST_F(CliContract, EveryTableRowHasTheHeadersFieldsAndNothingElseIsOnStandardOutput)
{
    for (const QStringList& args : tableCommands()) {
        const std::string what = args.join(' ').toStdString();
        const CliResult tsv = run(args);
        ASSERT_EQ(tsv.exitCode, 0) << what << ": " << tsv.err.toStdString();
        ASSERT_TRUE(tsv.out.endsWith('\n')) << what;
        const QStringList lines = tsv.out.left(tsv.out.size() - 1).split('\n');
        const qsizetype fields = lines[0].split('\t').size();
        EXPECT_GT(lines.size(), 1) << what << ": no rows to check";
        for (const QString& line : lines)
            EXPECT_EQ(line.split('\t').size(), fields) << what << ": " << line.toStdString();

        // The same table as CSV and as JSON, row for row.
        const CliResult csv = run(args + QStringList{"--format", "csv"});
        ASSERT_EQ(csv.exitCode, 0) << what;
        const QList<QStringList> csvRows = parseCsv(csv.out);
        ASSERT_EQ(csvRows.size(), lines.size()) << what;
        for (qsizetype i = 0; i < lines.size(); ++i)
            EXPECT_EQ(csvRows[i], lines[i].split('\t')) << what << " row " << i;
        const CliResult json = run(args + QStringList{"--format=json"});
        ASSERT_EQ(json.exitCode, 0) << what;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(json.out.toUtf8(), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << what << ": " << error.errorString().toStdString();
        ASSERT_TRUE(doc.isArray()) << what;
        const QJsonArray rows = doc.array();
        ASSERT_EQ(rows.size(), lines.size() - 1) << what;
        const QStringList header = lines[0].split('\t');
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QJsonObject row = rows[i].toObject();
            EXPECT_EQ(row.size(), header.size()) << what;
            const QStringList cells = lines[i + 1].split('\t');
            for (qsizetype c = 0; c < header.size(); ++c) {
                const QJsonValue v = row.value(header[c]);
                const QString text = v.isNull() ? QString() : v.isDouble() ? cells[c] : v.toString();
                EXPECT_EQ(text, cells[c]) << what << " " << header[c].toStdString();
                if (v.isDouble()) {
                    EXPECT_DOUBLE_EQ(v.toDouble(), cells[c].toDouble());
                }
            }
        }
    }
}

TEST_F(CliContract, SummariesAndWalksGoToStandardError)
{
    const CliResult search =
        run({"search", "--kind", "3D", "--tries", "200", "--seed", "3", "--threads", "1"});
    EXPECT_FALSE(search.out.contains("tried "));
    EXPECT_TRUE(search.err.contains(
        QRegularExpression("^tried 200 qualified \\d+ seconds ", QRegularExpression::MultilineOption)))
        << search.err.toStdString();
    const CliResult dedupe = run({"formula", "dedupe", "--kind", "1D"});
    const QRegularExpressionMatch counted =
        QRegularExpression("groups (\\d+) equivalents (\\d+)").match(dedupe.err);
    ASSERT_TRUE(counted.hasMatch()) << dedupe.err.toStdString();
    EXPECT_EQ(dedupe.out.count('\n'), counted.captured(2).toInt() + 1);
    const CliResult calc = run({"calc", "--kind", "2D", "--method", "best"});
    EXPECT_FALSE(calc.out.contains("walk"));
    const QStringList walkLines = calc.err.split('\n').filter(QRegularExpression("^walk\t"));
    EXPECT_FALSE(walkLines.isEmpty()) << calc.err.toStdString();
    // --walk: the same walk as a table of its own.
    const QStringList walk =
        run({"calc", "--kind", "2D", "--method", "best", "--walk"}).out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(walk.size(), walkLines.size() + 1);
    EXPECT_EQ(walk[0], "idx\tgongshi\tvoted");
    for (qsizetype i = 0; i < walkLines.size(); ++i)
        EXPECT_EQ("walk\t" + walk[i + 1], walkLines[i]);
}

// The command line analyses with the options a window's session holds: the stored ones, with the
// flags laid over them and not stored. The back-test's figures and its order line are compared
// with those the core computes from a window-side session.
TEST_F(CliContract, CommandsAnalyseWithTheOptionsOfTheWindowsSession)
{
    const FormulaKind kind{2, true};
    AnalysisOptions before, stored, flagged;
    // Per formula: rate, hits, tested and held-out draws tested; then the order line.
    QStringList storedFigures, flaggedFigures;
    {
        Workspace ws;
        QString error;
        ASSERT_TRUE(ws.open(s_dir->path(), &error)) << error.toStdString();
        before = AnalysisOptions::fromSettings(ws.settings());
        stored = before;
        stored.lookBackIndex = 1;
        stored.holdOut = 40;
        stored.weighted = false;
        stored.excludeCurrent = false;
        stored.publicationOrder = PublicationOrder::AsDrawn;
        stored.writeTo(ws.settings());
        std::vector<FormulaRecord> formulas;
        ASSERT_TRUE(FormulaTableStore(&ws.database()).loadSubset(kind, true, &formulas, &error));
        AnalysisSession session(&ws);
        ASSERT_EQ(session.options(), stored);
        const auto figures = [&] {
            QStringList rows;
            for (const FormulaOutcome& o :
                 BacktestEngine::run(*session.columns(), BacktestRunner::compileAll(formulas), kind, true,
                                     session.options().backtest())
                     .outcomes)
                rows << QStringLiteral("%1 %2 %3 %4")
                            .arg(double(o.stats.rate), 0, 'f', 4)
                            .arg(o.chance.hits)
                            .arg(o.chance.tested)
                            .arg(o.holdOut.tested);
            return rows << session.drawOrder().chanceLine();
        };
        storedFigures = figures();
        flagged = stored;
        flagged.lookBackDrawsGiven = 0;
        flagged.holdOut = 0;
        flagged.weighted = true;
        flagged.excludeCurrent = true;
        flagged.publicationOrder = PublicationOrder::Ascending;
        session.overrideOptions(flagged);
        flaggedFigures = figures();
    }
    const auto printed = [&](const QStringList& flags) {
        const CliResult r = run(QStringList{"backtest", "--kind", "2D"} + flags);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        const QStringList header = lines.value(0).split('\t');
        const auto field = [&](const QString& line, const char* name) {
            const QString text = line.split('\t').value(header.indexOf(QLatin1String(name)));
            return text.isEmpty() ? QStringLiteral("0") : text; // no held-out draws: no columns
        };
        QStringList rows;
        for (const QString& line : lines.mid(1))
            rows << QStringLiteral("%1 %2 %3 %4")
                        .arg(field(line, "rate"), field(line, "hits"), field(line, "tested"),
                             field(line, "holdout_tested"));
        return rows << r.err.section('\n', 0, 0);
    };
    EXPECT_EQ(printed({}), storedFigures);
    EXPECT_EQ(printed({"--lookback", "0", "--holdout", "0", "--weighted", "true", "--exclude-current", "true",
                       "--order", "ascending"}),
              flaggedFigures);
    // The figures differ, so the comparison above tells the two apart; the flags were not stored.
    EXPECT_NE(storedFigures, flaggedFigures);
    Settings settings;
    EXPECT_EQ(AnalysisOptions::fromSettings(settings), stored);
    before.writeTo(settings);
}

TEST_F(CliContract, OptionsWithEqualsReadAsWithASpace)
{
    const QList<QPair<QStringList, QStringList>> pairs{
        {{"formula", "list", "--kind", "2D", "--sense", "keep"},
         {"formula", "list", "--kind=2D", "--sense=keep"}},
        {{"backtest", "--kind", "2D", "--lookback", "100"}, {"backtest", "--kind=2D", "--lookback=100"}},
        {{"calc", "--kind", "2D", "--limit", "-2"}, {"calc", "--kind=2D", "--limit=-2"}},
        {{"history", "list"}, {"history", "list", "--format=tsv"}},
    };
    for (const auto& [spaced, joined] : pairs) {
        const CliResult a = run(spaced);
        const CliResult b = run(joined);
        EXPECT_EQ(a.exitCode, 0) << spaced.join(' ').toStdString() << a.err.toStdString();
        EXPECT_EQ(a.out, b.out) << joined.join(' ').toStdString();
    }
    // The global options too, before the command.
    const CliResult global =
        runCli(QString(), {"--data-dir=" + s_dir->path(), "--lottery=0", "history", "list"});
    EXPECT_EQ(global.out, run({"history", "list"}).out);
}

TEST_F(CliContract, DashIsStandardInputAndOutputWhereAFileIsNamed)
{
    TempDataFolder other;
    const QString file = other.file("history.txt");
    ASSERT_EQ(run({"history", "export", file}).exitCode, 0);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray exported = f.readAll();
    const CliResult toStdout = run({"history", "export", "-"});
    EXPECT_EQ(toStdout.exitCode, 0);
    EXPECT_EQ(toStdout.out.toUtf8(), exported);
    EXPECT_FALSE(QFile::exists(QStringLiteral("-")));
    const CliResult imported = runCli(other.path(), {"history", "import", "-"}, exported);
    EXPECT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_EQ(runCli(other.path(), {"history", "list", "--all-columns"}).out,
              run({"history", "list", "--all-columns"}).out);

    // The formula export on stdout is the file's bytes (GBK); read back through "-" it adds the formulas.
    const QString formulas = other.file("formulas.txt");
    ASSERT_EQ(run({"formula", "export", "--kind", "3G", formulas}).exitCode, 0);
    QFile g(formulas);
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    const QByteArray bytes = g.readAll();
    QProcess p;
    p.start(QStringLiteral(ZORVANE_CLI_PATH),
            {"--data-dir", s_dir->path(), "formula", "export", "--kind", "3G", "-"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.readAllStandardOutput(), bytes);
    const CliResult added = runCli(other.path(), {"formula", "import", "-"}, bytes);
    EXPECT_EQ(added.exitCode, 0) << added.err.toStdString();
    EXPECT_TRUE(added.out.startsWith("added 3 ")) << added.out.toStdString();
}

TEST_F(CliContract, EveryCommandRefusesWhatItDoesNotTakeTheSameWay)
{
    const QList<QStringList> commands = listedCommands();
    ASSERT_GE(commands.size(), 20);
    for (const QStringList& command : commands) {
        const std::string what = command.join(' ').toStdString();
        const CliResult r = run(command + QStringList{"--no-such-option"});
        EXPECT_EQ(r.exitCode, 2) << what;
        EXPECT_TRUE(r.out.isEmpty()) << what;
        // (The chart command's graphics may warn about the session first.)
        EXPECT_TRUE(
            r.err.contains("unknown option --no-such-option\nusage: zorvane-cli " + command.join(' ')))
            << what << ": " << r.err.toStdString();
        // Its help names every option of its usage line on a line of its own.
        const CliResult help = run(command + QStringList{"--help"});
        EXPECT_EQ(help.exitCode, 0) << what;
        const QStringList lines = help.out.split('\n');
        ASSERT_TRUE(lines[0].startsWith("usage: zorvane-cli " + command.join(' '))) << what;
        for (const QString& option : lines[0].split(QRegularExpression("[ \\[\\]]"), Qt::SkipEmptyParts)) {
            if (!option.startsWith(QLatin1String("--")))
                continue;
            EXPECT_EQ(
                lines.filter(QRegularExpression("^  " + QRegularExpression::escape(option) + "[ =]")).size(),
                1)
                << what << ": " << option.toStdString();
        }
    }
    struct Refusal
    {
        QStringList args;
        const char* message;
    };
    const QList<Refusal> refusals{
        {{"history", "list", "--all-columns=yes"}, "--all-columns takes no value"},
        {{"formula", "list", "--kind"}, "--kind needs a value"},
        {{"formula", "list", "--sense", "maybe"}, "--sense takes kill, keep or all"},
        {{"history", "list", "extra"}, "unexpected argument extra"},
        {{"history", "update", "extra"}, "unexpected argument extra"},
        {{"backtest", "--lookback=100", "extra"}, "unexpected argument extra"},
        {{"history", "list", "--format", "xml"}, "--format takes tsv, csv or json"},
        {{"translate", "-1"}, "unknown option -1"},
        {{"history", "delete", "--all"}, "--yes"},
        {{"backup", "restore", "x.mdb"}, "--yes"},
    };
    const QString before = run({"history", "list"}).out;
    for (const Refusal& refusal : refusals) {
        const CliResult r = run(refusal.args);
        EXPECT_EQ(r.exitCode, 2) << refusal.args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.contains(QLatin1String(refusal.message))) << r.err.toStdString();
    }
    EXPECT_EQ(run({"history", "list"}).out, before);
    // After "--" everything is an argument.
    const CliResult dashed = run({"translate", "--", "-1"});
    EXPECT_EQ(dashed.exitCode, 0) << dashed.err.toStdString();
    EXPECT_EQ(dashed.out, "-1\n");
}

} // namespace
