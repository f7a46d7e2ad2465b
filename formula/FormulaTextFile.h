#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// Formula text files: the exchange format read by the import and written by the exports.
// Written in GBK with CR LF; read as UTF-8 (with or without BOM) when the bytes are valid
// UTF-8, else as GBK.
class FormulaTextFile
{
public:
    struct Entry
    {
        QString chineseForm; // gongshiCN
        int finalHitRun = 0; // 最后连对
    };

    static QString banner();
    static QString separator(int count);
    static QStringList decodeLines(const QByteArray& bytes);
    static QByteArray encode(const QStringList& lines);

    // All kinds: every line padded with exactly eleven ideographic spaces.
    static QStringList allKindsLines(const std::vector<Entry>& entries);
    // One kind: lines padded to one more than (first formula's length + 10); longer ones unpadded.
    static QStringList oneKindLines(const std::vector<Entry>& entries);

    // The export files' names in the data folder.
    static QString allKindsFileName(const QString& latestIssue);
    static QString oneKindFileName(const QString& latestIssue, const QString& kindText);
    static bool write(const QString& path, const QStringList& lines, QString* error);
};
