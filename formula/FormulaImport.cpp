#include "formula/FormulaImport.h"

#include "formula/CompiledFormula.h"
#include "formula/FormulaLineParser.h"
#include "formula/FormulaRecord.h"
#include "formula/FormulaTableStore.h"
#include "formula/FormulaTextFile.h"
#include "formula/FormulaTranslation.h"
#include "store/BoundedInput.h"
#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <vector>

QString FormulaImport::unrecognisedFileName()
{
    return QStringLiteral("无法识别公式.txt");
}

FormulaImport::FormulaImport(Database* db, const FormulaImportOptions& options) : m_db(db), m_options(options)
{
}

bool FormulaImport::importFile(const QString& path, FormulaImportResult* result, QString* error)
{
    // Bounded: a huge or endless file is refused before it fills the memory.
    QByteArray bytes;
    if (!BoundedInput::readFile(path, &bytes, error))
        return false;
    return importBytes(bytes, result, error);
}

bool FormulaImport::importBytes(const QByteArray& bytes, FormulaImportResult* result, QString* error)
{
    QStringList lines;
    if (!FormulaTextFile::decode(bytes, &lines, error))
        return false;
    return importLines(lines, result, error);
}

bool FormulaImport::importLines(const QStringList& lines, FormulaImportResult* result, QString* error)
{
    Transaction tx(m_db->connection());
    return tx.begin(error) && importLinesInTransaction(lines, result, error) && tx.commit(error);
}

bool FormulaImport::importLinesInTransaction(const QStringList& lines, FormulaImportResult* result,
                                             QString* error)
{
    *result = FormulaImportResult{};
    result->kill = m_options.startKill;

    // First every line is read and judged, so nothing is written for a file that cannot be used.
    std::vector<KindRun> runs;
    FormulaKind lineKind = m_options.startKind;
    auto reject = [result](const QString& text) {
        result->rejectedLines << text;
        ++result->rejected;
    };
    for (const QString& raw : lines) {
        const QString text = FormulaLineParser::withoutStatistics(raw);
        const ParsedFormulaLine parsed = FormulaLineParser::parse(text, m_options.noBracketOffset);
        if (parsed.tooShort) {
            reject(text);
            continue;
        }
        // The decoration holds for this line and the ones after it, even when this one is refused.
        if (parsed.kill)
            result->kill = *parsed.kill;
        bool kindExists = true;
        if (parsed.namesKind()) {
            const FormulaKind named{*parsed.position, *parsed.single};
            kindExists = named.isValid(); // 个位通选 has no table
            if (kindExists)
                lineKind = named;
        }
        const QString code = FormulaTranslation::translateGongshiCN(parsed.formulaText);
        if (code.isEmpty())
            continue;
        if (!kindExists || !FormulaTranslation::checkGongshiChars(code) ||
            !CompiledFormula::compile(code).isValid()) {
            reject(code);
            continue;
        }
        if (runs.empty() || !(runs.back().kind == lineKind))
            runs.push_back(KindRun{lineKind, {}});
        FormulaRecord record;
        record.gongshi = code;
        record.gongshiCN = text;
        record.bolKill = result->kill;
        runs.back().records.push_back(std::move(record));
    }

    if (!addRuns(runs, result, error)) {
        result->added = 0; // rolled back with the caller's transaction
        return false;
    }
    writeUnrecognised(result);
    return true;
}

void FormulaImport::writeUnrecognised(FormulaImportResult* result) const
{
    if (m_options.unrecognisedPath.isEmpty())
        return;
    if (result->rejectedLines.isEmpty()) {
        // A list left by an earlier import would no longer belong to this one.
        QFile::remove(m_options.unrecognisedPath);
        return;
    }
    // The formulas stay added when the list cannot be written; the caller reports it.
    QString error;
    if (FormulaTextFile::write(m_options.unrecognisedPath, result->rejectedLines, &error))
        result->unrecognisedPath = m_options.unrecognisedPath;
    else
        result->unrecognisedError = error;
}

bool FormulaImport::addRuns(const std::vector<KindRun>& runs, FormulaImportResult* result, QString* error)
{
    // What the line-by-line procedure does to each table, worked out first: on every change of
    // kind the table left is renumbered and the new one prepared (its repeats removed), then the
    // run is appended. Preparing again only removes repeats among the rows added since, so a
    // table ends as "everything appended before its last preparation, prepared once, followed by
    // what was appended after it". Each table is then written once, however often the file comes
    // back to its kind.
    struct TablePlan
    {
        FormulaKind kind;
        bool prepared = false;
        std::vector<FormulaRecord> beforePreparation; // appended before the last preparation
        std::vector<FormulaRecord> afterPreparation;  // appended after it
    };
    std::vector<TablePlan> plans;
    auto planOf = [&plans](const FormulaKind& kind) -> TablePlan& {
        for (TablePlan& p : plans)
            if (p.kind == kind)
                return p;
        plans.push_back(TablePlan{kind, false, {}, {}});
        return plans.back();
    };
    FormulaKind previous = m_options.startKind;
    for (const KindRun& run : runs) {
        if (!(run.kind == previous)) {
            result->kindChanged = true;
            planOf(previous); // renumbered when left
            TablePlan& entered = planOf(run.kind);
            if (m_options.prepareOnKindChange) {
                entered.prepared = true;
                auto& before = entered.beforePreparation;
                auto& after = entered.afterPreparation;
                before.insert(before.end(), std::make_move_iterator(after.begin()),
                              std::make_move_iterator(after.end()));
                after.clear();
            }
            previous = run.kind;
        }
        auto& added = planOf(run.kind).afterPreparation;
        added.insert(added.end(), run.records.begin(), run.records.end());
        result->added += int(run.records.size());
    }

    FormulaTableStore store(m_db);
    for (const TablePlan& plan : plans) {
        if (plan.prepared && (!store.appendInTransaction(plan.kind, plan.beforePreparation, error) ||
                              !store.prepareGongshiTableInTransaction(plan.kind, error)))
            return false;
        if (!store.appendInTransaction(plan.kind, plan.afterPreparation, error) ||
            !store.renumberInTransaction(plan.kind, error))
            return false;
    }
    return true;
}
