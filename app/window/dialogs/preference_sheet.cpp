#include "app/window/dialogs/preference_sheet.h"

#include <algorithm>
#include <thread>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/locale/locale_resource_manager.h"
#include "app/locale/tr.h"
#include "app/settings/my_settings.h"
#include "app/settings/profile_store.h"
#include "app/window/dialogs/dialog_prompt.h"
#include "app/window/models/conversion_choices.h"
#include "app/window/panes/language_menu.h"
#include "app/window/qt_text.h"
#include "app/window/widget_names.h"

namespace {

QSpinBox* MakeSpin(QWidget* parent, const char* name, uint32_t low, uint32_t high)
{
    auto* spin = Named(new QSpinBox(parent), name);
    spin->setRange(static_cast<int>(low), static_cast<int>(high));
    spin->setMinimumWidth(spin->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 40);
    // Numbers need no more room; the notes beside them may take the rest.
    spin->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return spin;
}

QLabel* MakeNote(const QString& text, QWidget* parent)
{
    auto* note = new QLabel(text, parent);
    note->setWordWrap(true);
    note->setEnabled(false);  // the greyed style of a hint
    return note;
}

void SetSpin(QSpinBox* spin, uint32_t value)
{
    spin->setValue(static_cast<int>(std::min<uint32_t>(value, static_cast<uint32_t>(spin->maximum()))));
}

// The note of the converter thread count, for this machine's processors.
QString ThreadsNote(unsigned processors)
{
    return Qs(Tr("Preferences", "Range: 1..16. Recommended: %d. Or 0 for auto determination"))
        .replace(QStringLiteral("%d"), QString::number(processors));
}

}  // namespace

CPreferenceSheet::CPreferenceSheet(QWidget* parent, CMySettings& settings, CLocaleResourceManager& locales,
                                   CProfileStore& store)
    : QDialog(parent),
      m_settings(settings),
      m_locales(locales),
      m_store(store),
      m_pages(new QTabWidget(this))
{
    setWindowTitle(Qs(Tr("Preferences", "Preferences")));
    m_pages->setObjectName(QStringLiteral("Pages"));
    m_pages->addTab(MakeDefaultSettingsPage(), Qs(Tr("Preferences", "Default Settings")));
    m_pages->addTab(MakeAdvancedPage(), Qs(Tr("Preferences", "Advanced")));
    m_pages->addTab(MakeMiscellaneousPage(), Qs(Tr("Preferences", "Miscellaneous")));
    m_pages->addTab(MakeLanguagePage(), Qs(Tr("Preferences", "Language")));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPreferenceSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addWidget(buttons);
    LoadValues();
    setMinimumWidth(520);
}

CPreferenceSheet::~CPreferenceSheet() = default;

QWidget* CPreferenceSheet::MakeDefaultSettingsPage()
{
    auto* page = new QWidget(this);
    m_copyUnconverted =
        Named(new QCheckBox(Qs(Tr("ConvertDialog", "Copy unconverted files")), page), "CopyUnconverted");
    m_writeBom = Named(new QCheckBox(Qs(Tr("ConvertDialog", "Write BOM")), page), "WriteBom");
    m_processHidden = Named(new QCheckBox(Qs(Tr("ConvertDialog", "Process hidden files")), page), "ProcessHidden");
    m_outputEncoding = Named(new QComboBox(page), "OutputEncoding");
    FillOutputEncodingList(m_outputEncoding);
    m_returnType = Named(new QComboBox(page), "ReturnType");
    FillReturnTypeList(m_returnType);
    auto* form = new QFormLayout;
    form->addRow(Qs(Tr("ConvertDialog", "Output encoding")), m_outputEncoding);
    form->addRow(Qs(Tr("ConvertDialog", "Return Type")), m_returnType);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_copyUnconverted);
    layout->addWidget(m_writeBom);
    layout->addWidget(m_processHidden);
    layout->addSpacing(8);
    layout->addLayout(form);
    layout->addStretch(1);
    return page;
}

QWidget* CPreferenceSheet::MakeAdvancedPage()
{
    auto* page = new QWidget(this);
    m_threads = MakeSpin(page, "ConverterThreads", 0, VARNEXJOBSETTING::kMaxConverterThreads);
    m_chunkSize = MakeSpin(page, "ChunkSize", VARNEXJOBSETTING::kMinChunkSize, VARNEXJOBSETTING::kMaxChunkSize);
    m_sampleSize = MakeSpin(page, "SampleSize", 1, VARNEXJOBSETTING::kMaxSampleSizeMB);
    m_readBuffer = MakeSpin(page, "ReadBuffer", VARNEXJOBSETTING::kMinBufferSize, VARNEXJOBSETTING::kMaxBufferSize);
    m_writeBuffer = MakeSpin(page, "WriteBuffer", VARNEXJOBSETTING::kMinBufferSize, VARNEXJOBSETTING::kMaxBufferSize);
    m_binaryList =
        Named(new QCheckBox(Qs(Tr("Preferences", "Allow binary list accelerated detection")), page), "BinaryList");
    m_gb18030 =
        Named(new QCheckBox(Qs(Tr("Preferences", "Use codepage GB18030 instead of codepage GB2312")), page), "GB18030");
    m_consolidated = Named(new QCheckBox(Qs(Tr("Preferences", "Use Consolidated Buffer")), page), "ConsolidatedBuffer");
    connect(m_consolidated, &QCheckBox::toggled, m_readBuffer, &QWidget::setEnabled);
    connect(m_consolidated, &QCheckBox::toggled, m_writeBuffer, &QWidget::setEnabled);

    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(Qs(Tr("Preferences", "Converter Threads")), m_threads);
    form->addRow(QString(), MakeNote(ThreadsNote(processors), page));
    form->addRow(Qs(Tr("Preferences", "Chunk Size (in Byte)")), m_chunkSize);
    form->addRow(Qs(Tr("Preferences", "Sample Size (in MB)")), m_sampleSize);
    auto* buffers = new QFormLayout;
    buffers->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    buffers->addRow(Qs(Tr("Preferences", "Read Buffer")), m_readBuffer);
    buffers->addRow(Qs(Tr("Preferences", "Write Buffer")), m_writeBuffer);
    buffers->setContentsMargins(24, 0, 0, 0);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addSpacing(8);
    layout->addWidget(m_binaryList);
    layout->addWidget(m_gb18030);
    layout->addWidget(m_consolidated);
    layout->addLayout(buffers);
    layout->addStretch(1);
    return page;
}

QWidget* CPreferenceSheet::MakeMiscellaneousPage()
{
    auto* page = new QWidget(this);
    m_previewKiB = MakeSpin(page, "PreviewSize", CMySettings::kPreviewLimitMinKiB, CMySettings::kPreviewLimitMaxKiB);
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(Qs(Tr("Preferences", "Maximum preview size (in KB)")), m_previewKiB);
    form->addRow(QString(), MakeNote(Qs(Tr("Preferences", "Range: 1..8192. Default: 1")), page));
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addStretch(1);
    return page;
}

QWidget* CPreferenceSheet::MakeLanguagePage()
{
    auto* page = new QWidget(this);
    m_preferSystem = Named(new QRadioButton(Qs(Tr("Language", "Prefer system language")), page), "PreferSystem");
    m_chosenLanguage = Named(new QRadioButton(Qs(Tr("Language", "Specify language")), page), "ChosenLanguage");
    auto* choice = new QButtonGroup(page);
    choice->addButton(m_preferSystem);
    choice->addButton(m_chosenLanguage);
    m_languages = Named(new QListWidget(page), "Languages");
    connect(m_chosenLanguage, &QRadioButton::toggled, m_languages, &QWidget::setEnabled);
    connect(m_languages, &QListWidget::itemClicked, m_chosenLanguage, [this] { m_chosenLanguage->setChecked(true); });

    const CLocaleResourceInfo& current = m_locales.GetCurrentInfo();
    auto* about = new QGroupBox(page);
    auto* aboutForm = new QFormLayout(about);
    aboutForm->addRow(Qs(Tr("Language", "Current Language:")), new QLabel(Qs(current.GetDisplayName()), about));
    aboutForm->addRow(Qs(Tr("Language", "Author / Translator:")), new QLabel(Qs(current.GetAuthor()), about));
    if (!current.GetWebUrl().empty()) {
        const QString url = Qs(current.GetWebUrl()).toHtmlEscaped();
        auto* link = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(url), about);
        link->setOpenExternalLinks(true);
        aboutForm->addRow(QString(), link);
    }

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_preferSystem);
    layout->addWidget(m_chosenLanguage);
    auto* indented = new QVBoxLayout;
    indented->setContentsMargins(24, 0, 0, 0);
    indented->addWidget(m_languages, 1);
    layout->addLayout(indented, 1);
    layout->addWidget(about);
    return page;
}

void CPreferenceSheet::LoadValues()
{
    const SessionProfile profile = m_settings.GetCurrentProfile();
    m_copyUnconverted->setChecked(profile.options.copyUnconverted);
    m_writeBom->setChecked(profile.options.writeBom);
    m_processHidden->setChecked(profile.options.processHiddenFiles);
    SelectByCode(m_outputEncoding, profile.options.outputTextFormat);
    SelectByCode(m_returnType, profile.options.returnType);

    const VARNEXJOBSETTING& job = m_settings.GetJobSetting();
    SetSpin(m_threads, job.converterThreads);
    SetSpin(m_chunkSize, job.chunkSize);
    SetSpin(m_sampleSize, job.sampleSizeMB);
    SetSpin(m_readBuffer, job.readBufferSize);
    SetSpin(m_writeBuffer, job.writeBufferSize);
    m_binaryList->setChecked(job.allowBinaryListDetection);
    m_gb18030->setChecked(job.useGB18030);
    m_consolidated->setChecked(job.useConsolidatedBuffer);
    m_readBuffer->setEnabled(job.useConsolidatedBuffer);
    m_writeBuffer->setEnabled(job.useConsolidatedBuffer);

    // Unset (0) shows as the default, 1 KiB, and stays unset unless changed.
    m_previewKiB->setValue(static_cast<int>(std::max<uint32_t>(m_settings.GetPreviewSizeLimitKiB(), 1)));
    m_shownPreviewKiB = m_previewKiB->value();
    m_previewKiB->setEnabled(!m_settings.GetPreviewLimitFixed());

    const std::u16string stored = StoredLanguage(m_store);
    for (const CXmlLocaleResourceInfo& language : m_locales.GetLocaleList()) {
        auto* item = new QListWidgetItem(
            Qs(language.GetDisplayName().empty() ? language.GetLocale() : language.GetDisplayName()), m_languages);
        item->setData(Qt::UserRole, Qs(language.GetLocale()));
        if (!stored.empty() && Qs(language.GetLocale()).compare(Qs(stored), Qt::CaseInsensitive) == 0)
            m_languages->setCurrentItem(item);
    }
    (stored.empty() ? m_preferSystem : m_chosenLanguage)->setChecked(true);
    m_languages->setEnabled(!stored.empty());
}

bool CPreferenceSheet::ApplyLanguage()
{
    std::u16string chosen;
    if (m_chosenLanguage->isChecked()) {
        const QListWidgetItem* item = m_languages->currentItem();
        if (item == nullptr)
            return true;  // nothing picked: the stored choice stays
        chosen = U16(item->data(Qt::UserRole).toString());
    }
    if (chosen == StoredLanguage(m_store))
        return true;
    return StoreLanguageChoice(this, m_store, chosen);
}

void CPreferenceSheet::accept()
{
    // A save that fails leaves the settings as they were, so that memory and
    // file do not disagree when the user then cancels.
    const CMySettings before = m_settings;
    SessionProfile profile = m_settings.GetCurrentProfile();
    profile.options.copyUnconverted = m_copyUnconverted->isChecked();
    profile.options.writeBom = m_writeBom->isChecked();
    profile.options.processHiddenFiles = m_processHidden->isChecked();
    profile.options.outputTextFormat =
        static_cast<CTextFileConverter::OUTPUTTEXTFORMAT>(SelectedCode(m_outputEncoding, 0));
    profile.options.returnType = static_cast<CTextFileConverter::RETURNTYPE>(SelectedCode(m_returnType, 0));
    m_settings.SetCurrentProfile(profile);

    VARNEXJOBSETTING job = m_settings.GetJobSetting();
    job.converterThreads = static_cast<uint32_t>(m_threads->value());
    job.chunkSize = static_cast<uint32_t>(m_chunkSize->value());
    job.sampleSizeMB = static_cast<uint32_t>(m_sampleSize->value());
    job.readBufferSize = static_cast<uint32_t>(m_readBuffer->value());
    job.writeBufferSize = static_cast<uint32_t>(m_writeBuffer->value());
    job.allowBinaryListDetection = m_binaryList->isChecked();
    job.useGB18030 = m_gb18030->isChecked();
    job.useConsolidatedBuffer = m_consolidated->isChecked();
    m_settings.SetJobSetting(job);

    if (m_previewKiB->isEnabled() && m_previewKiB->value() != m_shownPreviewKiB)
        m_settings.SetPreviewSizeLimitKiB(static_cast<uint32_t>(m_previewKiB->value()));

    SettingsMessages messages;
    if (!m_settings.Save(&messages)) {
        QString text = Qs(Tr("Preferences", "The settings could not be saved."));
        for (const std::u16string& line : messages)
            text += u'\n' + Qs(line);
        m_settings = before;
        ShowDialogPrompt(this, QMessageBox::Critical, text);
        return;
    }
    // Saved, with something to tell (a file that could not be read was set aside).
    if (!messages.empty()) {
        QStringList lines;
        for (const std::u16string& line : messages)
            lines.append(Qs(line));
        ShowDialogPrompt(this, QMessageBox::Information, lines.join(u'\n'));
    }
    if (!ApplyLanguage())
        return;
    QDialog::accept();
}
