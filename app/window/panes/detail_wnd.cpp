#include "app/window/panes/detail_wnd.h"

#include <algorithm>

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/locale/tr.h"
#include "app/window/qt_text.h"
#include "textrion/path/long_path.h"
#include "varnex/codepage/codepage_info.h"

namespace {

QString Bytes(uint64_t count)
{
    return Qs(Tr("Details", "%1 bytes", QLocale().toString(static_cast<qulonglong>(count)).toStdU16String()));
}

}  // namespace

CDetailWnd::CDetailWnd(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DetailWnd"));
    m_rows = new QTreeWidget(this);
    m_rows->setObjectName(QStringLiteral("DetailRows"));
    m_rows->setColumnCount(2);
    m_rows->setHeaderLabels({Qs(Tr("Details", "Property")), Qs(Tr("Details", "Value"))});
    m_rows->setRootIsDecorated(false);
    m_rows->setWordWrap(true);
    m_rows->setTextElideMode(Qt::ElideMiddle);
    m_rows->setSelectionMode(QAbstractItemView::SingleSelection);
    m_rows->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_rows->header()->setStretchLastSection(true);
    m_messageTitle = new QLabel(Qs(Tr("Details", "Message")), this);
    QFont bold = m_messageTitle->font();
    bold.setBold(true);
    m_messageTitle->setFont(bold);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("DetailMessage"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_rows, 1);
    layout->addWidget(m_messageTitle);
    layout->addWidget(m_message);
    ShowFile(FileSelection());
}

CDetailWnd::~CDetailWnd() = default;

void CDetailWnd::AddRow(const QString& title, const QString& value)
{
    auto* item = new QTreeWidgetItem(m_rows, {title, value});
    item->setToolTip(1, value);
}

QString CDetailWnd::ValueOf(const QString& title) const
{
    if (title == m_messageTitle->text())
        return m_message->text();
    const QList<QTreeWidgetItem*> found = m_rows->findItems(title, Qt::MatchExactly, 0);
    return found.isEmpty() ? QString() : found.first()->text(1);
}

void CDetailWnd::ShowFile(const FileSelection& selection)
{
    m_rows->clear();
    m_message->setText(Qs(selection.message));
    m_messageTitle->setVisible(selection.valid && !selection.message.empty());
    m_message->setVisible(selection.valid && !selection.message.empty());
    if (!selection.valid) {
        AddRow(Qs(Tr("Details", "No file selected.")), QString());
        return;
    }
    const CLongPath input(selection.inputPath);
    AddRow(Qs(Tr("Details", "Name")), Qs(input.GetFileName()));
    AddRow(Qs(Tr("Details", "Folder")), Qs(input.GetDirectory()));
    AddRow(Qs(Tr("Details", "Output File")),
           selection.outputPath.empty() ? Qs(Tr("Details", "None")) : Qs(selection.outputPath));
    AddRow(Qs(Tr("Details", "Status")), Qs(selection.statusText));
    if (!selection.finished) {
        // Findings of a file not processed yet would be empty or stale.
        AddRow(Qs(Tr("Details", "Codepage")), Qs(Tr("Details", "Not detected yet")));
    } else {
        const CCodepageInfo* info = CCodepageInfo::GetCodepageInfo(selection.codepage);
        QString name = Qs(selection.codepageName);
        if (name.isEmpty())
            name = info ? Qs(info->GetCodepageName()) : Qs(Tr("Details", "Unknown"));
        AddRow(Qs(Tr("Details", "Codepage")), name);
        if (info != nullptr)
            AddRow(Qs(Tr("Details", "Language Group")), Qs(info->GetLanguageGroup()));
        AddRow(Qs(Tr("Details", "Confidence")),
               QStringLiteral("%1%").arg(qRound(std::clamp(selection.confidence, 0.0f, 1.0f) * 100.0f)));
        AddRow(Qs(Tr("Details", "BOM")), selection.hasBom ? Qs(Tr("Details", "Yes")) : Qs(Tr("Details", "No")));
        AddRow(Qs(Tr("Details", "Replaced Characters")),
               QLocale().toString(static_cast<qulonglong>(selection.replaced)));
    }
    AddRow(Qs(Tr("Details", "Input Size")), Bytes(selection.bytesIn));
    if (!selection.outputPath.empty())
        AddRow(Qs(Tr("Details", "Output Size")), Bytes(selection.bytesOut));
}
