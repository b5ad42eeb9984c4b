#pragma once

#include <string>

#include <QDialog>

class QCommandLinkButton;

// "Confirm output folder": asked when the chosen output folder already holds
// something, since converted files replace files of the same name there.
class CConfirmConvertDlg : public QDialog {
    Q_OBJECT

public:
    enum Choice { Cancelled, DetectOnly, SelectAnother, ProceedAnyway, SafeSubfolder };

    // subfolderBase: the name the safe subfolder starts from (made unique).
    CConfirmConvertDlg(QWidget* parent, std::u16string outputFolder, std::u16string subfolderBase);

    Choice GetChoice() const { return m_choice; }
    // The folder "Make a safe subfolder for output" created; empty otherwise.
    const std::u16string& GetSafeSubfolder() const { return m_safeSubfolder; }

    QCommandLinkButton* Button(Choice choice) const;

private:
    void Choose(Choice choice);
    bool MakeSafeSubfolder();

    std::u16string m_outputFolder;
    std::u16string m_subfolderBase;
    Choice m_choice = Cancelled;
    std::u16string m_safeSubfolder;
    QCommandLinkButton* m_buttons[4] = {};
};
