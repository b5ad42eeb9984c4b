#include "app/window/dialogs/confirm_convert_dialog.h"

#include <cerrno>
#include <utility>

#include <QCommandLinkButton>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/locale/tr.h"
#include "app/window/dialogs/dialog_prompt.h"
#include "app/window/models/output_proposal.h"
#include "app/window/qt_text.h"
#include "platform/file_api.h"

CConfirmConvertDlg::CConfirmConvertDlg(QWidget* parent, std::u16string outputFolder, std::u16string subfolderBase)
    : QDialog(parent),
      m_outputFolder(std::move(outputFolder)),
      m_subfolderBase(std::move(subfolderBase))
{
    setWindowTitle(Qs(Tr("ConvertDialog", "Confirm output folder")));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(Qs(Tr("ConvertDialog", "The output folder is not empty:")), this);
    auto* folder = new QLabel(Qs(m_outputFolder), this);
    folder->setObjectName(QStringLiteral("OutputFolder"));
    folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    folder->setWordWrap(true);
    QFont bold = folder->font();
    bold.setBold(true);
    folder->setFont(bold);
    layout->addWidget(intro);
    layout->addWidget(folder);

    const QString safeName = Qs(NameOf(UniqueNameIn(m_outputFolder, m_subfolderBase, {}, PathExistsOnDisk)));
    const struct {
        Choice choice;
        QString title;
        QString note;
    } choices[] = {
        {DetectOnly, Qs(Tr("ConvertDialog", "Detect only")),
         Qs(Tr("ConvertDialog", "Find the files and detect their encodings without writing anything."))},
        {SelectAnother, Qs(Tr("ConvertDialog", "Select another output folder")),
         Qs(Tr("ConvertDialog", "Go back and choose a different folder."))},
        {ProceedAnyway, Qs(Tr("ConvertDialog", "Proceed anyway")),
         Qs(Tr("ConvertDialog", "Write into this folder; files of the same name are replaced."))},
        {SafeSubfolder, Qs(Tr("ConvertDialog", "Make a safe subfolder for output")),
         Qs(Tr("ConvertDialog", "Create the new folder \"%s\" in it and write there."))
             .replace(QStringLiteral("%s"), safeName)},
    };
    for (const auto& c : choices) {
        auto* button = new QCommandLinkButton(c.title, c.note, this);
        m_buttons[c.choice - 1] = button;
        layout->addWidget(button);
        connect(button, &QCommandLinkButton::clicked, this, [this, choice = c.choice] { Choose(choice); });
    }
    auto* cancel = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(cancel, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(cancel);
    m_buttons[SafeSubfolder - 1]->setDefault(true);
    setMinimumWidth(520);
}

QCommandLinkButton* CConfirmConvertDlg::Button(Choice choice) const
{
    return choice == Cancelled ? nullptr : m_buttons[choice - 1];
}

void CConfirmConvertDlg::Choose(Choice choice)
{
    if (choice == SafeSubfolder && !MakeSafeSubfolder())
        return;
    m_choice = choice;
    if (choice == SelectAnother)
        reject();
    else
        accept();
}

bool CConfirmConvertDlg::MakeSafeSubfolder()
{
    int error = 0;
    // Another program may take the free name first: pick the next one then.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::u16string candidate = UniqueNameIn(m_outputFolder, m_subfolderBase, {}, PathExistsOnDisk);
        if (platform::CreateDirectoryOne(candidate, &error)) {
            m_safeSubfolder = candidate;
            return true;
        }
        if (error != EEXIST)
            break;
    }
    ShowDialogPrompt(this, QMessageBox::Critical,
                     Qs(Tr("ConvertDialog", "The folder could not be created:\n%s"))
                         .replace(QStringLiteral("%s"), Qs(m_outputFolder)));
    return false;
}
