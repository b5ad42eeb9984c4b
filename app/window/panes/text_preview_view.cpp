#include "app/window/panes/text_preview_view.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/locale/tr.h"
#include "app/window/models/text_preview.h"
#include "app/window/qt_text.h"

CTextPreviewView::CTextPreviewView(QWidget* parent) : QWidget(parent)
{
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("PreviewText"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("PreviewNote"));
    m_note->setAlignment(Qt::AlignCenter);
    m_note->setWordWrap(true);
    m_note->setTextFormat(Qt::PlainText);
    m_note->setFrameShape(QFrame::StyledPanel);
    m_note->setBackgroundRole(QPalette::Base);
    m_note->setAutoFillBackground(true);
    m_pages = new QStackedWidget(this);
    m_pages->addWidget(m_text);
    m_pages->addWidget(m_note);
    m_limitNote = new QLabel(this);
    m_limitNote->setObjectName(QStringLiteral("PreviewLimitNote"));
    m_limitNote->setTextFormat(Qt::PlainText);
    m_limitNote->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages, 1);
    layout->addWidget(m_limitNote);
}

CTextPreviewView::~CTextPreviewView() = default;

QString CTextPreviewView::Content() const
{
    return m_pages->currentWidget() == m_text ? m_text->toPlainText() : m_note->text();
}

void CTextPreviewView::ShowNote(const QString& note)
{
    ++m_ticket;
    m_loading = false;
    m_text->clear();
    m_note->setText(note);
    m_limitNote->hide();
    m_pages->setCurrentWidget(m_note);
}

void CTextPreviewView::Load(const std::u16string& path, int codepage, unsigned limitBytes,
                            const QString& unreadableNote)
{
    const uint64_t ticket = ++m_ticket;
    m_loading = true;
    LoadTextPreviewAsync(this, path, codepage, limitBytes, [this, ticket, unreadableNote](const PreviewText& preview) {
        if (ticket == m_ticket)  // else a later request is shown meanwhile
            OnLoaded(preview, unreadableNote);
    });
}

void CTextPreviewView::OnLoaded(const PreviewText& preview, const QString& unreadableNote)
{
    switch (preview.kind) {
    case PreviewText::Unreadable:
        ShowNote(unreadableNote);
        return;
    case PreviewText::Binary:
        ShowNote(Qs(Tr("Preview", "This file is binary; it has no text to preview.")));
        return;
    case PreviewText::Text:
        break;
    }
    m_loading = false;
    m_text->setPlainText(Qs(preview.text));
    m_pages->setCurrentWidget(m_text);
    m_limitNote->setVisible(preview.truncated);
    if (preview.truncated)
        m_limitNote->setText(Qs(Tr("Preview", "Only the first %1 KiB are shown.",
                                   QString::number(preview.limitBytes / 1024.0, 'g', 4).toStdU16String())));
}
