#pragma once

#include <QByteArray>
#include <QString>

// Inputs and data folders shared by the killed-write, full-disk and two-writer tests.
namespace Robustness {

// `count` history lines "ISSUE DDD" of a 78-draw lottery, one day after another from `firstDay`
// (YYMMDD as a date), numbers from a fixed seed.
QByteArray historyLines(int count, const QString& firstDay = QStringLiteral("160101"), unsigned seed = 19);
// `count` distinct formula lines in Chinese form, in blocks of the five kinds (each block named by
// the decoration of its first line), GBK with CR LF as the exports write them.
QByteArray formulaLines(int count);
// `count` formulas of one kind in Chinese form, GBK with CR LF, most of them equivalent to an
// earlier one (the same parameter plus a constant six more or less).
QByteArray equivalentFormulaLines(int count);
// A published formula file as the online formula update serves it: lines that name no kind
// begin with five characters the update cuts off.
QByteArray publishedFormulaFile(int count);

void writeFile(const QString& path, const QByteArray& bytes);
// Copies every file of folder `from` into `to` (created when missing, emptied first).
void copyFolder(const QString& from, const QString& to);
// The bytes of a file; empty when it is missing.
QByteArray readFile(const QString& path);

} // namespace Robustness
