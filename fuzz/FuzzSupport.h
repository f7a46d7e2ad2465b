#pragma once

#include "history/DrawRecord.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class Database;
class HistoryStore;

// What the fuzz targets share: one application object, a small fixed history and a scratch
// database, set up once per process (a fuzz target runs millions of inputs in one process).
namespace FuzzSupport {

// Creates the QCoreApplication and a private settings folder; called by every target's first input.
void initialise();

// The input as text, as the program would read it from a UTF-8 file.
QString utf8(const uint8_t* data, std::size_t size);

// Forty draws of a 78-draw lottery, every parameter derived and chained, the same in every run.
const std::vector<DrawRecord>& fixedHistory();

// A database "formula.mdb" in a private temporary folder, opened once; its history holds
// fixedHistory() and its formula tables start empty.
Database& scratchDatabase();
QString scratchFolder();
// Puts the scratch database back to its starting state: the fixed history, no formulas.
void resetScratchDatabase();

// Aborts with the message: how a target reports a broken property so the fuzzer keeps the input.
[[noreturn]] void fail(const char* what, const QString& detail = QString());

} // namespace FuzzSupport
