#pragma once

#include "history/DrawRecord.h"
#include "search/CandidateEvaluator.h"
#include "search/SearchCandidate.h"

#include <QStringList>
#include <vector>

class Workspace;

// Random draws with every parameter derived, 78 draws a day from 2016-01-01.
std::vector<DrawRecord> searchTestDraws(int count, unsigned seed);
// Stores draws into an open workspace's history; fails the test on error.
void storeDraws(Workspace& ws, const std::vector<DrawRecord>& draws);
// A candidate from parameter codes and a tail, e.g. candidateOf({"LH", "LT"}, 3).
SearchCandidate candidateOf(const QStringList& codes, int tail);

// The search's back-test done the slow, literal way: the code form compiled and evaluated draw by
// draw, the predicted number of each draw stored on the next one, verdicts by the kind's table,
// the window from n − W − 1 rows after the oldest.
FormulaStats referenceSearchStats(const std::vector<DrawRecord>& draws, const QString& code,
                                  const SearchRules& rules);
