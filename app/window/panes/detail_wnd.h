#pragma once

#include <QWidget>

#include "app/window/models/file_selection.h"

class QLabel;
class QTreeWidget;

// The "Details" pane: the properties of the selected file, one per row.
class CDetailWnd : public QWidget {
    Q_OBJECT

public:
    explicit CDetailWnd(QWidget* parent = nullptr);
    ~CDetailWnd() override;

    // An invalid selection empties the pane.
    void ShowFile(const FileSelection& selection);

    // The value shown for a property title (tests).
    QString ValueOf(const QString& title) const;

private:
    void AddRow(const QString& title, const QString& value);

    QTreeWidget* m_rows = nullptr;
    // The message is prose: it wraps below the rows instead of being cut.
    QLabel* m_messageTitle = nullptr;
    QLabel* m_message = nullptr;
};
