#include "RobustnessSupport.h"

#include "formula/FormulaKind.h"
#include "formula/FormulaTextFile.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <random>

namespace Robustness {

QByteArray historyLines(int count, const QString& firstDay, unsigned seed)
{
    std::mt19937 rng(seed);
    const QDate start = QDate::fromString(QStringLiteral("20") + firstDay, QStringLiteral("yyyyMMdd"));
    QByteArray out;
    out.reserve(count * 15);
    for (int i = 0; i < count; ++i) {
        out += start.addDays(i / 78).toString(QStringLiteral("yyMMdd")).toLatin1();
        out += QByteArray::number(i % 78 + 1).rightJustified(3, '0');
        out += ' ';
        for (int p = 0; p < 3; ++p)
            out += char('1' + rng() % 6);
        out += "\r\n";
    }
    return out;
}

namespace {

// Lines of the online file that name no kind start with five characters the update cuts off.
QStringList formulaTexts(int count, bool published)
{
    static const char* const names[] = {"百位码", "十位码",   "个位码",   "和数",
                                        "跨度",   "百位平方", "十位立方", "本期号合"};
    QStringList lines;
    const int perKind = (count + 4) / 5;
    for (int i = 0; i < count; ++i) {
        const FormulaKind& kind = FormulaKind::all()[std::size_t(i / perKind)];
        QString line;
        if (i % perKind == 0)
            line = QStringLiteral("[%1%2杀]")
                       .arg(FormulaKind::positionCaption(kind.position),
                            FormulaKind::selectionCaption(kind.single));
        else if (published)
            line = QStringLiteral("编号%1").arg(i % 1000, 3, 10, QLatin1Char('0'));
        line += QString::fromUtf8(names[i % 8]) + QLatin1Char('+') + QString::fromUtf8(names[(i / 8) % 8]) +
                QStringLiteral("*%1").arg(i + 1);
        lines << line;
    }
    return lines;
}

} // namespace

QByteArray formulaLines(int count)
{
    return FormulaTextFile::encode(formulaTexts(count, false));
}

QByteArray equivalentFormulaLines(int count)
{
    static const char* const names[] = {"百位码", "十位码",   "个位码",   "和数",
                                        "跨度",   "百位平方", "十位立方", "本期号合"};
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QString::fromUtf8(names[i % 8]) + QStringLiteral("+%1").arg(i / 8 + 1);
    return FormulaTextFile::encode(lines);
}

QByteArray publishedFormulaFile(int count)
{
    return FormulaTextFile::encode(formulaTexts(count, true));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

void copyFolder(const QString& from, const QString& to)
{
    QDir target(to);
    if (target.exists())
        target.removeRecursively();
    QDir().mkpath(to);
    const QDir source(from);
    for (const QString& name : source.entryList(QDir::Files))
        if (!QFile::copy(source.filePath(name), target.filePath(name)))
            qFatal("cannot copy %s", qPrintable(source.filePath(name)));
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace Robustness
