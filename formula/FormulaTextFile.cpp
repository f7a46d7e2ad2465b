#include "formula/FormulaTextFile.h"

#include "store/TextFileCodec.h"

#include <QDir>
#include <QSaveFile>

namespace {

const QChar kIdeographicSpace(0x3000);
constexpr int kLinesPerBlock = 50;

QString entryLine(const QString& text, int finalHitRun)
{
    return text + QStringLiteral("连准：") + QString::number(finalHitRun) + QStringLiteral("期");
}

} // namespace

QString FormulaTextFile::banner()
{
    return QStringLiteral("本组公式由《Zorvane》软件搜索而来");
}

QString FormulaTextFile::separator(int count)
{
    return QString(12, QChar(0x2014)) + QString::number(count) + QString(14, QChar(0x2014)) +
           QStringLiteral("本公式由《Zorvane》生成");
}

QStringList FormulaTextFile::decodeLines(const QByteArray& bytes)
{
    return TextFileCodec::decodeLines(bytes);
}

QByteArray FormulaTextFile::encode(const QStringList& lines)
{
    return TextFileCodec::encodeGbk(lines);
}

QStringList FormulaTextFile::allKindsLines(const std::vector<Entry>& entries)
{
    QStringList lines{banner(), QString()};
    int written = 0;
    for (const Entry& e : entries) {
        lines << entryLine(e.chineseForm + QString(11, kIdeographicSpace), e.finalHitRun);
        if (++written % kLinesPerBlock == 0)
            lines << separator(written);
    }
    lines << separator(written);
    return lines;
}

QStringList FormulaTextFile::oneKindLines(const std::vector<Entry>& entries)
{
    QStringList lines{banner(), QString()};
    const int width = entries.empty() ? 0 : int(entries.front().chineseForm.size()) + 10;
    int written = 0;
    for (const Entry& e : entries) {
        QString text = e.chineseForm;
        if (text.size() <= width)
            text += QString(width + 1 - text.size(), kIdeographicSpace);
        lines << entryLine(text, e.finalHitRun);
        if (++written % kLinesPerBlock == 0)
            lines << separator(written);
    }
    lines << separator(written);
    return lines;
}

QString FormulaTextFile::allKindsFileName(const QString& latestIssue)
{
    return latestIssue + QStringLiteral("期快3彩公式.txt");
}

QString FormulaTextFile::oneKindFileName(const QString& latestIssue, const QString& kindText)
{
    return latestIssue + QStringLiteral("期快3彩") + kindText + QStringLiteral("公式.txt");
}

bool FormulaTextFile::write(const QString& path, const QStringList& lines, QString* error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(encode(lines)) < 0 || !f.commit()) {
        *error = QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(path), f.errorString());
        return false;
    }
    return true;
}
