#include "history/HistoryTextFile.h"

#include "store/WholeFile.h"

#include <QDir>

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

std::vector<HistoryTextFile::Line> HistoryTextFile::parse(const QByteArray& content, QStringList* problems)
{
    std::vector<Line> lines;
    const QList<QByteArray> raw = content.split('\n');
    for (int i = 0; i < raw.size(); ++i) {
        const QString text = QString::fromUtf8(raw[i]).trimmed();
        if (text.isEmpty())
            continue;
        const QStringList parts = text.split(' ', Qt::SkipEmptyParts);
        const int lineNo = i + 1;
        if (parts.size() != 2) {
            problems->append(QStringLiteral("第%1行：应为“期号 三个号码”，例如“160121001 356”").arg(lineNo));
            continue;
        }
        const QString& digits = parts[1];
        bool good = digits.size() == 3;
        Line line;
        line.lineNumber = lineNo;
        line.issue = parts[0];
        for (int p = 0; good && p < 3; ++p) {
            const int v = digits[p].digitValue();
            good = v >= 1 && v <= 6;
            line.numbers[p] = v;
        }
        if (!good) {
            problems->append(
                QStringLiteral("第%1行：开奖号“%2”必须是三个1到6的数字").arg(lineNo).arg(digits));
            continue;
        }
        lines.push_back(line);
    }
    return lines;
}
