#pragma once

#include <cstdint>

#include <QDialog>

class CLocaleResourceManager;
class CMySettings;
class CProfileStore;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QRadioButton;
class QSpinBox;
class QTabWidget;

// "Preferences": the pages "Default Settings", "Advanced", "Miscellaneous"
// and "Language". OK writes the values back to the settings and saves the
// settings file at once; the language choice goes to the profile store
// ("Settings", "LanguageDir") and takes effect at the next start.
class CPreferenceSheet : public QDialog {
    Q_OBJECT

public:
    CPreferenceSheet(QWidget* parent, CMySettings& settings, CLocaleResourceManager& locales, CProfileStore& store);
    ~CPreferenceSheet() override;

    QTabWidget* Pages() const { return m_pages; }
    void accept() override;

private:
    QWidget* MakeDefaultSettingsPage();
    QWidget* MakeAdvancedPage();
    QWidget* MakeMiscellaneousPage();
    QWidget* MakeLanguagePage();
    void LoadValues();
    bool ApplyLanguage();

    CMySettings& m_settings;
    CLocaleResourceManager& m_locales;
    CProfileStore& m_store;
    QTabWidget* m_pages = nullptr;

    QCheckBox* m_copyUnconverted = nullptr;
    QCheckBox* m_writeBom = nullptr;
    QCheckBox* m_processHidden = nullptr;
    QComboBox* m_outputEncoding = nullptr;
    QComboBox* m_returnType = nullptr;

    QSpinBox* m_threads = nullptr;
    QSpinBox* m_chunkSize = nullptr;
    QSpinBox* m_sampleSize = nullptr;
    QCheckBox* m_binaryList = nullptr;
    QCheckBox* m_gb18030 = nullptr;
    QCheckBox* m_consolidated = nullptr;
    QSpinBox* m_readBuffer = nullptr;
    QSpinBox* m_writeBuffer = nullptr;

    QSpinBox* m_previewKiB = nullptr;
    int m_shownPreviewKiB = 0;

    QRadioButton* m_preferSystem = nullptr;
    QRadioButton* m_chosenLanguage = nullptr;
    QListWidget* m_languages = nullptr;
};
