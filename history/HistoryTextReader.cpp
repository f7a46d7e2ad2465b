#include "history/HistoryTextReader.h"

#include "history/HistoryTextFile.h"
#include "store/TextFileCodec.h"

#include <QRegularExpression>

#include <algorithm>
#include <map>
#include <tuple>

namespace {

constexpr int kShownLineLength = 80;

// Full-width digits, colons and commas as plain ones, the ideographic space as a blank.
QString normalised(const QString& line)
{
    return line.normalized(QString::NormalizationForm_KC);
}

QString shown(const QString& line)
{
    const QString t = line.trimmed();
    return t.size() > kShownLineLength ? t.left(kShownLineLength) + QStringLiteral("…") : t;
}

bool isIssueLength(qsizetype length, bool runningCount)
{
    return length == 9 || (runningCount && (length == 5 || length == 6));
}

// A date without a year falls in today's year, or last year for December read in January.
QDate dateInYear(const QDate& today, int month, int day)
{
    const int year = today.year() - (month == 12 && today.month() == 1 ? 1 : 0);
    return QDate(year, month, day);
}

// Dates and times as results pages and spreadsheets write them. Blanked out before numbers are
// looked for, so "2016-01-21 09:30" never reads as draw numbers.
const QRegularExpression& fullDate()
{
    static const QRegularExpression re(QStringLiteral(
        "(?<![0-9])(\\d{4})\\s*[-/.年]\\s*(\\d{1,2})\\s*[-/.月]\\s*(\\d{1,2})\\s*日?(?![0-9])"));
    return re;
}
const QRegularExpression& compactDate()
{
    static const QRegularExpression re(
        QStringLiteral("(?<![0-9])(20\\d\\d)(0[1-9]|1[0-2])(0[1-9]|[12]\\d|3[01])(?![0-9])"));
    return re;
}
const QRegularExpression& monthDay()
{
    static const QRegularExpression re(QStringLiteral(
        "(?<![0-9])(\\d{1,2})\\s*月\\s*(\\d{1,2})\\s*日|(?<![0-9/\\-])(\\d{2})[-/](\\d{2})(?![0-9/\\-])"));
    return re;
}
const QRegularExpression& timeOfDay()
{
    static const QRegularExpression re(QStringLiteral("(?<![0-9])\\d{1,2}:\\d{2}(:\\d{2})?(?![0-9])|\\d{1,2}"
                                                      "\\s*[时点]\\s*\\d{1,2}\\s*分(\\s*\\d{1,2}\\s*秒)?"));
    return re;
}

// The first date written on the line, if any.
QDate lineDate(const QString& text, const QDate& today)
{
    QRegularExpressionMatch m = fullDate().match(text);
    if (m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    m = compactDate().match(text);
    if (m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    m = monthDay().match(text);
    if (m.hasMatch()) {
        const bool words = !m.captured(1).isEmpty();
        return dateInYear(today, m.captured(words ? 1 : 3).toInt(), m.captured(words ? 2 : 4).toInt());
    }
    return {};
}

QString withoutDatesAndTimes(QString text)
{
    for (const QRegularExpression* re : {&fullDate(), &compactDate(), &monthDay(), &timeOfDay()})
        text.replace(*re, QStringLiteral(" "));
    return text;
}

std::vector<QString> digitRuns(const QString& text)
{
    static const QRegularExpression run(QStringLiteral("[0-9]+"));
    std::vector<QString> runs;
    for (auto it = run.globalMatch(text); it.hasNext();)
        runs.push_back(it.next().captured());
    return runs;
}

bool inRange(const std::array<int, 3>& numbers)
{
    return std::all_of(numbers.begin(), numbers.end(), [](int n) { return n >= 1 && n <= 6; });
}

QString numbersText(const std::array<int, 3>& numbers)
{
    return QStringLiteral("%1 %2 %3").arg(numbers[0]).arg(numbers[1]).arg(numbers[2]);
}

QString outOfRangeReason(const QString& issue, const std::array<int, 3>& numbers)
{
    return QStringLiteral("期号%1的开奖号码“%2”必须是三个1到6的数字").arg(issue, numbersText(numbers));
}

QString missingDateReason(const QString& issue)
{
    return QStringLiteral("北京快3的期号%1是流水号，这一行没有开奖日期（例如2016-01-21或01-21），"
                          "无法算出日期参数")
        .arg(issue);
}

// One field of a table row that holds the issue: "160121001", optionally as "第160121001期".
QString issueInField(const QString& field, bool runningCount)
{
    static const QRegularExpression re(QStringLiteral("^第?\\s*([0-9]+)\\s*期?$"));
    const QRegularExpressionMatch m = re.match(field.trimmed());
    if (!m.hasMatch() || !isIssueLength(m.capturedLength(1), runningCount))
        return {};
    return m.captured(1);
}

bool singleDigit(const QString& field, int* value)
{
    const QString t = field.trimmed();
    if (t.size() != 1 || !t[0].isDigit())
        return false;
    *value = t[0].digitValue();
    return true;
}

// One field holding all three numbers: "356", "3 5 6", "3,5,6", "3-5-6", "3|5|6".
bool threeInOneField(const QString& field, std::array<int, 3>* numbers)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*([0-9])[\\s,;、|/+.\\-]*([0-9])[\\s,;、|/+.\\-]*([0-9])\\s*$"));
    const QRegularExpressionMatch m = re.match(field);
    if (!m.hasMatch())
        return false;
    for (int p = 0; p < 3; ++p)
        (*numbers)[p] = m.captured(p + 1).toInt();
    return true;
}

// Splits a table row; double quotes enclose fields that hold the delimiter ("3,5,6"), and a
// doubled quote inside them stands for one.
QStringList splitFields(const QString& line, QChar delimiter)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.trimmed().isEmpty()) {
            quoted = true;
            field.clear();
        } else if (c == delimiter) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

int issueColumn(const QStringList& fields, bool runningCount)
{
    for (int i = 0; i < fields.size(); ++i)
        if (!issueInField(fields[i], runningCount).isEmpty())
            return i;
    return -1;
}

bool isBlankRow(const QStringList& fields)
{
    return std::all_of(fields.begin(), fields.end(), [](const QString& f) { return f.trimmed().isEmpty(); });
}

// Where a table keeps the issue and the numbers.
struct TableLayout
{
    int issue = -1;
    bool separate = false;                  // three number columns rather than one
    std::array<int, 3> numbers{-1, -1, -1}; // the columns of 百位, 十位, 个位 (one column when combined)

    bool valid() const { return issue >= 0 && numbers[0] >= 0; }
    bool operator<(const TableLayout& o) const
    {
        return std::tie(issue, separate, numbers) < std::tie(o.issue, o.separate, o.numbers);
    }
};

// The layout one data row suggests: the issue column, then the first column after it that holds
// the three numbers, or the first of three single-digit columns in a row.
TableLayout layoutOfRow(const QStringList& fields, int issue)
{
    TableLayout layout;
    layout.issue = issue;
    for (int j = issue + 1; j < fields.size(); ++j) {
        int a = 0, b = 0, c = 0;
        if (j + 2 < fields.size() && singleDigit(fields[j], &a) && singleDigit(fields[j + 1], &b) &&
            singleDigit(fields[j + 2], &c)) {
            layout.separate = true;
            layout.numbers = {j, j + 1, j + 2};
            return layout;
        }
        std::array<int, 3> numbers{};
        if (threeInOneField(fields[j], &numbers)) {
            layout.numbers = {j, j, j};
            return layout;
        }
    }
    return layout;
}

// The layout a heading row names: 期号 and 百位, 十位, 个位, in whatever column order.
TableLayout layoutOfHeading(const QStringList& fields)
{
    TableLayout layout;
    const QString positions[3] = {QStringLiteral("百位"), QStringLiteral("十位"), QStringLiteral("个位")};
    for (int i = 0; i < fields.size(); ++i) {
        const QString f = fields[i].trimmed();
        if (layout.issue < 0 &&
            (f.contains(QStringLiteral("期号")) || f.contains(QStringLiteral("期数")) ||
             f.contains(QStringLiteral("期次")) || f.compare("issue", Qt::CaseInsensitive) == 0))
            layout.issue = i;
        for (int p = 0; p < 3; ++p)
            if (layout.numbers[p] < 0 && f.contains(positions[p]))
                layout.numbers[p] = i;
    }
    layout.separate = true;
    if (layout.issue < 0 ||
        std::any_of(layout.numbers.begin(), layout.numbers.end(), [](int c) { return c < 0; }))
        return {};
    return layout;
}

} // namespace

HistoryTextReader::Result HistoryTextReader::read(const QByteArray& bytes, const Options& options)
{
    return read(TextFileCodec::splitLines(TextFileCodec::decodeLenient(bytes)), options);
}

HistoryTextReader::Result HistoryTextReader::read(const QStringList& lines, const Options& options)
{
    int nonBlank = 0, exportShaped = 0;
    for (const QString& line : lines) {
        const QString t = line.trimmed();
        if (t.isEmpty())
            continue;
        ++nonBlank;
        if (HistoryTextFile::looksLikeExportLine(t))
            ++exportShaped;
    }
    if (nonBlank == 0)
        return {};
    if (exportShaped * 2 > nonBlank)
        return readOwnExport(lines);

    // A table when more lines keep the issue in a field of their own than hold an issue at all
    // in any other way; otherwise page text.
    const QChar delimiters[] = {QLatin1Char('\t'), QLatin1Char(','), QLatin1Char(';')};
    int tableRows[3] = {};
    int pageRows = 0;
    for (const QString& line : lines) {
        const QString text = normalised(line);
        if (text.trimmed().isEmpty())
            continue;
        for (int d = 0; d < 3; ++d) {
            const QStringList fields = splitFields(text, delimiters[d]);
            if (fields.size() >= 2 && issueColumn(fields, options.runningCount) >= 0)
                ++tableRows[d];
        }
        const auto runs = digitRuns(withoutDatesAndTimes(text));
        if (std::any_of(runs.begin(), runs.end(),
                        [&](const QString& r) { return isIssueLength(r.size(), options.runningCount); }))
            ++pageRows;
    }
    const int best =
        int(std::max_element(std::begin(tableRows), std::end(tableRows)) - std::begin(tableRows));
    if (tableRows[best] > 0 && tableRows[best] * 2 > pageRows)
        return readTable(lines, delimiters[best], options);
    return readPage(lines, options);
}

HistoryTextReader::Result HistoryTextReader::readOwnExport(const QStringList& lines)
{
    Result result;
    result.format = Format::OwnExport;
    for (int i = 0; i < lines.size(); ++i) {
        const QString t = lines[i].trimmed();
        if (t.isEmpty())
            continue;
        HistoryTextFile::Line line;
        QString reason;
        if (!HistoryTextFile::parseLine(t, &line, &reason)) {
            result.unread.push_back({i + 1, shown(t), reason});
            continue;
        }
        TextDraw draw;
        draw.lineNumber = i + 1;
        draw.issue = line.issue;
        draw.numbers = line.numbers;
        result.draws.push_back(draw);
    }
    return result;
}

HistoryTextReader::Result HistoryTextReader::readTable(const QStringList& lines, QChar delimiter,
                                                       const Options& options)
{
    Result result;
    result.format = Format::Table;
    result.delimiter = delimiter;

    std::vector<QStringList> rows;
    rows.reserve(lines.size());
    for (const QString& line : lines)
        rows.push_back(splitFields(normalised(line), delimiter));

    // Rows before the first one holding an issue are headings; the last of them may name columns.
    int firstData = -1;
    QStringList heading;
    for (int i = 0; i < int(rows.size()) && firstData < 0; ++i) {
        if (isBlankRow(rows[i]))
            continue;
        if (issueColumn(rows[i], options.runningCount) >= 0) {
            firstData = i;
        } else {
            heading = rows[i];
            ++result.ignoredLines;
        }
    }
    if (firstData < 0)
        return result;

    TableLayout layout = layoutOfHeading(heading);
    if (!layout.valid()) {
        // The layout most data rows agree on; ties go to the earlier row.
        std::map<TableLayout, std::pair<int, int>> votes; // layout -> (count, first row)
        for (int i = firstData; i < int(rows.size()); ++i) {
            const int issue = issueColumn(rows[i], options.runningCount);
            if (issue < 0)
                continue;
            const TableLayout l = layoutOfRow(rows[i], issue);
            if (!l.valid())
                continue;
            auto [it, added] = votes.try_emplace(l, 0, i);
            ++it->second.first;
        }
        std::pair<int, int> bestVote{0, 0};
        for (const auto& [l, vote] : votes) {
            if (vote.first > bestVote.first ||
                (vote.first == bestVote.first && vote.second < bestVote.second)) {
                bestVote = vote;
                layout = l;
            }
        }
    }

    for (int i = firstData; i < int(rows.size()); ++i) {
        const QStringList& fields = rows[i];
        if (isBlankRow(fields))
            continue;
        const int lineNumber = i + 1;
        auto unread = [&](const QString& reason) {
            result.unread.push_back({lineNumber, shown(lines[i]), reason});
        };
        if (!layout.valid()) {
            unread(QStringLiteral("没有找到开奖号码（应在期号之后，三列各一个号码，或一列写三个号码）"));
            continue;
        }
        const int needed =
            std::max(layout.issue, *std::max_element(layout.numbers.begin(), layout.numbers.end())) + 1;
        if (fields.size() < needed) {
            unread(QStringLiteral("这一行只有%1列，应至少有%2列").arg(fields.size()).arg(needed));
            continue;
        }
        TextDraw draw;
        draw.lineNumber = lineNumber;
        draw.issue = issueInField(fields[layout.issue], options.runningCount);
        if (draw.issue.isEmpty()) {
            unread(QStringLiteral("第%1列“%2”不是期号（应为9位数字，例如160121001）")
                       .arg(layout.issue + 1)
                       .arg(fields[layout.issue].trimmed()));
            continue;
        }
        bool read = true;
        if (layout.separate) {
            for (int p = 0; p < 3 && read; ++p)
                read = singleDigit(fields[layout.numbers[p]], &draw.numbers[p]);
        } else {
            read = threeInOneField(fields[layout.numbers[0]], &draw.numbers);
        }
        if (!read) {
            QStringList written;
            for (int p = 0; p < (layout.separate ? 3 : 1); ++p)
                written << fields[layout.numbers[p]].trimmed();
            unread(QStringLiteral("期号%1的开奖号码“%2”不是三个号码").arg(draw.issue, written.join(' ')));
            continue;
        }
        if (!inRange(draw.numbers)) {
            unread(outOfRangeReason(draw.issue, draw.numbers));
            continue;
        }
        draw.runningCount = draw.issue.size() != 9;
        draw.date = lineDate(normalised(lines[i]), options.today);
        if (draw.runningCount && !draw.date.isValid()) {
            unread(missingDateReason(draw.issue));
            continue;
        }
        result.draws.push_back(draw);
    }
    return result;
}

HistoryTextReader::Result HistoryTextReader::readPage(const QStringList& lines, const Options& options)
{
    Result result;
    result.format = Format::ResultsPage;
    for (int i = 0; i < lines.size(); ++i) {
        const QString text = normalised(lines[i]);
        if (text.trimmed().isEmpty())
            continue;
        const int lineNumber = i + 1;
        auto unread = [&](const QString& reason) {
            result.unread.push_back({lineNumber, shown(lines[i]), reason});
        };
        const std::vector<QString> runs = digitRuns(withoutDatesAndTimes(text));
        const QDate date = lineDate(text, options.today);
        bool heldIssue = false;
        // A line may list several draws side by side; each issue takes the numbers after it.
        for (size_t r = 0; r < runs.size();) {
            const QString& issue = runs[r];
            if (!isIssueLength(issue.size(), options.runningCount)) {
                ++r;
                continue;
            }
            heldIssue = true;
            TextDraw draw;
            draw.lineNumber = lineNumber;
            draw.issue = issue;
            draw.runningCount = issue.size() != 9;
            draw.date = date;
            size_t used = 0;
            if (r + 1 < runs.size() && runs[r + 1].size() == 3) {
                used = 2;
                for (int p = 0; p < 3; ++p)
                    draw.numbers[p] = runs[r + 1][p].digitValue();
            } else if (r + 3 < runs.size() && runs[r + 1].size() == 1 && runs[r + 2].size() == 1 &&
                       runs[r + 3].size() == 1) {
                used = 4;
                for (int p = 0; p < 3; ++p)
                    draw.numbers[p] = runs[r + 1 + p][0].digitValue();
            }
            if (used == 0) {
                unread(QStringLiteral("期号%1后面没有三个开奖号码").arg(issue));
                ++r;
                continue;
            }
            r += used;
            if (!inRange(draw.numbers))
                unread(outOfRangeReason(issue, draw.numbers));
            else if (draw.runningCount && !date.isValid())
                unread(missingDateReason(issue));
            else
                result.draws.push_back(draw);
        }
        if (!heldIssue)
            ++result.ignoredLines;
    }
    return result;
}

QString HistoryTextReader::formatName(const Result& result)
{
    switch (result.format) {
    case Format::Empty:
        return QStringLiteral("空白");
    case Format::OwnExport:
        return QStringLiteral("本程序导出的历史号码文本（期号 三个号码）");
    case Format::Table:
        if (result.delimiter == QLatin1Char('\t'))
            return QStringLiteral("TSV 表格（制表符分隔）");
        return result.delimiter == QLatin1Char(';') ? QStringLiteral("CSV 表格（分号分隔）")
                                                    : QStringLiteral("CSV 表格（逗号分隔）");
    case Format::ResultsPage:
        return QStringLiteral("开奖结果网页的文字");
    }
    return {};
}
