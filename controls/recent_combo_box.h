#pragma once

#include <memory>

#include <QComboBox>
#include <QStringList>

#include "controls/controls_export.h"

class CRecentList;

// An editable combo box whose drop-down offers a recent list: every text
// added moves to the top (no duplicates) and the list is saved at once. The
// box may switch between lists (a filter box keeps one list per filter kind);
// what the user typed stays in the edit field.
class CONTROLS_API CRecentComboBox : public QComboBox {
public:
    explicit CRecentComboBox(QWidget* parent = nullptr);
    ~CRecentComboBox() override;

    // Binds the box to a copy of list, read from its store at once.
    void SetRecentList(const CRecentList& list);
    bool HasRecentList() const { return m_list != nullptr; }

    // Puts text first in the list, saves it and shows it. Empty text is not
    // kept. False when there is no list or its store could not be written.
    bool AddRecent(const QString& text);
    // The non-empty entries, most recent first.
    QStringList RecentEntries() const;

    QString Text() const { return currentText(); }
    void SetText(const QString& text) { setEditText(text); }

private:
    void Refill();

    std::unique_ptr<CRecentList> m_list;
};
