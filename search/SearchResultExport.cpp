#include "search/SearchResultExport.h"

#include "formula/FormulaTextFile.h"

#include <QDir>

namespace {

constexpr int kFormulasPerBlock = 50;

} // namespace

QString SearchResultExport::filePath(const QString& dataFolder, const QString& nextIssue)
{
    return QDir(dataFolder).filePath(FormulaTextFile::allKindsFileName(nextIssue));
}

QStringList SearchResultExport::lines(const QStringList& chineseForms)
{
    QStringList out{FormulaTextFile::banner()};
    out << FormulaTextFile::searchExportTitles() << QString();
    int written = 0;
    for (const QString& form : chineseForms) {
        out << form;
        if (++written % kFormulasPerBlock == 0)
            out << FormulaTextFile::separator(written);
    }
    out << FormulaTextFile::separator(written);
    return out;
}

bool SearchResultExport::write(const QString& path, const QStringList& chineseForms, QString* error)
{
    return FormulaTextFile::write(path, lines(chineseForms), error);
}
