#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>
#include <string>

class QWidget;

// Shell actions on files and folders, the way the desktop does them:
// xdg-open through QDesktopServices, and the file manager's "show item"
// (org.freedesktop.FileManager1) where the session bus offers it. Failures
// are said in a message box.

// Opens the folder of path with the file selected where the file manager
// can; a folder is opened itself.
void OpenContainingFolder(QWidget* parent, const std::u16string& path);
// Opens a file with its default application. A program (an ELF or Windows
// binary, a desktop entry, an executable script) is never started: its
// folder is shown instead.
void OpenFile(QWidget* parent, const std::u16string& path);
// Our own properties dialog: there is no portable shell one.
void ShowProperties(QWidget* parent, const std::u16string& path);

// The properties of a file or folder: name, location, type, size, times,
// permissions and owner.
class CFilePropertiesDlg : public QDialog {
    Q_OBJECT

public:
    CFilePropertiesDlg(QWidget* parent, const std::u16string& path);
    ~CFilePropertiesDlg() override;

    // The value shown for a property title (tests).
    QString ValueOf(const QString& title) const;

private:
    void AddRow(const QString& title, const QString& value);

    class QFormLayout* m_form = nullptr;
};

namespace shell_detail {

// What the actions hand to the desktop; tests replace them.
struct DesktopHooks {
    std::function<bool(const QUrl&)> openUrl;
    // Asks the file manager to show a file in its folder; calls fallback
    // when it cannot.
    std::function<void(QWidget* parent, const QUrl& item, std::function<void()> fallback)> showItem;
    std::function<void(QWidget* parent, const QString& message)> warn;
};
DesktopHooks& Hooks();

// A file URL that names exactly the bytes of the path on disk.
QUrl FileUrl(const std::u16string& path);
// Whether opening the file could run it.
bool IsProgramFile(const std::u16string& path);

}  // namespace shell_detail
