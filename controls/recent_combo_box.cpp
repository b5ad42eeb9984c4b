#include "controls/recent_combo_box.h"

#include <QLineEdit>

#include "utils/recent_list.h"

CRecentComboBox::CRecentComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    // Entering a text does not add it: only a confirmed choice belongs in the list.
    setInsertPolicy(QComboBox::NoInsert);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(30);
    lineEdit()->setClearButtonEnabled(true);
}

CRecentComboBox::~CRecentComboBox() = default;

void CRecentComboBox::SetRecentList(const CRecentList& list)
{
    m_list = std::make_unique<CRecentList>(list);
    m_list->ReadList();
    if (m_list->GetMaxDisplayLength() > 0)
        setMinimumContentsLength(m_list->GetMaxDisplayLength());
    Refill();
}

bool CRecentComboBox::AddRecent(const QString& text)
{
    if (m_list == nullptr)
        return false;
    if (text.isEmpty())
        return true;
    m_list->Add(text.toStdU16String());
    const bool saved = m_list->WriteList();
    Refill();
    return saved;
}

QStringList CRecentComboBox::RecentEntries() const
{
    QStringList entries;
    if (m_list == nullptr)
        return entries;
    for (int i = 0; i < m_list->GetSize(); ++i)
        if (!(*m_list)[i].empty())
            entries.push_back(QString::fromStdU16String((*m_list)[i]));
    return entries;
}

void CRecentComboBox::Refill()
{
    const QString typed = currentText();
    const bool blocked = blockSignals(true);
    clear();
    addItems(RecentEntries());
    setCurrentIndex(-1);
    setEditText(typed);
    blockSignals(blocked);
}
