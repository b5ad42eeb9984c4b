#include "app/window/dialogs/assign_codepage_dlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/locale/tr.h"
#include "app/settings/profile_store.h"
#include "app/window/panes/text_preview_view.h"
#include "app/window/qt_text.h"
#include "textrion/path/long_path.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/convert/text_file_converter.h"

namespace {

constexpr char16_t kPlacementName[] = u"AssignCodepage";
constexpr int kCodepageRole = Qt::UserRole;

}  // namespace

std::vector<const CCodepageInfo*> CAssignCodepageDlg::AssignableCodepages()
{
    std::vector<const CCodepageInfo*> entries;
    for (const CCodepageInfo* info : CCodepageInfo::GetCodepageInfoCache())
        if (info->GetCodepage() >= 0 && CTextFileConverter::IsLegalCodepage(static_cast<unsigned>(info->GetCodepage())))
            entries.push_back(info);
    return entries;
}

CAssignCodepageDlg::CAssignCodepageDlg(QWidget* parent, CProfileStore& store, const std::u16string& file,
                                       int presetCodepage, unsigned previewLimitBytes)
    : QDialog(parent),
      m_store(store),
      m_file(file),
      m_limit(previewLimitBytes)
{
    setObjectName(QStringLiteral("AssignCodepageDlg"));
    setWindowTitle(Qs(Tr("AssignCodepage", "Assign Codepage")));

    auto* fileLabel = new QLabel(Qs(Tr("AssignCodepage", "File: %1", CLongPath(file).GetFileName())), this);
    fileLabel->setTextFormat(Qt::PlainText);
    fileLabel->setToolTip(Qs(file));
    auto* hint = new QLabel(Qs(Tr("AssignCodepage", "Choose the codepage the file is written in. The preview shows "
                                                    "the file read in the selected codepage.")),
                            this);
    hint->setWordWrap(true);

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("CodepageTree"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    // Long names scroll instead of being cut.
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    m_root = new QTreeWidgetItem(m_tree, {Qs(Tr("AssignCodepage", "All Supported Codepages"))});
    QTreeWidgetItem* preset = nullptr;
    for (const CCodepageInfo* info : AssignableCodepages()) {
        auto* item = new QTreeWidgetItem(m_root, {Qs(info->GetCodepageName())});
        item->setData(0, kCodepageRole, info->GetCodepage());
        if (info->GetCodepage() == presetCodepage)
            preset = item;
    }
    m_root->setExpanded(true);

    m_preview = new CTextPreviewView(this);
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("AssignCodepageSplitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_tree);
    m_splitter->addWidget(m_preview);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({340, 500});

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setText(Qs(Tr("AssignCodepage", "OK")));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(Qs(Tr("AssignCodepage", "Cancel")));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileLabel);
    layout->addWidget(hint);
    layout->addWidget(m_splitter, 1);
    layout->addWidget(m_buttons);

    resize(840, 520);
    const std::u16string placement = m_store.GetProfileString(CProfileStore::kWindowPlacementsKey, kPlacementName);
    if (!placement.empty())
        restoreGeometry(QByteArray::fromBase64(Qs(placement).toLatin1()));

    connect(m_tree, &QTreeWidget::currentItemChanged, this, &CAssignCodepageDlg::OnSelectionChanged);
    m_tree->setCurrentItem(preset != nullptr ? preset : m_root);
    OnSelectionChanged();
}

CAssignCodepageDlg::~CAssignCodepageDlg() = default;

int CAssignCodepageDlg::ChosenCodepage() const
{
    const QTreeWidgetItem* item = m_tree->currentItem();
    const QVariant codepage = item ? item->data(0, kCodepageRole) : QVariant();
    return codepage.isValid() ? codepage.toInt() : -1;
}

bool CAssignCodepageDlg::IsOkEnabled() const
{
    return m_buttons->button(QDialogButtonBox::Ok)->isEnabled();
}

void CAssignCodepageDlg::OnSelectionChanged()
{
    const int codepage = ChosenCodepage();
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(codepage >= 0);
    if (codepage < 0)
        m_preview->ShowNote(Qs(Tr("AssignCodepage", "Select a codepage to preview the file in it.")));
    else
        m_preview->Load(m_file, codepage, m_limit, Qs(Tr("AssignCodepage", "The file cannot be read.")));
}

void CAssignCodepageDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only a shown tree knows its height to center the preset in.
    if (m_tree->currentItem() != nullptr)
        m_tree->scrollToItem(m_tree->currentItem(), QAbstractItemView::PositionAtCenter);
}

void CAssignCodepageDlg::done(int result)
{
    m_store.WriteProfileString(CProfileStore::kWindowPlacementsKey, kPlacementName,
                               U16(QString::fromLatin1(saveGeometry().toBase64())));
    QDialog::done(result);
}
