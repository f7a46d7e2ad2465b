#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>

// The parameter vocabulary: the 77 parameter columns of a draw, each with its code and the
// Chinese name formulas use. The order is the search's numbering (1..77) and also the column
// order of a draw record.
constexpr int kParameterCount = 77;

struct ParameterEntry
{
    QString code;
    QString chineseName;
};

class ParameterTable
{
public:
    static const std::array<ParameterEntry, kParameterCount>& entries();
    // Column index 0..76 of a code in any letter case; -1 when it is not a parameter code.
    static int indexOf(QStringView code);
    static const QString& code(int index) { return entries()[index].code; }
    static const QString& chineseName(int index) { return entries()[index].chineseName; }
    // Indexes of frequently used columns.
    static int numberColumn(int position) { return position - 1; } // L1A, L2A, L3A
    static int column(const char* code);
    // Every code in column order: the parameter columns of the history table.
    static QStringList codes();
};
