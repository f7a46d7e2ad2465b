// Formula text file decoding and import into a scratch database. The first byte picks the kind
// and sense in force when the import starts and the line offset of the online formula file; the
// rest is the file. Checks that every stored formula evaluates, that each table is numbered 1..n,
// that the rejected lines are all written, and that the export's own file of the stored formulas
// reads back line for line.
#include "FuzzSupport.h"

#include "formula/CompiledFormula.h"
#include "formula/FormulaImport.h"
#include "formula/FormulaTableStore.h"
#include "formula/FormulaTextFile.h"
#include "formula/FormulaTranslation.h"
#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>

namespace {

// Characters formula text files hold; the export's round trip is promised only for them.
bool fileCharacters(const QString& text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= 0x20 && u < 0x7F) || (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) ||
              (u >= 0x2010 && u <= 0x206F) || (u >= 0xFF00 && u <= 0xFFEF)))
            return false;
    }
    return true;
}

void clearFormulas(Database& db)
{
    QSqlQuery q(db.connection());
    for (const QString& table : Database::formulaTables())
        if (!q.exec(QStringLiteral("DELETE FROM %1").arg(table)))
            FuzzSupport::fail("clear formula table", table);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::initialise();
    if (size < 1)
        return 0;
    Database& db = FuzzSupport::scratchDatabase();
    const uint8_t mode = data[0];
    const QByteArray file(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    FormulaImportOptions options;
    options.startKind = FormulaKind::all()[mode % 5];
    options.startKill = (mode & 0x08) == 0;
    options.noBracketOffset = (mode & 0x10) ? 5 : 0;
    options.prepareOnKindChange = (mode & 0x20) == 0;
    options.unrecognisedPath =
        QDir(FuzzSupport::scratchFolder()).filePath(FormulaImport::unrecognisedFileName());

    FormulaImport import(&db, options);
    FormulaImportResult result;
    QString error;
    if (!import.importBytes(file, &result, &error))
        FuzzSupport::fail("import into a working database failed", error);
    if (result.added < 0 || result.rejected != result.rejectedLines.size())
        FuzzSupport::fail("import counts");

    // The rejected lines, as written, read back.
    QFile rejected(options.unrecognisedPath);
    if (!rejected.open(QIODevice::ReadOnly))
        FuzzSupport::fail("unrecognised file missing");
    const QStringList rejectedBack = FormulaTextFile::decodeLines(rejected.readAll());
    if (rejectedBack.size() != result.rejectedLines.size())
        FuzzSupport::fail("unrecognised file line count");

    FormulaTableStore store(&db);
    int stored = 0;
    std::vector<FormulaTextFile::Entry> entries;
    for (const FormulaKind& kind : FormulaKind::all()) {
        std::vector<FormulaRecord> records;
        if (!store.loadTable(kind, &records, &error))
            FuzzSupport::fail("load table", error);
        for (std::size_t i = 0; i < records.size(); ++i) {
            const FormulaRecord& r = records[i];
            if (r.idx != int(i) + 1)
                FuzzSupport::fail("table not numbered 1..n", kind.tableName());
            if (!FormulaTranslation::checkGongshiChars(r.gongshi) ||
                !CompiledFormula::compile(r.gongshi).isValid())
                FuzzSupport::fail("stored a formula that does not evaluate", r.gongshi);
            if (fileCharacters(r.gongshiCN))
                entries.push_back({r.gongshiCN, int(i)});
        }
        stored += int(records.size());
    }
    if (stored > result.added)
        FuzzSupport::fail("more formulas stored than added");

    // The export's own file of the stored formulas reads back unchanged.
    const QStringList lines = FormulaTextFile::allKindsLines(entries);
    if (FormulaTextFile::decodeLines(FormulaTextFile::encode(lines)) != lines)
        FuzzSupport::fail("export does not read back");

    clearFormulas(db);
    return 0;
}
