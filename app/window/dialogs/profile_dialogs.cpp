#include "app/window/dialogs/profile_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/locale/tr.h"
#include "app/settings/my_settings.h"
#include "app/window/dialogs/dialog_prompt.h"
#include "app/window/qt_text.h"

namespace {

QString JoinedMessages(const SettingsMessages& messages)
{
    QStringList lines;
    for (const std::u16string& line : messages)
        lines.push_back(Qs(line));
    return lines.join(u'\n');
}

void ShowSaveFailure(QWidget* parent, const SettingsMessages& messages)
{
    QString text = Qs(Tr("Profiles", "The profiles could not be saved."));
    if (!messages.empty())
        text += QStringLiteral("\n\n") + JoinedMessages(messages);
    ShowDialogPrompt(parent, QMessageBox::Critical, text);
}

}  // namespace

QString ProfileNameText(ProfileNameStatus status, const QString& name)
{
    switch (status) {
    case ProfileNameStatus::Empty:
        return Qs(Tr("Profiles", "Profile name cannot be empty."));
    case ProfileNameStatus::Reserved:
        return Qs(Tr("Profiles", "This profile name is reserved. Please enter another name."));
    case ProfileNameStatus::Exists:
        return Qs(Tr("Profiles", "Overwrite profile [%s]?")).replace(QStringLiteral("%s"), name.trimmed());
    case ProfileNameStatus::Duplicate:
        return Qs(Tr("Profiles", "Duplicated profile name. Please enter a different profile name."));
    default:
        return {};
    }
}

bool SaveProfileAs(QWidget* parent, CMySettings& settings, const SessionProfile& options, const QString& name)
{
    SessionProfileList profiles;
    settings.LoadSessionProfiles(profiles);
    const ProfileNameStatus verdict = CheckNewProfileName(U16(name), profiles);
    if (verdict == ProfileNameStatus::Empty || verdict == ProfileNameStatus::Reserved) {
        ShowDialogPrompt(parent, QMessageBox::Warning, ProfileNameText(verdict, name));
        return false;
    }
    bool overwrite = false;
    if (verdict == ProfileNameStatus::Exists) {
        if (ShowDialogPrompt(parent, QMessageBox::Question, ProfileNameText(verdict, name),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return false;
        overwrite = true;
    }
    SettingsMessages messages;
    if (settings.SaveAsProfile(options, U16(name), overwrite, nullptr, &messages))
        return true;
    ShowSaveFailure(parent, messages);
    return false;
}

CProfileNameDlg::CProfileNameDlg(QWidget* parent, const QString& title, const QStringList& names, const QString& preset)
    : QDialog(parent),
      m_name(new QComboBox(this))
{
    setWindowTitle(title);
    m_name->setObjectName(QStringLiteral("ProfileName"));
    m_name->setEditable(true);
    m_name->setInsertPolicy(QComboBox::NoInsert);
    m_name->addItems(names);
    m_name->setEditText(preset);
    m_name->setMinimumContentsLength(30);
    auto* label = new QLabel(Qs(Tr("Profiles", "&Profile name:")), this);
    label->setBuddy(m_name);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_name);
    layout->addWidget(buttons);
}

QString CProfileNameDlg::Name() const
{
    return m_name->currentText().trimmed();
}

CManageProfilesDlg::CManageProfilesDlg(QWidget* parent, CMySettings& settings)
    : QDialog(parent),
      m_settings(settings),
      m_list(new QListWidget(this))
{
    setWindowTitle(Qs(Tr("Profiles", "Manage Profiles")));
    m_settings.LoadSessionProfiles(m_profiles);
    m_list->setObjectName(QStringLiteral("ProfileList"));
    m_rename = new QPushButton(Qs(Tr("Profiles", "&Rename...")), this);
    m_delete = new QPushButton(Qs(Tr("Profiles", "&Delete")), this);
    m_up = new QPushButton(Qs(Tr("Profiles", "Move &Up")), this);
    m_down = new QPushButton(Qs(Tr("Profiles", "Move D&own")), this);
    auto* side = new QVBoxLayout;
    for (QPushButton* button : {m_rename, m_delete, m_up, m_down})
        side->addWidget(button);
    side->addStretch(1);
    auto* body = new QHBoxLayout;
    body->addWidget(m_list, 1);
    body->addLayout(side);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::currentRowChanged, this, &CManageProfilesDlg::UpdateButtons);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &CManageProfilesDlg::OnRename);
    connect(m_rename, &QPushButton::clicked, this, &CManageProfilesDlg::OnRename);
    connect(m_delete, &QPushButton::clicked, this, [this] { DeleteProfile(m_list->currentRow()); });
    connect(m_up, &QPushButton::clicked, this, [this] { MoveProfile(m_list->currentRow(), -1); });
    connect(m_down, &QPushButton::clicked, this, [this] { MoveProfile(m_list->currentRow(), +1); });
    Refill(0);
    resize(460, 300);
}

bool CManageProfilesDlg::RenameProfile(int index, const QString& name)
{
    if (index < 0 || index >= static_cast<int>(m_profiles.size()))
        return false;
    const ProfileNameStatus verdict = CheckProfileRename(U16(name), m_profiles, static_cast<size_t>(index));
    if (verdict != ProfileNameStatus::Ok) {
        ShowDialogPrompt(this, QMessageBox::Warning, ProfileNameText(verdict, name));
        return false;
    }
    m_profiles[static_cast<size_t>(index)].name = NormaliseProfileName(U16(name));
    Refill(index);
    return true;
}

void CManageProfilesDlg::DeleteProfile(int index)
{
    if (index < 0 || index >= static_cast<int>(m_profiles.size()))
        return;
    m_profiles.erase(m_profiles.begin() + index);
    Refill(std::min(index, static_cast<int>(m_profiles.size()) - 1));
}

void CManageProfilesDlg::MoveProfile(int index, int delta)
{
    const int to = index + delta;
    const int count = static_cast<int>(m_profiles.size());
    if (index < 0 || index >= count || to < 0 || to >= count)
        return;
    std::swap(m_profiles[static_cast<size_t>(index)], m_profiles[static_cast<size_t>(to)]);
    Refill(to);
}

void CManageProfilesDlg::accept()
{
    SettingsMessages messages;
    if (!m_settings.SaveSessionProfiles(m_profiles, &messages)) {
        ShowSaveFailure(this, messages);
        return;
    }
    QDialog::accept();
}

void CManageProfilesDlg::Refill(int select)
{
    m_list->clear();
    for (const SessionProfile& profile : m_profiles)
        m_list->addItem(Qs(profile.name));
    m_list->setCurrentRow(select);
    UpdateButtons();
}

void CManageProfilesDlg::UpdateButtons()
{
    const int row = m_list->currentRow();
    const int count = static_cast<int>(m_profiles.size());
    m_rename->setEnabled(row >= 0);
    m_delete->setEnabled(row >= 0);
    m_up->setEnabled(row > 0);
    m_down->setEnabled(row >= 0 && row + 1 < count);
}

void CManageProfilesDlg::OnRename()
{
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    QString name = Qs(m_profiles[static_cast<size_t>(row)].name);
    for (;;) {
        CProfileNameDlg ask(this, Qs(Tr("Profiles", "Rename Profile")), {}, name);
        if (ask.exec() != QDialog::Accepted)
            return;
        name = ask.Name();
        if (RenameProfile(row, name))
            return;
    }
}
