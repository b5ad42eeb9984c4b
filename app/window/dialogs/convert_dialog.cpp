#include "app/window/dialogs/convert_dialog.h"

#include <initializer_list>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/locale/tr.h"
#include "app/settings/my_settings.h"
#include "app/settings/profile_store.h"
#include "app/window/dialogs/dialog_prompt.h"
#include "app/window/dialogs/profile_dialogs.h"
#include "app/window/models/conversion_choices.h"
#include "app/window/models/output_proposal.h"
#include "app/window/models/recent_lists.h"
#include "app/window/qt_text.h"
#include "app/window/widget_names.h"
#include "controls/recent_combo_box.h"
#include "platform/file_api.h"
#include "platform/process.h"
#include "textrion/path/long_path.h"
#include "varnex/session/job_paths.h"
#include "varnex/session/name_filter.h"

namespace {

enum FilterMode { FilterDisabled = 0, FilterWildcard = 1, FilterRegex = 2 };

// Fills each "%s" of text in turn; what is filled in is not scanned again.
QString FillS(const QString& text, std::initializer_list<QString> args)
{
    QString out;
    qsizetype from = 0;
    for (const QString& arg : args) {
        const qsizetype at = text.indexOf(QStringLiteral("%s"), from);
        if (at < 0)
            break;
        out += text.mid(from, at - from) + arg;
        from = at + 2;
    }
    return out + text.mid(from);
}

bool IsDirectory(const std::u16string& path)
{
    platform::FileStatus status;
    return platform::GetFileStatus(path, &status) && status.type == platform::FileType::Directory;
}

// One folder reached by both names (links, bind mounts, "." and "..").
bool SameFolder(const std::u16string& a, const std::u16string& b)
{
    return platform::IsSameOrInside(a, b) && platform::IsSameOrInside(b, a);
}

}  // namespace

CConvertDlg::CConvertDlg(QWidget* parent, CMySettings& settings, CProfileStore& store,
                         const std::u16string& inputFolder, bool recursive, const std::u16string& proposedOutput)
    : CConvertDlg(parent, settings, store, std::vector<std::u16string>{inputFolder}, true, recursive, proposedOutput)
{
}

CConvertDlg::CConvertDlg(QWidget* parent, CMySettings& settings, CProfileStore& store,
                         const std::vector<std::u16string>& inputFiles, bool recursive,
                         const std::u16string& proposedOutput)
    : CConvertDlg(parent, settings, store, inputFiles, false, recursive, proposedOutput)
{
}

CConvertDlg::CConvertDlg(QWidget* parent, CMySettings& settings, CProfileStore& store,
                         std::vector<std::u16string> inputs, bool folder, bool recursive,
                         const std::u16string& proposedOutput)
    : QDialog(parent),
      m_settings(settings),
      m_store(store),
      m_inputs(std::move(inputs)),
      m_folder(folder)
{
    setWindowTitle(Qs(Tr("ConvertDialog", "Convert")));
    BuildControls();
    ApplyProfile(m_settings.GetCurrentProfile());
    m_recursive->setChecked(m_folder && recursive);
    m_output->SetText(Qs(proposedOutput));
}

CConvertDlg::~CConvertDlg() = default;

void CConvertDlg::BuildControls()
{
    m_input = Named(new QLineEdit(this), "InputPath");
    m_input->setReadOnly(true);
    if (m_folder)
        m_input->setText(Qs(m_inputs.empty() ? std::u16string() : m_inputs.front()));
    else if (m_inputs.size() == 1)
        m_input->setText(Qs(NameOf(m_inputs.front())));
    else
        m_input->setText(Qs(Tr("ConvertDialog", "(Multiple Files)")));
    QStringList all;
    for (const std::u16string& input : m_inputs)
        all.push_back(Qs(input));
    m_input->setToolTip(all.join(u'\n'));

    m_output = Named(new CRecentComboBox(this), "OutputFolder");
    m_output->SetRecentList(MakeRecentList(m_store, CProfileStore::kRecentOutputFolderKey));
    auto* browse = new QPushButton(Qs(Tr("ConvertDialog", "&Browse...")), this);
    connect(browse, &QPushButton::clicked, this, &CConvertDlg::Browse);
    auto* outputLabel = new QLabel(Qs(Tr("ConvertDialog", "Output Folder (Will be created if does not exist)")), this);
    outputLabel->setBuddy(m_output);

    m_copyUnconverted =
        Named(new QCheckBox(Qs(Tr("ConvertDialog", "Copy unconverted files")), this), "CopyUnconverted");
    m_writeBom = Named(new QCheckBox(Qs(Tr("ConvertDialog", "Write BOM")), this), "WriteBom");
    m_processHidden = Named(new QCheckBox(Qs(Tr("ConvertDialog", "Process hidden files")), this), "ProcessHidden");
    m_recursive = Named(new QCheckBox(Qs(Tr("ConvertDialog", "Recursive")), this), "Recursive");
    // Single files are not searched: hidden files and subfolders do not apply.
    m_processHidden->setEnabled(m_folder);
    m_recursive->setEnabled(m_folder);
    auto* options = new QGroupBox(Qs(Tr("ConvertDialog", "Options")), this);
    auto* optionGrid = new QGridLayout(options);
    optionGrid->addWidget(m_copyUnconverted, 0, 0);
    optionGrid->addWidget(m_writeBom, 1, 0);
    optionGrid->addWidget(m_processHidden, 0, 1);
    optionGrid->addWidget(m_recursive, 1, 1);

    m_inputCodepage = Named(new QComboBox(this), "InputCodepage");
    FillInputCodepageList(m_inputCodepage);
    m_inputCodepage->setMaxVisibleItems(20);
    m_outputEncoding = Named(new QComboBox(this), "OutputEncoding");
    FillOutputEncodingList(m_outputEncoding);
    m_returnType = Named(new QComboBox(this), "ReturnType");
    FillReturnTypeList(m_returnType);

    m_filterModeBox = Named(new QComboBox(this), "FilterMode");
    m_filterModeBox->addItem(Qs(Tr("ConvertDialog", "Disabled")), FilterDisabled);
    m_filterModeBox->addItem(Qs(Tr("ConvertDialog", "Wildcard")), FilterWildcard);
    m_filterModeBox->addItem(Qs(Tr("ConvertDialog", "Regular Expression")), FilterRegex);
    m_filter = Named(new CRecentComboBox(this), "FilterExpression");
    m_filter->setMinimumContentsLength(20);
    connect(m_filterModeBox, &QComboBox::currentIndexChanged, this, &CConvertDlg::OnFilterModeChanged);
    m_filterModeBox->setEnabled(m_folder);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(m_filterModeBox);
    filterRow->addWidget(m_filter, 1);

    m_profiles = Named(new QPushButton(Qs(Tr("ConvertDialog", "Profiles")), this), "Profiles");
    m_profilesMenu = new QMenu(m_profiles);
    m_profiles->setMenu(m_profilesMenu);
    connect(m_profilesMenu, &QMenu::aboutToShow, this, &CConvertDlg::RebuildProfilesMenu);
    RebuildProfilesMenu();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->addButton(m_profiles, QDialogButtonBox::ResetRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CConvertDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* outputRow = new QHBoxLayout;
    outputRow->addWidget(m_output, 1);
    outputRow->addWidget(browse);

    // One form, so that every label lines up in one column.
    auto* form = new QFormLayout;
    form->addRow(Qs(Tr("ConvertDialog", "Input")), m_input);
    form->addRow(outputLabel);
    form->addRow(outputRow);
    form->addRow(options);
    form->addRow(Qs(Tr("ConvertDialog", "Input Codepage")), m_inputCodepage);
    form->addRow(Qs(Tr("ConvertDialog", "Output encoding")), m_outputEncoding);
    form->addRow(Qs(Tr("ConvertDialog", "Return Type")), m_returnType);
    form->addRow(Qs(Tr("ConvertDialog", "File Name Filter")), filterRow);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addWidget(buttons);
    setMinimumWidth(560);
}

SessionProfile CConvertDlg::Choices() const
{
    SessionProfile profile;
    profile.filterName = m_filterName;
    profile.filterComment = m_filterComment;
    ConversionOptions& o = profile.options;
    o.copyUnconverted = m_copyUnconverted->isChecked();
    o.writeBom = m_writeBom->isChecked();
    o.processHiddenFiles = m_processHidden->isChecked();
    o.recursive = m_recursive->isChecked();
    o.repairDoubleEncoding = m_repairDoubleEncoding;
    o.SetStoredInputCodepage(SelectedCode(m_inputCodepage, ConversionOptions::kDetectEachFile));
    o.outputTextFormat = static_cast<CTextFileConverter::OUTPUTTEXTFORMAT>(SelectedCode(m_outputEncoding, 0));
    o.returnType = static_cast<CTextFileConverter::RETURNTYPE>(SelectedCode(m_returnType, 0));
    const int mode = SelectedCode(m_filterModeBox, FilterDisabled);
    const std::u16string expression = U16(m_filter->Text());
    o.filter.SetFilterString(mode == FilterRegex, expression);
    // An empty filter would let no name pass: it means no filter.
    o.filter.EnableFilter(mode != FilterDisabled && !expression.empty());
    return profile;
}

void CConvertDlg::ApplyProfile(const SessionProfile& profile)
{
    const ConversionOptions& o = profile.options;
    m_filterName = profile.filterName;
    m_filterComment = profile.filterComment;
    m_repairDoubleEncoding = o.repairDoubleEncoding;
    m_copyUnconverted->setChecked(o.copyUnconverted);
    m_writeBom->setChecked(o.writeBom);
    m_processHidden->setChecked(o.processHiddenFiles);
    m_recursive->setChecked(m_folder && o.recursive);
    // A code page the list does not offer cannot be converted from.
    SelectByCode(m_inputCodepage, o.StoredInputCodepage());
    SelectByCode(m_outputEncoding, o.outputTextFormat);
    SelectByCode(m_returnType, o.returnType);
    const FilterMode mode = !o.filter.IsEnabled() ? FilterDisabled : o.filter.IsRegex() ? FilterRegex : FilterWildcard;
    SelectByCode(m_filterModeBox, mode);
    OnFilterModeChanged();
    m_filter->SetText(Qs(o.filter.GetFilterString()));
}

void CConvertDlg::OnFilterModeChanged()
{
    const int mode = SelectedCode(m_filterModeBox, FilterDisabled);
    m_filter->setEnabled(m_folder && mode != FilterDisabled);
    if (mode == FilterDisabled || mode == m_filterMode)
        return;
    m_filterMode = mode;
    m_filter->SetRecentList(MakeRecentList(m_store, mode == FilterRegex ? CProfileStore::kRecentRegexFilterKey
                                                                        : CProfileStore::kRecentWildcardFilterKey));
}

void CConvertDlg::RebuildProfilesMenu()
{
    m_profilesMenu->clear();
    m_profilesMenu->addAction(Qs(Tr("ConvertDialog", "Default")), this, [this] { ChooseProfile(kDefaultProfileId); });
    SessionProfileList profiles;
    m_settings.LoadSessionProfiles(profiles);
    if (!profiles.empty())
        m_profilesMenu->addSeparator();
    for (size_t i = 0; i < profiles.size(); ++i) {
        const int id = kFirstProfileId + static_cast<int>(i);
        QString text = Qs(profiles[i].name);
        QAction* action = m_profilesMenu->addAction(text.replace(u'&', QStringLiteral("&&")), this,
                                                    [this, id] { ChooseProfile(id); });
        action->setData(id);
    }
    m_profilesMenu->addSeparator();
    m_profilesMenu->addAction(Qs(Tr("ConvertDialog", "Save current settings...")), this,
                              &CConvertDlg::SaveCurrentSettings);
    m_profilesMenu->addAction(Qs(Tr("ConvertDialog", "Manage profiles...")), this, &CConvertDlg::ManageProfiles);
}

void CConvertDlg::ChooseProfile(int id)
{
    if (id == kDefaultProfileId) {
        ApplyProfile(m_settings.GetCurrentProfile());
        return;
    }
    // The file may have changed since the menu was built: read it again.
    SessionProfileList profiles;
    m_settings.LoadSessionProfiles(profiles);
    const int index = id - kFirstProfileId;
    if (index >= 0 && index < static_cast<int>(profiles.size()))
        ApplyProfile(profiles[static_cast<size_t>(index)]);
}

void CConvertDlg::SaveCurrentSettings()
{
    SessionProfileList profiles;
    m_settings.LoadSessionProfiles(profiles);
    QStringList names;
    for (const SessionProfile& profile : profiles)
        names.push_back(Qs(profile.name));
    QString name;
    for (;;) {
        CProfileNameDlg ask(this, Qs(Tr("ConvertDialog", "Save current settings")), names, name);
        if (ask.exec() != QDialog::Accepted)
            return;
        name = ask.Name();
        if (SaveProfileAs(this, m_settings, Choices(), name))
            return;
    }
}

void CConvertDlg::ManageProfiles()
{
    CManageProfilesDlg manage(this, m_settings);
    manage.exec();
}

void CConvertDlg::Browse()
{
    const QString chosen =
        QFileDialog::getExistingDirectory(this, Qs(Tr("ConvertDialog", "Select Output Folder")), m_output->Text());
    if (!chosen.isEmpty())
        m_output->SetText(chosen);
}

bool CConvertDlg::CheckOutputFolder(std::u16string& output)
{
    QString typed = m_output->Text().trimmed();
    if (typed == u'~' || typed.startsWith(QStringLiteral("~/")))
        typed = Qs(platform::EnvironmentValue("HOME").value_or(std::u16string())) + typed.mid(1);
    while (typed.size() > 1 && typed.endsWith(u'/'))
        typed.chop(1);
    output = U16(typed);
    auto refuse = [this](const QString& text) {
        ShowDialogPrompt(this, QMessageBox::Warning, text);
        m_output->setFocus();
        return false;
    };
    if (output.empty())
        return refuse(Qs(Tr("ConvertDialog", "Please enter an output folder.")));
    if (output.front() != u'/')
        return refuse(Qs(Tr("ConvertDialog", "Please enter the full path of the output folder, starting with \"/\".")));
    platform::FileStatus status;
    if (platform::GetFileStatus(output, &status) && status.type != platform::FileType::Directory)
        return refuse(FillS(Qs(Tr("ConvertDialog", "The output folder is not a folder:\n%s")), {typed}));
    if (m_folder) {
        if (!m_inputs.empty() && SameFolder(m_inputs.front(), output))
            return refuse(
                Qs(Tr("ConvertDialog", "Converting the input folder to itself will cause write errors and damage to "
                                       "original file. Please double check the output folder before conversion.")));
        // An input inside the output tree: an output may land on another input.
        VARNEXBATCHJOBITEM item;
        item.folder = true;
        item.inputPath = m_inputs.empty() ? std::u16string() : m_inputs.front();
        item.outputPath = output;
        if (!item.inputPath.empty() && CheckJobPaths(item, {}).clash != JobPathCheck::CLASH_NONE)
            return refuse(FillS(
                Qs(Tr("ConvertDialog", "Files cannot be written to input folder. Please select another output "
                                       "folder.\n\nThe input folder is:\n%s\n\nThe output folder you have selected "
                                       "is:\n%s")),
                {Qs(item.inputPath), typed}));
        return true;
    }
    for (const std::u16string& file : m_inputs) {
        const std::u16string folder = ParentOf(file);
        if (SameFolder(folder, output))
            return refuse(FillS(
                Qs(Tr("ConvertDialog", "Files cannot be written to input folder. Please select another output "
                                       "folder.\n\nThe input folder is:\n%s\n\nThe output folder you have selected "
                                       "is:\n%s")),
                {Qs(folder), typed}));
    }
    return true;
}

bool CConvertDlg::CheckFilter()
{
    const ConversionOptions options = Choices().options;
    std::string error;
    if (!m_folder || !options.filter.IsEnabled() || !options.filter.IsRegex() ||
        CNameFilter::IsValidRegex(options.filter.GetFilterString(), &error))
        return true;
    ShowDialogPrompt(
        this, QMessageBox::Warning,
        FillS(Qs(Tr("ConvertDialog", "The regular expression is not valid:\n%s")), {QString::fromStdString(error)}));
    m_filter->setFocus();
    return false;
}

void CConvertDlg::accept()
{
    std::u16string output;
    if (!CheckOutputFolder(output) || !CheckFilter())
        return;
    const std::u16string chosenOutput = output;
    bool detectOnly = false;
    if (IsDirectory(output) && !CLongPath(output).IsDirectoryEmpty()) {
        const std::u16string base =
            m_folder ? NameOf(ProposeOutputFolder(m_inputs.front(), {}, [](const std::u16string&) { return false; }))
                     : std::u16string(u"Converted");
        std::u16string safeSubfolder;
        switch (ConfirmOutputFolder(output, base, safeSubfolder)) {
        case CConfirmConvertDlg::DetectOnly:
            detectOnly = true;
            break;
        case CConfirmConvertDlg::ProceedAnyway:
            break;
        case CConfirmConvertDlg::SafeSubfolder:
            output = safeSubfolder;
            break;
        case CConfirmConvertDlg::SelectAnother:
            m_output->setFocus();
            m_output->lineEdit()->selectAll();
            return;
        default:
            return;
        }
    }
    m_output->AddRecent(Qs(chosenOutput));
    const ConversionOptions options = Choices().options;
    if (m_folder && options.filter.IsEnabled())
        m_filter->AddRecent(m_filter->Text());
    m_detectOnly = detectOnly;
    MakeJobItems(output);
    QDialog::accept();
}

CConfirmConvertDlg::Choice CConvertDlg::ConfirmOutputFolder(const std::u16string& folder,
                                                            const std::u16string& subfolderBase,
                                                            std::u16string& safeSubfolder)
{
    CConfirmConvertDlg confirm(this, folder, subfolderBase);
    confirm.exec();
    safeSubfolder = confirm.GetSafeSubfolder();
    return confirm.GetChoice();
}

void CConvertDlg::MakeJobItems(const std::u16string& output)
{
    m_items.clear();
    ConversionOptions options = Choices().options;
    if (m_folder) {
        VARNEXBATCHJOBITEM item;
        item.folder = true;
        item.options = options;
        item.inputPath = m_inputs.empty() ? std::u16string() : m_inputs.front();
        item.outputPath = output;
        m_items.push_back(std::move(item));
        return;
    }
    // A single file is neither searched nor filtered.
    options.recursive = false;
    options.processHiddenFiles = false;
    options.filter = CVarnexBatchJobFilter();
    for (const std::u16string& file : m_inputs) {
        VARNEXBATCHJOBITEM item;
        item.folder = false;
        item.options = options;
        item.inputPath = file;
        item.outputPath = output == u"/" ? u"/" + NameOf(file) : output + u"/" + NameOf(file);
        item.outputRoot = output;
        m_items.push_back(std::move(item));
    }
}
