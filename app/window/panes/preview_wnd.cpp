#include "app/window/panes/preview_wnd.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/locale/tr.h"
#include "app/window/panes/text_preview_view.h"
#include "app/window/qt_text.h"
#include "platform/file_api.h"

namespace {

// What decides the preview's content: anything else (progress, counts) may
// change without a new read.
bool SameContent(const FileSelection& a, const FileSelection& b)
{
    return a.valid == b.valid && a.sessionId == b.sessionId && a.inputPath == b.inputPath &&
           a.outputPath == b.outputPath && a.outputCodepage == b.outputCodepage && a.codepage == b.codepage &&
           a.finished == b.finished && a.bytesOut == b.bytesOut && a.statusText == b.statusText;
}

bool IsNonEmptyFile(const std::u16string& path)
{
    platform::FileStatus status;
    return platform::GetFileStatus(path, &status) && status.type == platform::FileType::Regular && status.size > 0;
}

}  // namespace

CPreviewWnd::CPreviewWnd(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PreviewWnd"));
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("PreviewCaption"));
    m_caption->setTextFormat(Qt::PlainText);
    m_caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_caption->setMinimumWidth(1);  // a long path must not widen the dock
    m_view = new CTextPreviewView(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_caption);
    layout->addWidget(m_view, 1);
    Clear();
}

CPreviewWnd::~CPreviewWnd() = default;

bool CPreviewWnd::IsLoading() const
{
    return m_view->IsLoading();
}

QString CPreviewWnd::Content() const
{
    return m_view->Content();
}

void CPreviewWnd::SetPreviewLimit(unsigned bytes)
{
    if (bytes == m_limit)
        return;
    m_limit = bytes;
    const FileSelection shown = m_shown;
    m_shown = FileSelection();
    if (shown.valid)
        ShowFile(shown);
}

void CPreviewWnd::Clear()
{
    m_shown = FileSelection();
    m_caption->clear();
    m_view->ShowNote(Qs(Tr("Preview", "No file selected.")));
}

void CPreviewWnd::ShowFile(const FileSelection& selection)
{
    if (!selection.valid) {
        Clear();
        return;
    }
    if (SameContent(selection, m_shown))
        return;
    m_shown = selection;
    const QString unavailable = Qs(Tr("Preview", "The output is empty or currently unavailable."));
    if (!selection.outputPath.empty()) {
        m_caption->setText(Qs(Tr("Preview", "Output file: %1", selection.outputPath)));
        // An output not written yet, failed or removed has nothing to show.
        if (!IsNonEmptyFile(selection.outputPath)) {
            m_view->ShowNote(unavailable);
            return;
        }
        const int form = selection.outputCodepage != 0 ? static_cast<int>(selection.outputCodepage) : -1;
        m_view->Load(selection.outputPath, form, m_limit, unavailable);
        return;
    }
    m_caption->setText(Qs(Tr("Preview", "Input file: %1", selection.inputPath)));
    // Detection found it binary (a file it could not read has a message instead).
    if (selection.finished && selection.codepage == -1 && selection.message.empty()) {
        m_view->ShowNote(Qs(Tr("Preview", "This file is binary; it has no text to preview.")));
        return;
    }
    m_view->Load(selection.inputPath, selection.codepage, m_limit, Qs(Tr("Preview", "The file cannot be read.")));
}
