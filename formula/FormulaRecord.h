#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// One row of a formula table (Gongshi1D .. Gongshi3G). The statistics columns are empty until
// the formula's subset has been back-tested and written back.
struct FormulaRecord
{
    qint64 rowId = -1;   // the row's identity in its table, used to write figures back; not a column
    int idx = 0;         // 1..n after every renumbering; the list order
    QString gongshi;     // code form
    QString gongshiCN;   // Chinese form as entered
    bool bolKill = true; // true 杀 (kill), false 生 (keep)
    std::optional<float> sglGsRate;
    std::optional<int> intGsErrCon;
    std::optional<int> intGsTrueCon;
    std::optional<int> intGsErrLst;
    std::optional<int> intGsTrueLst;
};
