// Formula text file decoding and import into a scratch database. The first byte picks the kind
// and sense in force when the import starts and the line offset of the online formula file; the
// rest is the file. Checks that every stored formula evaluates, that each table is numbered 1..n,
// that the rejected lines are all written, and that the export's own file of the stored formulas
// reads back line for line. Then the equivalent formulas of one kind are deleted: the count falls by
// as many as were found, and a second look finds none.
#include "FuzzSupport.h"

#include "backtest/EquivalentFormulas.h"

#include "formula/CompiledFormula.h"
#include "formula/FormulaImport.h"
#include "formula/FormulaTableStore.h"
#include "formula/FormulaTextFile.h"
#include "formula/FormulaTranslation.h"
#include "history/HistoryColumns.h"
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
    QStringList decoded;
    QString refusal;
    const bool readable = FormulaTextFile::decode(file, &decoded, &refusal);
    const bool imported = import.importBytes(file, &result, &error);
    if (!readable) {
        // Bytes in no encoding a formula file comes in: refused with a message, nothing added.
        if (imported || error.isEmpty())
            FuzzSupport::fail("an unreadable file was not refused with a message");
        for (const QString& table : Database::formulaTables()) {
            QSqlQuery q(db.connection());
            if (!q.exec(QStringLiteral("SELECT count(*) FROM %1").arg(table)) || !q.next() ||
                q.value(0).toInt() != 0)
                FuzzSupport::fail("a refused file added formulas", table);
        }
        return 0;
    }
    if (!imported)
        FuzzSupport::fail("import into a working database failed", error);
    if (result.added < 0 || result.rejected != result.rejectedLines.size() ||
        !result.unrecognisedError.isEmpty())
        FuzzSupport::fail("import counts or the unrecognised file", result.unrecognisedError);

    // The rejected lines, as written, read back; with none rejected there is no such file.
    QFile rejected(options.unrecognisedPath);
    if (result.rejected == 0) {
        if (rejected.exists())
            FuzzSupport::fail("unrecognised file left although nothing was rejected");
    } else {
        if (!rejected.open(QIODevice::ReadOnly))
            FuzzSupport::fail("unrecognised file missing");
        if (FormulaTextFile::decodeLines(rejected.readAll()).size() != result.rejectedLines.size())
            FuzzSupport::fail("unrecognised file line count");
    }

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

    // Deleting the equivalent formulas of the start kind, for both senses.
    static const HistoryColumns history(FuzzSupport::fixedHistory());
    const FormulaKind& kind = options.startKind;
    std::vector<FormulaRecord> before;
    if (!store.loadTable(kind, &before, &error))
        FuzzSupport::fail("load table", error);
    std::vector<EquivalentGroup> groups;
    for (bool kill : {true, false}) {
        std::vector<EquivalentGroup> found;
        if (!EquivalentFormulas::find(store, history, kind, kill, &found, &error))
            FuzzSupport::fail("find equivalents", error);
        groups.insert(groups.end(), found.begin(), found.end());
    }
    const int deleted = EquivalentFormulas::deleteEquivalents(&db, kind, groups, &error);
    if (deleted != EquivalentFormulas::equivalentCount(groups))
        FuzzSupport::fail("deleted a different number of equivalents", error);
    std::vector<FormulaRecord> after;
    if (!store.loadTable(kind, &after, &error) || after.size() + std::size_t(deleted) != before.size())
        FuzzSupport::fail("table after deleting equivalents", error);
    for (std::size_t i = 0; i < after.size(); ++i)
        if (after[i].idx != int(i) + 1)
            FuzzSupport::fail("not numbered 1..n after deleting equivalents");
    for (bool kill : {true, false}) {
        std::vector<EquivalentGroup> again;
        if (!EquivalentFormulas::find(store, history, kind, kill, &again, &error) || !again.empty())
            FuzzSupport::fail("equivalents left after deleting them", error);
    }

    clearFormulas(db);
    return 0;
}
