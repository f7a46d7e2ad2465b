#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// Formula text files: the exchange format read by the import and written by the exports.
// Written in GBK with CR LF; read as UTF-8 (with or without BOM) or GBK, see decode().
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
    // The two title lines the search window's export adds after the banner.
    static QStringList searchExportTitles();

    // Reads a file's bytes into lines (CR LF, LF or CR; see TextFileCodec). A UTF-8 byte-order mark means
    // UTF-8. Bytes that are valid UTF-8 are read as UTF-8, unless they are also valid GBK and the GBK reading
    // holds fewer characters foreign to formula files (a GBK file can happen to be valid UTF-8:
    // "十位通选杀" is); else bytes that are valid GBK are read as GBK. False with a message naming
    // the problem when the bytes are neither, or are UTF-16 (Notepad's "Unicode") or UTF-32.
    static bool decode(const QByteArray& bytes, QStringList* lines, QString* error);
    // decode() for files of our own making: bytes that are neither are read as GBK regardless.
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
