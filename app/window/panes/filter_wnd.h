#pragma once

#include <QWidget>

#include "varnex/session/file_info_filter.h"

class CFilterableVarnex;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;

// The filter the pane builds: the engine's criteria only, no own ones.
class CFilterWndFilter : public CFileInfoFilter {
public:
    CFileInfoFilter* Clone() const override;
    bool PassCustomFilter(CVarnexFileInfo*) const override { return true; }
    void CopyCustomProperties(const CFileInfoFilter*) override { }
    bool HasCustomFilters() const override { return false; }
};

// The "Filters" pane: narrows the list shown to the files of the checked
// code pages, of one status, with or without BOM, whose path matches the
// patterns, or that need attention. Every change is applied at once to the
// session the list shows; the pane keeps its state when the list changes.
class CFilterWnd : public QWidget {
    Q_OBJECT

public:
    explicit CFilterWnd(QWidget* parent = nullptr);
    ~CFilterWnd() override;

    // The session of the list shown (null: none); its filtering is allowed,
    // and the pane's filter applied to it.
    void SetSession(CFilterableVarnex* session);
    // Reads the code page counts again; checks stay with their code pages.
    void Refresh();

    // The filter the controls describe.
    CFilterWndFilter BuildFilter() const;
    // Applies the controls' filter, or clears the session's when none is on.
    void ApplyFilter();
    // Switches every part off and clears the session's filter.
    void ClearFilter();

    // The controls, for the frame's own wiring and for tests.
    QCheckBox* AttentionBox() const { return m_attention; }
    QCheckBox* StatusBox() const { return m_statusOn; }
    QComboBox* StatusChoice() const { return m_status; }
    QCheckBox* BomBox() const { return m_bomOn; }
    QComboBox* BomChoice() const { return m_bom; }
    QCheckBox* PathBox() const { return m_pathOn; }
    QLineEdit* PathPatterns() const { return m_path; }
    QCheckBox* CodepageBox() const { return m_codepageOn; }
    QTreeWidget* CodepageList() const { return m_codepages; }
    QLabel* SummaryLabel() const { return m_summary; }

signals:
    // After the session's filter was applied or cleared: redraw the list.
    void filterApplied();

private:
    void SetAllChecked(bool checked);
    void UpdateSummary();
    void UpdateEnabling();

    CFilterableVarnex* m_session = nullptr;
    bool m_updating = false;  // controls being set by the pane itself
    QCheckBox* m_attention = nullptr;
    QCheckBox* m_statusOn = nullptr;
    QComboBox* m_status = nullptr;
    QCheckBox* m_bomOn = nullptr;
    QComboBox* m_bom = nullptr;
    QCheckBox* m_pathOn = nullptr;
    QLineEdit* m_path = nullptr;
    QTimer* m_pathDelay = nullptr;
    QCheckBox* m_codepageOn = nullptr;
    QTreeWidget* m_codepages = nullptr;
    QPushButton* m_checkAll = nullptr;
    QPushButton* m_uncheckAll = nullptr;
    QPushButton* m_clear = nullptr;
    QLabel* m_summary = nullptr;
};
