#include "history/HistoryTextFile.h"

#include "store/WholeFile.h"

#include <QDir>
#include <QRegularExpression>

QString HistoryTextFile::exportPath(const QString& dataFolder, const QString& newestIssue)
{
    return QDir(dataFolder).filePath(QStringLiteral("更新至%1期历史号码.txt").arg(newestIssue));
}

QByteArray HistoryTextFile::format(const std::vector<DrawRecord>& draws)
{
    QByteArray out;
    out.reserve(int(draws.size()) * 16);
    for (const auto& d : draws) {
        out += d.issue.toUtf8();
        out += ' ';
        for (int p = 1; p <= 3; ++p)
            out += QByteArray::number(d.number(p));
        out += "\r\n";
    }
    return out;
}

bool HistoryTextFile::write(const QString& path, const std::vector<DrawRecord>& draws, QString* error)
{
    return WholeFile::write(path, format(draws), error);
}

bool HistoryTextFile::looksLikeExportLine(const QString& trimmed)
{
    static const QRegularExpression shape(QStringLiteral("^[0-9]+ +[0-9]+$"));
    return shape.match(trimmed).hasMatch();
}

bool HistoryTextFile::parseLine(const QString& trimmed, Line* line, QString* reason)
{
    const QStringList parts = trimmed.split(' ', Qt::SkipEmptyParts);
    if (parts.size() != 2) {
        *reason = QStringLiteral("应为“期号 三个号码”，例如“160121001 356”");
        return false;
    }
    const QString& digits = parts[1];
    bool good = digits.size() == 3;
    line->issue = parts[0];
    for (int p = 0; good && p < 3; ++p) {
        const int v = digits[p].digitValue();
        good = v >= 1 && v <= 6;
        line->numbers[p] = v;
    }
    if (!good) {
        *reason = QStringLiteral("开奖号“%1”必须是三个1到6的数字").arg(digits);
        return false;
    }
    return true;
}
