#pragma once

#include <QString>
#include <QStringList>

// "公式中文导出": the Chinese forms of the result list box in a text file named by the next issue,
// "<issue>期快3彩公式.txt" in the data folder, in the formula text files' encoding (GBK, CR LF).
// Three banner lines and an empty line, then the formulas with a separator line after every 50th
// and a last separator carrying the number of formulas.
class SearchResultExport
{
public:
    static QString filePath(const QString& dataFolder, const QString& nextIssue);
    static QStringList lines(const QStringList& chineseForms);
    static bool write(const QString& path, const QStringList& chineseForms, QString* error);
};
