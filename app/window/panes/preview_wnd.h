#pragma once

#include <QWidget>

#include "app/window/models/file_selection.h"

class CTextPreviewView;
class QLabel;

// The "Preview" pane: the start of the selected file's text. A file with an
// output shows the output, read in the Unicode form it was written in; a
// file without one shows its input read in its detected code page. At most
// the preview size is read, on a pool thread, so a slow disk never holds
// the window.
class CPreviewWnd : public QWidget {
    Q_OBJECT

public:
    explicit CPreviewWnd(QWidget* parent = nullptr);
    ~CPreviewWnd() override;

    // Bytes; 0 means the settings page's default (1 KiB).
    void SetPreviewLimit(unsigned bytes);
    // Reads again only when the selection changed in what the preview shows.
    void ShowFile(const FileSelection& selection);
    void Clear();

    bool IsLoading() const;
    // The text shown, or the note when none is (tests).
    QString Content() const;

private:
    QLabel* m_caption = nullptr;
    CTextPreviewView* m_view = nullptr;
    unsigned m_limit = 0;
    FileSelection m_shown;
};
