#pragma once

#include "formula/FormulaKind.h"
#include "formula/FormulaRecord.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

class Database;

// How one import reads its lines. The defaults are those of "读取公式文本(N)"; the online formula
// update uses offset 5, no unrecognised file and no table preparation.
struct FormulaImportOptions
{
    FormulaKind startKind; // the kind in force when the import starts
    bool startKill = true; // the sense in force when the import starts
    int noBracketOffset = 0;
    // Each change of kind rebuilds the new kind's table without duplicates before adding to it.
    bool prepareOnKindChange = true;
    // Where the rejected lines are written (GBK, CR LF) when there are any; an import that
    // rejects nothing removes an older file. Empty: rejected lines are only counted.
    QString unrecognisedPath;
};

struct FormulaImportResult
{
    int added = 0;
    int rejected = 0;
    QStringList rejectedLines; // as written to the unrecognised file, in file order
    QString unrecognisedPath;  // the file written (empty when none was)
    // Why the rejected lines could not be written; the formulas were added all the same.
    QString unrecognisedError;
    bool kill = true;         // the sense in force at the end: the window adopts it
    bool kindChanged = false; // some formula went to a kind other than the start kind
};

// Reads formula text lines into the formula tables. Per line: the statistics tail from "连准" is
// dropped, the decoration may name the kind (kept for the following lines) and the sense (kept
// likewise), the formula text is translated to code. A line whose code is empty is skipped; one
// whose code keeps characters that are not code, that does not compile, or that names a kind
// that does not exist is rejected. On each change of kind the table left is renumbered and the new
// one prepared; at the end the last table is renumbered: formulas already there keep their order,
// the added ones follow in the order read.
//
// The whole import is one transaction: every accepted line is added, or on a database failure
// nothing is.
class FormulaImport
{
public:
    static QString unrecognisedFileName(); // "无法识别公式.txt"

    FormulaImport(Database* db, const FormulaImportOptions& options);

    // Reads a formula text file (GBK, or UTF-8 with or without BOM); a file in neither is refused
    // with a message and adds nothing.
    bool importFile(const QString& path, FormulaImportResult* result, QString* error);
    bool importBytes(const QByteArray& bytes, FormulaImportResult* result, QString* error);
    bool importLines(const QStringList& lines, FormulaImportResult* result, QString* error);
    // The same for a caller that holds its own Transaction on the connection; the unrecognised
    // file is written all the same, once the lines are added.
    bool importLinesInTransaction(const QStringList& lines, FormulaImportResult* result, QString* error);

private:
    // Consecutive accepted lines of one kind: added together once the table is ready.
    struct KindRun
    {
        FormulaKind kind;
        std::vector<FormulaRecord> records;
    };
    bool addRuns(const std::vector<KindRun>& runs, FormulaImportResult* result, QString* error);
    void writeUnrecognised(FormulaImportResult* result) const;

    Database* m_db;
    FormulaImportOptions m_options;
};
