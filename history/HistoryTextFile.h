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

    // True when a trimmed line has the export's shape: two runs of digits separated by blanks.
    static bool looksLikeExportLine(const QString& trimmed);
    // Reads one trimmed, non-blank line of the export; false with the reason when it is not
    // "ISSUE DDD" with digits 1..6.
    static bool parseLine(const QString& trimmed, Line* line, QString* reason);
};
