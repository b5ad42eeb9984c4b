#pragma once

#include <string>
#include <vector>

#include <QDialog>

#include "app/settings/session_profile.h"
#include "app/window/dialogs/confirm_convert_dialog.h"
#include "varnex/session/session_records.h"

class CMySettings;
class CProfileStore;
class CRecentComboBox;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;

// "Convert": the choices of one conversion session over a folder or a set of
// files, checked before the dialog closes (an output folder that is the
// input, a bad regular expression, an output folder that already holds
// files). Opens with the settings' current profile; the "Profiles" menu
// applies, saves and manages session profiles of the settings file.
//
//   CConvertDlg dialog(this, settings, store, folder, recursive, ProposeOutputFolder(folder));
//   if (dialog.exec() == QDialog::Accepted)
//       start(dialog.JobItems(), dialog.DetectOnly());
class CConvertDlg : public QDialog {
    Q_OBJECT

public:
    // Menu identifiers of the session profiles: kFirstProfileId + file index.
    static constexpr int kDefaultProfileId = 0;
    static constexpr int kFirstProfileId = 10000;

    CConvertDlg(QWidget* parent, CMySettings& settings, CProfileStore& store, const std::u16string& inputFolder,
                bool recursive, const std::u16string& proposedOutput);
    CConvertDlg(QWidget* parent, CMySettings& settings, CProfileStore& store,
                const std::vector<std::u16string>& inputFiles, bool recursive, const std::u16string& proposedOutput);
    ~CConvertDlg() override;

    // After acceptance: one item per folder or file.
    std::vector<VARNEXBATCHJOBITEM> JobItems() const { return m_items; }
    // The user chose "Detect only" for a folder that is not empty.
    bool DetectOnly() const { return m_detectOnly; }

    // The options the dialog shows, as a profile without a name.
    SessionProfile Choices() const;
    void ApplyProfile(const SessionProfile& profile);
    // Applies "Default" or the profile of that identifier, read afresh from the
    // settings file; an identifier the file no longer has is ignored.
    void ChooseProfile(int id);
    QMenu* ProfilesMenu() const { return m_profilesMenu; }

    void accept() override;

protected:
    // Asks what to do with an output folder that is not empty; tests answer
    // without showing the dialog.
    virtual CConfirmConvertDlg::Choice ConfirmOutputFolder(const std::u16string& folder,
                                                           const std::u16string& subfolderBase,
                                                           std::u16string& safeSubfolder);

private:
    CConvertDlg(QWidget* parent, CMySettings& settings, CProfileStore& store, std::vector<std::u16string> inputs,
                bool folder, bool recursive, const std::u16string& proposedOutput);
    void BuildControls();
    void RebuildProfilesMenu();
    void SaveCurrentSettings();
    void ManageProfiles();
    void OnFilterModeChanged();
    void Browse();
    // The checks of OK; false keeps the dialog open.
    bool CheckOutputFolder(std::u16string& output);
    bool CheckFilter();
    void MakeJobItems(const std::u16string& output);

    CMySettings& m_settings;
    CProfileStore& m_store;
    std::vector<std::u16string> m_inputs;
    bool m_folder;
    std::u16string m_filterName;  // carried from the applied profile
    std::u16string m_filterComment;
    bool m_repairDoubleEncoding = false;
    int m_filterMode = -1;  // the mode whose recent list the filter box shows

    QLineEdit* m_input = nullptr;
    CRecentComboBox* m_output = nullptr;
    QCheckBox* m_copyUnconverted = nullptr;
    QCheckBox* m_writeBom = nullptr;
    QCheckBox* m_processHidden = nullptr;
    QCheckBox* m_recursive = nullptr;
    QComboBox* m_inputCodepage = nullptr;
    QComboBox* m_outputEncoding = nullptr;
    QComboBox* m_returnType = nullptr;
    QComboBox* m_filterModeBox = nullptr;
    CRecentComboBox* m_filter = nullptr;
    QPushButton* m_profiles = nullptr;
    QMenu* m_profilesMenu = nullptr;

    std::vector<VARNEXBATCHJOBITEM> m_items;
    bool m_detectOnly = false;
};
