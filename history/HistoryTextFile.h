#pragma once

#include "history/DrawRecord.h"

#include <QString>
#include <QStringList>
#include <array>
#include <vector>

// The plain-text history format: one line per draw, "ISSUE DDD" (issue, one blank, the numbers
// of 百位, 十位 and 个位 with nothing between), lines ending in CR LF.
class HistoryTextFile
{
public:
    struct Line
    {
        int lineNumber = 0;
        QString issue;
        std::array<int, 3> numbers{};
    };

    // The export's file name in the data folder: "更新至" + newest issue + "期历史号码.txt".
    static QString exportPath(const QString& dataFolder, const QString& newestIssue);
    static QByteArray format(const std::vector<DrawRecord>& draws);
    static bool write(const QString& path, const std::vector<DrawRecord>& draws, QString* error);

    // Parses the lines of a history file. Blank lines are passed over; every other line that is
    // not "ISSUE DDD" with digits 1..6 is reported as "line N: reason".
    static std::vector<Line> parse(const QByteArray& content, QStringList* problems);
};
