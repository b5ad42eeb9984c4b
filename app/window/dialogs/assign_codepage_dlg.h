#pragma once

#include <QDialog>
#include <string>
#include <vector>

class CCodepageInfo;
class CProfileStore;
class CTextPreviewView;
class QDialogButtonBox;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

// "Assign Codepage": the user picks the code page a file is to be read in,
// seeing the file's start decoded in each one before choosing.
class CAssignCodepageDlg : public QDialog {
    Q_OBJECT

public:
    // presetCodepage: the file's current code page (-1: none). The preview
    // reads at most previewLimitBytes (0: the default 1 KiB).
    CAssignCodepageDlg(QWidget* parent, CProfileStore& store, const std::u16string& file, int presetCodepage,
                       unsigned previewLimitBytes);
    ~CAssignCodepageDlg() override;

    // The code page of the selected item; -1 when the selection has none.
    int ChosenCodepage() const;

    // The catalogue entries a file can be assigned, in catalogue order: those
    // the converter can read.
    static std::vector<const CCodepageInfo*> AssignableCodepages();

    QTreeWidget* Tree() const { return m_tree; }
    QSplitter* Splitter() const { return m_splitter; }
    CTextPreviewView* Preview() const { return m_preview; }
    bool IsOkEnabled() const;

protected:
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnSelectionChanged();

    CProfileStore& m_store;
    std::u16string m_file;
    unsigned m_limit;
    QTreeWidget* m_tree = nullptr;
    QTreeWidgetItem* m_root = nullptr;
    QSplitter* m_splitter = nullptr;
    CTextPreviewView* m_preview = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};
