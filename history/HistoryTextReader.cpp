#include "history/HistoryTextReader.h"

#include "history/HistoryTextFile.h"
#include "history/IssueText.h"
#include "history/LayoutChoice.h"
#include "store/TextFileCodec.h"

#include <QRegularExpression>

#include <algorithm>
#include <map>
#include <tuple>

namespace {

constexpr int kShownLineLength = 80;
// Stands for an issue in a line's text while its numbers are looked for: no digit, no date.
constexpr QChar kIssueMark(0xE000);

// Full-width digits, colons and commas as plain ones, the ideographic space as a blank.
QString normalised(const QString& line)
{
    return line.normalized(QString::NormalizationForm_KC);
}

QString shown(const QString& line)
{
    QString t = line.trimmed();
    t.replace(QLatin1Char('\t'), QStringLiteral("  "));
    return t.size() > kShownLineLength ? t.left(kShownLineLength) + QStringLiteral("…") : t;
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

QString sumReason(const QString& issue, const std::array<int, 3>& numbers)
{
    return QStringLiteral("期号%1的“%2”中有和值（三个号码之和），不是开奖号码")
        .arg(issue, numbersText(numbers));
}

QString missingDateReason(const QString& issue)
{
    return QStringLiteral("北京快3的期号%1是流水号，这一行没有开奖日期（例如2016-01-21或01-21），"
                          "无法算出日期参数")
        .arg(issue);
}

QString ambiguityText(const QString& line, int lineNumber, const QString& issue,
                      const std::array<int, 3>& one, const std::array<int, 3>& other)
{
    return QStringLiteral("开奖号码有两种同样可能的读法，无法确定哪一种对：第%1行“%2”可以读作 %3 %4，"
                          "也可以读作 %3 %5。请删去号码旁边多余的数字列（例如序号），或在表格第一行写上"
                          "“期号,百位,十位,个位”后再导入。没有导入任何号码。")
        .arg(lineNumber)
        .arg(shown(line), issue, numbersText(one), numbersText(other));
}

bool singleDigit(const QString& field, int* value)
{
    const QString t = field.trimmed();
    if (t.size() != 1 || !t[0].isDigit())
        return false;
    *value = t[0].digitValue();
    return true;
}

// A field holding a whole number that may be a sum (0..99).
bool smallNumber(const QString& field, int* value)
{
    const QString t = field.trimmed();
    if (t.isEmpty() || t.size() > 2 || !std::all_of(t.begin(), t.end(), [](QChar c) { return c.isDigit(); }))
        return false;
    *value = t.toInt();
    return true;
}

// One field holding all three numbers: "356", "3 5 6", "3,5,6", "3-5-6", "3|5|6". The two gaps
// are alike (both empty or both not), so a day such as "1-21" is no draw.
bool threeInOneField(const QString& field, std::array<int, 3>* numbers)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*([0-9])([\\s,;、|/+.\\-]*)([0-9])([\\s,;、|/+.\\-]*)([0-9])\\s*$"));
    const QRegularExpressionMatch m = re.match(field);
    if (!m.hasMatch() || (m.capturedLength(2) == 0) != (m.capturedLength(4) == 0))
        return false;
    for (int p = 0; p < 3; ++p)
        (*numbers)[p] = m.captured(2 * p + 1).toInt();
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
        if (!IssueText::inField(fields[i], runningCount).isEmpty())
            return i;
    return -1;
}

bool isBlankRow(const QStringList& fields)
{
    return std::all_of(fields.begin(), fields.end(), [](const QString& f) { return f.trimmed().isEmpty(); });
}

// Where a table keeps the numbers: three columns from `first`, or one column holding all three.
struct TableLayout
{
    bool separate = false;
    int first = -1;

    bool operator<(const TableLayout& o) const
    {
        return std::tie(first, separate) < std::tie(o.first, o.separate);
    }
    std::array<int, 3> columns() const
    {
        return separate ? std::array<int, 3>{first, first + 1, first + 2}
                        : std::array<int, 3>{first, first, first};
    }
};

// The layout a heading row names: 期号 and 百位, 十位, 个位, in whatever column order; and the
// columns named as sums (和值).
struct Heading
{
    int issue = -1;
    std::array<int, 3> numbers{-1, -1, -1};
    std::vector<int> sums;
    bool named() const
    {
        return issue >= 0 && std::all_of(numbers.begin(), numbers.end(), [](int c) { return c >= 0; });
    }
};

Heading headingOf(const QStringList& fields)
{
    Heading h;
    const QString positions[3] = {QStringLiteral("百位"), QStringLiteral("十位"), QStringLiteral("个位")};
    for (int i = 0; i < fields.size(); ++i) {
        const QString f = fields[i].trimmed();
        if (h.issue < 0 &&
            (f.contains(QStringLiteral("期号")) || f.contains(QStringLiteral("期数")) ||
             f.contains(QStringLiteral("期次")) || f.compare("issue", Qt::CaseInsensitive) == 0))
            h.issue = i;
        for (int p = 0; p < 3; ++p)
            if (h.numbers[p] < 0 && f.contains(positions[p]))
                h.numbers[p] = i;
        if (f == QStringLiteral("和") || f.contains(QStringLiteral("和值")) || f == QStringLiteral("总和") ||
            f.compare("sum", Qt::CaseInsensitive) == 0)
            h.sums.push_back(i);
    }
    return h;
}

LayoutRowReading readRow(const QStringList& fields, int issue, const TableLayout& layout)
{
    LayoutRowReading r;
    const auto columns = layout.columns();
    if (columns[2] >= fields.size())
        return r;
    if (layout.separate) {
        r.found = true;
        for (int p = 0; p < 3 && r.found; ++p)
            r.found = singleDigit(fields[columns[p]], &r.numbers[p]);
    } else {
        r.found = threeInOneField(fields[layout.first], &r.numbers);
    }
    if (!r.found)
        return r;
    r.positions = columns;
    for (int c = 0; c < fields.size(); ++c) {
        int value = 0;
        if (c != issue && std::find(columns.begin(), columns.end(), c) == columns.end() &&
            smallNumber(fields[c], &value))
            r.beside.push_back({c, c, value});
    }
    return r;
}

QString columnsText(const std::array<int, 3>& columns)
{
    if (columns[0] == columns[1] && columns[1] == columns[2])
        return QStringLiteral("第%1列").arg(columns[0] + 1);
    if (columns[1] == columns[0] + 1 && columns[2] == columns[1] + 1)
        return QStringLiteral("第%1到%2列").arg(columns[0] + 1).arg(columns[2] + 1);
    return QStringLiteral("第%1、%2、%3列").arg(columns[0] + 1).arg(columns[1] + 1).arg(columns[2] + 1);
}

// One issue on a line of page text and the numbers after it, up to the next issue.
struct PageToken
{
    QString digits;
    bool namedSum = false; // written after 和值 or 和
};
struct PageSegment
{
    int line = 0;
    QString issue;
    bool runningCount = false;
    std::vector<PageToken> tokens;
};

// The issues on a line and the numbers after each, with dates and times passed over.
std::vector<PageSegment> segmentsOf(const QString& text, int line, bool runningCount)
{
    const std::vector<IssueText::Span> spans = IssueText::find(text, runningCount);
    std::vector<PageSegment> segments;
    if (spans.empty())
        return segments;
    QString marked = text;
    for (auto it = spans.rbegin(); it != spans.rend(); ++it)
        marked.replace(it->start, it->length, QString(1, kIssueMark));
    marked = withoutDatesAndTimes(marked);
    static const QRegularExpression token(QStringLiteral("[0-9]+|\\x{E000}"));
    static const QRegularExpression sumWords(QStringLiteral("和值?\\s*[:=]?\\s*$"));
    size_t next = 0;
    qsizetype previousEnd = 0;
    for (auto it = token.globalMatch(marked); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString before = marked.mid(previousEnd, m.capturedStart() - previousEnd);
        previousEnd = m.capturedEnd();
        if (m.captured() == QString(1, kIssueMark)) {
            const IssueText::Span& span = spans[next++];
            segments.push_back({line, span.issue, span.runningCount, {}});
            continue;
        }
        if (segments.empty())
            continue; // numbers before the first issue of the line
        segments.back().tokens.push_back({m.captured(), sumWords.match(before).hasMatch()});
    }
    return segments;
}

// The numbers of a segment when they start at token `skip`: one run of three digits, or three
// runs of one.
LayoutRowReading readSegment(const PageSegment& s, int skip)
{
    LayoutRowReading r;
    const auto& t = s.tokens;
    const int n = int(t.size());
    int after = -1;
    if (skip < n && t[skip].digits.size() == 3) {
        r.found = true;
        for (int p = 0; p < 3; ++p)
            r.numbers[p] = t[skip].digits[p].digitValue();
        r.positions = {skip, skip, skip};
        after = skip + 1;
    } else if (skip + 2 < n && t[skip].digits.size() == 1 && t[skip + 1].digits.size() == 1 &&
               t[skip + 2].digits.size() == 1) {
        r.found = true;
        for (int p = 0; p < 3; ++p)
            r.numbers[p] = t[skip + p].digits[0].digitValue();
        r.positions = {skip, skip + 1, skip + 2};
        after = skip + 3;
    }
    if (!r.found)
        return r;
    int value = 0;
    if (skip >= 1 && smallNumber(t[skip - 1].digits, &value))
        r.beside.push_back({-1, skip - 1, value});
    if (after < n && smallNumber(t[after].digits, &value))
        r.beside.push_back({1, after, value});
    return r;
}

} // namespace

HistoryTextReader::Result HistoryTextReader::read(const QByteArray& bytes, const Options& options)
{
    return read(TextFileCodec::splitLines(TextFileCodec::decodeLenient(bytes)), options);
}

QStringList HistoryTextReader::cellLines(const std::vector<QStringList>& rows)
{
    // Each row as a line of tab-separated text: the reader's own table rules then apply, and a
    // sheet whose issue stands in two cells (a date, a sequence number) reads as page text.
    QStringList lines;
    lines.reserve(qsizetype(rows.size()));
    static const QRegularExpression breaks(QStringLiteral("[\\t\\r\\n]+"));
    for (const QStringList& cells : rows) {
        QStringList clean;
        for (const QString& c : cells)
            clean << QString(c).replace(breaks, QStringLiteral(" "));
        lines << clean.join(QLatin1Char('\t'));
    }
    return lines;
}

HistoryTextReader::Result HistoryTextReader::readCells(const std::vector<QStringList>& rows,
                                                       const Options& options)
{
    return read(cellLines(rows), options);
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
        return readOwnExport(lines, options);

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
            if (!text.contains(delimiters[d]))
                continue;
            const QStringList fields = splitFields(text, delimiters[d]);
            if (fields.size() >= 2 && issueColumn(fields, options.runningCount) >= 0)
                ++tableRows[d];
        }
        if (!IssueText::find(text, options.runningCount).empty())
            ++pageRows;
    }
    const int best =
        int(std::max_element(std::begin(tableRows), std::end(tableRows)) - std::begin(tableRows));
    if (tableRows[best] > 0 && tableRows[best] * 2 > pageRows)
        return readTable(lines, delimiters[best], options);
    return readPage(lines, options);
}

HistoryTextReader::Result HistoryTextReader::readOwnExport(const QStringList& lines, const Options& options)
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
            result.unread.push_back({i + 1, shown(t), reason, QString()});
            continue;
        }
        TextDraw draw;
        draw.lineNumber = i + 1;
        // The full year ("20160121001 356") is kept as nine digits too.
        const QString issue = IssueText::inField(line.issue, false);
        draw.issue = issue.isEmpty() ? line.issue : issue;
        draw.numbers = line.numbers;
        if (options.runningCount && issue.isEmpty() && (line.issue.size() == 5 || line.issue.size() == 6)) {
            result.unread.push_back({i + 1, shown(t), missingDateReason(line.issue), line.issue});
            continue;
        }
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
    QStringList headingRow;
    for (int i = 0; i < int(rows.size()) && firstData < 0; ++i) {
        if (isBlankRow(rows[i]))
            continue;
        if (issueColumn(rows[i], options.runningCount) >= 0) {
            firstData = i;
        } else {
            headingRow = rows[i];
            ++result.ignoredLines;
        }
    }
    if (firstData < 0)
        return result;
    const Heading heading = headingOf(headingRow);

    // The issue column: the one named, else the one most rows keep their issue in.
    int issue = heading.named() ? heading.issue : -1;
    if (issue < 0) {
        std::map<int, int> votes;
        for (int i = firstData; i < int(rows.size()); ++i)
            if (const int c = issueColumn(rows[i], options.runningCount); c >= 0)
                ++votes[c];
        issue = std::max_element(votes.begin(), votes.end(), [](const auto& a, const auto& b) {
                    return a.second < b.second;
                })->first;
    }

    // The data rows, and every layout some row suggests: three one-digit columns after the
    // issue, or one column holding the three numbers.
    std::vector<int> dataRows;
    std::vector<TableLayout> layouts;
    for (int i = firstData; i < int(rows.size()); ++i) {
        if (isBlankRow(rows[i]))
            continue;
        dataRows.push_back(i);
        if (heading.named())
            continue;
        const QStringList& f = rows[i];
        for (int j = issue + 1; j < f.size(); ++j) {
            int a = 0, b = 0, c = 0;
            std::array<int, 3> n{};
            if (j + 2 < f.size() && singleDigit(f[j], &a) && singleDigit(f[j + 1], &b) &&
                singleDigit(f[j + 2], &c))
                layouts.push_back({true, j});
            if (threeInOneField(f[j], &n))
                layouts.push_back({false, j});
        }
    }
    std::sort(layouts.begin(), layouts.end());
    layouts.erase(
        std::unique(layouts.begin(), layouts.end(),
                    [](const TableLayout& a, const TableLayout& b) { return !(a < b) && !(b < a); }),
        layouts.end());

    std::vector<std::vector<int>> knownSums(dataRows.size(), heading.sums);
    std::array<int, 3> columns{-1, -1, -1};
    std::vector<std::vector<int>> sumPositions = knownSums;
    if (heading.named()) {
        columns = heading.numbers;
    } else if (!layouts.empty()) {
        std::vector<std::vector<LayoutRowReading>> readings(layouts.size());
        for (size_t l = 0; l < layouts.size(); ++l)
            for (int r : dataRows)
                readings[l].push_back(readRow(rows[r], issue, layouts[l]));
        const LayoutChoice::Outcome choice = LayoutChoice::choose(readings, knownSums);
        if (choice.rival >= 0) {
            const int r = dataRows[choice.ambiguousRow];
            Result refused;
            refused.format = Format::Table;
            refused.delimiter = delimiter;
            refused.ambiguity =
                ambiguityText(lines[r], r + 1, IssueText::inField(rows[r][issue], options.runningCount),
                              readings[choice.layout][choice.ambiguousRow].numbers,
                              readings[choice.rival][choice.ambiguousRow].numbers);
            return refused;
        }
        if (choice.layout >= 0) {
            columns = layouts[choice.layout].columns();
            sumPositions = choice.sumPositions;
        }
    }
    const bool separate = columns[0] != columns[1];

    if (columns[0] >= 0) {
        result.layout = QStringLiteral("期号在第%1列，开奖号码在%2").arg(issue + 1).arg(columnsText(columns));
        std::vector<int> sums;
        for (const auto& s : sumPositions)
            for (int c : s)
                if (std::count(sums.begin(), sums.end(), c) == 0)
                    sums.push_back(c);
        std::sort(sums.begin(), sums.end());
        if (!sums.empty() && !sumPositions.empty() &&
            std::all_of(sumPositions.begin(), sumPositions.end(), [&](const auto& s) {
                return std::find(s.begin(), s.end(), sums.front()) != s.end();
            }))
            result.layout += QStringLiteral("，第%1列是和值").arg(sums.front() + 1);
    }

    for (size_t k = 0; k < dataRows.size(); ++k) {
        const int i = dataRows[k];
        const QStringList& fields = rows[i];
        const int lineNumber = i + 1;
        const QString rowIssue = IssueText::inField(fields.value(issue), options.runningCount);
        auto unread = [&](const QString& reason) {
            result.unread.push_back({lineNumber, shown(lines[i]), reason, rowIssue});
        };
        if (columns[0] < 0) {
            unread(QStringLiteral("没有找到开奖号码（应在期号之后，三列各一个号码，或一列写三个号码）"));
            continue;
        }
        const int needed = std::max(issue, *std::max_element(columns.begin(), columns.end())) + 1;
        if (fields.size() < needed) {
            unread(QStringLiteral("这一行只有%1列，应至少有%2列").arg(fields.size()).arg(needed));
            continue;
        }
        TextDraw draw;
        draw.lineNumber = lineNumber;
        draw.issue = IssueText::inField(fields[issue], options.runningCount);
        if (draw.issue.isEmpty()) {
            unread(QStringLiteral("第%1列“%2”不是期号（应为9位数字，例如160121001）")
                       .arg(issue + 1)
                       .arg(fields[issue].trimmed()));
            continue;
        }
        bool read = true;
        if (separate) {
            for (int p = 0; p < 3 && read; ++p)
                read = singleDigit(fields[columns[p]], &draw.numbers[p]);
        } else {
            read = threeInOneField(fields[columns[0]], &draw.numbers);
        }
        if (!read) {
            QStringList written;
            for (int p = 0; p < (separate ? 3 : 1); ++p)
                written << fields[columns[p]].trimmed();
            unread(QStringLiteral("期号%1的开奖号码“%2”不是三个号码").arg(draw.issue, written.join(' ')));
            continue;
        }
        if (!inRange(draw.numbers)) {
            unread(outOfRangeReason(draw.issue, draw.numbers));
            continue;
        }
        const auto& sums = sumPositions[k];
        if (std::any_of(columns.begin(), columns.end(),
                        [&](int c) { return std::find(sums.begin(), sums.end(), c) != sums.end(); })) {
            unread(sumReason(draw.issue, draw.numbers));
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
    std::vector<PageSegment> segments;
    std::vector<QDate> dates(lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        const QString text = normalised(lines[i]);
        if (text.trimmed().isEmpty())
            continue;
        std::vector<PageSegment> found = segmentsOf(text, i, options.runningCount);
        if (found.empty()) {
            ++result.ignoredLines;
            continue;
        }
        dates[i] = lineDate(text, options.today);
        for (PageSegment& s : found)
            segments.push_back(std::move(s));
    }

    // The numbers follow the issue directly, or after one number (a sum, a count) before them.
    constexpr int kSkips = 2;
    std::vector<std::vector<LayoutRowReading>> readings(kSkips);
    std::vector<std::vector<int>> knownSums(segments.size());
    for (size_t s = 0; s < segments.size(); ++s) {
        for (int skip = 0; skip < kSkips; ++skip)
            readings[skip].push_back(readSegment(segments[s], skip));
        for (int t = 0; t < int(segments[s].tokens.size()); ++t)
            if (segments[s].tokens[t].namedSum)
                knownSums[s].push_back(t);
    }
    const LayoutChoice::Outcome choice = LayoutChoice::choose(readings, knownSums);
    if (choice.rival >= 0) {
        const PageSegment& s = segments[choice.ambiguousRow];
        Result refused;
        refused.format = Format::ResultsPage;
        refused.ambiguity = ambiguityText(lines[s.line], s.line + 1, s.issue,
                                          readings[choice.layout][choice.ambiguousRow].numbers,
                                          readings[choice.rival][choice.ambiguousRow].numbers);
        return refused;
    }
    const int skip = std::max(0, choice.layout);
    if (skip == 1)
        result.layout = QStringLiteral("开奖号码在期号后的第二个数起（期号后的第一个数是和值或序号）");

    for (size_t k = 0; k < segments.size(); ++k) {
        const PageSegment& s = segments[k];
        auto unread = [&](const QString& reason) {
            result.unread.push_back({s.line + 1, shown(lines[s.line]), reason, s.issue});
        };
        const LayoutRowReading& r = readings[skip][k];
        if (!r.found) {
            unread(QStringLiteral("期号%1后面没有三个开奖号码").arg(s.issue));
            continue;
        }
        if (!inRange(r.numbers)) {
            unread(outOfRangeReason(s.issue, r.numbers));
            continue;
        }
        if (!LayoutChoice::readsInRange(r, choice.sumPositions[k])) {
            unread(sumReason(s.issue, r.numbers));
            continue;
        }
        if (s.runningCount && !dates[s.line].isValid()) {
            unread(missingDateReason(s.issue));
            continue;
        }
        TextDraw draw;
        draw.lineNumber = s.line + 1;
        draw.issue = s.issue;
        draw.numbers = r.numbers;
        draw.runningCount = s.runningCount;
        draw.date = dates[s.line];
        result.draws.push_back(draw);
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
