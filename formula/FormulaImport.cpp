#include "formula/FormulaImport.h"

#include "formula/CompiledFormula.h"
#include "formula/FormulaLineParser.h"
#include "formula/FormulaRecord.h"
#include "formula/FormulaTableStore.h"
#include "formula/FormulaTextFile.h"
#include "formula/FormulaTranslation.h"
#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <vector>

QString FormulaImport::unrecognisedFileName()
{
    return QStringLiteral("无法识别公式.txt");
}

FormulaImport::FormulaImport(Database* db, const FormulaImportOptions& options)
    : m_db(db)
    , m_options(options)
{
}

bool FormulaImport::importFile(const QString& path, FormulaImportResult* result, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法读取公式文本文件“%1”：%2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("无法读取公式文本文件“%1”：%2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return importBytes(bytes, result, error);
}

bool FormulaImport::importBytes(const QByteArray& bytes, FormulaImportResult* result, QString* error)
{
    return importLines(FormulaTextFile::decodeLines(bytes), result, error);
}

bool FormulaImport::importLines(const QStringList& lines, FormulaImportResult* result, QString* error)
{
    Transaction tx(m_db->connection());
    return tx.begin(error) && importLinesInTransaction(lines, result, error) && tx.commit(error);
}

bool FormulaImport::importLinesInTransaction(const QStringList& lines, FormulaImportResult* result, QString* error)
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
        if (!kindExists || !FormulaTranslation::checkGongshiChars(code) || !CompiledFormula::compile(code).isValid()) {
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

    if (!m_options.unrecognisedPath.isEmpty()) {
        if (!FormulaTextFile::write(m_options.unrecognisedPath, result->rejectedLines, error))
            return false;
        result->unrecognisedPath = m_options.unrecognisedPath;
    }

    if (!addRuns(runs, result, error)) {
        result->added = 0; // rolled back with the caller's transaction
        return false;
    }
    return true;
}

bool FormulaImport::addRuns(const std::vector<KindRun>& runs, FormulaImportResult* result, QString* error)
{
    FormulaTableStore store(m_db);
    FormulaKind previous = m_options.startKind;
    for (const KindRun& run : runs) {
        if (!(run.kind == previous)) {
            result->kindChanged = true;
            if (!store.renumberInTransaction(previous, error))
                return false;
            if (m_options.prepareOnKindChange && !store.prepareGongshiTableInTransaction(run.kind, error))
                return false;
            previous = run.kind;
        }
        if (!store.appendInTransaction(run.kind, run.records, error))
            return false;
        result->added += int(run.records.size());
    }
    return runs.empty() || store.renumberInTransaction(previous, error);
}
