#pragma once

#include "search/SearchResult.h"

#include <QDialog>
#include <vector>

class AnalysisSession;
class SchemePanel;
class SearchPanel;
class SearchResultModel;

// The formula search window frmGSGL ("公式搜索设置以及搜索结果"), opened modally by the main
// window's "公式搜索(&F)". Its left half searches random formulas of one kind ("开始搜索(&F)",
// SearchPanel), its right half all kinds in turn ("确定搜索方案开始搜索", SchemePanel) above the
// optimum-range frame. Both fill one result list, which is saved into the formula tables; only one
// of the two searches runs at a time.
//
// Both searches use the session's history and options. Every save tells the session that the
// formulas changed (and formulasChangedFlag() stays true), so every window on the session follows:
// the main window runs its refresh chain (formula grid, history grid, back-test).
class SearchWindow : public QDialog
{
    Q_OBJECT
public:
    // `session` outlives the window.
    explicit SearchWindow(AnalysisSession* session, QWidget* parent = nullptr);
    ~SearchWindow() override;

    bool formulasChangedFlag() const;
    // A search (either one) has worker threads going or paused.
    bool isSearching() const;
    // The result list waiting to be saved (the qualified count is its size).
    const std::vector<SearchResult>& pendingResults() const;
    SearchResultModel* resultModel() const;
    int currentSlot() const;
    bool killSense() const;

protected:
    // Closing (also by Esc or the title bar): asks before unsaved results are discarded.
    void reject() override;

private:
    void updateControls();

    SearchPanel* m_search;
    SchemePanel* m_scheme;
};
