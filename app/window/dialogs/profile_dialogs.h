#pragma once

#include <QDialog>
#include <QString>

#include "app/settings/session_profile.h"

class CMySettings;
class QComboBox;
class QListWidget;
class QPushButton;

// What to tell the user about a profile name (empty for ProfileNameStatus::Ok).
QString ProfileNameText(ProfileNameStatus status, const QString& name);

// Saves options as the named session profile of the settings file: an empty
// or reserved name is refused, a name in use is overwritten only when the
// user agrees. Every refusal and failure is shown; true when the file was
// written.
bool SaveProfileAs(QWidget* parent, CMySettings& settings, const SessionProfile& options, const QString& name);

// Asks for a profile name; the existing names are offered to pick from.
class CProfileNameDlg : public QDialog {
    Q_OBJECT

public:
    CProfileNameDlg(QWidget* parent, const QString& title, const QStringList& names, const QString& preset = {});
    QString Name() const;

private:
    QComboBox* m_name = nullptr;
};

// "Manage profiles...": renames, deletes and reorders the session profiles
// of the settings file, which OK writes back whole.
class CManageProfilesDlg : public QDialog {
    Q_OBJECT

public:
    CManageProfilesDlg(QWidget* parent, CMySettings& settings);

    const SessionProfileList& Profiles() const { return m_profiles; }
    // Refuses (and says why) an empty, reserved or duplicated name.
    bool RenameProfile(int index, const QString& name);
    void DeleteProfile(int index);
    // Moves the profile at index one place up (delta -1) or down (+1).
    void MoveProfile(int index, int delta);

    void accept() override;

private:
    void Refill(int select);
    void UpdateButtons();
    void OnRename();

    CMySettings& m_settings;
    SessionProfileList m_profiles;
    QListWidget* m_list = nullptr;
    QPushButton* m_rename = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
};
