#include "app/window/dialogs/help_about.h"

#include <QMessageBox>

#include "app/locale/locale_resource_manager.h"
#include "app/locale/tr.h"
#include "app/options/program_version.h"
#include "app/window/models/shell_actions.h"
#include "app/window/qt_text.h"
#include "platform/file_api.h"

void OpenUserManual(QWidget* parent, CLocaleResourceManager& locales)
{
    const std::u16string manual = locales.GetCurrentHelpFile();
    platform::FileStatus status;
    if (!platform::GetFileStatus(manual, &status) || status.type != platform::FileType::Regular) {
        shell_detail::Hooks().warn(parent, Qs(Tr("Help", "The user manual is not installed:\n%1", manual)));
        return;
    }
    if (!shell_detail::Hooks().openUrl(shell_detail::FileUrl(manual)))
        shell_detail::Hooks().warn(parent, Qs(Tr("Help", "Unable to open the user manual.")));
}

QMessageBox* CreateAboutBox(QWidget* parent)
{
    auto* box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("AboutBox"));
    box->setWindowTitle(Qs(Tr("Help", "About Varnel Professional")));
    box->setIcon(QMessageBox::Information);
    box->setTextFormat(Qt::PlainText);
    box->setText(Qs(Tr("Help", "Varnel Professional %1", ProgramVersion())));
    box->setInformativeText(Qs(Tr("Help", "Converts batches of text files from legacy codepages into one Unicode "
                                          "form.\n\nCopyright © Quillmark. All rights reserved.")));
    box->setStandardButtons(QMessageBox::Ok);
    // The box sizes itself to its shortest line; the notice reads better wider.
    box->setStyleSheet(
        QStringLiteral("QLabel#qt_msgbox_label, QLabel#qt_msgbox_informativelabel { min-width: 340px; }"));
    return box;
}

void ShowAboutBox(QWidget* parent)
{
    QMessageBox* box = CreateAboutBox(parent);
    box->exec();
    delete box;
}
