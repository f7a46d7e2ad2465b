#pragma once

#include "TestSupport.h"

#include "formula/FormulaKind.h"
#include "history/Workspace.h"

#include <QByteArray>
#include <QString>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

// One stored formula as the tests compare it: code form, Chinese form, sense.
struct Row
{
    QString code;
    QString chinese;
    bool kill = true;

    bool operator==(const Row&) const = default;
};
void PrintTo(const Row& row, std::ostream* os);

inline const FormulaKind k1D{1, true};
inline const FormulaKind k2D{2, true};
inline const FormulaKind k3D{3, true};
inline const FormulaKind k2G{2, false};
inline const FormulaKind k3G{3, false};

// A kind's table in idx order; fails the test unless idx runs 1..n.
std::vector<Row> tableRows(Workspace& ws, const FormulaKind& kind);
// Appends formulas to a kind's table.
void storeRows(Workspace& ws, const FormulaKind& kind, const std::vector<Row>& rows);
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// A workspace in a fresh data folder.
class FormulaTablesTest : public ::testing::Test
{
protected:
    void SetUp() override;
    std::vector<Row> rows(const FormulaKind& kind) { return tableRows(m_ws, kind); }
    void store(const FormulaKind& kind, const std::vector<Row>& formulas) { storeRows(m_ws, kind, formulas); }

    TempDataFolder m_dir;
    Workspace m_ws;
};
